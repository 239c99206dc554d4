#pragma once
// Kernel module alias patterns ("pci:v00008086d0000A170sv*sd*bc*sc*i*") taken apart into their
// fields, and the question whether a pattern accepts what a hardware id tells about a device.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tmaudiomanager {

// A modalias or alias pattern split at its field markers: the bus before the colon, then the
// fields in order, each a lower-case marker ("v", "sd", "isc") and its value. In a pattern the
// values are globs; in a device description from a hardware id a '?' in a value stands for a
// hex digit the id does not fix, and a field the id says nothing about is absent.
struct AliasFields {
    std::string bus;
    std::vector<std::pair<std::string, std::string>> fields;

    const std::string* Find(std::string_view marker) const;
};

// Splits "bus:m1VALUEm2VALUE...". Markers are runs of lower-case letters, values runs of
// anything else (the kernel writes hex digits in upper case, so the two never mix). Fails on
// text without a bus, with a value before the first marker, or with a repeated marker.
std::optional<AliasFields> SplitModalias(std::string_view text);

// Glob match in the shell's sense ('*', '?', "[...]" with ranges and '!'/'^', '\' escapes).
// A '?' in `text` is an unknown hex digit: only a pattern element that would take every hex
// digit ('?', '*', or a class holding 0-9 and A-F) matches it.
bool GlobMatches(std::string_view pattern, std::string_view text);

// True when every field the pattern constrains is one the device description fixes and the
// values agree. A field the description lacks matches only a pattern field of nothing but '*'.
bool PatternAccepts(const AliasFields& pattern, const AliasFields& device);

} // namespace tmaudiomanager
