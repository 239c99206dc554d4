// The console check's command line: what each argument list asks for, and which are refused
// with the reason shown to the user.
#include "CheckOptions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct ArgumentCase {
    std::vector<std::string> arguments;
    bool accepted;
    bool fix = false;
    bool json = false;
    bool help = false;
    const char* error = "";
};

TEST(CheckOptions, ArgumentListsAreReadOrRefused) {
    const ArgumentCase cases[] = {
        {{}, true},
        {{"--fix"}, true, true},
        {{"--json"}, true, false, true},
        {{"--json", "--fix"}, true, true, true},
        {{"--fix", "--fix"}, true, true},
        {{"--help"}, true, false, false, true},
        {{"-h", "--fix"}, true, true, false, true},
        {{"--verbose"}, false, false, false, false, "unknown option '--verbose'"},
        {{"--fix=yes"}, false, false, false, false, "unknown option '--fix=yes'"},
        {{"-fix"}, false, false, false, false, "unknown option '-fix'"},
        {{"--FIX"}, false, false, false, false, "unknown option '--FIX'"},
        {{"--"}, false, false, false, false, "unknown option '--'"},
        {{"-"}, false, false, false, false, "unknown option '-'"},
        {{"fix"}, false, false, false, false, "unexpected argument 'fix'"},
        {{""}, false, false, false, false, "unexpected argument ''"},
        {{"--fix", "now"}, false, false, false, false, "unexpected argument 'now'"},
        {{"--help", "--bogus"}, false, false, false, false, "unknown option '--bogus'"},
        // Whatever an argument holds, the error line cannot move the cursor or ring: C0, DEL,
        // C1 (in UTF-8 or as a bare byte) and bytes that are not UTF-8 come out escaped.
        {{"--\x1b[2Jx\n\a"}, false, false, false, false, R"(unknown option '--\x1B[2Jx\x0A\x07')"},
        {{"--\xc2\x9b"
          "2J"},
         false,
         false,
         false,
         false,
         R"(unknown option '--\u009B2J')"},
        {{"--\x9b"
          "2J"},
         false,
         false,
         false,
         false,
         R"(unknown option '--\x9B2J')"},
        {{"\x7f\xc2\x85\xff"},
         false,
         false,
         false,
         false,
         R"(unexpected argument '\x7F\u0085\xFF')"},
        {{"--json", "\xc2\x9b"}, false, false, true, false, R"(unexpected argument '\u009B')"},
        // Every byte of a broken sequence is shown; a U+FFFD written in the text stays as it is.
        {{"\xe2\x82-\xef\xbf\xbd"},
         false,
         false,
         false,
         false,
         "unexpected argument '\\xE2\\x82-\xef\xbf\xbd'"},
        // What is printable stays as it is; a backslash is doubled so no escape is forged.
        {{"--caf\xc3\xa9-\xc4\x81-\xe2\x82\xac"},
         false,
         false,
         false,
         false,
         "unknown option '--caf\xc3\xa9-\xc4\x81-\xe2\x82\xac'"},
        {{R"(--\x1B)"}, false, false, false, false, R"(unknown option '--\\x1B')"},
    };
    for (const ArgumentCase& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) {
            shown += "[" + a + "]";
        }
        const ParsedCheckArguments parsed = ParseCheckArguments(c.arguments);
        ASSERT_EQ(parsed.Options.has_value(), c.accepted) << shown;
        EXPECT_EQ(parsed.Json, c.json) << shown << ": errors are JSON with --json";
        if (c.accepted) {
            EXPECT_EQ(parsed.Options->Fix, c.fix) << shown;
            EXPECT_EQ(parsed.Options->Json, c.json) << shown;
            EXPECT_EQ(parsed.Options->Help, c.help) << shown;
            EXPECT_EQ(parsed.Error, "") << shown;
        } else {
            EXPECT_EQ(parsed.Error, c.error) << shown;
        }
    }
}

TEST(CheckOptions, TheUsageNamesEveryOptionAndTheExitCodes) {
    const std::string usage = CheckUsage("tonemender-check");
    EXPECT_EQ(usage.rfind("Usage: tonemender-check [--fix] [--json]\n", 0), 0u);
    for (const char* word : {"--fix", "--json", "--help", "0 nothing found", "1 problems found",
                             "2 bad arguments", "130"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(usage.back(), '\n');
}

} // namespace
