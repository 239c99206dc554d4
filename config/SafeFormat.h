#pragma once
// Fills the format templates of the configuration ("Problems found (%d)", "Tonemender is up to
// date (%s)") from typed arguments. The template comes from a document, so it is never handed
// to printf: every conversion is checked against its argument.
//
// Understood: "%s" (a text), "%d" (an integer), "%u" (a non-negative integer), "%%" (a percent
// sign). Anything else after a '%', a missing or surplus argument, or an argument of the wrong
// kind raises FormatError "Format '<template>' invalid or incompatible with argument".

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

class FormatArgument {
public:
    FormatArgument(std::string_view text) : value_(std::string(text)) {}
    FormatArgument(const std::string& text) : value_(text) {}
    FormatArgument(const char* text) : value_(std::string(text != nullptr ? text : "")) {}

    template <class Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool> &&
             !std::is_same_v<Integer, char>) FormatArgument(Integer number) {
        if constexpr (std::is_signed_v<Integer>) {
            value_ = static_cast<std::int64_t>(number);
        } else {
            value_ = static_cast<std::uint64_t>(number);
        }
    }

    const std::string* Text() const { return std::get_if<std::string>(&value_); }
    const std::int64_t* Signed() const { return std::get_if<std::int64_t>(&value_); }
    const std::uint64_t* Unsigned() const { return std::get_if<std::uint64_t>(&value_); }

private:
    std::variant<std::string, std::int64_t, std::uint64_t> value_;
};

std::string SafeFormat(std::string_view templateText, std::initializer_list<FormatArgument> args);
