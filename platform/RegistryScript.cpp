#include "platform/RegistryScript.h"

#include <cstring>
#include <strings.h>

namespace platform {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

struct ScriptError {
    int line;
    std::string message;
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes UTF-16LE units into code points; nullopt at a lone surrogate.
std::optional<std::u32string> DecodeUtf16(const std::vector<char16_t>& units) {
    std::u32string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            out +=
                static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        } else {
            out += unit;
        }
    }
    return out;
}

std::vector<char16_t> UnitsOf(const std::vector<BYTE>& bytes, std::size_t from) {
    std::vector<char16_t> units;
    units.reserve((bytes.size() - from) / 2);
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return units;
}

void AppendUtf16Le(std::vector<BYTE>& out, const std::string& utf8) {
    // Our own UTF-8 from a validated decode, so it is well formed.
    for (std::size_t i = 0; i < utf8.size();) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t c;
        int extra;
        if (lead < 0x80) {
            c = lead;
            extra = 0;
        } else if (lead < 0xE0) {
            c = lead & 0x1F;
            extra = 1;
        } else if (lead < 0xF0) {
            c = lead & 0x0F;
            extra = 2;
        } else {
            c = lead & 0x07;
            extra = 3;
        }
        for (int k = 1; k <= extra; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += 1 + extra;
        auto put = [&](char16_t unit) {
            out.push_back(static_cast<BYTE>(unit & 0xFF));
            out.push_back(static_cast<BYTE>(unit >> 8));
        };
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
}

struct PhysicalLine {
    std::string text; // UTF-8
    int number;
};

// Splits the decoded text at CR LF; a lone CR or LF is damage.
std::vector<PhysicalLine> SplitLines(const std::u32string& text) {
    std::vector<PhysicalLine> lines;
    std::string current;
    int number = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == U'\r') {
            if (i + 1 >= text.size() || text[i + 1] != U'\n') {
                throw ScriptError{number, "a line ends in CR without LF"};
            }
            lines.push_back({std::move(current), number});
            current.clear();
            ++number;
            ++i;
        } else if (c == U'\n') {
            throw ScriptError{number, "a line ends in LF without CR"};
        } else if (c == 0) {
            throw ScriptError{number, "the text holds a NUL character"};
        } else {
            AppendUtf8(current, c);
        }
    }
    if (!current.empty()) {
        lines.push_back({std::move(current), number});
    }
    return lines;
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a quoted text starting at text[at] == '"', with \\ and \" as the only escapes; moves at
// past the closing quote.
std::string ReadQuoted(const std::string& text, std::size_t& at, int line, const char* what) {
    std::string out;
    ++at;
    while (at < text.size()) {
        char c = text[at];
        if (c == '"') {
            ++at;
            return out;
        }
        if (c == '\\') {
            if (at + 1 >= text.size() || (text[at + 1] != '\\' && text[at + 1] != '"')) {
                throw ScriptError{line, std::string(what) + ": a backslash that escapes nothing"};
            }
            out += text[at + 1];
            at += 2;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            throw ScriptError{line, std::string(what) + ": a control character"};
        }
        out += c;
        ++at;
    }
    throw ScriptError{line, std::string(what) + ": the closing quote is missing"};
}

std::vector<BYTE> ReadHexBytes(const std::string& text, int line) {
    std::vector<BYTE> bytes;
    if (text.empty()) {
        return bytes;
    }
    std::size_t at = 0;
    for (;;) {
        if (at + 2 > text.size() || HexDigit(text[at]) < 0 || HexDigit(text[at + 1]) < 0) {
            throw ScriptError{line, "hex data: \"" + text.substr(at, 8) +
                                        "\" is not a byte of two hex digits"};
        }
        bytes.push_back(static_cast<BYTE>(HexDigit(text[at]) * 16 + HexDigit(text[at + 1])));
        at += 2;
        if (at == text.size()) {
            return bytes;
        }
        if (text[at] != ',') {
            throw ScriptError{line, "hex data: bytes must be separated by commas"};
        }
        ++at;
    }
}

