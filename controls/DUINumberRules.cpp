#include "controls/DUINumberRules.h"

#include "config/Errors.h"
#include "config/SplitText.h"
#include "config/TextConvert.h"

#include <vector>

namespace {

struct Reading {
    std::uint64_t wrapped = 0; // the magnitude modulo 2^64
    bool tooLarge = false;     // the magnitude passed 2^32 somewhere on the way
    bool negative = false;
    bool hexadecimal = false;
    bool digits = false;
    std::size_t end = 0; // index of the first character not read
};

int DigitValue(char c, bool hexadecimal) {
    if (hexadecimal) {
        return HexDigit(c);
    }
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

Reading Read(std::string_view text) {
    Reading reading;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        reading.negative = text[i] == '-';
        ++i;
    }
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        reading.hexadecimal = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        reading.hexadecimal = true;
        i += 2;
    }
    const std::uint64_t base = reading.hexadecimal ? 16 : 10;
    std::uint64_t exact = 0; // stops growing once past 2^32; only the range check needs it
    for (; i < n; ++i) {
        const int digit = DigitValue(text[i], reading.hexadecimal);
        if (digit < 0) {
            break;
        }
        reading.digits = true;
        reading.wrapped = reading.wrapped * base + static_cast<std::uint64_t>(digit);
        if (!reading.tooLarge) {
            exact = exact * base + static_cast<std::uint64_t>(digit);
            reading.tooLarge = exact > 0xFFFFFFFFull;
        }
    }
    reading.end = i;
    return reading;
}

std::int32_t Wrap32(std::uint64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::int32_t Wrap32(std::int64_t value) {
    return Wrap32(static_cast<std::uint64_t>(value));
}

} // namespace

std::int32_t LenientNumber(std::string_view text) {
    const Reading reading = Read(text);
    if (!reading.digits) {
        return 0;
    }
    const std::uint64_t value = reading.negative ? 0 - reading.wrapped : reading.wrapped;
    return Wrap32(value);
}

bool StrictNumber(std::string_view text, std::int32_t& value) {
    const Reading reading = Read(text);
    if (!reading.digits || reading.end != text.size() || reading.tooLarge) {
        return false;
    }
    const std::uint64_t magnitude = reading.wrapped; // exact: at most 2^32 - 1 here
    if (reading.hexadecimal) {
        const std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
        value = static_cast<std::int32_t>(reading.negative ? 0u - pattern : pattern);
        return true;
    }
    const std::uint64_t limit = reading.negative ? 0x80000000ull : 0x7FFFFFFFull;
    if (magnitude > limit) {
        return false;
    }
    value = Wrap32(reading.negative ? 0 - magnitude : magnitude);
    return true;
}

std::int32_t StrictNumberOrThrow(std::string_view text) {
    std::int32_t value = 0;
    if (!StrictNumber(text, value)) {
        throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
    }
    return value;
}

TColor ColorFromText(std::string_view text) {
    const std::string reversed = "$" + std::string(text.rbegin(), text.rend());
    const auto value = static_cast<std::uint32_t>(StrictNumberOrThrow(reversed));
    return static_cast<TColor>(RGB(static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                   static_cast<BYTE>(value >> 16)));
}

// The first number sets or moves left, the second top; the third makes right the new left plus a
// width, or moves the old right; the fourth does the same for bottom. Later numbers are ignored.
// With two numbers, right and bottom stay as the item before left them.
void ApplyRectText(TRect& rect, std::string_view text) {
    std::vector<std::string> parts;
    SplitText(text, ',', parts);
    for (std::size_t j = 0; j < parts.size() && j < 4; ++j) {
        const bool relative = parts[j].find('+') != std::string::npos;
        const std::int64_t v = LenientNumber(parts[j]);
        switch (j) {
        case 0:
            rect.Left = relative ? Wrap32(rect.Left + v) : static_cast<std::int32_t>(v);
            break;
        case 1:
            rect.Top = relative ? Wrap32(rect.Top + v) : static_cast<std::int32_t>(v);
            break;
        case 2:
            rect.Right = Wrap32((relative ? rect.Right : rect.Left) + v);
            break;
        default:
            rect.Bottom = Wrap32((relative ? rect.Bottom : rect.Top) + v);
            break;
        }
    }
}
