#include "SafeFormat.h"

#include "Errors.h"

namespace {

[[noreturn]] void ThrowInvalid(std::string_view templateText) {
    throw FormatError("Format '" + std::string(templateText) +
                      "' invalid or incompatible with argument");
}

} // namespace

std::string SafeFormat(std::string_view templateText, std::initializer_list<FormatArgument> args) {
    std::string out;
    out.reserve(templateText.size() + 16);
    const FormatArgument* next = args.begin();
    std::size_t i = 0;
    while (i < templateText.size()) {
        const char c = templateText[i];
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= templateText.size()) {
            ThrowInvalid(templateText);
        }
        const char conversion = templateText[i + 1];
        i += 2;
        if (conversion == '%') {
            out.push_back('%');
            continue;
        }
        if (next == args.end()) {
            ThrowInvalid(templateText);
        }
        const FormatArgument& arg = *next++;
        switch (conversion) {
        case 's':
            if (arg.Text() == nullptr) {
                ThrowInvalid(templateText);
            }
            out += *arg.Text();
            break;
        case 'd':
            if (arg.Signed() != nullptr) {
                out += std::to_string(*arg.Signed());
            } else if (arg.Unsigned() != nullptr && *arg.Unsigned() <= INT64_MAX) {
                out += std::to_string(*arg.Unsigned());
            } else {
                ThrowInvalid(templateText);
            }
            break;
        case 'u':
            if (arg.Unsigned() != nullptr) {
                out += std::to_string(*arg.Unsigned());
            } else if (arg.Signed() != nullptr && *arg.Signed() >= 0) {
                out += std::to_string(*arg.Signed());
            } else {
                ThrowInvalid(templateText);
            }
            break;
        default:
            ThrowInvalid(templateText);
        }
    }
    if (next != args.end()) {
        ThrowInvalid(templateText);
    }
    return out;
}
