// The lock file is opened without following links (a link planted in the shared folder is
// refused), close-on-exec (no child inherits it or the lock), and only if it is a plain file
// with one name. In a sticky folder another user's existing file cannot be opened with O_CREAT,
// so it is opened first without, and created exclusively only when missing.

#include "platform/InstanceLock.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

int OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(path.c_str(), kFlags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
            if (fd >= 0) {
                // Every user's instances share the file, whatever our umask says.
                ::fchmod(fd, 0666);
            } else if (errno == EEXIST) {
                continue; // someone created it between our two opens: open theirs
            }
        }
        struct stat info {};
        if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    return -1;
}

// The process id the holder wrote: digits and a newline, in range; anything else is none.
std::optional<std::int64_t> ReadHolder(int fd) {
    char buffer[24];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    if (n < 2 || buffer[n - 1] != '\n') {
        return std::nullopt;
    }
    std::int64_t pid = 0;
    for (const char c : std::string_view(buffer, static_cast<std::size_t>(n - 1))) {
        if (c < '0' || c > '9' || pid > kMaxProcessId) {
            return std::nullopt;
        }
        pid = pid * 10 + (c - '0');
    }
    if (pid <= 0 || pid > kMaxProcessId) {
        return std::nullopt;
    }
    return pid;
}

bool WriteHolder(int fd, std::int64_t pid) {
    const std::string text = std::to_string(pid) + "\n";
    return ::ftruncate(fd, 0) == 0 &&
           ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::string InstanceIdentifier(const std::string& executablePath) {
    std::string identifier = executablePath;
    for (char& c : identifier) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return identifier;
}

std::string InstanceObjectName(const std::string& identifier) {
    std::string name;
    bool otherReplaced = false;
    for (unsigned char c : identifier) {
        // Separators become underscores; so does anything a file name had better not hold,
        // but then two paths could meet in one name, and the hash below keeps them apart.
        bool plain = std::isalnum(c) || c == '.' || c == '-' || c == '_';
        otherReplaced = otherReplaced || (!plain && c != '/' && c != '\\');
        name += plain ? static_cast<char>(c) : '_';
    }
    if (name.size() <= kMaxInstanceObjectName && !otherReplaced) {
        return name;
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(identifier)));
    std::size_t keep = kMaxInstanceObjectName - 17;
    if (name.size() > keep) {
        name = name.substr(name.size() - keep);
    }
    return name + "_" + hash;
}

InstanceLock::InstanceLock(std::string identifier, std::string directory)
    : identifier_(std::move(identifier)),
      directory_(directory.empty() ? MachineWideFolder() : std::move(directory)) {}

InstanceLock::~InstanceLock() {
    Leave();
}

std::string InstanceLock::MachineWideFolder() {
    struct stat info {};
    const bool usual = ::lstat("/run/lock", &info) == 0 && S_ISDIR(info.st_mode) &&
                       info.st_uid == 0 && (info.st_mode & S_ISVTX) != 0 &&
                       (info.st_mode & S_IWOTH) != 0;
    return usual ? "/run/lock" : "/tmp";
}

std::string InstanceLock::LockPath() const {
    return directory_ + "/" + InstanceObjectName(identifier_) + ".instance";
}

std::string InstanceLock::ActivationSocketPath(std::uint32_t owner) const {
    return directory_ + "/" + InstanceObjectName(identifier_) + "-" + std::to_string(owner) +
           ".socket";
}

std::string InstanceLock::OwnActivationSocketPath() const {
    return ActivationSocketPath(static_cast<std::uint32_t>(::geteuid()));
}

std::optional<std::uint32_t> InstanceLock::ProcessOwner(std::int64_t pid) {
    struct stat info {};
    const std::string path = "/proc/" + std::to_string(pid);
    if (pid <= 0 || ::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(info.st_uid);
}

InstanceAdmission InstanceLock::Enter() {
    if (fd_ >= 0) {
        return InstanceAdmission::Admitted;
    }
    const int fd = OpenLockFile(LockPath());
    if (fd < 0) {
        return InstanceAdmission::Unguarded;
    }
    // A holder that has just locked may not have written its id yet, and one that is just
    // leaving may already have emptied the file: look again for a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (!WriteHolder(fd, ::getpid())) {
                ::close(fd);
                return InstanceAdmission::Unguarded;
            }
            fd_ = fd;
            return InstanceAdmission::Admitted;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return InstanceAdmission::Unguarded;
        }
        first_ = ReadHolder(fd);
        if (first_) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
    return InstanceAdmission::Refused;
}

void InstanceLock::Leave() {
    if (fd_ < 0) {
        return;
    }
    (void)::ftruncate(fd_, 0);
    ::close(fd_); // the lock goes with the last descriptor
    fd_ = -1;
}

std::optional<std::int64_t> InstanceLock::Holder() const {
    const int fd = ::open(LockPath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::int64_t> holder;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        holder = ReadHolder(fd);
    }
    ::close(fd);
    return holder;
}

} // namespace platform
