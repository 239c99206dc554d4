#include "ScalarValue.h"

#include "Errors.h"
#include "TextConvert.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// Text of a double that reads back to the same value, independent of the locale.
std::string NumberText(double number) {
    if (std::isnan(number)) {
        return "NAN";
    }
    if (std::isinf(number)) {
        return number < 0 ? "-INF" : "INF";
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

bool AsciiEqualsIgnoringCase(std::u16string_view text, std::u16string_view lowerWord) {
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void ThrowNotConvertible(const std::u16string& text, const char* target) {
    throw ConvertError("Could not convert '" + WideToNarrow(text) + "' into type (" + target + ")");
}

// Whole text as a decimal number (blanks around it allowed), or false.
bool ParseNumberText(const std::u16string& text, double& number) {
    std::string narrow;
    for (char16_t c : text) {
        if (c >= 0x80) {
            return false;
        }
        narrow.push_back(static_cast<char>(c));
    }
    std::size_t first = narrow.find_first_not_of(" \t\r\n");
    std::size_t last = narrow.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return false;
    }
    const char* begin = narrow.data() + first;
    const char* end = narrow.data() + last + 1;
    if (*begin == '+') {
        ++begin;
    }
    auto result = std::from_chars(begin, end, number);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace

double ScalarValue::ToNumber() const {
    if (IsNumber()) {
        return Number();
    }
    if (IsBoolean()) {
        return Boolean() ? 1.0 : 0.0;
    }
    if (IsText()) {
        double number = 0;
        if (!ParseNumberText(Text(), number)) {
            ThrowNotConvertible(Text(), "Double");
        }
        return number;
    }
    return 0.0;
}

std::u16string ScalarValue::ToWideText() const {
    if (IsText()) {
        return Text();
    }
    return NarrowToWide(ToNarrowText());
}

bool ScalarValue::ToBoolean() const {
    if (IsBoolean()) {
        return Boolean();
    }
    if (IsNumber()) {
        return Number() != 0.0;
    }
    if (IsText()) {
        if (AsciiEqualsIgnoringCase(Text(), u"true")) {
            return true;
        }
        if (AsciiEqualsIgnoringCase(Text(), u"false")) {
            return false;
        }
        double number = 0;
        if (!ParseNumberText(Text(), number)) {
            ThrowNotConvertible(Text(), "Boolean");
        }
        return number != 0.0;
    }
    return false;
}

std::string ScalarValue::ToNarrowText() const {
    if (IsText()) {
        return WideToNarrow(Text());
    }
    if (IsNumber()) {
        return NumberText(Number());
    }
    if (IsBoolean()) {
        return Boolean() ? "true" : "false";
    }
    return {};
}
