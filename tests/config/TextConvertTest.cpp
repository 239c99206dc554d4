// UTF-8 and UTF-16, both ways, including what is not valid in either.

#include "TextConvert.h"

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

} // namespace
