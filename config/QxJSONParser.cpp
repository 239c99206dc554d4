#include "QxJSONParser.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace {

// Thrown for the errors that reject the whole text wherever they occur: a bad hexadecimal
// escape, a number the conversion refuses, nesting past the limit.
struct ParseAbort {};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
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

// Decimal text (already checked against the number grammar, without a leading '+') to the
// extended floating value.
long double ConvertNumber(std::string_view text) {
    // Up to 19 significant digits and a power of ten up to 10^27 are both exact in a 64-bit
    // significand, so one multiplication or division rounds correctly. Everything else goes
    // through the library conversion, which is locale-independent as well.
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        static constexpr long double kPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                                  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                                  1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                                  1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
        std::size_t i = 0;
        bool negative = false;
        if (text[i] == '-') {
            negative = true;
            ++i;
        }
        std::uint64_t mantissa = 0;
        int significant = 0;
        int exponent = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            if (mantissa != 0 || text[i] != '0') {
                mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
                ++significant;
            }
        }
        if (i < text.size() && text[i] == '.') {
            for (++i; i < text.size() && IsDigit(text[i]); ++i) {
                if (mantissa != 0 || text[i] != '0') {
                    mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
                    ++significant;
                }
                --exponent;
                if (significant > 19 || exponent < -27) {
                    break;
                }
            }
        }
        bool simple = significant <= 19 && exponent >= -27;
        if (simple && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            bool negativeExponent = false;
            if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
                negativeExponent = text[i] == '-';
                ++i;
            }
            int written = 0;
            for (; i < text.size() && IsDigit(text[i]) && written < 100000; ++i) {
                written = written * 10 + (text[i] - '0');
            }
            if (i < text.size()) {
                simple = false; // an exponent too long to matter here
            }
            exponent += negativeExponent ? -written : written;
        }
        if (simple && i == text.size() && exponent >= -27 && exponent <= 27) {
            long double value = static_cast<long double>(mantissa);
            if (mantissa != 0) {
                value = exponent >= 0 ? value * kPowers[exponent] : value / kPowers[-exponent];
            }
            return negative ? -value : value;
        }
    }
    long double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        throw ParseAbort{};
    }
    return value;
}

class DocumentParser {
public:
    explicit DocumentParser(std::string_view text) : text_(text) {}

    // Each rule starts at pos; on success it returns the node and moves pos past what it
    // consumed, on failure it returns none and leaves pos alone.
    std::unique_ptr<TqxJSONbase> Value(std::size_t& pos, int depth);

private:
    std::size_t SkipBlanks(std::size_t pos) const {
        while (pos < text_.size() && static_cast<unsigned char>(text_[pos]) <= 0x20) {
            ++pos;
        }
        return pos;
    }
    bool HasWord(std::size_t pos, std::string_view word) const {
        return text_.size() - pos >= word.size() && text_.compare(pos, word.size(), word) == 0;
    }

    std::unique_ptr<TqxJSONbase> Boolean(std::size_t& pos);
    std::unique_ptr<TqxJSONbase> Null(std::size_t& pos);
    std::unique_ptr<TqxJSONbase> Number(std::size_t& pos);
    std::unique_ptr<TqxJSONstring> String(std::size_t& pos);
    // The string rule without the node: its wide text.
    bool StringText(std::size_t& pos, std::u16string& text);
    std::unique_ptr<TqxJSONbase> Array(std::size_t& pos, int depth);
    std::unique_ptr<TqxJSONbase> Object(std::size_t& pos, int depth);
    std::unique_ptr<TqxJSONobjectmethod> Member(std::size_t& pos, int depth);

    void Unescape(std::string_view content);
    void DecodeUtf8(std::string_view bytes, std::u16string& out) const;

    std::string_view text_;
    std::string unescaped_; // reused between strings
};

std::unique_ptr<TqxJSONbase> DocumentParser::Value(std::size_t& pos, int depth) {
    std::size_t p = SkipBlanks(pos);
    if (p >= text_.size()) {
        return nullptr;
    }
    // Each rule only accepts its own first byte, so picking the rule by that byte gives what
    // trying them in turn would.
    std::unique_ptr<TqxJSONbase> node;
    switch (text_[p]) {
    case 't':
    case 'f':
        node = Boolean(p);
        break;
    case 'n':
        node = Null(p);
        break;
    case '"':
        node = String(p);
        break;
    case '[':
        node = Array(p, depth);
        break;
    case '{':
        node = Object(p, depth);
        break;
    default:
        node = Number(p);
        break;
    }
    if (node) {
        pos = p;
    }
    return node;
}

