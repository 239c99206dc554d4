// Filling configured templates, and refusing templates that do not fit their arguments.

#include "SafeFormat.h"

#include "Errors.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(SafeFormat, FillsTheConversions) {
    EXPECT_EQ(SafeFormat("Problems found (%d)", {3}), "Problems found (3)");
    EXPECT_EQ(SafeFormat("Tonemender is up to date (%s)", {"1.5.0.1902"}),
              "Tonemender is up to date (1.5.0.1902)");
    EXPECT_EQ(SafeFormat("%d%% of %u, %s", {-7, 8u, std::string("ok")}), "-7% of 8, ok");
    EXPECT_EQ(SafeFormat("%u", {std::uint64_t{18446744073709551615u}}), "18446744073709551615");
    EXPECT_EQ(SafeFormat("%d", {std::int64_t{INT64_MIN}}), "-9223372036854775808");
    EXPECT_EQ(SafeFormat("%u", {5}), "5");
    EXPECT_EQ(SafeFormat("%d", {5u}), "5");
    EXPECT_EQ(SafeFormat("no conversions", {}), "no conversions");
    // A text argument is copied as it is, conversions in it included.
    EXPECT_EQ(SafeFormat("[%s]", {"%d %s %n"}), "[%d %s %n]");
}

TEST(SafeFormat, MismatchesRaiseFormatErrorNamingTheTemplate) {
    const struct {
        const char* what;
        const char* templateText;
        std::function<std::string(const char*)> format;
    } cases[] = {
        {"too few arguments", "Fixed %d of %d", [](const char* t) { return SafeFormat(t, {1}); }},
        {"no argument at all", "Found (%d)", [](const char* t) { return SafeFormat(t, {}); }},
        {"too many arguments", "Fix", [](const char* t) { return SafeFormat(t, {1}); }},
        {"a number for %s", "Version %s", [](const char* t) { return SafeFormat(t, {1}); }},
        {"a text for %d", "Found (%d)", [](const char* t) { return SafeFormat(t, {"3"}); }},
        {"a negative number for %u", "%u", [](const char* t) { return SafeFormat(t, {-1}); }},
        {"too large for %d", "%d",
         [](const char* t) { return SafeFormat(t, {std::uint64_t{1} << 63}); }},
        {"unknown conversion", "%x", [](const char* t) { return SafeFormat(t, {1}); }},
        {"width", "%5d", [](const char* t) { return SafeFormat(t, {1}); }},
        {"pointer-writing conversion", "%n", [](const char* t) { return SafeFormat(t, {1}); }},
        {"a lone percent at the end", "100%", [](const char* t) { return SafeFormat(t, {}); }},
    };
    for (const auto& c : cases) {
        try {
            c.format(c.templateText);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const FormatError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("Format '") + c.templateText +
                                                     "' invalid or incompatible with argument")
                << c.what;
        }
    }
}

} // namespace
