#include "TreeText.h"

#include <charconv>
#include <cstdio>

namespace {

void AppendWide(std::string& out, const std::u16string& text) {
    out.push_back('"');
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\') {
            out.push_back(static_cast<char>(unit));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
            out += buffer;
        }
    }
    out.push_back('"');
}

void Append(std::string& out, const TqxJSONbase* node) {
    if (node == nullptr) {
        out += "none";
        return;
    }
    switch (node->Kind()) {
    case jsNumber: {
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, node->ReadValue().Number());
        out.append(buffer, result.ptr);
        return;
    }
    case jsString:
        AppendWide(out, node->ReadValue().Text());
        return;
    case jsBoolean:
        out += node->ReadValue().Boolean() ? "true" : "false";
        return;
    case jsNull:
        out += "null";
        return;
    case jsList:
        out.push_back('[');
        for (std::int32_t i = 0; i < node->ItemCount(); ++i) {
            if (i > 0) {
                out.push_back(',');
            }
            Append(out, node->ItemAt(i));
        }
        out.push_back(']');
        return;
    case jsObject:
        out.push_back('{');
        for (std::int32_t i = 0; i < node->ItemCount(); ++i) {
            if (i > 0) {
                out.push_back(',');
            }
            const auto* member = dynamic_cast<const TqxJSONobjectmethod*>(node->ItemAt(i));
            if (member == nullptr) {
                out += "?";
                continue;
            }
            AppendWide(out, member->Name());
            out.push_back(':');
            Append(out, member->Value());
        }
        out.push_back('}');
        return;
    default:
        out += "?";
    }
}

} // namespace

std::string TreeText(const TqxJSONbase* node) {
    std::string out;
    Append(out, node);
    return out;
}