std::unique_ptr<TqxJSONbase> DocumentParser::Boolean(std::size_t& pos) {
    // The byte after the word is not looked at: "trueish" reads as true followed by "ish".
    if (HasWord(pos, "true")) {
        pos += 4;
        return std::make_unique<TqxJSONboolean>(true);
    }
    if (HasWord(pos, "false")) {
        pos += 5;
        return std::make_unique<TqxJSONboolean>(false);
    }
    return nullptr;
}

std::unique_ptr<TqxJSONbase> DocumentParser::Null(std::size_t& pos) {
    if (!HasWord(pos, "null")) {
        return nullptr;
    }
    pos += 4;
    return std::make_unique<TqxJSONnull>();
}

std::unique_ptr<TqxJSONbase> DocumentParser::Number(std::size_t& pos) {
    const std::size_t n = text_.size();
    std::size_t p = SkipBlanks(pos);
    if (p >= n) {
        return nullptr;
    }
    std::size_t start = p;
    if (text_[p] == '+' || text_[p] == '-') {
        ++p;
    }
    const std::size_t digits = p;
    while (p < n && IsDigit(text_[p])) {
        ++p;
    }
    if (p == digits) {
        return nullptr;
    }
    if (p < n && text_[p] == '.') {
        const std::size_t fraction = ++p;
        while (p < n && IsDigit(text_[p])) {
            ++p;
        }
        if (p == fraction) {
            return nullptr;
        }
    }
    if (p < n && (text_[p] == 'e' || text_[p] == 'E')) {
        ++p;
        if (p < n && (text_[p] == '+' || text_[p] == '-')) {
            ++p;
        }
        const std::size_t exponent = p;
        while (p < n && IsDigit(text_[p])) {
            ++p;
        }
        if (p == exponent) {
            return nullptr;
        }
    }
    if (text_[start] == '+') {
        ++start; // the conversion does not take a plus sign; "+07" is 7
    }
    auto node = std::make_unique<TqxJSONnumber>(ConvertNumber(text_.substr(start, p - start)));
    pos = p;
    return node;
}

std::unique_ptr<TqxJSONstring> DocumentParser::String(std::size_t& pos) {
    std::u16string text;
    if (!StringText(pos, text)) {
        return nullptr;
    }
    return std::make_unique<TqxJSONstring>(std::move(text));
}

bool DocumentParser::StringText(std::size_t& pos, std::u16string& text) {
    const std::size_t n = text_.size();
    const std::size_t open = SkipBlanks(pos);
    if (open >= n || text_[open] != '"') {
        return false;
    }
    // The closing quote is the first quote not preceded by an unconsumed backslash, where a
    // backslash consumes itself and the byte after it. Walking forward once finds the same
    // quote as searching for a quote and restarting after each backslash before it would.
    const std::size_t start = open + 1;
    std::size_t scan = start;
    bool escaped = false;
    bool wide = false;
    for (;;) {
        if (scan >= n) {
            return false;
        }
        const auto c = static_cast<unsigned char>(text_[scan]);
        if (c == '"') {
            break;
        }
        if (c == '\\') {
            escaped = true;
            scan += 2;
        } else {
            wide |= c >= 0x80;
            ++scan;
        }
    }
    const std::string_view content = text_.substr(start, scan - start);
    if (!escaped && !wide) {
        text.assign(content.begin(), content.end());
    } else if (!escaped) {
        DecodeUtf8(content, text);
    } else {
        Unescape(content);
        DecodeUtf8(unescaped_, text);
    }
    pos = scan + 1;
    return true;
}

void DocumentParser::Unescape(std::string_view content) {
    unescaped_.clear();
    const std::size_t n = content.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = content[i];
        if (c != '\\') {
            // Copy the run up to the next backslash in one go.
            std::size_t end = content.find('\\', i);
            if (end == std::string_view::npos) {
                end = n;
            }
            unescaped_.append(content.substr(i, end - i));
            i = end;
            continue;
        }
        if (i + 1 >= n) {
            break; // a backslash with nothing after it stands for nothing
        }
        switch (content[i + 1]) {
        case '"':
            unescaped_.push_back('"');
            break;
        case '\'':
            unescaped_.push_back('\'');
            break;
        case '/':
            unescaped_.push_back('/');
            break;
        case '\\':
            unescaped_.push_back('\\');
            break;
        case 'b':
            unescaped_.push_back('\x08');
            break;
        case 'f':
            unescaped_.push_back('\x0C');
            break;
        case 'n':
            unescaped_.push_back('\x0A');
            break;
        case 'r':
            unescaped_.push_back('\x0D');
            break;
        case 't':
            unescaped_.push_back('\x09');
            break;
        case 'u': {
            // Up to four hexadecimal digits, fewer when the content ends sooner; none at all
            // or anything that is not a digit rejects the text.
            const std::size_t first = i + 2;
            const std::size_t last = first + 4 < n ? first + 4 : n;
            if (first >= last) {
                throw ParseAbort{};
            }
            unsigned code = 0;
            for (std::size_t k = first; k < last; ++k) {
                const int digit = HexDigitValue(content[k]);
                if (digit < 0) {
                    throw ParseAbort{};
                }
                code = code * 16 + static_cast<unsigned>(digit);
            }
            // Each escape is encoded on its own, surrogates included.
            if (code < 0x80) {
                unescaped_.push_back(static_cast<char>(code));
            } else if (code < 0x800) {
                unescaped_.push_back(static_cast<char>(0xC0 | (code >> 6)));
                unescaped_.push_back(static_cast<char>(0x80 | (code & 0x3F)));
            } else {
                unescaped_.push_back(static_cast<char>(0xE0 | (code >> 12)));
                unescaped_.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
                unescaped_.push_back(static_cast<char>(0x80 | (code & 0x3F)));
            }
            i += 6;
            continue;
        }
        default:
            break; // an unknown escape drops both bytes
        }
        i += 2;
    }
}

