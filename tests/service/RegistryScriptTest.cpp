// Reading registry scripts: every kind of key and value the audio service's script holds, and
// refusing damaged scripts with a message that says where.
#include "platform/RegistryScript.h"

#include "ScriptWriting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using platform::RegistryType;
using service_tests::HexValueLines;
using service_tests::Lines;
using service_tests::Utf16Script;
using service_tests::Utf16Z;
using testing::ElementsAre;
using testing::HasSubstr;

const std::string kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

std::vector<BYTE> MultiString(const std::vector<std::string>& strings) {
    std::vector<BYTE> bytes;
    for (const std::string& s : strings) {
        std::vector<BYTE> one = Utf16Z(s);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<BYTE> Counting(std::size_t count) {
    std::vector<BYTE> bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<BYTE>(i * 7 + 3));
    }
    return bytes;
}

// "line N" of the first line holding marker.
std::string LineOf(const std::string& text, const std::string& marker) {
    std::size_t at = text.find(marker);
    int line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        line += text[i] == '\n' ? 1 : 0;
    }
    return "line " + std::to_string(line);
}

// A script in the audio service's own shape, with one of everything.
std::string SampleText() {
    return Lines({
        "Windows Registry Editor Version 5.00",
        "",
        "[" + kServices + "AudioSrv]",
        HexValueLines("\"DependOnService\"", 7, MultiString({"PlugPlay", "RpcSs"})),
        "\"Description\"=\"Says \\\"hi\\\" in C:\\\\Windows – ünïcode ✓ 𝄞\"",
        "\"ErrorControl\"=dword:00000001",
        HexValueLines("\"ImagePath\"", 2, Utf16Z("%SystemRoot%\\System32\\svchost.exe -k netsvcs")),
        "\"Type\"=dword:20",
        "@=\"default value\"",
        "",
        "; a comment between keys",
        "[" + kServices + "AudioSrv\\Enum]",
        "\"0\"=\"Root\\\\LEGACY_AUDIOSRV\\\\0000\"",
        "\"Empty\"=\"\"",
        "",
        "[" + kServices + "RpcSs]",
        HexValueLines("\"FailureActions\"", -1, Counting(28)),
        HexValueLines("\"Big\"", 0xb, {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}),
        "\"NoData\"=hex:",
        "",
        "[" + kServices + "PlugPlay\\Security]",
        HexValueLines("\"Security\"", -1, Counting(168)),
        "",
    });
}

TEST(RegistryScript, ReadsEveryKeyAndValue) {
    std::string error;
    const std::string text = SampleText();
    auto script = platform::ParseRegistryScript(Utf16Script(text), &error);
    ASSERT_TRUE(script) << error;

    ASSERT_EQ(script->keys.size(), 4u);
    EXPECT_EQ(script->keys[0].path, kServices + "AudioSrv");
    EXPECT_EQ(script->keys[1].path, kServices + "AudioSrv\\Enum");
    EXPECT_EQ(script->keys[2].path, kServices + "RpcSs");
    EXPECT_EQ(script->keys[3].path, kServices + "PlugPlay\\Security");
    EXPECT_EQ("line " + std::to_string(script->keys[1].line), LineOf(text, "AudioSrv\\Enum]"));

    const auto& audio = script->keys[0].values;
    ASSERT_EQ(audio.size(), 6u);
    EXPECT_EQ(audio[0].name, "DependOnService");
    EXPECT_EQ(audio[0].type, RegistryType::MultiString);
    EXPECT_THAT(audio[0].strings, ElementsAre("PlugPlay", "RpcSs"));
    EXPECT_EQ(audio[0].data, MultiString({"PlugPlay", "RpcSs"}));

    EXPECT_EQ(audio[1].type, RegistryType::String);
    EXPECT_EQ(audio[1].text, "Says \"hi\" in C:\\Windows – ünïcode ✓ 𝄞");
    EXPECT_EQ(audio[1].data, Utf16Z(audio[1].text));

    EXPECT_EQ(audio[2].type, RegistryType::Dword);
    EXPECT_EQ(audio[2].number, 1u);
    EXPECT_THAT(audio[2].data, ElementsAre(1, 0, 0, 0));

    EXPECT_EQ(audio[3].name, "ImagePath");
    EXPECT_EQ(audio[3].type, RegistryType::ExpandString);
    EXPECT_EQ(audio[3].text, "%SystemRoot%\\System32\\svchost.exe -k netsvcs");
    EXPECT_EQ("line " + std::to_string(audio[3].line), LineOf(text, "\"ImagePath\""));

    EXPECT_EQ(audio[4].number, 0x20u);
    EXPECT_TRUE(audio[5].isDefault);
    EXPECT_EQ(audio[5].name, "");
    EXPECT_EQ(audio[5].text, "default value");
    EXPECT_EQ("line " + std::to_string(audio[5].line), LineOf(text, "@="));

    const auto& enumeration = script->keys[1].values;
    ASSERT_EQ(enumeration.size(), 2u);
    EXPECT_EQ(enumeration[0].name, "0");
    EXPECT_EQ(enumeration[0].text, "Root\\LEGACY_AUDIOSRV\\0000");
    EXPECT_EQ(enumeration[1].text, "");
    EXPECT_EQ(enumeration[1].data, Utf16Z(""));

    const auto& rpc = script->keys[2].values;
    ASSERT_EQ(rpc.size(), 3u);
    EXPECT_EQ(rpc[0].type, RegistryType::Binary);
    EXPECT_EQ(rpc[0].data, Counting(28));
    EXPECT_EQ(rpc[1].type, RegistryType::Qword);
    EXPECT_EQ(rpc[1].number, 0x0102030405060708u);
    EXPECT_TRUE(rpc[2].data.empty());

    ASSERT_EQ(script->keys[3].values.size(), 1u);
    EXPECT_EQ(script->keys[3].values[0].data, Counting(168));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "test script lacks " << from;
        return text;
    }
    return text.replace(at, from.size(), to);
}

