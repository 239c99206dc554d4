// Temporary files on Linux: a private, exclusive create in $TMPDIR (else /tmp), and a list of
// what we made, so that we only ever remove our own files: each as soon as its user is done
// with it, and what is left when the program ends.

#include "platform/TempFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

class LinuxTempFiles : public TempFileBackend {
public:
    ~LinuxTempFiles() override {
        for (const Made& made : made_) {
            RemoveIfStillOurs(made);
        }
    }

    std::string TempDirectory() override {
        std::string folder = "/tmp";
        const char* fromEnvironment = std::getenv("TMPDIR");
        struct stat info {};
        if (fromEnvironment != nullptr && fromEnvironment[0] == '/' &&
            ::stat(fromEnvironment, &info) == 0 && S_ISDIR(info.st_mode)) {
            folder = fromEnvironment;
        }
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder;
    }

    UINT NextUniqueNumber() override {
        UINT number = 0;
        while (number == 0) {
            if (::getrandom(&number, sizeof number, 0) != sizeof number) {
                // Without the kernel's randomness the exclusive create still keeps us safe;
                // the numbers are merely easier to guess.
                number = static_cast<UINT>(::getpid()) * 2654435761u + ++fallbackCounter_;
            }
        }
        return number;
    }

    CreateResult CreateNewFile(const std::string& path, const void* data,
                               std::size_t size) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            return errno == EEXIST ? CreateResult::AlreadyExists : CreateResult::Failed;
        }
        struct stat info {};
        bool ok = ::fstat(fd, &info) == 0 && ::fchmod(fd, 0600) == 0 &&
                  (size == 0 || WriteAll(fd, data, size));
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlink(path.c_str());
            return CreateResult::Failed;
        }
        Remember(path, info);
        return CreateResult::Created;
    }

    bool ReplaceFile(const std::string& path, const void* data, std::size_t size) override {
        bool created = true;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            created = false;
            // O_NONBLOCK so that a planted FIFO cannot hang us before we see what it is.
            fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        }
        if (fd < 0) {
            return false;
        }
        struct stat info {};
        bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
        if (ok) {
            ok = ::fcntl(fd, F_SETFL, 0) == 0 && ::ftruncate(fd, 0) == 0 &&
                 (size == 0 || WriteAll(fd, data, size));
        }
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            if (created || S_ISREG(info.st_mode)) {
                ::unlink(path.c_str());
            }
            return false;
        }
        if (created) {
            Remember(path, info);
        }
        return true;
    }

    void KeepAfterExit(const std::string& path) override {
        std::lock_guard lock(mutex_);
        std::erase_if(made_, [&](const Made& made) { return made.path == path; });
    }

    void RemoveFile(const std::string& path) override {
        std::lock_guard lock(mutex_);
        std::erase_if(made_, [&](const Made& made) {
            if (made.path != path) {
                return false;
            }
            RemoveIfStillOurs(made);
            return true;
        });
    }

private:
    struct Made {
        std::string path;
        dev_t device;
        ino_t inode;
    };

    // Only what is still the very file we made goes: a name someone else reused is theirs.
    static void RemoveIfStillOurs(const Made& made) {
        struct stat now {};
        if (::lstat(made.path.c_str(), &now) == 0 && now.st_dev == made.device &&
            now.st_ino == made.inode) {
            ::unlink(made.path.c_str());
        }
    }

    void Remember(const std::string& path, const struct stat& info) {
        std::lock_guard lock(mutex_);
        made_.push_back({path, info.st_dev, info.st_ino});
    }

    std::mutex mutex_;
    std::vector<Made> made_;
    UINT fallbackCounter_ = 0;
};

} // namespace

std::unique_ptr<TempFileBackend> MakeLinuxTempFiles() {
    return std::make_unique<LinuxTempFiles>();
}

} // namespace platform
