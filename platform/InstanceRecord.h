#pragma once
// The one-instance registry's shared record and the names derived from the program's path.
// The record is written by whichever instance of the program ran last, so it is read as
// untrusted text: anything malformed, oversized or out of range makes the whole record count
// as damaged, never a crash.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One registered instance. The start time (clock ticks after boot, as the kernel reports it)
// tells a live instance from a later process that happens to get the same id.
struct InstanceEntry {
    std::int64_t pid = 0;
    std::uint64_t startTime = 0;
    friend bool operator==(const InstanceEntry&, const InstanceEntry&) = default;
};

struct InstanceRecord {
    std::uint32_t maximum = 1;
    std::vector<InstanceEntry> entries; // in order of registration, oldest first
};

// The only maximum any instance of ours writes; a record with another one is damaged.
inline constexpr std::uint32_t kInstanceMaximum = 1;
// Limits on what we agree to read.
inline constexpr std::size_t kMaxInstanceEntries = 1024;
inline constexpr std::size_t kMaxInstanceRecordBytes = 64 * 1024;
inline constexpr std::int64_t kMaxProcessId = 4194304; // the kernel's highest pid_max

std::optional<InstanceRecord> ParseInstanceRecord(std::string_view text);
std::string FormatInstanceRecord(const InstanceRecord& record);

// The registry's identity: the executable's full path, upper-cased.
std::string InstanceIdentifier(const std::string& executablePath);
// The identity as a file name: every separator becomes an underscore, and a long identity keeps
// its tail with a hash of the whole, so the name (and a socket path made from it) stays short.
std::string InstanceObjectName(const std::string& identifier);
inline constexpr std::size_t kMaxInstanceObjectName = 64;

} // namespace platform
