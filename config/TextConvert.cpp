#include "TextConvert.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<char16_t>(code));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
}

} // namespace

std::u16string NarrowToWide(std::string_view narrow) {
    std::u16string out;
    out.reserve(narrow.size());
    std::size_t at = 0;
    while (at < narrow.size()) {
        AppendUtf16(out, NextUtf8CodePoint(narrow, at));
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

char32_t NextUtf8CodePoint(std::string_view text, std::size_t& at) {
    if (at >= text.size()) {
        return kReplacement;
    }
    const auto lead = static_cast<std::uint8_t>(text[at++]);
    if (lead < 0x80) {
        return lead;
    }
    // The length, and the allowed range of the second byte, which shuts out overlong forms,
    // surrogates and code points past U+10FFFF; every later byte lies in 0x80..0xBF.
    int length = 0;
    std::uint8_t low = 0x80, high = 0xBF;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        if (at >= text.size()) {
            return kReplacement;
        }
        const auto next = static_cast<std::uint8_t>(text[at]);
        if (next < low || next > high) {
            return kReplacement; // the byte that broke the sequence starts the next one
        }
        code = (code << 6) | (next & 0x3F);
        ++at;
        low = 0x80, high = 0xBF;
    }
    return code;
}

bool IsReplacedUtf8(char32_t code, std::string_view text, std::size_t from, std::size_t at) {
    return code == kReplacement && text.substr(from, at - from) != "\xEF\xBF\xBD";
}

std::string WideToNarrow(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    std::size_t i = 0;
    const std::size_t n = wide.size();
    while (i < n) {
        const char16_t unit = wide[i];
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 &&
                   wide[i + 1] <= 0xDFFF) {
            const char32_t code =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            AppendUtf8(out, code);
            i += 2;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
            ++i;
        } else {
            AppendUtf8(out, unit);
            ++i;
        }
    }
    return out;
}
