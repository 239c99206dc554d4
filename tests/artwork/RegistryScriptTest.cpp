// The packed registry script: its frame, its text form, every key and value of the audio
// service definition in order, and the binary values the service manager will read back.
#include "ResourceFiles.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <zlib.h>

using namespace artwork_test;

namespace {

const char kServices[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

// Inflates the zlib stream behind the 4-byte size, insisting that the stream ends exactly
// where the size says.
Bytes Unpack(const Bytes& framed) {
    const std::uint32_t size = Le32(framed, 0);
    Bytes out(size);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        throw std::runtime_error("inflateInit");
    }
    z.next_in = const_cast<Bytes::value_type*>(framed.data() + 4);
    z.avail_in = static_cast<uInt>(framed.size() - 4);
    z.next_out = out.data();
    z.avail_out = size;
    const int rc = inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    const uInt leftOver = z.avail_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || produced != size || leftOver != 0) {
        throw std::runtime_error("stream does not end at the announced size");
    }
    return out;
}

std::string Utf16LeToAscii(const Bytes& b, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i + 1 < b.size(); i += 2) {
        const unsigned unit = b[i] | b[i + 1] << 8;
        if (unit == 0 || unit > 0x7E) {
            throw std::runtime_error("unexpected character in the script text");
        }
        out += static_cast<char>(unit);
    }
    return out;
}

std::string ScriptText() {
    const Bytes text = Unpack(ReadResource("AUDIOSRV_5X.ZIP"));
    if (text.size() < 2 || text[0] != 0xFF || text[1] != 0xFE) {
        throw std::runtime_error("no UTF-16LE byte order mark");
    }
    return Utf16LeToAscii(text, 2);
}

std::vector<std::string> PhysicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            throw std::runtime_error("last line not ended by CR LF");
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

struct Value {
    std::string name;
    std::string kind; // "string", "dword", "hex", "hex(2)", "hex(7)"
    std::string text; // string values, unescaped
    std::uint32_t dword = 0;
    Bytes data;
};

struct Key {
    std::string path;
    std::vector<Value> values;
};

// Reads a quoted registry string starting at text[at] == '"'; leaves at after the quote.
std::string Unquote(const std::string& text, std::size_t& at) {
    if (text[at] != '"') {
        throw std::runtime_error("expected a quote in: " + text);
    }
    std::string out;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\') {
            ++at;
            if (at >= text.size() || (text[at] != '\\' && text[at] != '"')) {
                throw std::runtime_error("bad escape in: " + text);
            }
        }
        out += text[at];
    }
    if (at >= text.size()) {
        throw std::runtime_error("unterminated string: " + text);
    }
    ++at;
    return out;
}

Value ParseValue(const std::string& line) {
    Value v;
    std::size_t at = 0;
    v.name = Unquote(line, at);
    if (line[at++] != '=') {
        throw std::runtime_error("no '=' in: " + line);
    }
    const std::string rest = line.substr(at);
    if (!rest.empty() && rest[0] == '"') {
        std::size_t i = 0;
        v.kind = "string";
        v.text = Unquote(rest, i);
        if (i != rest.size()) {
            throw std::runtime_error("text after a string: " + line);
        }
    } else if (rest.rfind("dword:", 0) == 0) {
        v.kind = "dword";
        if (rest.size() != 14 ||
            rest.find_first_not_of("0123456789abcdef", 6) != std::string::npos) {
            throw std::runtime_error("bad dword: " + line);
        }
        v.dword = static_cast<std::uint32_t>(std::stoul(rest.substr(6), nullptr, 16));
    } else {
        const std::size_t colon = rest.find(':');
        v.kind = rest.substr(0, colon);
        if (v.kind != "hex" && v.kind != "hex(2)" && v.kind != "hex(7)") {
            throw std::runtime_error("unknown value form: " + line);
        }
        std::istringstream bytes(rest.substr(colon + 1));
        std::string item;
        while (std::getline(bytes, item, ',')) {
            if (item.size() != 2 ||
                item.find_first_not_of("0123456789abcdef") != std::string::npos) {
                throw std::runtime_error("bad hex byte '" + item + "' in: " + v.name);
            }
            v.data.push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
        }
    }
    return v;
}

