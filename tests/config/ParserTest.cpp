// The grammar of the configuration dialect, stated as text in and tree out.

#include "OEUnitQxJSON.h"
#include "TreeText.h"
#include "support/Command.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

namespace {

std::string Parse(const std::string& text) {
    return TreeText(TqxJSON::ParseDocument(text).get());
}

struct GrammarCase {
    const char* what;
    std::string text;
    std::string tree;
};

class GrammarTest : public testing::TestWithParam<GrammarCase> {};

TEST_P(GrammarTest, YieldsTheExpectedTree) {
    EXPECT_EQ(Parse(GetParam().text), GetParam().tree) << GetParam().what;
}

// Separators, trailing text and the words.
INSTANTIATE_TEST_SUITE_P(
    Structure, GrammarTest,
    testing::Values(
        GrammarCase{"members without a comma", R"({"a":"x" "b":"y"})", R"({"a":"x","b":"y"})"},
        GrammarCase{"trailing comma in an object", R"({"a":"x","b":"y",})", R"({"a":"x","b":"y"})"},
        GrammarCase{"elements with and without commas", "[1 2,3,]", "[1,2,3]"},
        GrammarCase{"two commas in a row", "[1,,2]", "none"},
        GrammarCase{"an array holding only a comma", "[,]", "none"},
        GrammarCase{"an object holding only a comma", "{,}", "none"},
        GrammarCase{"text after the value is ignored", R"({"a":1}xyz{)", R"({"a":1})"},
        GrammarCase{"second value is ignored", "1 2", "1"},
        GrammarCase{"control bytes count as blanks", "\x01\x1f\t{ \r\n}\x7f", "{}"},
        GrammarCase{"capital T is no boolean", "True", "none"},
        GrammarCase{"the byte after a word is not examined", "[trueish]", "none"},
        GrammarCase{"true followed by letters at the top", "trueish", "true"},
        GrammarCase{"false", " false", "false"}, GrammarCase{"null", "[null,nul]", "none"},
        GrammarCase{"null in a list", "[null]", "[null]"},
        GrammarCase{"repeated names are all kept", R"({"a":1,"a":2})", R"({"a":1,"a":2})"},
        GrammarCase{"nested containers", R"({"l":[{},[],{"x":[true]}]})",
                    R"({"l":[{},[],{"x":[true]}]})"},
        GrammarCase{"empty text", "", "none"}, GrammarCase{"only blanks", " \r\n\t", "none"},
        GrammarCase{"only the byte order mark", "\xEF\xBB\xBF", "none"},
        GrammarCase{"byte order mark before an object", "\xEF\xBB\xBF{}", "{}"},
        GrammarCase{"byte order mark twice", "\xEF\xBB\xBF\xEF\xBB\xBF{}", "none"},
        GrammarCase{"missing colon", R"({"a" 1})", "none"},
        GrammarCase{"unquoted name", R"({a:1})", "none"},
        GrammarCase{"unterminated string in a member", R"({"a":"x)", "none"},
        GrammarCase{"a broken member fails every enclosing container",
                    R"({"ok":1,"deep":{"list":[1,{"bad" 2}]}})", "none"},
        GrammarCase{"unclosed array", "[1,2", "none"},
        GrammarCase{"unclosed object", R"({"a":1)", "none"},
        GrammarCase{"a closing bracket of the wrong kind", "[1}", "none"}));

// Numbers: the grammar and the conversion.
INSTANTIATE_TEST_SUITE_P(
    Numbers, GrammarTest,
    testing::Values(
        GrammarCase{"point without digits", "1.", "none"},
        GrammarCase{"e without digits", "1e", "none"},
        GrammarCase{"e and sign without digits", "1e+", "none"},
        GrammarCase{"lone minus", "-", "none"}, GrammarCase{"lone plus", "+", "none"},
        GrammarCase{"leading point", ".5", "none"},
        GrammarCase{"minus zero point five e plus two", "-0.5e+2", "-50"},
        GrammarCase{"plus and leading zero", "+07", "7"},
        GrammarCase{"capital E and negative exponent", "15E-1", "1.5"},
        GrammarCase{"fraction", "[0.25,-3]", "[0.25,-3]"},
        GrammarCase{"outside the double range but inside the extended one", "1e400", "inf"},
        GrammarCase{"outside every range", "1e99999", "none"},
        GrammarCase{"zero with a huge exponent", "0e99999", "0"},
        GrammarCase{"many digits", "123456789012345678901234567890", "1.2345678901234568e+29"},
        GrammarCase{"a number ends at the first byte it cannot take", "[12ab]", "none"}));

// Strings: escapes and the lenient UTF-8 decode.
INSTANTIATE_TEST_SUITE_P(
    Strings, GrammarTest,
    testing::Values(
        GrammarCase{"unknown escape drops both bytes", R"("a\qb")", R"("ab")"},
        GrammarCase{"escaped apostrophe", R"("\'")", R"("'")"},
        GrammarCase{"the standard escapes", R"("\"\\\/\b\f\n\r\t")",
                    R"("\u0022\u005C/\u0008\u000C\u000A\u000D\u0009")"},
        GrammarCase{"u escape of a two-byte character", R"("\u00e9")", R"("\u00E9")"},
        GrammarCase{"u escape of a three-byte character", R"("\u20AC")", R"("\u20AC")"},
        GrammarCase{"a surrogate pair of escapes", R"("\uD83D\uDE00")", R"("\uD83D\uDE00")"},
        GrammarCase{"u escape cut short by the end of the content", R"("ab\u41")", R"("abA")"},
        GrammarCase{"u escape with nothing after it", R"("\u")", "none"},
        GrammarCase{"u escape with a non-digit", R"(["\u00G9"])", "none"},
        GrammarCase{"u escape with a sign", R"("\u-001")", "none"},
        GrammarCase{"bad escape inside a member name", R"({"\uZZZZ":1})", "none"},
        GrammarCase{"raw two-byte UTF-8", "\"\xC3\xA9\"", R"("\u00E9")"},
        GrammarCase{"raw three-byte UTF-8", "\"\xE2\x82\xAC\"", R"("\u20AC")"},
        GrammarCase{"lone lead byte empties the value", "[\"a\xE9z\",1]", R"(["",1])"},
        GrammarCase{"sequence cut short by the end empties the value", "\"ab\xC3\"", R"("")"},
        GrammarCase{"four-byte lead read as three bytes, the rest broken", "\"\xF0\x9F\x98\x80\"",
                    R"("")"},
        GrammarCase{"raw control bytes are kept", "\"a\r\nb\x01\"", R"("a\u000D\u000Ab\u0001")"},
        GrammarCase{"escaped quote does not close", R"(["a\"b"])", R"(["a\u0022b"])"},
        GrammarCase{"escaped backslash before the closing quote", R"(["a\\"])", R"(["a\u005C"])"},
        GrammarCase{"no closing quote after an escaped quote", R"("abc\")", "none"},
        GrammarCase{"unterminated", R"("abc)", "none"},
        GrammarCase{"escapes in member names", R"({"\u0041\tb":1})", R"({"A\u0009b":1})"}));

