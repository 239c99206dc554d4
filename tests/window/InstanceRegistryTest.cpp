// The one-instance registry: its record read as untrusted text, the names derived from the
// program's path, which entries count as running instances, and entering and leaving a record
// in a folder of the test's own.

#include "platform/InstanceRegistry.h"

#include "support/Command.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using platform::InstanceAdmission;
using platform::InstanceEntry;
using platform::InstanceRecord;
using platform::InstanceRegistry;
using testing_support::ScratchDir;

TEST(InstanceRecord, WrittenRecordsReadBack) {
    InstanceRecord record;
    record.entries = {{4242, 123456}, {17, 0}, {4194304, 18446744073709551615ull}};
    auto read = platform::ParseInstanceRecord(platform::FormatInstanceRecord(record));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->maximum, 1u);
    EXPECT_EQ(read->entries, record.entries);
    auto empty = platform::ParseInstanceRecord(platform::FormatInstanceRecord({}));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->entries.empty());
}

TEST(InstanceRecord, AnythingMalformedIsDamaged) {
    const std::string head = "TONEMENDER-INSTANCES 1\nmaximum 1\n";
    const std::string cases[] = {
        "",
        "garbage",
        "TONEMENDER-INSTANCES 2\nmaximum 1\ncount 0\n",
        "TONEMENDER-INSTANCES 1\nmaximum 5\ncount 0\n", // nobody of ours writes another maximum
        "TONEMENDER-INSTANCES 1\nmaximum 0\ncount 0\n",
        head + "count 1\n",        // fewer entries than counted
        head + "count 0\n12 34\n", // more entries than counted
        head + "count 1\n12 34",   // cut short while written
        head + "count 1\n0 34\n",  // no process has id 0
        head + "count 1\n-5 34\n",
        head + "count 1\n4194305 34\n", // beyond any pid_max
        head + "count 1\n12  34\n",
        head + "count 1\n12 34 56\n",
        head + "count 1\n12\n",
        head + "count 1\n1x 34\n",
        head + "count 1\n12 99999999999999999999999\n",
        head + "count 99999999999\n",
        head + "count 2000\n", // more than we agree to read
        head + "count  1\n12 34\n",
        "TONEMENDER-INSTANCES 1\r\nmaximum 1\r\ncount 0\r\n",
        head + "count 0\n" + std::string(70000, 'x'),
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(platform::ParseInstanceRecord(text)) << text.substr(0, 80);
    }
}

TEST(InstanceNames, IdentifierIsTheUpperCasedPath) {
    EXPECT_EQ(platform::InstanceIdentifier("/opt/Quorvel/tonemender"), "/OPT/QUORVEL/TONEMENDER");
}

TEST(InstanceNames, ObjectNamesReplaceSeparatorsAndStayShortAndDistinct) {
    EXPECT_EQ(platform::InstanceObjectName("/OPT/QUORVEL/TONEMENDER"), "_OPT_QUORVEL_TONEMENDER");
    const std::string a = platform::InstanceObjectName("/OPT/MY APPS/TONEMENDER");
    const std::string b = platform::InstanceObjectName("/OPT/MY_APPS/TONEMENDER");
    EXPECT_NE(a, b) << "a space is no separator: the two paths must not meet";
    const std::string longA = "/" + std::string(300, 'A') + "/ONE/TONEMENDER";
    const std::string longB = "/" + std::string(300, 'B') + "/ONE/TONEMENDER";
    for (const std::string& name :
         {a, b, platform::InstanceObjectName(longA), platform::InstanceObjectName(longB)}) {
        EXPECT_LE(name.size(), platform::kMaxInstanceObjectName) << name;
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_EQ(name.find(' '), std::string::npos);
    }
    EXPECT_NE(platform::InstanceObjectName(longA), platform::InstanceObjectName(longB));
}

std::string OwnIdentifier() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return platform::InstanceIdentifier(std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0));
}

// A child that runs until it is told to stop: `sleep`.
struct Sleeper {
    pid_t pid = -1;
    Sleeper() {
        const char* argv[] = {"sleep", "30", nullptr};
        posix_spawnp(&pid, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ);
    }
    ~Sleeper() { Stop(); }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
        }
    }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    std::string Identifier() const {
        char path[4096];
        std::string link = "/proc/" + std::to_string(pid) + "/exe";
        ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
        return platform::InstanceIdentifier(
            std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0));
    }
    std::uint64_t StartTime() const {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 22; ++i) {
            fields >> field;
        }
        return std::stoull(field);
    }
    InstanceEntry Entry() const { return {pid, StartTime()}; }
};

