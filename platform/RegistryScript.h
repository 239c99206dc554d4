#pragma once
// Registry scripts as the registry editor writes them ("Windows Registry Editor Version 5.00",
// UTF-16LE with a byte-order mark, CR LF line ends): the keys a script sets, in order. All of it
// is checked - the text, every key path and the form of every value line with its line
// continuations - and a script with anything wrong in it is refused as a whole, saying where
// and what. The values themselves are not decoded: nothing reads them.

#include "platform/Win32Types.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct RegistryKey {
    std::string path; // UTF-8, as written, e.g. "HKEY_LOCAL_MACHINE\SYSTEM\...\AudioSrv"
    int line = 0;
};

struct RegistryScript {
    std::vector<RegistryKey> keys;
};

// The largest script accepted; the audio service's is under 10 KiB.
inline constexpr std::size_t kMaxRegistryScriptBytes = 1 << 20;

// The script's keys, or nullopt with *error saying what is wrong ("line 7: ...").
std::optional<RegistryScript> ParseRegistryScript(const std::vector<BYTE>& bytes,
                                                  std::string* error);

} // namespace platform
