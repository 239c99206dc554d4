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
        // Whatever an argument holds, the error line cannot move the cursor or ring.
        {{"--\x1b[2Jx\n\a"},
         false,
         false,
         false,
         false,
         "unknown option '--?[2Jx?"
         "?'"},
    };
    for (const ArgumentCase& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) {
            shown += "[" + a + "]";
        }
        const ParsedCheckArguments parsed = ParseCheckArguments(c.arguments);
        ASSERT_EQ(parsed.Options.has_value(), c.accepted) << shown;
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
