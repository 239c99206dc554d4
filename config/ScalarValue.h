#pragma once
// The tagged scalar that document nodes and the lookup cache exchange: nothing, a wide text, a
// floating number or a boolean.

#include <string>
#include <variant>

class ScalarValue {
public:
    ScalarValue() = default;
    ScalarValue(std::u16string text) : value_(std::move(text)) {}
    ScalarValue(const char16_t* text) : value_(std::u16string(text)) {}
    ScalarValue(double number) : value_(number) {}
    ScalarValue(bool flag) : value_(flag) {}
    // Narrow text would silently become a boolean; say which text is meant.
    ScalarValue(const char*) = delete;

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsText() const { return std::holds_alternative<std::u16string>(value_); }
    bool IsNumber() const { return std::holds_alternative<double>(value_); }
    bool IsBoolean() const { return std::holds_alternative<bool>(value_); }

    // The held alternative itself; only valid for the matching Is...() check.
    const std::u16string& Text() const { return std::get<std::u16string>(value_); }
    double Number() const { return std::get<double>(value_); }
    bool Boolean() const { return std::get<bool>(value_); }

    // Conversions between the alternatives. Nothing converts to 0, the empty text or false.
    // A text that is not a number (or, for ToBoolean, not "true"/"false" either) raises
    // ConvertError; true counts as 1 and false as 0.
    double ToNumber() const;
    std::u16string ToWideText() const;
    bool ToBoolean() const;

    // The value as narrow (UTF-8) text: a text converted, a number in its shortest form that
    // reads back to the same double, a boolean as "true" or "false", nothing as "".
    std::string ToNarrowText() const;

    friend bool operator==(const ScalarValue&, const ScalarValue&) = default;

private:
    std::variant<std::monostate, std::u16string, double, bool> value_;
};
