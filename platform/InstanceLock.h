#pragma once
// The one-instance rule's lock: one running instance per executable path on the whole machine,
// whoever runs it. The lock is flock on a file named after the upper-cased executable path, in
// a folder every user can write to; the holder keeps it for its whole life and writes its
// process id into the file, so a refused start knows whom to ask to come forward. The kernel
// drops the lock when its holder ends or dies: a crashed instance never locks anyone out.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The lock's identity: the executable's full path, upper-cased.
std::string InstanceIdentifier(const std::string& executablePath);
// The identity as a file name: every separator becomes an underscore, and a long identity keeps
// its tail with a hash of the whole, so the name (and a socket path made from it) stays short.
std::string InstanceObjectName(const std::string& identifier);
inline constexpr std::size_t kMaxInstanceObjectName = 64;
inline constexpr std::int64_t kMaxProcessId = 4194304; // the kernel's highest pid_max

enum class InstanceAdmission {
    Admitted,  // this process holds the lock until Leave() or the destructor
    Refused,   // another process holds it
    Unguarded, // the lock file could not be used; the program runs without the rule
};

class InstanceLock {
public:
    // directory: the folder of the lock file; empty chooses MachineWideFolder().
    explicit InstanceLock(std::string identifier, std::string directory = {});
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    InstanceAdmission Enter();
    // Empties the file and lets the lock go. Idempotent.
    void Leave();
    // After a refusal: the process that held the lock, when it had written its id.
    std::optional<std::int64_t> First() const { return first_; }

    // The process that holds the lock, as another process sees it: nullopt when nobody holds it
    // or the id it wrote is not (yet) there or not believable.
    std::optional<std::int64_t> Holder() const;

    std::string LockPath() const;
    // Where the instance run by user owner listens for later starts.
    std::string ActivationSocketPath(std::uint32_t owner) const;
    // Where this process listens.
    std::string OwnActivationSocketPath() const;

    // The user a process runs as, or nullopt when it is gone.
    static std::optional<std::uint32_t> ProcessOwner(std::int64_t pid);
    // /run/lock when it is the usual root-owned, sticky, world-writable folder, else /tmp.
    static std::string MachineWideFolder();

private:
    std::string identifier_;
    std::string directory_;
    int fd_ = -1; // held while admitted
    std::optional<std::int64_t> first_;
};

} // namespace platform