void DocumentParser::DecodeUtf8(std::string_view bytes, std::u16string& out) const {
    // Lenient: a lead byte with bit 0x20 set starts three bytes, any other lead two; only the
    // continuation bytes are checked. A sequence that is cut short or broken empties the value.
    out.clear();
    out.reserve(bytes.size());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const std::size_t length = (lead & 0x20) ? 3 : 2;
        if (n - i < length) {
            out.clear();
            return;
        }
        std::uint32_t code = lead & 0x3F;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xBF) {
                out.clear();
                return;
            }
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(static_cast<char16_t>(code & 0xFFFF));
        i += length;
    }
}

std::unique_ptr<TqxJSONbase> DocumentParser::Array(std::size_t& pos, int depth) {
    std::size_t p = SkipBlanks(pos);
    if (p >= text_.size() || text_[p] != '[') {
        return nullptr;
    }
    if (depth >= TqxJSON::kMaxDepth) {
        throw ParseAbort{};
    }
    auto list = std::make_unique<TqxJSONlist>();
    ++p;
    while (auto item = Value(p, depth + 1)) {
        list->AppendItem(std::move(item));
        p = SkipBlanks(p);
        if (p < text_.size() && text_[p] == ',') {
            ++p;
        }
    }
    p = SkipBlanks(p);
    if (p >= text_.size() || text_[p] != ']') {
        return nullptr;
    }
    pos = p + 1;
    return list;
}

std::unique_ptr<TqxJSONbase> DocumentParser::Object(std::size_t& pos, int depth) {
    std::size_t p = SkipBlanks(pos);
    if (p >= text_.size() || text_[p] != '{') {
        return nullptr;
    }
    if (depth >= TqxJSON::kMaxDepth) {
        throw ParseAbort{};
    }
    auto object = std::make_unique<TqxJSONobject>(true);
    ++p;
    // AppendMember enters each name into the index; a repeated name is refused there, so the
    // index keeps the first member of that name.
    while (auto member = Member(p, depth + 1)) {
        object->AppendMember(std::move(member));
        p = SkipBlanks(p);
        if (p < text_.size() && text_[p] == ',') {
            ++p;
        }
    }
    p = SkipBlanks(p);
    if (p >= text_.size() || text_[p] != '}') {
        return nullptr;
    }
    pos = p + 1;
    return object;
}

std::unique_ptr<TqxJSONobjectmethod> DocumentParser::Member(std::size_t& pos, int depth) {
    std::size_t p = SkipBlanks(pos);
    if (p >= text_.size()) {
        return nullptr;
    }
    // The name is a full string; only its text is kept, so no node is made for it.
    std::u16string name;
    if (!StringText(p, name)) {
        return nullptr;
    }
    p = SkipBlanks(p);
    if (p >= text_.size() || text_[p] != ':') {
        return nullptr;
    }
    ++p;
    auto value = Value(p, depth);
    if (!value) {
        return nullptr;
    }
    pos = p;
    return std::make_unique<TqxJSONobjectmethod>(std::move(name), std::move(value));
}

} // namespace

std::unique_ptr<TqxJSONbase> TqxJSON::ParseDocument(std::string_view text) {
    if (text.empty()) {
        return nullptr;
    }
    std::size_t pos = 0;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        pos = 3;
        if (pos == text.size()) {
            return nullptr;
        }
    }
    try {
        DocumentParser parser(text);
        return parser.Value(pos, 0);
    } catch (const ParseAbort&) {
        return nullptr;
    }
}
