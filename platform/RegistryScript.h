#pragma once
// Registry scripts as the registry editor writes them ("Windows Registry Editor Version 5.00",
// UTF-16LE with a byte-order mark, CR LF line ends): keys, and string, dword and hex values
// with their line continuations. Everything is checked; a script with anything wrong in it is
// refused as a whole, saying where and what.

#include "platform/Win32Types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Registry value types the scripts carry.
enum class RegistryType : DWORD {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
    Qword = 11,
};

struct RegistryValue {
    std::string name; // UTF-8; empty for the key's default value ("@")
    bool isDefault = false;
    RegistryType type = RegistryType::None;
    std::vector<BYTE> data; // the bytes the registry would hold (strings as UTF-16LE with NUL)
    std::string text;       // String and ExpandString, UTF-8
    std::vector<std::string> strings; // MultiString, UTF-8
    std::uint64_t number = 0;         // Dword and Qword
    int line = 0;                     // where the value starts in the script
};

struct RegistryKey {
    std::string path; // as written, e.g. "HKEY_LOCAL_MACHINE\SYSTEM\...\AudioSrv"
    int line = 0;
    std::vector<RegistryValue> values;
};

struct RegistryScript {
    std::vector<RegistryKey> keys;
};

// The largest script accepted; the audio service's is under 10 KiB.
inline constexpr std::size_t kMaxRegistryScriptBytes = 1 << 20;

// The parsed script, or nullopt with *error saying what is wrong ("line 7: ...").
std::optional<RegistryScript> ParseRegistryScript(const std::vector<BYTE>& bytes,
                                                  std::string* error);

} // namespace platform
