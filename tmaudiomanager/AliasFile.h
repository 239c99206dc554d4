#pragma once
// The kernel's module alias table (modules.alias): where it is, what identifies its current
// content, and its lines sorted into the driver data's tables.

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
    std::string prefilter; // what a query narrows the rows by, see PrefilterFor
    std::string pattern;
    std::string module;
};

// Sorts alias lines ("alias <pattern> <module>") into rows. Comments, blank lines and anything
// malformed (other word counts, NUL or control characters, patterns of the pci, usb or hdaudio
// bus that do not split into fields, patterns without a bus) are skipped.
std::vector<AliasRow> ParseAliasLines(std::string_view text);

// The whole file; nullopt when it cannot be read or is implausibly large for an alias table.
std::optional<std::string> ReadAliasFile(const std::string& path);

// The cheap key rows are found by: the first hex digits of the vendor field (8 for PCI, 4 for
// USB and HDAUDIO) when they are all plain hex, else "*" (the row must always be tried). For
// OTHER the bus name, or "*" when the bus is itself a glob. Used alike for patterns at build time
// and for ids at query time.
std::string PrefilterFor(DriverTable table, std::string_view busOrVendorField);

inline constexpr std::size_t kMaxAliasFileBytes = 64u << 20;

} // namespace tmaudiomanager
