#include "platform/RegistryScript.h"

#include "config/TextConvert.h"

#include <strings.h>

namespace platform {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

struct ScriptError {
    int line;
    std::string message;
};

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

// Checks a quoted text starting at text[at] == '"', with \\ and \" as the only escapes; moves
// at past the closing quote.
void SkipQuoted(const std::string& text, std::size_t& at, int line, const char* what) {
    ++at;
    while (at < text.size()) {
        char c = text[at];
        if (c == '"') {
            ++at;
            return;
        }
        if (c == '\\') {
            if (at + 1 >= text.size() || (text[at + 1] != '\\' && text[at + 1] != '"')) {
                throw ScriptError{line, std::string(what) + ": a backslash that escapes nothing"};
            }
            at += 2;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            throw ScriptError{line, std::string(what) + ": a control character"};
        }
        ++at;
    }
    throw ScriptError{line, std::string(what) + ": the closing quote is missing"};
}

// Bytes as two hex digits each, separated by commas; none at all is an empty value.
void CheckHexBytes(const std::string& text, int line) {
    if (text.empty()) {
        return;
    }
    std::size_t at = 0;
    for (;;) {
        if (at + 2 > text.size() || HexDigit(text[at]) < 0 || HexDigit(text[at + 1]) < 0) {
            throw ScriptError{line, "hex data: \"" + text.substr(at, 8) +
                                        "\" is not a byte of two hex digits"};
        }
        at += 2;
        if (at == text.size()) {
            return;
        }
        if (text[at] != ',') {
            throw ScriptError{line, "hex data: bytes must be separated by commas"};
        }
        ++at;
    }
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

// True when text is one to eight hex digits.
bool IsHexNumber(const std::string& text) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    for (char c : text) {
        if (HexDigit(c) < 0) {
            return false;
        }
    }
    return true;
}

// A value line: "name" or @, '=', then a quoted string, dword:, hex: or hex(type): data.
void CheckValue(const std::string& text, int line) {
    std::size_t at = 0;
    if (text[0] == '@') {
        at = 1;
    } else {
        SkipQuoted(text, at, line, "value name");
    }
    if (at >= text.size() || text[at] != '=') {
        throw ScriptError{line, "'=' must follow the value name"};
    }
    const std::string data = text.substr(at + 1);
    if (!data.empty() && data.front() == '"') {
        std::size_t position = 0;
        SkipQuoted(data, position, line, "string value");
        if (position != data.size()) {
            throw ScriptError{line, "text after the closing quote of a string value"};
        }
    } else if (data == "-") {
        throw ScriptError{line, "deleting values is not supported"};
    } else if (data.rfind("dword:", 0) == 0) {
        if (!IsHexNumber(data.substr(6))) {
            throw ScriptError{line, "a dword value needs one to eight hex digits"};
        }
    } else if (data.rfind("hex:", 0) == 0) {
        CheckHexBytes(data.substr(4), line);
    } else if (data.rfind("hex(", 0) == 0) {
        const std::size_t close = data.find("):", 4);
        if (close == std::string::npos || !IsHexNumber(data.substr(4, close - 4))) {
            throw ScriptError{line, "hex(...) needs a type number in hex digits"};
        }
        CheckHexBytes(data.substr(close + 2), line);
    } else {
        throw ScriptError{line, "the value is not a string, dword or hex value"};
    }
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
            script.keys.push_back(RegistryKey{path, number});
            continue;
        }
        if (logical.front() == '"' || logical.front() == '@') {
            if (script.keys.empty()) {
                throw ScriptError{number, "a value before any key"};
            }
            CheckValue(logical, number);
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