TEST(RegistryScript, RefusesDamagedScriptsSayingWhere) {
    const std::string good = SampleText();
    const std::string header = "Windows Registry Editor Version 5.00";
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Test]";
    auto small = [&](const std::string& value) { return Utf16Script(Lines({header, key, value})); };
    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
        std::string error;
    };
    std::vector<BYTE> noBom = Utf16Script(good);
    noBom.erase(noBom.begin(), noBom.begin() + 2);
    std::vector<BYTE> odd = Utf16Script(good);
    odd.push_back(0x41);
    std::vector<BYTE> loneSurrogate = Utf16Script(header + "\r\n");
    loneSurrogate.insert(loneSurrogate.end(), {0x00, 0xD8, 0x41, 0x00});
    std::vector<BYTE> utf8 = {'W', 'i', 'n'};
    std::vector<BYTE> empty;
    const std::string errorControl = LineOf(good, "\"ErrorControl\"");
    const std::string type = LineOf(good, "\"Type\"");
    const std::string noData = LineOf(good, "\"NoData\"");
    const std::string rpcKey = LineOf(good, "RpcSs]");

    const Case cases[] = {
        {"no byte-order mark", noBom, "byte-order mark"},
        {"UTF-8 text", utf8, "byte-order mark"},
        {"empty file", empty, "byte-order mark"},
        {"half a character", odd, "half a character"},
        {"lone surrogate", loneSurrogate, "not valid UTF-16"},
        {"other header", Utf16Script(Replace(good, "5.00", "4.00")), "line 1: the first line"},
        {"REGEDIT4 header", Utf16Script(Replace(good, header, "REGEDIT4")), "line 1"},
        {"LF line end", Utf16Script(Replace(good, "\r\n\"ErrorControl", "\n\"ErrorControl")),
         LineOf(good, "\"Description\"") + ": a line ends in LF without CR"},
        {"CR line end", Utf16Script(Replace(good, "\r\n\"ErrorControl", "\r\"ErrorControl")),
         LineOf(good, "\"Description\"") + ": a line ends in CR without LF"},
        {"NUL in the text", Utf16Script(Replace(good, "Says", std::string("Sa\0ys", 5))), "NUL"},
        {"value before any key", Utf16Script(Lines({header, "", "\"A\"=dword:1"})),
         "line 3: a value before any key"},
        {"key without closing bracket", Utf16Script(Replace(good, "RpcSs]", "RpcSs")),
         rpcKey + ": a key line must end in ']'"},
        {"unknown root key", Utf16Script(Replace(good, "[HKEY_LOCAL_MACHINE", "[HKEY_NOWHERE")),
         "line 3: \"HKEY_NOWHERE\" is not a registry root key"},
        {"empty key part", Utf16Script(Replace(good, "Services\\RpcSs]", "Services\\\\RpcSs]")),
         rpcKey + ": the key path has an empty part"},
        {"trailing backslash in a key", Utf16Script(Replace(good, "RpcSs]", "RpcSs\\]")),
         rpcKey + ": the key path has an empty part"},
        {"key deletion", Utf16Script(Replace(good, "[HKEY_LOCAL_MACHINE", "[-HKEY_LOCAL_MACHINE")),
         "line 3: deleting keys"},
        {"value deletion", Utf16Script(Replace(good, "\"Type\"=dword:20", "\"Type\"=-")),
         type + ": deleting values"},
        {"unterminated string", Utf16Script(Replace(good, "\"default value\"", "\"default value")),
         LineOf(good, "@=") + ": string value: the closing quote is missing"},
        {"unterminated name", Utf16Script(Replace(good, "\"Type\"=", "\"Type=")),
         type + ": value name"},
        {"stray escape", Utf16Script(Replace(good, "C:\\\\Windows", "C:\\Windows")),
         LineOf(good, "\"Description\"") + ": string value: a backslash that escapes nothing"},
        {"control character in a string", small("\"a\"=\"x\ty\""),
         "line 3: string value: a control"},
        {"text after a string",
         Utf16Script(Replace(good, "\"default value\"", "\"default\" value")),
         LineOf(good, "@=") + ": text after the closing quote"},
        {"no equals sign", Utf16Script(Replace(good, "\"Type\"=dword", "\"Type\" dword")),
         type + ": '=' must follow"},
        {"dword too long", Utf16Script(Replace(good, "dword:00000001", "dword:000000001")),
         errorControl + ": a dword value needs one to eight hex digits"},
        {"dword not hex", Utf16Script(Replace(good, "dword:00000001", "dword:0000000g")),
         errorControl + ": a dword value"},
        {"empty dword", Utf16Script(Replace(good, "dword:00000001", "dword:")), errorControl},
        {"unknown value form", Utf16Script(Replace(good, "dword:20", "word:20")),
         type + ": the value is not a string, dword or hex value"},
        {"bad hex byte", Utf16Script(Replace(good, "\"NoData\"=hex:", "\"NoData\"=hex:0g")),
         noData + ": hex data: \"0g\" is not a byte"},
        {"one-digit hex byte", Utf16Script(Replace(good, "\"NoData\"=hex:", "\"NoData\"=hex:0")),
         noData + ": hex data"},
        {"hex without commas", Utf16Script(Replace(good, "\"NoData\"=hex:", "\"NoData\"=hex:0102")),
         noData + ": hex data: bytes must be separated by commas"},
        {"hex ending in a comma",
         Utf16Script(Replace(good, "\"NoData\"=hex:", "\"NoData\"=hex:01,")),
         noData + ": hex data"},
        {"hex with spaces", small("\"a\"=hex:01, 02"), "line 3: hex data"},
        {"unknown hex type", Utf16Script(Replace(good, "hex(b):", "hex(5):")),
         "value type 5 is not supported"},
        {"hex type not a number", Utf16Script(Replace(good, "hex(b):", "hex(x):")),
         "hex(...) needs a type number"},
        {"hex type never closed", small("\"a\"=hex(2:41,00,00,00"), "hex(...) needs a type number"},
        {"qword of seven bytes", Utf16Script(Replace(good, "hex(b):08,", "hex(b):")),
         "a number value has the wrong number of bytes"},
        {"dword of three bytes", small("\"a\"=hex(4):01,02,03"),
         "line 3: a number value has the wrong number of bytes"},
        {"expandable string without its NUL", small("\"a\"=hex(2):41,00,42,00"),
         "line 3: a string value must be UTF-16 ending in a NUL"},
        {"expandable string of odd length", small("\"a\"=hex(2):41,00,00"),
         "line 3: a string value must be UTF-16 ending in a NUL"},
        {"expandable string with an inner NUL", small("\"a\"=hex(2):41,00,00,00,42,00,00,00"),
         "line 3: a string value holds a NUL character before its end"},
        {"expandable string with a lone surrogate", small("\"a\"=hex(2):00,d8,00,00"),
         "line 3: a string value is not valid UTF-16"},
        {"multi-string without its double NUL", small("\"a\"=hex(7):41,00,00,00"),
         "line 3: a multi-string value must end in two NUL"},
        {"multi-string with an empty string inside",
         small("\"a\"=hex(7):41,00,00,00,00,00,42,00,00,00,00,00"),
         "line 3: a multi-string value holds an empty string"},
        {"continued into a blank line",
         Utf16Script(Lines({header, key, "\"a\"=hex:01,\\", "", "\"b\"=dword:1"})),
         "line 4: a continued line is followed by a blank one"},
        {"continued past the end", Utf16Script(Lines({header, key, "\"a\"=hex:01,\\"})),
         "line 3: the last line is continued past the end"},
        {"garbage line", Utf16Script(Replace(good, "; a comment", "a comment")),
         LineOf(good, "; a comment") + ": neither a key, a value nor a comment"},
        {"indented value", Utf16Script(Replace(good, "\"Empty\"", "  \"Empty\"")),
         LineOf(good, "\"Empty\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(platform::ParseRegistryScript(c.bytes, &error));
        EXPECT_THAT(error, HasSubstr(c.error));
    }
}

TEST(RegistryScript, AcceptsTheForgivableLayouts) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t values;
    };
    const std::string header = "Windows Registry Editor Version 5.00";
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Test]";
    const Case cases[] = {
        {"no line end after the last line", header + "\r\n" + key + "\r\n\"a\"=dword:1", 1},
        {"blank lines with spaces", Lines({header, "   ", key, "\t", "\"a\"=dword:1"}), 1},
        {"lower-case hex and root", Lines({header, "[hkey_current_user\\x]", "\"a\"=hex:ab,CD"}),
         1},
        {"a key with no values", Lines({header, key}), 0},
        {"an empty multi-string", Lines({header, key, "\"m\"=hex(7):00,00"}), 1},
        {"a header and nothing else", Lines({header}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto script = platform::ParseRegistryScript(Utf16Script(c.text), &error);
        ASSERT_TRUE(script) << error;
        std::size_t values = 0;
        for (const auto& k : script->keys) {
            values += k.values.size();
        }
        EXPECT_EQ(values, c.values);
    }
}

} // namespace
