// The one-instance lock: the names derived from the program's path, taking and letting go of
// the lock in a folder of the test's own, the holder's id read as untrusted text, and files
// that are not ours left alone.

#include "platform/InstanceLock.h"

#include "support/Command.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::InstanceAdmission;
using platform::InstanceLock;
using testing_support::ScratchDir;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
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

TEST(InstanceLock, EnteringLocksUntilLeavingAndRefusesTheNextStart) {
    ScratchDir dir("instances");
    InstanceLock first("/OPT/TONEMENDER", dir.Path());
    EXPECT_FALSE(first.Holder());
    EXPECT_EQ(first.Enter(), InstanceAdmission::Admitted);
    EXPECT_EQ(first.Holder(), std::optional<std::int64_t>(getpid()));
    struct stat info {};
    ASSERT_EQ(stat(first.LockPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u) << "every user's instances share the file";

    InstanceLock second("/OPT/TONEMENDER", dir.Path());
    EXPECT_EQ(second.Enter(), InstanceAdmission::Refused);
    EXPECT_EQ(second.First(), std::optional<std::int64_t>(getpid()));
    InstanceLock elsewhere("/OTHER/TONEMENDER", dir.Path());
    EXPECT_EQ(elsewhere.Enter(), InstanceAdmission::Admitted) << "a copy in another folder";

    first.Leave();
    EXPECT_FALSE(first.Holder());
    EXPECT_EQ(ReadFile(first.LockPath()), "") << "the id leaves with the instance";
    EXPECT_EQ(second.Enter(), InstanceAdmission::Admitted);
}

TEST(InstanceLock, AKilledHolderLocksNobodyOut) {
    ScratchDir dir("instances");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock lock("/OPT/TONEMENDER", dir.Path());
        const char admitted = lock.Enter() == InstanceAdmission::Admitted ? '1' : '0';
        (void)!write(ready[1], &admitted, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char admitted = 0;
    ASSERT_EQ(read(ready[0], &admitted, 1), 1);
    close(ready[0]);
    EXPECT_EQ(admitted, '1');

    InstanceLock next("/OPT/TONEMENDER", dir.Path());
    EXPECT_EQ(next.Holder(), std::optional<std::int64_t>(child));
    EXPECT_EQ(next.Enter(), InstanceAdmission::Refused);
    EXPECT_EQ(next.First(), std::optional<std::int64_t>(child));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(next.Enter(), InstanceAdmission::Admitted) << "the lock died with its holder";
    EXPECT_EQ(next.Holder(), std::optional<std::int64_t>(getpid()));
}

TEST(InstanceLock, TheHoldersIdIsReadAsUntrustedText) {
    const struct {
        std::string text;
        std::optional<std::int64_t> id;
    } cases[] = {
        {"4242\n", 4242},
        {"4194304\n", 4194304},
        {"", std::nullopt},
        {"4242", std::nullopt}, // cut short while written
        {"0\n", std::nullopt},
        {"-5\n", std::nullopt},
        {"4194305\n", std::nullopt}, // beyond any pid_max
        {"99999999999999999999\n", std::nullopt},
        {" 12\n", std::nullopt},
        {"12\n\n", std::nullopt},
        {"\x01\x02\xff garbage\n", std::nullopt},
        {std::string(100000, 'x'), std::nullopt},
    };
    for (const auto& c : cases) {
        ScratchDir dir("instances");
        InstanceLock lock("/OPT/TONEMENDER", dir.Path());
        WriteFile(lock.LockPath(), c.text);
        // Somebody holds the lock with that text in the file: a refusal naming whom it can.
        const int holder = open(lock.LockPath().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(flock(holder, LOCK_EX), 0);
        EXPECT_EQ(lock.Holder(), c.id) << c.text.substr(0, 40);
        EXPECT_EQ(lock.Enter(), InstanceAdmission::Refused) << c.text.substr(0, 40);
        EXPECT_EQ(lock.First(), c.id) << c.text.substr(0, 40);
        close(holder);
        // Whatever it held, a free lock is taken and the file rewritten.
        EXPECT_EQ(lock.Enter(), InstanceAdmission::Admitted) << c.text.substr(0, 40);
        EXPECT_EQ(ReadFile(lock.LockPath()), std::to_string(getpid()) + "\n");
    }
}

TEST(InstanceLock, AnUnusableFileLetsTheProgramRunUnguardedAndTouchesNothing) {
    ScratchDir dir("instances");
    InstanceLock lock("/OPT/TONEMENDER", dir.Path());
    const std::string target = dir.Path() + "/victim";
    WriteFile(target, "keep me");

    // A link planted where the file belongs.
    ASSERT_EQ(symlink(target.c_str(), lock.LockPath().c_str()), 0);
    EXPECT_EQ(lock.Enter(), InstanceAdmission::Unguarded);
    EXPECT_EQ(ReadFile(target), "keep me");
    unlink(lock.LockPath().c_str());

    // A second name of somebody's file.
    ASSERT_EQ(link(target.c_str(), lock.LockPath().c_str()), 0);
    EXPECT_EQ(lock.Enter(), InstanceAdmission::Unguarded);
    EXPECT_EQ(ReadFile(target), "keep me");
    unlink(lock.LockPath().c_str());

    // A folder in its place.
    ASSERT_EQ(mkdir(lock.LockPath().c_str(), 0700), 0);
    EXPECT_EQ(lock.Enter(), InstanceAdmission::Unguarded);
    rmdir(lock.LockPath().c_str());
    EXPECT_EQ(lock.Enter(), InstanceAdmission::Admitted);
}

TEST(InstanceLock, SocketPathsLieBesideTheLockPerUser) {
    ScratchDir dir("instances");
    InstanceLock lock("/OPT/TONEMENDER", dir.Path());
    EXPECT_EQ(lock.LockPath(), dir.Path() + "/_OPT_TONEMENDER.instance");
    EXPECT_EQ(lock.ActivationSocketPath(1000), dir.Path() + "/_OPT_TONEMENDER-1000.socket");
    EXPECT_EQ(lock.OwnActivationSocketPath(),
              dir.Path() + "/_OPT_TONEMENDER-" + std::to_string(geteuid()) + ".socket");
    const std::string folder = InstanceLock::MachineWideFolder();
    EXPECT_TRUE(folder == "/run/lock" || folder == "/tmp") << folder;
}

} // namespace