// The header, then blocks of "[key]" and values, each block ended by a blank line; a hex value
// continues on the next line after a trailing backslash.
std::vector<Key> ParseScript(const std::string& text) {
    const std::vector<std::string> lines = PhysicalLines(text);
    if (lines.size() < 2 || lines[0] != "Windows Registry Editor Version 5.00" ||
        !lines[1].empty()) {
        throw std::runtime_error("missing header line and blank line");
    }
    std::vector<Key> keys;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                throw std::runtime_error("bad key line: " + line);
            }
            keys.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            if (++i >= lines.size() || lines[i].rfind("  ", 0) != 0) {
                throw std::runtime_error("continuation line without its indent");
            }
            line.pop_back();
            line += lines[i].substr(2);
        }
        if (keys.empty()) {
            throw std::runtime_error("value before the first key");
        }
        keys.back().values.push_back(ParseValue(line));
    }
    return keys;
}

const Value& Find(const std::vector<Key>& keys, const std::string& key, const std::string& name) {
    for (const Key& k : keys) {
        if (k.path == kServices + key) {
            for (const Value& v : k.values) {
                if (v.name == name) {
                    return v;
                }
            }
        }
    }
    throw std::runtime_error("no value " + key + " " + name);
}

std::string Utf16z(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out + std::string(2, '\0');
}

std::string AsString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(RegistryScript, FrameAnnouncesTheUnpackedSizeAndUsesTheBestLevel) {
    const Bytes framed = ReadResource("AUDIOSRV_5X.ZIP");
    ASSERT_GT(framed.size(), 6u);
    EXPECT_EQ(framed[4], 0x78);
    EXPECT_EQ(framed[5], 0xDA);
    const Bytes text = Unpack(framed);
    EXPECT_EQ(text.size(), Le32(framed, 0));
    EXPECT_EQ(text.size() % 2, 0u);
}

TEST(RegistryScript, IsUtf16WithByteOrderMarkCrLfAndTheEditorHeader) {
    const std::string text = ScriptText();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n", 0), 0u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
        if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
    }
}

TEST(RegistryScript, SetsEveryKeyAndValueInOrder) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"AudioSrv",
         {"DependOnService", "Description", "DisplayName", "ErrorControl", "Group", "ImagePath",
          "ObjectName", "Start", "Type"}},
        {"AudioSrv\\Parameters", {"ServiceDll", "ServiceDllUnloadOnStop"}},
        {"AudioSrv\\Enum", {"0", "Count", "NextInstance"}},
        {"PlugPlay",
         {"Description", "DisplayName", "ErrorControl", "Group", "ImagePath", "ObjectName",
          "PlugPlayServiceType", "Start", "Type"}},
        {"PlugPlay\\Security", {"Security"}},
        {"RpcSs",
         {"Description", "DisplayName", "ErrorControl", "Group", "ImagePath", "ObjectName", "Start",
          "Type", "FailureActions", "DependOnService"}},
        {"RpcSs\\Parameters", {"ServiceDll"}},
        {"RpcSs\\Security", {"Security"}},
        {"RpcSs\\Enum", {"0", "Count", "NextInstance"}},
    };
    const std::vector<Key> keys = ParseScript(ScriptText());
    ASSERT_EQ(keys.size(), expected.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        EXPECT_EQ(keys[k].path, kServices + expected[k].first);
        std::vector<std::string> names;
        for (const Value& v : keys[k].values) {
            names.push_back(v.name);
        }
        EXPECT_EQ(names, expected[k].second) << expected[k].first;
    }
}

TEST(RegistryScript, WrapsHexLinesAsTheRegistryEditorDoes) {
    const std::vector<std::string> lines = PhysicalLines(ScriptText());
    int continued = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("\"Description\"", 0) == 0) {
            continue; // strings are never wrapped
        }
        EXPECT_LE(line.size(), 80u) << line;
        if (!line.empty() && line.back() == '\\') {
            ++continued;
            EXPECT_GE(line.size(), 78u) << "wrapped early: " << line;
            EXPECT_EQ(line[line.size() - 2], ',') << line;
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i + 1].rfind("  ", 0), 0u) << lines[i + 1];
        }
    }
    EXPECT_GT(continued, 10);
}

