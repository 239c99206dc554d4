#include "CheckOptions.h"

#include "config/TextConvert.h"

#include <cstdio>

namespace {

struct OptionName {
    std::string_view Name;
    bool CheckOptions::*Flag;
};

constexpr OptionName kOptions[] = {
    {"--fix", &CheckOptions::Fix},
    {"--json", &CheckOptions::Json},
    {"--help", &CheckOptions::Help},
    {"-h", &CheckOptions::Help},
};

// An argument may come from anywhere; the error line shows it without control characters, so
// it cannot rewrite the terminal: C0, DEL and a byte that is not UTF-8 (a lone 0x9B is a
// control sequence to an 8-bit terminal) as \xHH, a C1 control written in UTF-8 as \uHHHH,
// and the backslash doubled so that no escape is ambiguous.
std::string Printable(std::string_view argument) {
    std::string shown;
    char escaped[8];
    std::size_t at = 0;
    while (at < argument.size()) {
        const std::size_t from = at;
        const char32_t c = NextUtf8CodePoint(argument, at);
        if (c < 0x20 || c == 0x7F || IsReplacedUtf8(c, argument, from, at)) {
            for (std::size_t i = from; i < at; ++i) {
                std::snprintf(escaped, sizeof escaped, "\\x%02X",
                              static_cast<unsigned>(static_cast<unsigned char>(argument[i])));
                shown += escaped;
            }
        } else if (c >= 0x80 && c <= 0x9F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            shown += escaped;
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            shown.append(argument.substr(from, at - from));
        }
    }
    return shown;
}

} // namespace

ParsedCheckArguments ParseCheckArguments(std::span<const std::string> Arguments) {
    ParsedCheckArguments parsed;
    CheckOptions options;
    for (const std::string& argument : Arguments) {
        parsed.Json = parsed.Json || argument == "--json";
    }
    for (const std::string& argument : Arguments) {
        const OptionName* known = nullptr;
        for (const OptionName& option : kOptions) {
            if (argument == option.Name) {
                known = &option;
            }
        }
        if (known == nullptr) {
            const bool looksLikeOption = !argument.empty() && argument.front() == '-';
            parsed.Error = looksLikeOption ? "unknown option '" + Printable(argument) + "'"
                                           : "unexpected argument '" + Printable(argument) + "'";
            return parsed;
        }
        options.*(known->Flag) = true;
    }
    parsed.Options = options;
    return parsed;
}

std::string CheckUsage(std::string_view Program) {
    std::string usage = "Usage: ";
    usage += Program;
    usage += " [--fix] [--json]\n"
             "Looks for the reasons why this computer plays no sound: plays a test sound, reads\n"
             "the volume and mute state of the sound server's mixer, and asks whether the sound\n"
             "server runs. Prints each check as it runs, then the problems found.\n"
             "\n"
             "  --fix     repair what was found, check again and report what is fixed\n"
             "  --json    print the findings (and the repair) as JSON, without progress lines\n"
             "  --help    show this text\n"
             "\n"
             "Exit status: 0 nothing found (with --fix: everything found was fixed),\n"
             "1 problems found (with --fix: some remain), 2 bad arguments, a report that could\n"
             "not be written or an internal error, 130 interrupted by Ctrl-C (143 by SIGTERM).\n"
             "Errors go to standard error; with --json they are JSON objects too.\n";
    return usage;
}
