// The --json output's writer: string escaping, what becomes of text that is not UTF-8, and
// documents that a real JSON parser reads back as written.
#include "JsonWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace {

using namespace std::string_literals;

TEST(JsonQuote, EscapesWhatJsonRequiresAndKeepsTheRest) {
    const struct {
        std::string text;
        std::string quoted;
    } cases[] = {
        {"", R"("")"},
        {"plain text", R"("plain text")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {R"(C:\Windows\regedit.exe)", R"("C:\\Windows\\regedit.exe")"},
        {"a/b", R"("a/b")"},
        {"tab\there", R"("tab\there")"},
        {"line\r\nbreak", R"("line\r\nbreak")"},
        {"\b\f", R"("\b\f")"},
        {"nul\0inside"s, R"("nul\u0000inside")"},
        {"\x01\x1f", R"("\u0001\u001f")"},
        // DEL and the C1 controls are legal raw, but a terminal would obey them.
        {"\x7f", R"("\u007f")"},
        {"\xc2\x80 \xc2\x9b \xc2\x9f \xc2\xa0", "\"\\u0080 \\u009b \\u009f \xc2\xa0\""},
        {"Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x94\x8a",
         "\"Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x94\x8a\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonQuote(c.text), c.quoted) << c.quoted;
        EXPECT_EQ(nlohmann::json::parse(JsonQuote(c.text)).get<std::string>(), c.text) << c.quoted;
    }
}

TEST(JsonQuote, TurnsWhatIsNotUtf8IntoTheReplacementCharacter) {
    const std::string r = "\xef\xbf\xbd";
    const struct {
        const char* name;
        std::string text;
        std::string decoded;
    } cases[] = {
        {"a lone continuation byte", "a\x80z", "a" + r + "z"},
        {"a Latin-1 byte", "caf\xe9", "caf" + r},
        {"a cut-off sequence at the end", "ab\xe2\x82", "ab" + r},
        {"a lead byte before ASCII",
         "\xc3"
         "A",
         r + "A"},
        {"an overlong slash", "\xc0\xaf", r + r},
        {"an overlong three-byte form", "\xe0\x80\xaf", r + r + r},
        {"an encoded surrogate", "\xed\xa0\x80", r + r + r},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", r + r + r + r},
        {"a byte never used", "\xff", r},
    };
    for (const auto& c : cases) {
        const std::string quoted = JsonQuote(c.text);
        nlohmann::json parsed;
        ASSERT_NO_THROW(parsed = nlohmann::json::parse(quoted)) << c.name;
        EXPECT_EQ(parsed.get<std::string>(), c.decoded) << c.name;
    }
}

TEST(JsonWriter, WritesNestedDocumentsAParserReadsBack) {
    JsonWriter json;
    json.BeginObject();
    json.Key("count").Number(-2);
    json.Key("big").Number(4294967295);
    json.Key("yes").Bool(true);
    json.Key("no").Bool(false);
    json.Key("nothing").Null();
    json.Key("empty list").BeginArray().EndArray();
    json.Key("empty object").BeginObject().EndObject();
    json.Key("list").BeginArray();
    json.String("one").Number(2);
    json.BeginObject().Key("\"odd\" key\n").String("v").EndObject();
    json.EndArray();
    json.EndObject();

    const auto parsed = nlohmann::json::parse(json.Text());
    EXPECT_EQ(parsed, nlohmann::json::parse(R"({
        "count": -2, "big": 4294967295, "yes": true, "no": false, "nothing": null,
        "empty list": [], "empty object": {},
        "list": ["one", 2, {"\"odd\" key\n": "v"}]
    })"));
    EXPECT_EQ(json.Text().back(), '\n');
}

TEST(JsonWriter, IndentsOneMemberPerLine) {
    JsonWriter json;
    json.BeginObject().Key("a").BeginArray().Number(1).Number(2).EndArray().Key("b").Null();
    json.EndObject();
    EXPECT_EQ(json.Text(), "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": null\n}\n");
}

TEST(JsonWriter, RefusesToWriteSomethingThatIsNotJson) {
    const struct {
        const char* name;
        void (*misuse)(JsonWriter&);
    } cases[] = {
        {"a value without a name in an object", [](JsonWriter& j) { j.BeginObject().Number(1); }},
        {"a name in an array", [](JsonWriter& j) { j.BeginArray().Key("a"); }},
        {"a name at the top", [](JsonWriter& j) { j.Key("a"); }},
        {"two names in a row", [](JsonWriter& j) { j.BeginObject().Key("a").Key("b"); }},
        {"closing an object with a name pending",
         [](JsonWriter& j) { j.BeginObject().Key("a").EndObject(); }},
        {"the wrong bracket", [](JsonWriter& j) { j.BeginArray().EndObject(); }},
        {"closing what is not open", [](JsonWriter& j) { j.EndArray(); }},
        {"a second top-level value", [](JsonWriter& j) { j.BeginArray().EndArray().Null(); }},
    };
    for (const auto& c : cases) {
        JsonWriter json;
        EXPECT_THROW(c.misuse(json), std::logic_error) << c.name;
    }
}

} // namespace