TEST(ParseNumbers, ConvertLikeTheLibraryExtendedConversion) {
    // Short numbers take a quicker route than the library conversion; both must agree to the
    // last bit of the extended value.
    const char* texts[] = {"0.1",
                           "0.3",
                           "3.14159",
                           "2.718281828459045235",
                           "9999999999999999999",
                           "1e27",
                           "1e-27",
                           "123456789e-20",
                           "0.000000000000000000000000001",
                           "4.35",
                           "-1234.5678e+12",
                           "1e28",
                           "12345678901234567890",
                           "7e-30",
                           "00000000000000000000000000001.5"};
    std::setlocale(LC_NUMERIC, "C");
    for (const char* text : texts) {
        auto node = TqxJSON::ParseDocument(text);
        ASSERT_NE(node, nullptr) << text;
        const auto* number = dynamic_cast<const TqxJSONnumber*>(node.get());
        ASSERT_NE(number, nullptr) << text;
        EXPECT_EQ(number->Value(), std::strtold(text, nullptr)) << text;
    }
}

TEST(ParseNumbers, IgnoreTheUserLocale) {
    // A locale whose decimal separator is a comma must not change how numbers read or print.
    // The machine may have no such locale installed, so the test compiles a private one.
    testing_support::ScratchDir locales("locale");
    const auto built = testing_support::RunCommand(
        {"localedef", "-i", "de_DE", "-f", "UTF-8", locales.Path() + "/de_DE.UTF-8"}, {}, 60000);
    if (built.exitCode != 0) {
        GTEST_SKIP() << "localedef could not build de_DE.UTF-8: " << built.output;
    }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    setenv("LOCPATH", locales.Path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(Parse("[1.5, 2.25e1, 1e28, 1234567890123456789012.5]"),
              "[1.5,22.5,1e+28,1234567890123456774144]");
    EXPECT_EQ(ScalarValue(u"0.75").ToNumber(), 0.75);
    EXPECT_EQ(ScalarValue(-0.5).ToNarrowText(), "-0.5");

    std::setlocale(LC_ALL, saved.c_str());
    unsetenv("LOCPATH");
}

TEST(ParseDepth, NestingUpToTheLimitParses) {
    const int depth = TqxJSON::kMaxDepth;
    std::string text = std::string(depth - 1, '[') + "{\"a\":1}" + std::string(depth - 1, ']');
    auto root = TqxJSON::ParseDocument(text);
    ASSERT_NE(root, nullptr);
    const TqxJSONbase* node = root.get();
    for (int i = 1; i < depth; ++i) {
        ASSERT_EQ(node->Kind(), jsList);
        node = node->ItemAt(0);
    }
    EXPECT_EQ(TreeText(node), R"({"a":1})");
}

TEST(ParseDepth, DeeperNestingYieldsNone) {
    const int depth = TqxJSON::kMaxDepth + 1;
    EXPECT_EQ(Parse(std::string(depth, '[') + std::string(depth, ']')), "none");
    std::string objects;
    for (int i = 0; i < depth; ++i) {
        objects += "{\"k\":";
    }
    objects += "1" + std::string(depth, '}');
    EXPECT_EQ(Parse(objects), "none");
    // Far deeper than any stack would take, and unterminated as well.
    EXPECT_EQ(Parse(std::string(1'000'000, '[')), "none");
}

// The closing quote as the rule defines it: search the first quote, and while a backslash
// stands before it, search again from two bytes after that backslash.
std::size_t ClosingQuoteByTheRule(const std::string& text, std::size_t start) {
    std::size_t scan = start;
    for (;;) {
        if (scan >= text.size()) {
            return std::string::npos;
        }
        const std::size_t quote = text.find('"', scan);
        if (quote == std::string::npos) {
            return std::string::npos;
        }
        const std::size_t backslash = text.find('\\', scan);
        if (backslash == std::string::npos || backslash > quote) {
            return quote;
        }
        scan = backslash + 2;
    }
}

std::u16string UnescapeSmallAlphabet(const std::string& content) {
    std::u16string out;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] != '\\') {
            out.push_back(static_cast<char16_t>(content[i]));
            continue;
        }
        if (i + 1 < content.size()) {
            const char next = content[++i];
            if (next == '"' || next == '\\') {
                out.push_back(static_cast<char16_t>(next));
            } else if (next == 'n') {
                out.push_back(u'\n');
            } // other escapes drop both bytes
        }
    }
    return out;
}

