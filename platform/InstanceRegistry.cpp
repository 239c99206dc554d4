// The record file is opened without following links (a link planted in the shared folder is
// refused), close-on-exec (no child inherits it), and only if it is a plain file with one
// name. In a sticky folder another user's existing file cannot be opened with O_CREAT, so it is
// opened first without, and created exclusively only when missing. The lock is flock on that
// descriptor, released by the kernel when the holder dies.

#include "platform/InstanceRegistry.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

int OpenRecordFile(const std::string& path) {
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            // Every user's instances share the record, whatever our umask says.
            ::fchmod(fd, 0666);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
        // Someone created it between our two opens: open theirs.
    }
    return -1;
}

bool IsPlainSingleFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

bool LockWithin(int fd, std::chrono::milliseconds wait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The record as it stands, or an empty one when it is missing or damaged.
InstanceRecord ReadRecord(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0 ||
        static_cast<std::uint64_t>(info.st_size) > kMaxInstanceRecordBytes) {
        return {};
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        ssize_t n = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        got += static_cast<std::size_t>(n);
    }
    return ParseInstanceRecord(text).value_or(InstanceRecord{});
}

bool WriteRecord(int fd, const InstanceRecord& record) {
    const std::string text = FormatInstanceRecord(record);
    if (::ftruncate(fd, 0) != 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t n =
            ::pwrite(fd, text.data() + written, text.size() - written, static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

struct ProcessStat {
    char state = '?';
    std::uint64_t startTime = 0;
};

std::optional<ProcessStat> ReadProcessStat(std::int64_t pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        return std::nullopt;
    }
    char buffer[1024];
    ssize_t n = ::read(fd.Get(), buffer, sizeof buffer - 1);
    if (n <= 0) {
        return std::nullopt;
    }
    std::string_view text(buffer, static_cast<std::size_t>(n));
    // The command name in parentheses may hold anything, even ") "; the fields follow the last
    // closing parenthesis: state is field 3, the start time field 22.
    std::size_t close = text.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(close + 1);
    ProcessStat stat;
    int field = 2;
    while (!text.empty()) {
        while (!text.empty() && text.front() == ' ') {
            text.remove_prefix(1);
        }
        std::size_t end = text.find(' ');
        std::string_view token = text.substr(0, end);
        ++field;
        if (field == 3 && !token.empty()) {
            stat.state = token.front();
        } else if (field == 22) {
            std::uint64_t value = 0;
            for (char c : token) {
                if (c < '0' || c > '9') {
                    return std::nullopt;
                }
                value = value * 10 + static_cast<std::uint64_t>(c - '0');
            }
            stat.startTime = value;
            return stat;
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end);
    }
    return std::nullopt;
}

bool IsStickyWorldFolder(const char* path) {
    struct stat info {};
    return ::lstat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == 0 &&
           (info.st_mode & S_ISVTX) != 0 && (info.st_mode & S_IWOTH) != 0;
}

} // namespace

InstanceRegistry::InstanceRegistry(std::string identifier, std::string directory,
                                   std::chrono::milliseconds lockWait)
    : identifier_(std::move(identifier)),
      directory_(directory.empty() ? MachineWideFolder() : std::move(directory)),
      lockWait_(lockWait) {}

InstanceRegistry::~InstanceRegistry() {
    Leave();
}

std::string InstanceRegistry::MachineWideFolder() {
    return IsStickyWorldFolder("/run/lock") ? "/run/lock" : "/tmp";
}

std::string InstanceRegistry::RecordPath() const {
    return directory_ + "/" + InstanceObjectName(identifier_) + ".instances";
}

std::string InstanceRegistry::ActivationSocketPath(std::uint32_t owner) const {
    return directory_ + "/" + InstanceObjectName(identifier_) + "-" + std::to_string(owner) +
           ".socket";
}

std::string InstanceRegistry::OwnActivationSocketPath() const {
    return ActivationSocketPath(static_cast<std::uint32_t>(::geteuid()));
}

std::optional<InstanceEntry> InstanceRegistry::CurrentProcess() {
    std::int64_t pid = ::getpid();
    auto stat = ReadProcessStat(pid);
    if (!stat) {
        return std::nullopt;
    }
    return InstanceEntry{pid, stat->startTime};
}

std::optional<std::uint32_t> InstanceRegistry::ProcessOwner(std::int64_t pid) {
    struct stat info {};
    std::string path = "/proc/" + std::to_string(pid);
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(info.st_uid);
}

bool InstanceRegistry::IsLiveInstance(const InstanceEntry& entry, const std::string& identifier) {
    if (entry.pid <= 0 || entry.pid > kMaxProcessId) {
        return false;
    }
    auto stat = ReadProcessStat(entry.pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X' || stat->startTime != entry.startTime) {
        return false;
    }
    std::string link = "/proc/" + std::to_string(entry.pid) + "/exe";
    char target[PATH_MAX];
    ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length < 0) {
        // Another user's process does not show us its executable; its start time has to do.
        return errno == EACCES || errno == EPERM;
    }
    return InstanceIdentifier(std::string(target, static_cast<std::size_t>(length))) == identifier;
}

InstanceAdmission InstanceRegistry::Enter() {
    if (registered_) {
        return InstanceAdmission::Admitted;
    }
    auto self = CurrentProcess();
    if (!self) {
        return InstanceAdmission::Unguarded;
    }
    Descriptor fd(OpenRecordFile(RecordPath()));
    if (!fd.Valid() || !IsPlainSingleFile(fd.Get()) || !LockWithin(fd.Get(), lockWait_)) {
        return InstanceAdmission::Unguarded;
    }
    InstanceRecord record = ReadRecord(fd.Get());
    InstanceRecord live;
    for (const InstanceEntry& entry : record.entries) {
        if (entry.pid != self->pid && IsLiveInstance(entry, identifier_)) {
            live.entries.push_back(entry);
        }
    }
    if (live.entries.size() >= live.maximum) {
        first_ = live.entries.front();
        // The record is tidied on the way: the dead entries are gone from it.
        WriteRecord(fd.Get(), live);
        return InstanceAdmission::Refused;
    }
    live.entries.push_back(*self);
    if (!WriteRecord(fd.Get(), live)) {
        return InstanceAdmission::Unguarded;
    }
    registered_ = self;
    return InstanceAdmission::Admitted;
}

void InstanceRegistry::Leave() {
    if (!registered_) {
        return;
    }
    InstanceEntry self = *registered_;
    registered_.reset();
    Descriptor fd(OpenRecordFile(RecordPath()));
    if (!fd.Valid() || !IsPlainSingleFile(fd.Get()) || !LockWithin(fd.Get(), lockWait_)) {
        return;
    }
    InstanceRecord record = ReadRecord(fd.Get());
    InstanceRecord kept;
    for (const InstanceEntry& entry : record.entries) {
        if (!(entry == self)) {
            kept.entries.push_back(entry);
        }
    }
    WriteRecord(fd.Get(), kept);
}

} // namespace platform