// The UTF-8 text of UTF-16LE registry bytes that end in one NUL (or are empty).
std::string StringFromBytes(const std::vector<BYTE>& bytes, int line) {
    if (bytes.empty()) {
        return {};
    }
    if (bytes.size() % 2 != 0 || bytes[bytes.size() - 2] != 0 || bytes.back() != 0) {
        throw ScriptError{line, "a string value must be UTF-16 ending in a NUL character"};
    }
    std::vector<char16_t> units = UnitsOf(bytes, 0);
    units.pop_back();
    for (char16_t unit : units) {
        if (unit == 0) {
            throw ScriptError{line, "a string value holds a NUL character before its end"};
        }
    }
    std::optional<std::u32string> decoded = DecodeUtf16(units);
    if (!decoded) {
        throw ScriptError{line, "a string value is not valid UTF-16"};
    }
    std::string out;
    for (char32_t c : *decoded) {
        AppendUtf8(out, c);
    }
    return out;
}

std::vector<std::string> StringsFromBytes(const std::vector<BYTE>& bytes, int line) {
    std::vector<std::string> strings;
    if (bytes.empty() || (bytes.size() == 2 && bytes[0] == 0 && bytes[1] == 0)) {
        return strings;
    }
    if (bytes.size() % 2 != 0 || bytes.size() < 4 || bytes[bytes.size() - 1] != 0 ||
        bytes[bytes.size() - 2] != 0 || bytes[bytes.size() - 3] != 0 ||
        bytes[bytes.size() - 4] != 0) {
        throw ScriptError{line, "a multi-string value must end in two NUL characters"};
    }
    std::vector<BYTE> piece;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 2) {
        piece.push_back(bytes[i]);
        piece.push_back(bytes[i + 1]);
        if (bytes[i] == 0 && bytes[i + 1] == 0) {
            if (piece.size() == 2) {
                throw ScriptError{line, "a multi-string value holds an empty string"};
            }
            strings.push_back(StringFromBytes(piece, line));
            piece.clear();
        }
    }
    return strings;
}

void CheckKeyPath(const std::string& path, int line) {
    static const char* const hives[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER",
                                        "HKEY_CLASSES_ROOT", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
    if (!path.empty() && path.front() == '-') {
        throw ScriptError{line, "deleting keys is not supported"};
    }
    std::size_t slash = path.find('\\');
    std::string hive = path.substr(0, slash);
    bool known = false;
    for (const char* name : hives) {
        known = known || strcasecmp(hive.c_str(), name) == 0;
    }
    if (!known) {
        throw ScriptError{line, "\"" + hive + "\" is not a registry root key"};
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end == start) {
            throw ScriptError{line, "the key path has an empty part"};
        }
        start = end + 1;
    }
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20) {
            throw ScriptError{line, "the key path holds a control character"};
        }
    }
}

RegistryValue ParseValue(const std::string& text, int line) {
    RegistryValue value;
    value.line = line;
    std::size_t at = 0;
    if (text[0] == '@') {
        value.isDefault = true;
        at = 1;
    } else {
        value.name = ReadQuoted(text, at, line, "value name");
    }
    if (at >= text.size() || text[at] != '=') {
        throw ScriptError{line, "'=' must follow the value name"};
    }
    std::string data = text.substr(at + 1);

    if (!data.empty() && data.front() == '"') {
        std::size_t position = 0;
        value.text = ReadQuoted(data, position, line, "string value");
        if (position != data.size()) {
            throw ScriptError{line, "text after the closing quote of a string value"};
        }
        value.type = RegistryType::String;
        AppendUtf16Le(value.data, value.text);
        value.data.push_back(0);
        value.data.push_back(0);
        return value;
    }
    if (data == "-") {
        throw ScriptError{line, "deleting values is not supported"};
    }
    if (data.rfind("dword:", 0) == 0) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) {
            throw ScriptError{line, "a dword value needs one to eight hex digits"};
        }
        std::uint32_t number = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                throw ScriptError{line, "a dword value needs one to eight hex digits"};
            }
            number = number * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        value.type = RegistryType::Dword;
        value.number = number;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<BYTE>(number >> shift));
        }
        return value;
    }

    DWORD type;
    std::string list;
    if (data.rfind("hex:", 0) == 0) {
        type = static_cast<DWORD>(RegistryType::Binary);
        list = data.substr(4);
    } else if (data.rfind("hex(", 0) == 0) {
        std::size_t close = data.find("):", 4);
        std::string digits = close == std::string::npos ? "" : data.substr(4, close - 4);
        if (digits.empty() || digits.size() > 8) {
            throw ScriptError{line, "hex(...) needs a type number in hex digits"};
        }
        type = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                throw ScriptError{line, "hex(...) needs a type number in hex digits"};
            }
            type = type * 16 + static_cast<DWORD>(HexDigit(c));
        }
        list = data.substr(close + 2);
    } else {
        throw ScriptError{line, "the value is not a string, dword or hex value"};
    }
    value.data = ReadHexBytes(list, line);
    value.type = static_cast<RegistryType>(type);
    switch (value.type) {
    case RegistryType::String:
    case RegistryType::ExpandString:
        value.text = StringFromBytes(value.data, line);
        break;
    case RegistryType::MultiString:
        value.strings = StringsFromBytes(value.data, line);
        break;
    case RegistryType::Dword:
    case RegistryType::Qword: {
        std::size_t width = value.type == RegistryType::Dword ? 4 : 8;
        if (value.data.size() != width) {
            throw ScriptError{line, "a number value has the wrong number of bytes"};
        }
        for (std::size_t i = width; i-- > 0;) {
            value.number = (value.number << 8) | value.data[i];
        }
        break;
    }
    case RegistryType::None:
    case RegistryType::Binary:
        break;
    default:
        throw ScriptError{line, "value type " + std::to_string(type) + " is not supported"};
    }
    return value;
}

