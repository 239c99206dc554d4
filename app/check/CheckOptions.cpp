#include "CheckOptions.h"

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
// it cannot rewrite the terminal.
std::string Printable(std::string_view argument) {
    std::string shown;
    for (char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    return shown;
}

} // namespace

ParsedCheckArguments ParseCheckArguments(std::span<const std::string> Arguments) {
    ParsedCheckArguments parsed;
    CheckOptions options;
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
             "1 problems found (with --fix: some remain), 2 bad arguments or an internal error,\n"
             "130 interrupted by Ctrl-C (143 by SIGTERM).\n";
    return usage;
}
