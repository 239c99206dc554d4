#include "tmaudiomanager/Utf16Text.h"

namespace tmaudiomanager {

namespace {

// Decodes one code point at text[i], moving i past it; malformed input gives U+FFFD and moves
// one byte on.
char32_t DecodeOne(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        value = value << 6 | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(length);
    return value;
}

} // namespace

std::u16string ToUtf16(std::string_view utf8, std::size_t maxUnits) {
    std::u16string result;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = DecodeOne(utf8, i);
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
