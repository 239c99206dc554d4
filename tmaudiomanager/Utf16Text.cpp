#include "tmaudiomanager/Utf16Text.h"

#include "config/TextConvert.h"

namespace tmaudiomanager {

std::u16string ToUtf16(std::string_view utf8, std::size_t maxUnits) {
    std::u16string result;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = NextUtf8CodePoint(utf8, i);
        if (c < 0x20 || c == 0x7F) {
            c = u' ';
        }
        if (c >= 0x10000) {
            if (result.size() + 2 > maxUnits) {
                break;
            }
            c -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            if (result.size() + 1 > maxUnits) {
                break;
            }
            result.push_back(static_cast<char16_t>(c));
        }
    }
    return result;
}

} // namespace tmaudiomanager