RegistryScript Parse(const std::vector<BYTE>& bytes) {
    if (bytes.size() > kMaxRegistryScriptBytes) {
        throw ScriptError{0, "the script is larger than any registry script we write"};
    }
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        throw ScriptError{0, "no UTF-16LE byte-order mark: not a registry editor script"};
    }
    if (bytes.size() % 2 != 0) {
        throw ScriptError{0, "the script ends in half a character"};
    }
    std::optional<std::u32string> text = DecodeUtf16(UnitsOf(bytes, 2));
    if (!text) {
        throw ScriptError{0, "the script is not valid UTF-16"};
    }
    std::vector<PhysicalLine> lines = SplitLines(*text);
    if (lines.empty() || lines.front().text != kHeader) {
        throw ScriptError{1, std::string("the first line must be \"") + kHeader + "\""};
    }

    RegistryScript script;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        int number = lines[i].number;
        std::string logical = lines[i].text;
        // Hex data carries on over lines that end in a backslash; the next line's indent is
        // layout only.
        while (!logical.empty() && logical.back() == '\\' &&
               (logical.front() == '"' || logical.front() == '@')) {
            logical.pop_back();
            if (++i >= lines.size()) {
                throw ScriptError{number, "the last line is continued past the end"};
            }
            const std::string& next = lines[i].text;
            std::size_t start = next.find_first_not_of(" \t");
            if (start == std::string::npos) {
                throw ScriptError{lines[i].number, "a continued line is followed by a blank one"};
            }
            logical += next.substr(start);
        }
        if (IsBlank(logical) || logical.front() == ';') {
            continue;
        }
        if (logical.front() == '[') {
            if (logical.back() != ']') {
                throw ScriptError{number, "a key line must end in ']'"};
            }
            std::string path = logical.substr(1, logical.size() - 2);
            CheckKeyPath(path, number);
            script.keys.push_back(RegistryKey{path, number, {}});
            continue;
        }
        if (logical.front() == '"' || logical.front() == '@') {
            if (script.keys.empty()) {
                throw ScriptError{number, "a value before any key"};
            }
            script.keys.back().values.push_back(ParseValue(logical, number));
            continue;
        }
        throw ScriptError{number, "neither a key, a value nor a comment"};
    }
    return script;
}

} // namespace

std::optional<RegistryScript> ParseRegistryScript(const std::vector<BYTE>& bytes,
                                                  std::string* error) {
    try {
        return Parse(bytes);
    } catch (const ScriptError& failure) {
        if (error != nullptr) {
            *error = failure.line > 0
                         ? "line " + std::to_string(failure.line) + ": " + failure.message
                         : failure.message;
        }
        return std::nullopt;
    }
}

} // namespace platform