TEST(RegistryScript, ValuesCarryTheServiceDefinition) {
    const std::vector<Key> keys = ParseScript(ScriptText());
    struct Expected {
        const char* key;
        const char* name;
        const char* kind;
        std::string data; // text, or raw bytes for the hex forms
        std::uint32_t dword;
    };
    const Expected table[] = {
        {"AudioSrv", "DependOnService", "hex(7)",
         Utf16z("PlugPlay") + Utf16z("RpcSs") + std::string(2, '\0'), 0},
        {"AudioSrv", "DisplayName", "string", "Windows Audio", 0},
        {"AudioSrv", "ImagePath", "hex(2)",
         Utf16z("%SystemRoot%\\System32\\svchost.exe -k netsvcs"), 0},
        {"AudioSrv", "Start", "dword", "", 2},
        {"AudioSrv", "Type", "dword", "", 0x20},
        {"AudioSrv\\Parameters", "ServiceDll", "hex(2)",
         Utf16z("%SystemRoot%\\System32\\audiosrv.dll"), 0},
        {"AudioSrv\\Enum", "0", "string", "Root\\LEGACY_AUDIOSRV\\0000", 0},
        {"PlugPlay", "PlugPlayServiceType", "dword", "", 3},
        {"PlugPlay", "ImagePath", "hex(2)", Utf16z("%SystemRoot%\\system32\\services.exe"), 0},
        {"RpcSs", "ObjectName", "string", "NT Authority\\NetworkService", 0},
        {"RpcSs", "DependOnService", "hex(7)", Utf16z("DcomLaunch") + std::string(2, '\0'), 0},
        {"RpcSs", "ImagePath", "hex(2)", Utf16z("%SystemRoot%\\system32\\svchost -k rpcss"), 0},
        {"RpcSs\\Parameters", "ServiceDll", "hex(2)", Utf16z("%SystemRoot%\\system32\\rpcss.dll"),
         0},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(std::string(e.key) + " " + e.name);
        const Value& v = Find(keys, e.key, e.name);
        EXPECT_EQ(v.kind, e.kind);
        if (v.kind == "string") {
            EXPECT_EQ(v.text, e.data);
        } else if (v.kind == "dword") {
            EXPECT_EQ(v.dword, e.dword);
        } else {
            EXPECT_EQ(AsString(v.data), e.data);
        }
    }
}

TEST(RegistryScript, FailureActionsRebootOnceAfterAMinute) {
    const std::vector<Key> keys = ParseScript(ScriptText());
    const Value& v = Find(keys, "RpcSs", "FailureActions");
    EXPECT_EQ(v.kind, "hex");
    ASSERT_EQ(v.data.size(), 28u);
    const std::uint32_t expected[] = {0, 0, 0, 1, 20, 2, 60000};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(Le32(v.data, 4 * i), expected[i]) << "field " << i;
    }
}

namespace {

// Returns the length of the SID at `at`, or nothing when it does not fit or is malformed.
std::optional<std::size_t> SidLength(const Bytes& b, std::size_t at, std::size_t limit) {
    if (at + 8 > limit || b[at] != 1 || b[at + 1] > 15) {
        return std::nullopt;
    }
    const std::size_t length = 8 + 4u * b[at + 1];
    if (at + length > limit) {
        return std::nullopt;
    }
    return length;
}

bool IsLocalSystem(const Bytes& b, std::size_t at) {
    static const std::uint8_t kSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    return at + sizeof kSid <= b.size() && std::equal(kSid, kSid + sizeof kSid, b.begin() + at);
}

// Checks an access control list and returns its length, or an error text.
std::string CheckAcl(const Bytes& b, std::size_t at, std::size_t& length) {
    if (at + 8 > b.size()) {
        return "list header past the end";
    }
    if (b[at] != 2 && b[at] != 4) {
        return "bad list revision";
    }
    length = Le16(b, at + 2);
    const std::size_t count = Le16(b, at + 4);
    if (length < 8 || at + length > b.size()) {
        return "list size out of bounds";
    }
    std::size_t ace = at + 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (ace + 8 > at + length) {
            return "entry header past the list";
        }
        const std::size_t size = Le16(b, ace + 2);
        if (size < 16 || size % 4 != 0 || ace + size > at + length) {
            return "bad entry size";
        }
        const auto sid = SidLength(b, ace + 8, ace + size);
        if (!sid || 8 + *sid != size) {
            return "entry's SID does not fill it";
        }
        ace += size;
    }
    if (ace != at + length) {
        return "list has slack after its entries";
    }
    return "";
}

