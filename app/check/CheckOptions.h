#pragma once
// The console check's command line: which options there are, what a given argument list asks
// for, and the usage text. No argument is positional; every one must be a known option.

#include <optional>
#include <span>
#include <string>
#include <string_view>

struct CheckOptions {
    bool Fix = false;  // repair what the scan found, then check again
    bool Json = false; // the findings as JSON on standard output, no progress lines
    bool Help = false; // the usage, nothing else
};

struct ParsedCheckArguments {
    std::optional<CheckOptions> Options; // empty when the arguments are not understood
    std::string Error;                   // then: one line saying which argument and why
    bool Json = false; // --json is among the arguments: errors, this one too, are JSON then
};

// Arguments without the program name. Repeating an option changes nothing.
ParsedCheckArguments ParseCheckArguments(std::span<const std::string> Arguments);

// The usage text, with program as the command's name.
std::string CheckUsage(std::string_view Program);

// Exit codes, for scripts.
inline constexpr int kExitNothingFound = 0; // also: every finding was fixed (--fix)
inline constexpr int kExitProblems = 1;     // found, or (with --fix) some remain
inline constexpr int kExitError = 2;        // bad arguments, or the check itself failed
// An interrupt (Ctrl-C, SIGTERM) ends with 128 + the signal's number, as a shell reports it.
inline constexpr int kExitSignalBase = 128;
