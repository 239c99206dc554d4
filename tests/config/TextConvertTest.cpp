// UTF-8 and UTF-16, both ways, including what is not valid in either.

#include "TextConvert.h"

#include <cctype>
#include <gtest/gtest.h>

namespace {

TEST(TextConvert, ValidTextRoundTrips) {
    const std::string texts[] = {"",
                                 "Quorvel Tonemender",
                                 "caf\xC3\xA9",
                                 "\xE2\x82\xAC 5",
                                 "\xF0\x9F\x98\x80",
                                 std::string("a\0b", 3),
                                 "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"};
    for (const std::string& text : texts) {
        EXPECT_EQ(WideToNarrow(NarrowToWide(text)), text);
    }
    EXPECT_EQ(NarrowToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(NarrowToWide("caf\xC3\xA9"), u"caf\u00e9");
}

TEST(TextConvert, LoneSurrogatesBecomeTheReplacementCharacter) {
    const std::u16string high(1, char16_t{0xD800});
    const std::u16string low(1, char16_t{0xDC00});
    EXPECT_EQ(WideToNarrow(u"a" + high + u"b"), "a\xEF\xBF\xBD"
                                                "b");
    EXPECT_EQ(WideToNarrow(low + high), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(WideToNarrow(high), "\xEF\xBF\xBD");
    EXPECT_EQ(WideToNarrow(high + high + low), "\xEF\xBF\xBD\xF0\x90\x80\x80");
}

TEST(TextConvert, InvalidUtf8BecomesTheReplacementCharacter) {
    const std::u16string r(1, char16_t{0xFFFD});
    const struct {
        const char* what;
        std::string narrow;
        std::u16string wide;
    } cases[] = {
        {"lone continuation byte", "a\x80z", u"a" + r + u"z"},
        {"lone lead byte", "a\xC3z", u"a" + r + u"z"},
        {"cut short at the end", "a\xE2\x82", u"a" + r},
        {"overlong form", "\xC0\x80", r + r},
        {"encoded surrogate", "\xED\xA0\x80", r + r + r},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
        {"invalid byte", "\xFF", r},
        {"broken sequence keeps the next character",
         "\xE2\x82"
         "A",
         r + u"A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NarrowToWide(c.narrow), c.wide) << c.what;
    }
}

// The one decoder every reader of UTF-8 goes through: the code point, how far it moved, and
// whether a U+FFFD stands for bad bytes or was written as such.
TEST(TextConvert, NextUtf8CodePointTakesOneCharacterOrOneMaximalBadPart) {
    const struct {
        const char* what;
        std::string text;
        std::size_t at;
        char32_t code;
        std::size_t next;
        bool replaced;
    } cases[] = {
        {"ASCII", "a", 0, U'a', 1, false},
        {"NUL is a character", std::string("\0", 1), 0, 0, 1, false},
        {"two bytes", "\xC3\xA9", 0, 0xE9, 2, false},
        {"three bytes, mid-text", "x\xE2\x82\xAC", 1, 0x20AC, 4, false},
        {"four bytes", "\xF0\x9F\x98\x80", 0, 0x1F600, 4, false},
        {"the last code point", "\xF4\x8F\xBF\xBF", 0, 0x10FFFF, 4, false},
        {"an encoded U+FFFD", "\xEF\xBF\xBD", 0, 0xFFFD, 3, false},
        {"lone continuation byte", "\x80", 0, 0xFFFD, 1, true},
        {"overlong lead C0", "\xC0\x80", 0, 0xFFFD, 1, true},
        {"overlong three bytes", "\xE0\x80\xAF", 0, 0xFFFD, 1, true},
        {"encoded surrogate", "\xED\xA0\x80", 0, 0xFFFD, 1, true},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0xFFFD, 1, true},
        {"lead F5", "\xF5\x80\x80\x80", 0, 0xFFFD, 1, true},
        {"byte never used", "\xFF", 0, 0xFFFD, 1, true},
        {"cut short at the end", "\xF0\x9F\x98", 0, 0xFFFD, 3, true},
        {"broken by ASCII",
         "\xE2\x82"
         "A",
         0, 0xFFFD, 2, true},
        {"broken by a new lead", "\xC3\xC3\xA9", 0, 0xFFFD, 1, true},
        {"at the end: nothing read", "a", 1, 0xFFFD, 1, true},
        {"past the end: nothing read", "a", 5, 0xFFFD, 5, true},
    };
    for (const auto& c : cases) {
        std::size_t at = c.at;
        const char32_t code = NextUtf8CodePoint(c.text, at);
        EXPECT_EQ(code, c.code) << c.what;
        EXPECT_EQ(at, c.next) << c.what;
        if (at > c.at) {
            EXPECT_EQ(IsReplacedUtf8(code, c.text, c.at, at), c.replaced) << c.what;
        }
    }
}

TEST(TextConvert, HexDigitReadsEitherCaseAndNothingElse) {
    const std::string digits = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(HexDigit(digits[i]), i);
        EXPECT_EQ(HexDigit(static_cast<char>(std::toupper(digits[i]))), i);
    }
    for (char c : std::string("gG/:@`xX \0\xFF", 11)) {
        EXPECT_EQ(HexDigit(c), -1) << static_cast<int>(c);
    }
}

} // namespace