// Empty when b is a well-formed self-relative descriptor whose parts exactly fill it.
std::string CheckSelfRelative(const Bytes& b) {
    if (b.size() < 20) {
        return "shorter than the header";
    }
    if (b[0] != 1) {
        return "bad revision";
    }
    const std::uint16_t control = Le16(b, 2);
    if ((control & 0x8014) != 0x8014) {
        return "not self-relative with both lists present";
    }
    const std::uint32_t owner = Le32(b, 4);
    const std::uint32_t group = Le32(b, 8);
    const std::uint32_t sacl = Le32(b, 12);
    const std::uint32_t dacl = Le32(b, 16);
    std::vector<std::pair<std::size_t, std::size_t>> parts; // (offset, length)
    for (std::uint32_t sid : {owner, group}) {
        if (sid < 20) {
            return "owner or group offset inside the header";
        }
        const auto length = SidLength(b, sid, b.size());
        if (!length) {
            return "owner or group SID malformed";
        }
        if (!IsLocalSystem(b, sid)) {
            return "owner or group is not LocalSystem";
        }
        parts.emplace_back(sid, *length);
    }
    for (std::uint32_t acl : {sacl, dacl}) {
        if (acl < 20) {
            return "list offset inside the header";
        }
        std::size_t length = 0;
        const std::string error = CheckAcl(b, acl, length);
        if (!error.empty()) {
            return error;
        }
        parts.emplace_back(acl, length);
    }
    std::sort(parts.begin(), parts.end());
    std::size_t end = 20;
    for (const auto& [offset, length] : parts) {
        if (offset != end) {
            return "parts overlap or leave a gap";
        }
        end = offset + length;
    }
    return end == b.size() ? "" : "bytes left over after the parts";
}

} // namespace

TEST(RegistryScript, SecurityDescriptorsAreWellFormedAndOfTheirSizes) {
    const std::vector<Key> keys = ParseScript(ScriptText());
    for (const auto& [key, size] : {std::pair<const char*, std::size_t>{"PlugPlay\\Security", 168},
                                    std::pair<const char*, std::size_t>{"RpcSs\\Security", 192}}) {
        SCOPED_TRACE(key);
        const Value& v = Find(keys, key, "Security");
        EXPECT_EQ(v.kind, "hex");
        EXPECT_EQ(v.data.size(), size);
        EXPECT_EQ(CheckSelfRelative(v.data), "");
    }
}

TEST(RegistryScript, DescriptorCheckRejectsDamage) {
    // The check above must be able to fail: each of these would be refused by the system.
    const Bytes good = Find(ParseScript(ScriptText()), "PlugPlay\\Security", "Security").data;
    ASSERT_EQ(CheckSelfRelative(good), "");
    struct Damage {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    };
    for (const Damage& d : {Damage{"revision", 0, 2}, Damage{"not self-relative", 3, 0x00},
                            Damage{"owner past the end", 5, 0x10}, Damage{"list size", 22, 0xF0},
                            Damage{"owner not LocalSystem", good[4] + 8u, 19}}) {
        SCOPED_TRACE(d.what);
        Bytes bad = good;
        bad[d.at] = d.value;
        EXPECT_NE(CheckSelfRelative(bad), "");
    }
    Bytes shortened(good.begin(), good.end() - 4);
    EXPECT_NE(CheckSelfRelative(shortened), "");
}
