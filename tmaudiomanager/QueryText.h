#pragma once
// The one query text the driver query understands:
//     SELECT * FROM <table> WHERE hwid = '<id>';
// Taken apart by plain text comparison; it is never handed to SQL.

#include <optional>
#include <string>
#include <string_view>

namespace tmaudiomanager {

struct DriverQuery {
    std::string table; // one of HDAUDIO, OTHER, PCI, USB
    std::string id;    // everything between the quotes, unchanged
};

// Fails unless the text has exactly that form with a table from the fixed list. The id may be
// empty and may contain anything but a NUL; what it means is decided later.
std::optional<DriverQuery> ParseDriverQuery(std::string_view text);

} // namespace tmaudiomanager
