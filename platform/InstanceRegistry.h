#pragma once
// The one-instance registry: a machine-wide record of the running instances of one executable
// (one record per upper-cased executable path), with a maximum of one, kept in a file of a
// folder every user can write to and guarded by a lock the kernel drops when its holder dies.
// A crashed instance, or a later process with the same id, therefore never locks anyone out:
// every entry is checked against the running processes before it counts.

#include "platform/InstanceRecord.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class InstanceAdmission {
    Admitted,  // registered; the entry leaves the record with Leave() or the destructor
    Refused,   // the maximum is reached; First() is the oldest running instance
    Unguarded, // the record could not be used; the program runs without the rule
};

class InstanceRegistry {
public:
    // directory: the folder of the record; empty chooses MachineWideFolder().
    explicit InstanceRegistry(std::string identifier, std::string directory = {},
                              std::chrono::milliseconds lockWait = std::chrono::seconds(2));
    ~InstanceRegistry();
    InstanceRegistry(const InstanceRegistry&) = delete;
    InstanceRegistry& operator=(const InstanceRegistry&) = delete;

    InstanceAdmission Enter();
    void Leave();
    const InstanceEntry& First() const { return first_; }

    const std::string& Identifier() const { return identifier_; }
    std::string RecordPath() const;
    // Where the instance run by user owner listens for later starts.
    std::string ActivationSocketPath(std::uint32_t owner) const;
    // Where this process listens.
    std::string OwnActivationSocketPath() const;

    // This process as the record lists it.
    static std::optional<InstanceEntry> CurrentProcess();
    // The user a process runs as, or nullopt when it is gone.
    static std::optional<std::uint32_t> ProcessOwner(std::int64_t pid);
    // Whether entry is a running process of the executable with this identifier, started when
    // the entry says.
    static bool IsLiveInstance(const InstanceEntry& entry, const std::string& identifier);
    // /run/lock when it is the usual root-owned, sticky, world-writable folder, else /tmp.
    static std::string MachineWideFolder();

private:
    std::string identifier_;
    std::string directory_;
    std::chrono::milliseconds lockWait_;
    std::optional<InstanceEntry> registered_;
    InstanceEntry first_;
};

} // namespace platform
