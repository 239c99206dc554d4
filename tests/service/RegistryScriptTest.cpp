// Reading registry scripts: the keys of a script with every kind of value the audio service's
// script holds, and refusing damaged scripts with a message that says where.
#include "platform/RegistryScript.h"

#include "ScriptWriting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using service_tests::HexValueLines;
using service_tests::Lines;
using service_tests::Utf16Script;
using service_tests::Utf16Z;
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

TEST(RegistryScript, ReadsEveryKeyInOrderPastEveryKindOfValue) {
    std::string error;
    const std::string text = SampleText();
    auto script = platform::ParseRegistryScript(Utf16Script(text), &error);
    ASSERT_TRUE(script) << error;

    ASSERT_EQ(script->keys.size(), 4u);
    EXPECT_EQ(script->keys[0].path, kServices + "AudioSrv");
    EXPECT_EQ(script->keys[1].path, kServices + "AudioSrv\\Enum");
    EXPECT_EQ(script->keys[2].path, kServices + "RpcSs");
    EXPECT_EQ(script->keys[3].path, kServices + "PlugPlay\\Security");
    EXPECT_EQ("line " + std::to_string(script->keys[0].line), LineOf(text, "AudioSrv]"));
    EXPECT_EQ("line " + std::to_string(script->keys[1].line), LineOf(text, "AudioSrv\\Enum]"));
    // Past the continued hex lines of the values before it.
    EXPECT_EQ("line " + std::to_string(script->keys[3].line), LineOf(text, "Security]"));
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
        {"hex type not a number", Utf16Script(Replace(good, "hex(b):", "hex(x):")),
         "hex(...) needs a type number"},
        {"hex type never closed", small("\"a\"=hex(2:41,00,00,00"), "hex(...) needs a type number"},
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
        std::size_t keys;
    };
    const std::string header = "Windows Registry Editor Version 5.00";
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Test]";
    const Case cases[] = {
        {"no line end after the last line", header + "\r\n" + key + "\r\n\"a\"=dword:1", 1},
        {"blank lines with spaces", Lines({header, "   ", key, "\t", "\"a\"=dword:1"}), 1},
        {"lower-case hex and root", Lines({header, "[hkey_current_user\\x]", "\"a\"=hex:ab,CD"}),
         1},
        {"a key with no values", Lines({header, key, key}), 2},
        {"an empty multi-string", Lines({header, key, "\"m\"=hex(7):00,00"}), 1},
        {"a header and nothing else", Lines({header}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto script = platform::ParseRegistryScript(Utf16Script(c.text), &error);
        ASSERT_TRUE(script) << error;
        EXPECT_EQ(script->keys.size(), c.keys);
    }
}

} // namespace