TEST(ParseStrings, TheClosingQuoteIsTheOneTheRuleFinds) {
    std::mt19937 random(20240611);
    const char alphabet[] = {'"', '\\', 'a', 'n', '\\', '\\'};
    for (int round = 0; round < 5000; ++round) {
        std::string text = "\"";
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) {
            text.push_back(alphabet[random() % sizeof alphabet]);
        }
        const std::size_t close = ClosingQuoteByTheRule(text, 1);
        auto node = TqxJSON::ParseDocument(text);
        if (close == std::string::npos) {
            EXPECT_EQ(node, nullptr) << text;
            continue;
        }
        ASSERT_NE(node, nullptr) << text;
        ASSERT_EQ(node->Kind(), jsString) << text;
        EXPECT_EQ(node->ReadValue().Text(), UnescapeSmallAlphabet(text.substr(1, close - 1)))
            << text;
    }
}

TEST(ParseStrings, ManyBackslashesKeepEveryEscape) {
    const std::size_t pairs = 200'000;
    std::string text = "\"";
    for (std::size_t i = 0; i < pairs; ++i) {
        text += "\\\\";
    }
    text += "\"";
    auto node = TqxJSON::ParseDocument(text);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->ReadValue().Text(), std::u16string(pairs, u'\\'));
}

