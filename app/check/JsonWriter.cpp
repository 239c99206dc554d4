#include "JsonWriter.h"

#include "config/TextConvert.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[at]; advances at past it. A sequence that is not well
// formed costs one byte and yields the replacement character.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++at;
        return kReplacement;
    }
    at += length;
    return value;
}

} // namespace

std::string JsonQuote(std::string_view Text) {
    std::string out = "\"";
    std::size_t at = 0;
    while (at < Text.size()) {
        const char32_t c = NextCodePoint(Text, at);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    out += '"';
    return out;
}

void JsonWriter::NewLine() {
    out_ += '\n';
    out_.append(open_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (open_.empty()) {
        if (!out_.empty()) {
            throw std::logic_error("JsonWriter: a second value at the top level");
        }
        return;
    }
    if (open_.back().Closer == '}') {
        throw std::logic_error("JsonWriter: an object member without a name");
    }
    if (!open_.back().Empty) {
        out_ += ',';
    }
    open_.back().Empty = false;
    NewLine();
}

void JsonWriter::Open(char opener, char closer) {
    BeforeValue();
    out_ += opener;
    open_.push_back({closer, true});
}

void JsonWriter::Close(char closer) {
    if (open_.empty() || open_.back().Closer != closer || afterKey_) {
        throw std::logic_error("JsonWriter: a bracket that closes nothing open");
    }
    const bool wasEmpty = open_.back().Empty;
    open_.pop_back();
    if (!wasEmpty) {
        NewLine();
    }
    out_ += closer;
    if (open_.empty()) {
        out_ += '\n';
    }
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{', '}');
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Open('[', ']');
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view Name) {
    if (open_.empty() || open_.back().Closer != '}' || afterKey_) {
        throw std::logic_error("JsonWriter: a member name outside an object");
    }
    if (!open_.back().Empty) {
        out_ += ',';
    }
    open_.back().Empty = false;
    NewLine();
    out_ += JsonQuote(Name);
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view Text) {
    BeforeValue();
    out_ += JsonQuote(Text);
    return *this;
}

JsonWriter& JsonWriter::Number(std::int64_t Value) {
    BeforeValue();
    out_ += std::to_string(Value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool Value) {
    BeforeValue();
    out_ += Value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}
