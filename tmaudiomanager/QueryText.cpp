#include "tmaudiomanager/QueryText.h"

namespace tmaudiomanager {

std::optional<DriverQuery> ParseDriverQuery(std::string_view text) {
    static constexpr std::string_view kHead = "SELECT * FROM ";
    static constexpr std::string_view kMiddle = " WHERE hwid = '";
    static constexpr std::string_view kTail = "';";
    static constexpr std::string_view kTables[] = {"HDAUDIO", "OTHER", "PCI", "USB"};

    if (text.substr(0, kHead.size()) != kHead) {
        return std::nullopt;
    }
    text.remove_prefix(kHead.size());
    for (std::string_view table : kTables) {
        if (text.substr(0, table.size()) != table ||
            text.substr(table.size(), kMiddle.size()) != kMiddle) {
            continue;
        }
        std::string_view id = text.substr(table.size() + kMiddle.size());
        if (id.size() < kTail.size() || id.substr(id.size() - kTail.size()) != kTail) {
            return std::nullopt;
        }
        id.remove_suffix(kTail.size());
        return DriverQuery{std::string(table), std::string(id)};
    }
    return std::nullopt;
}

} // namespace tmaudiomanager