TEST(ParseStrings, UEscapeAtTheVeryEndOfTheTextReadsNothingBeyondIt) {
    // The content ends right after the escape; the sanitizer builds see any read past it.
    std::string text = "\"\\u00";
    text += '"';
    auto node = TqxJSON::ParseDocument(std::string_view(text.data(), text.size()));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->ReadValue().Text(), std::u16string(1, u'\0'));
}

TEST(ParseStrings, PlainRunsEndWhereverTheirQuoteBackslashOrWideByteFalls) {
    // Plain bytes are scanned several at a time; what ends a run must be found at every offset
    // and at every distance from the end of the text. Each text sits in a buffer of exactly its
    // size, so the sanitizer builds see any read past it.
    const struct {
        const char* what;
        std::string raw;
        std::u16string value;
    } cases[] = {
        {"nothing", "", u""},
        {"escaped quote", "\\\"", u"\""},
        {"escaped backslash", "\\\\", u"\\"},
        {"two-byte character", "\xC3\xA9", u"\u00E9"},
        {"three-byte character", "\xE2\x82\xAC", u"\u20AC"},
    };
    for (const auto& c : cases) {
        for (std::size_t before = 0; before < 20; ++before) {
            for (std::size_t after = 0; after < 20; ++after) {
                const std::string text =
                    "\"" + std::string(before, 'a') + c.raw + std::string(after, 'b') + "\"";
                const auto exact = std::make_unique<char[]>(text.size());
                std::copy(text.begin(), text.end(), exact.get());
                const std::string_view whole(exact.get(), text.size());
                auto node = TqxJSON::ParseDocument(whole);
                ASSERT_NE(node, nullptr) << c.what << " " << before << "+" << after;
                EXPECT_EQ(node->ReadValue().Text(),
                          std::u16string(before, u'a') + c.value + std::u16string(after, u'b'))
                    << c.what << " " << before << "+" << after;
                // Without its closing quote the string never ends.
                EXPECT_EQ(TqxJSON::ParseDocument(whole.substr(0, whole.size() - 1)), nullptr)
                    << c.what << " " << before << "+" << after;
            }
        }
    }
}

TEST(ParseObjects, FirstMemberOfARepeatedNameWins) {
    auto root = TqxJSON::ParseDocument(R"({"a":"first","b":0,"a":"second"})");
    auto* object = dynamic_cast<TqxJSONobject*>(root.get());
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->Indexed());
    EXPECT_EQ(object->ItemCount(), 3);
    EXPECT_EQ(object->PositionOfName(u"a"), 0);
    EXPECT_EQ(object->MemberByName(u"a")->ReadValue(), ScalarValue(u"first"));
    EXPECT_EQ(object->NameIndex().NameCount(), 2u);
}

} // namespace