TEST(InstanceLiveness, OnlyARunningProcessOfTheSameExecutableStartedThenCounts) {
    auto self = InstanceRegistry::CurrentProcess();
    ASSERT_TRUE(self);
    EXPECT_EQ(self->pid, getpid());
    EXPECT_TRUE(InstanceRegistry::IsLiveInstance(*self, OwnIdentifier()));
    EXPECT_FALSE(
        InstanceRegistry::IsLiveInstance({self->pid, self->startTime + 1}, OwnIdentifier()))
        << "a later process that got the same id";
    EXPECT_FALSE(InstanceRegistry::IsLiveInstance(*self, "/SOME/OTHER/PROGRAM"));
    EXPECT_FALSE(InstanceRegistry::IsLiveInstance({0, 0}, OwnIdentifier()));
    EXPECT_FALSE(InstanceRegistry::IsLiveInstance({-1, 0}, OwnIdentifier()));

    Sleeper child;
    const InstanceEntry entry = child.Entry();
    EXPECT_TRUE(InstanceRegistry::IsLiveInstance(entry, child.Identifier()));
    child.Kill(); // a zombie until reaped: no longer running
    usleep(50000);
    EXPECT_FALSE(InstanceRegistry::IsLiveInstance(entry, child.Identifier()));
    child.Stop();
    EXPECT_FALSE(InstanceRegistry::IsLiveInstance(entry, child.Identifier()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(InstanceRegistry, EnteringRegistersAndLeavingRemoves) {
    ScratchDir dir("instances");
    InstanceRegistry registry(OwnIdentifier(), dir.Path());
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Admitted);
    auto record = platform::ParseInstanceRecord(ReadFile(registry.RecordPath()));
    ASSERT_TRUE(record);
    ASSERT_EQ(record->entries.size(), 1u);
    EXPECT_EQ(record->entries[0].pid, getpid());
    struct stat info {};
    ASSERT_EQ(stat(registry.RecordPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u) << "every user's instances share the record";
    registry.Leave();
    record = platform::ParseInstanceRecord(ReadFile(registry.RecordPath()));
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->entries.empty());
}

TEST(InstanceRegistry, ARunningInstanceRefusesTheNextStartAndNamesTheOldest) {
    ScratchDir dir("instances");
    Sleeper first;
    Sleeper second;
    // Two instances of "sleep" listed, the first registered first; one of them dead by now.
    Sleeper gone;
    InstanceEntry goneEntry = gone.Entry();
    gone.Stop();
    InstanceRegistry registry(first.Identifier(), dir.Path());
    InstanceRecord record;
    record.entries = {goneEntry, first.Entry(), second.Entry()};
    WriteFile(registry.RecordPath(), platform::FormatInstanceRecord(record));
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Refused);
    EXPECT_EQ(registry.First(), first.Entry());
    auto after = platform::ParseInstanceRecord(ReadFile(registry.RecordPath()));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->entries, (std::vector<InstanceEntry>{first.Entry(), second.Entry()}))
        << "the dead entry is tidied away, the refused start is not added";
}

TEST(InstanceRegistry, CrashedOrForeignEntriesDoNotLockAnyoneOut) {
    ScratchDir dir("instances");
    Sleeper other; // a running process, but not of this executable
    Sleeper gone;
    InstanceEntry goneEntry = gone.Entry();
    gone.Stop();
    auto self = InstanceRegistry::CurrentProcess();
    ASSERT_TRUE(self);
    InstanceRecord record;
    record.entries = {other.Entry(), goneEntry, {self->pid, self->startTime + 7}};
    InstanceRegistry registry(OwnIdentifier(), dir.Path());
    WriteFile(registry.RecordPath(), platform::FormatInstanceRecord(record));
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Admitted);
    auto after = platform::ParseInstanceRecord(ReadFile(registry.RecordPath()));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->entries, std::vector<InstanceEntry>{*self});
}

TEST(InstanceRegistry, ADamagedRecordIsStartedAfresh) {
    for (const std::string& garbage :
         {std::string("\x01\x02\xff garbage"), std::string(100000, 'x'), std::string()}) {
        ScratchDir dir("instances");
        InstanceRegistry registry(OwnIdentifier(), dir.Path());
        WriteFile(registry.RecordPath(), garbage);
        EXPECT_EQ(registry.Enter(), InstanceAdmission::Admitted);
        auto after = platform::ParseInstanceRecord(ReadFile(registry.RecordPath()));
        ASSERT_TRUE(after);
        EXPECT_EQ(after->entries.size(), 1u);
    }
}

TEST(InstanceRegistry, AnUnusableRecordLetsTheProgramRunUnguardedAndTouchesNothing) {
    ScratchDir dir("instances");
    InstanceRegistry registry(OwnIdentifier(), dir.Path(), std::chrono::milliseconds(100));
    const std::string target = dir.Path() + "/victim";
    WriteFile(target, "keep me");

    // A link planted where the record belongs.
    ASSERT_EQ(symlink(target.c_str(), registry.RecordPath().c_str()), 0);
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Unguarded);
    EXPECT_EQ(ReadFile(target), "keep me");
    unlink(registry.RecordPath().c_str());

    // A second name of somebody's file.
    ASSERT_EQ(link(target.c_str(), registry.RecordPath().c_str()), 0);
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Unguarded);
    EXPECT_EQ(ReadFile(target), "keep me");
    unlink(registry.RecordPath().c_str());

    // A folder in its place.
    ASSERT_EQ(mkdir(registry.RecordPath().c_str(), 0700), 0);
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Unguarded);
    rmdir(registry.RecordPath().c_str());

    // Somebody holding the lock and never letting go: the wait is bounded.
    int holder = open(registry.RecordPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Unguarded);
    close(holder);
    EXPECT_EQ(registry.Enter(), InstanceAdmission::Admitted) << "the lock died with its holder";
}

TEST(InstanceRegistry, SocketPathsLieBesideTheRecordPerUser) {
    ScratchDir dir("instances");
    InstanceRegistry registry("/OPT/TONEMENDER", dir.Path());
    EXPECT_EQ(registry.RecordPath(), dir.Path() + "/_OPT_TONEMENDER.instances");
    EXPECT_EQ(registry.ActivationSocketPath(1000), dir.Path() + "/_OPT_TONEMENDER-1000.socket");
    EXPECT_EQ(registry.OwnActivationSocketPath(),
              dir.Path() + "/_OPT_TONEMENDER-" + std::to_string(geteuid()) + ".socket");
    const std::string folder = InstanceRegistry::MachineWideFolder();
    EXPECT_TRUE(folder == "/run/lock" || folder == "/tmp") << folder;
}

} // namespace
