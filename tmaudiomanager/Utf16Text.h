#pragma once
// Texts for the device record: UTF-8 from sysfs turned into UTF-16, cut to a number of units.

#include <cstddef>
#include <string>
#include <string_view>

namespace tmaudiomanager {

// Decodes UTF-8 (anything malformed becomes U+FFFD, control characters a space) and keeps at
// most maxUnits UTF-16 units, never splitting a surrogate pair.
std::u16string ToUtf16(std::string_view utf8, std::size_t maxUnits);

} // namespace tmaudiomanager
