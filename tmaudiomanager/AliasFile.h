#pragma once
// The kernel's module alias table (modules.alias): where it is, what identifies its current
// content, and its lines sorted into the driver data's tables.

#include "tmaudiomanager/ModaliasPattern.h"

#include "tmaudiomanager/ModaliasPattern.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmaudiomanager {

enum class DriverTable { HDAUDIO, OTHER, PCI, USB };
inline constexpr DriverTable kDriverTables[] = {DriverTable::HDAUDIO, DriverTable::OTHER,
                                                DriverTable::PCI, DriverTable::USB};

const char* TableName(DriverTable table);
std::optional<DriverTable> TableFromName(std::string_view name);

struct AliasSource {
    std::string path;     // empty when the kernel has no alias table here
    std::string identity; // differs whenever the data built from the file would
};

// TMAUDIOMANAGER_MODULES_ALIAS when set, else the running kernel's
// /lib/modules/<release>/modules.alias, else /usr/lib/modules/<release>/modules.alias.
AliasSource LocateAliasSource();

struct AliasRow {
    DriverTable table;
    std::string prefilter; // the key a query finds the row by, see PatternKey
    std::string pattern;
    std::string module;
};

// Sorts alias lines ("alias <pattern> <module>") into rows. Comments, blank lines and anything
// malformed (other word counts, NUL or control characters, patterns of the pci, usb or hdaudio
// bus that do not split into fields, patterns without a bus) are skipped.
std::vector<AliasRow> ParseAliasLines(std::string_view text);

// The whole file; nullopt when it cannot be read or is implausibly large for an alias table.
std::optional<std::string> ReadAliasFile(const std::string& path);

// Rows are stored under a cheap key so a query reads only the rows that could match:
//   PCI, USB, HDAUDIO  the vendor and device (PCI "v" and "d", USB "v" and "p", the two halves
//                      of the codec's "v") when both are plain text, vendor + "*" when only the
//                      vendor is, else "*";
//   OTHER              the bus when it is plain text, else its plain beginning + "*" (the
//                      kernel writes some buses as globs: "acpi*:INT343A:*").
// PatternKey is a stored pattern's key; QueryKeys are all keys an id's matches can be under,
// given the id's fields (for OTHER only its bus; a '?' in an id's field is a digit it leaves
// open).
std::string PatternKey(DriverTable table, const AliasFields& pattern);
std::vector<std::string> QueryKeys(DriverTable table, const AliasFields& id);

inline constexpr std::size_t kMaxAliasFileBytes = 64u << 20;

} // namespace tmaudiomanager
