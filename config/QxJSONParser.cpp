#include "QxJSONParser.h"

#include "QxNodeArena.h"
#include "TextConvert.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// Thrown for the errors that reject the whole text wherever they occur: a bad hexadecimal
// escape, a number the conversion refuses, nesting past the limit.
struct ParseAbort {};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
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

// Eight bytes of text at once, for the scan of string contents.
std::uint64_t LoadWord(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Whether any byte of the word is zero (the classic bit trick: exact for the any-test).
bool HasZeroByte(std::uint64_t word) {
    return ((word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL) != 0;
}

class DocumentParser {
public:
    DocumentParser(std::string_view text, TqxNodeArena& arena)
        : end_(text.data() + text.size()), arena_(arena) {}

    // Each rule starts at p; on success it returns the node and moves p past what it
    // consumed, on failure it returns none and leaves p alone.
    std::unique_ptr<TqxJSONbase> Value(const char*& p, int depth);

private:
    template <class Node, class... Args> std::unique_ptr<Node> Make(Args&&... args) {
        return std::unique_ptr<Node>(new (arena_) Node(std::forward<Args>(args)...));
    }

    const char* SkipBlanks(const char* p) const {
        while (p < end_ && static_cast<unsigned char>(*p) <= 0x20) {
            ++p;
        }
        return p;
    }
    bool HasWord(const char* p, std::string_view word) const {
        return static_cast<std::size_t>(end_ - p) >= word.size() &&
               std::memcmp(p, word.data(), word.size()) == 0;
    }

    std::unique_ptr<TqxJSONbase> Number(const char*& p);
    // The string rule without the node: its wide text.
    bool StringText(const char*& p, std::u16string& text);
    std::unique_ptr<TqxJSONbase> Array(const char*& p, int depth);
    std::unique_ptr<TqxJSONbase> Object(const char*& p, int depth);
    std::unique_ptr<TqxJSONobjectmethod> Member(const char*& p, int depth);

    void Unescape(std::string_view content);
    static void DecodeUtf8(std::string_view bytes, std::u16string& out);

    const char* const end_;
    TqxNodeArena& arena_;
    std::string unescaped_; // reused between strings
    // The children of the containers being read, innermost last: a container takes its own
    // once it is complete, so that it allocates its list once, at its final size.
    std::vector<std::unique_ptr<TqxJSONbase>> items_;
    std::vector<std::unique_ptr<TqxJSONobjectmethod>> members_;
};

std::unique_ptr<TqxJSONbase> DocumentParser::Value(const char*& pos, int depth) {
    const char* p = SkipBlanks(pos);
    if (p >= end_) {
        return nullptr;
    }
    // Each rule only accepts its own first byte, so picking the rule by that byte gives what
    // trying them in turn would.
    std::unique_ptr<TqxJSONbase> node;
    switch (*p) {
    case 't':
        // The byte after a word is not looked at: "trueish" reads as true followed by "ish".
        if (HasWord(p, "true")) {
            node = Make<TqxJSONboolean>(true);
            p += 4;
        }
        break;
    case 'f':
        if (HasWord(p, "false")) {
            node = Make<TqxJSONboolean>(false);
            p += 5;
        }
        break;
    case 'n':
        if (HasWord(p, "null")) {
            node = Make<TqxJSONnull>();
            p += 4;
        }
        break;
    case '"': {
        std::u16string text;
        if (StringText(p, text)) {
            node = Make<TqxJSONstring>(std::move(text));
        }
        break;
    }
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

std::unique_ptr<TqxJSONbase> DocumentParser::Number(const char*& pos) {
    const char* p = pos;
    const char* start = p;
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const char* digits = p;
    while (p < end_ && IsDigit(*p)) {
        ++p;
    }
    if (p == digits) {
        return nullptr;
    }
    if (p < end_ && *p == '.') {
        const char* fraction = ++p;
        while (p < end_ && IsDigit(*p)) {
            ++p;
        }
        if (p == fraction) {
            return nullptr;
        }
    }
    if (p < end_ && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end_ && (*p == '+' || *p == '-')) {
            ++p;
        }
        const char* exponent = p;
        while (p < end_ && IsDigit(*p)) {
            ++p;
        }
        if (p == exponent) {
            return nullptr;
        }
    }
    if (*start == '+') {
        ++start; // the conversion does not take a plus sign; "+07" is 7
    }
    auto node = Make<TqxJSONnumber>(
        ConvertNumber(std::string_view(start, static_cast<std::size_t>(p - start))));
    pos = p;
    return node;
}

bool DocumentParser::StringText(const char*& pos, std::u16string& text) {
    const char* open = SkipBlanks(pos);
    if (open >= end_ || *open != '"') {
        return false;
    }
    // The closing quote is the first quote not preceded by an unconsumed backslash, where a
    // backslash consumes itself and the byte after it. Walking forward once finds the same
    // quote as searching for a quote and restarting after each backslash before it would.
    const char* const start = open + 1;
    const char* scan = start;
    bool escaped = false;
    unsigned char high = 0;
    for (;;) {
        // Whole words of plain bytes (no quote, no backslash, nothing above 0x7F) at a time.
        while (end_ - scan >= 8) {
            const std::uint64_t word = LoadWord(scan);
            if (HasZeroByte(word ^ 0x2222222222222222ULL) ||
                HasZeroByte(word ^ 0x5C5C5C5C5C5C5C5CULL) || (word & 0x8080808080808080ULL)) {
                break;
            }
            scan += 8;
        }
        if (scan >= end_) {
            return false;
        }
        const auto c = static_cast<unsigned char>(*scan);
        if (c == '"') {
            break;
        }
        if (c == '\\') {
            escaped = true;
            if (end_ - scan <= 2) {
                return false; // the escape takes the last bytes; no quote can close the string
            }
            scan += 2;
        } else {
            high |= c;
            ++scan;
        }
    }
    const std::string_view content(start, static_cast<std::size_t>(scan - start));
    if (escaped) {
        Unescape(content);
        DecodeUtf8(unescaped_, text);
    } else if (high >= 0x80) {
        DecodeUtf8(content, text);
    } else {
        text.resize(content.size());
        char16_t* out = text.data();
        for (const char c : content) {
            *out++ = static_cast<unsigned char>(c);
        }
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
                const int digit = HexDigit(content[k]);
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

void DocumentParser::DecodeUtf8(std::string_view bytes, std::u16string& out) {
    // Lenient: a lead byte with bit 0x20 set starts three bytes, any other lead two; only the
    // continuation bytes are checked. A sequence that is cut short or broken empties the value.
    // Never more units than bytes: write into room for all of them, then trim.
    out.resize(bytes.size());
    char16_t* const first = out.data();
    char16_t* written = first;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = in + bytes.size();
    while (in < end) {
        const unsigned char lead = *in;
        if (lead < 0x80) {
            *written++ = lead;
            ++in;
            continue;
        }
        const std::ptrdiff_t length = (lead & 0x20) ? 3 : 2;
        if (end - in < length) {
            out.clear();
            return;
        }
        std::uint32_t code = lead & 0x3F;
        for (std::ptrdiff_t k = 1; k < length; ++k) {
            const unsigned char next = in[k];
            if (next < 0x80 || next > 0xBF) {
                out.clear();
                return;
            }
            code = (code << 6) | (next & 0x3F);
        }
        *written++ = static_cast<char16_t>(code & 0xFFFF);
        in += length;
    }
    out.resize(static_cast<std::size_t>(written - first));
}

std::unique_ptr<TqxJSONbase> DocumentParser::Array(const char*& pos, int depth) {
    // Value has skipped the blanks and seen the '['.
    if (depth >= TqxJSON::kMaxDepth) {
        throw ParseAbort{};
    }
    const char* p = pos + 1;
    const std::size_t base = items_.size();
    while (auto item = Value(p, depth + 1)) {
        items_.push_back(std::move(item));
        p = SkipBlanks(p);
        if (p < end_ && *p == ',') {
            ++p;
        }
    }
    p = SkipBlanks(p);
    if (p >= end_ || *p != ']') {
        items_.resize(base);
        return nullptr;
    }
    auto list = Make<TqxJSONlist>();
    list->ReserveItems(items_.size() - base);
    for (std::size_t i = base; i < items_.size(); ++i) {
        list->AppendItem(std::move(items_[i]));
    }
    items_.resize(base);
    pos = p + 1;
    return list;
}

std::unique_ptr<TqxJSONbase> DocumentParser::Object(const char*& pos, int depth) {
    // Value has skipped the blanks and seen the '{'.
    if (depth >= TqxJSON::kMaxDepth) {
        throw ParseAbort{};
    }
    const char* p = pos + 1;
    const std::size_t base = members_.size();
    while (auto member = Member(p, depth + 1)) {
        members_.push_back(std::move(member));
        p = SkipBlanks(p);
        if (p < end_ && *p == ',') {
            ++p;
        }
    }
    p = SkipBlanks(p);
    if (p >= end_ || *p != '}') {
        members_.resize(base);
        return nullptr;
    }
    // AppendMember enters each name into the index; a repeated name is refused there, so the
    // index keeps the first member of that name.
    auto object = Make<TqxJSONobject>(true);
    object->ReserveMembers(members_.size() - base);
    for (std::size_t i = base; i < members_.size(); ++i) {
        object->AppendMember(std::move(members_[i]));
    }
    members_.resize(base);
    pos = p + 1;
    return object;
}

std::unique_ptr<TqxJSONobjectmethod> DocumentParser::Member(const char*& pos, int depth) {
    const char* p = SkipBlanks(pos);
    if (p >= end_) {
        return nullptr;
    }
    // The name is a full string; only its text is kept, so no node is made for it.
    std::u16string name;
    if (!StringText(p, name)) {
        return nullptr;
    }
    p = SkipBlanks(p);
    if (p >= end_ || *p != ':') {
        return nullptr;
    }
    ++p;
    auto value = Value(p, depth);
    if (!value) {
        return nullptr;
    }
    pos = p;
    return Make<TqxJSONobjectmethod>(std::move(name), std::move(value));
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
    // The arena outlives the parser, whose pending children go back to it when a text fails
    // half-way; the blocks themselves live on with the nodes of the tree.
    TqxNodeArena arena(text.size() * 2);
    try {
        DocumentParser parser(text, arena);
        const char* p = text.data() + pos;
        return parser.Value(p, 0);
    } catch (const ParseAbort&) {
        return nullptr;
    }
}
