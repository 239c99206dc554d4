#include "JsonWriter.h"

#include "config/TextConvert.h"

#include <cstdio>
#include <stdexcept>

std::string JsonQuote(std::string_view Text) {
    std::string out = "\"";
    std::size_t at = 0;
    while (at < Text.size()) {
        const char32_t c = NextUtf8CodePoint(Text, at);
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
            // The C1 controls too: valid JSON either way, but a terminal would obey them.
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
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
