// How drawn items read their numbers: leniently for placements and alignments, strictly for
// sizes and colours, the colour's reversed reading, and the placement's relative parts.

#include "controls/DUINumberRules.h"

#include "config/Errors.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(DUINumberRules, LenientReadingTakesWhatItCanAndWrapsTo32Bits) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {" 250", 250},
        {"+192", 192},
        {"+0", 0},
        {"20 ", 20},
        {"17px", 17},
        {"-5", -5},
        {"abc", 0},
        {"", 0},
        {"+", 0},
        {"- 5", 0}, // the sign must touch the digits
        {"\t 12", 12},
        {"$1F", 31},
        {"x1f", 31},
        {"X10", 16},
        {"0x10", 16},
        {"0X1g", 1},
        {"-$10", -16},
        {"0x", 0},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"4294967297", 1},
        {"-4294967297", -1},
        {"$1FFFFFFFF", -1},
        {"18446744073709551617", 1}, // 2^64 + 1: the 64-bit sum wraps as well
        // 10^32 is a multiple of 2^32, so 10^32 - 1 wraps to -1.
        {"99999999999999999999999999999999", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LenientNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(DUINumberRules, StrictReadingWantsOneWholeNumberInRange) {
    const struct {
        const char* text;
        bool valid;
        std::int32_t value;
    } cases[] = {
        {"12", true, 12},
        {"09", true, 9},
        {"8", true, 8},
        {" 12", true, 12},
        {"+12", true, 12},
        {"-12", true, -12},
        {"$DA3300", true, 0xDA3300},
        {"$FFFFFFFF", true, -1},
        {"0x7f", true, 127},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"12a", false, 0},
        {"12 ", false, 0},
        {"1 2", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"$-21", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$100000000", false, 0},
        {"18446744073709551617", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 0;
        EXPECT_EQ(StrictNumber(c.text, value), c.valid) << '"' << c.text << '"';
        if (c.valid) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(DUINumberRules, StrictFailureNamesTheTextInItsMessage) {
    try {
        StrictNumberOrThrow("12a");
        FAIL() << "no error";
    } catch (const ConvertError& error) {
        EXPECT_STREQ(error.what(), "'12a' is not a valid integer value");
    }
}

TEST(DUINumberRules, ColoursAreReadWithTheirCharactersReversed) {
    const struct {
        const char* text;
        int r, g, b;
    } cases[] = {
        {"0033AD", 0x00, 0x33, 0xDA},
        {"000000", 0, 0, 0},
        {"FFFFFF", 255, 255, 255},
        {"123456", 0x21, 0x43, 0x65}, // reversed "654321": blue 0x65, green 0x43, red 0x21
        {"f", 0xF, 0, 0},
    };
    for (const auto& c : cases) {
        const auto colour = static_cast<COLORREF>(ColorFromText(c.text));
        EXPECT_EQ(GetRValue(colour), c.r) << c.text;
        EXPECT_EQ(GetGValue(colour), c.g) << c.text;
        EXPECT_EQ(GetBValue(colour), c.b) << c.text;
    }
}

TEST(DUINumberRules, ABadColourNamesTheReversedTextWithItsDollar) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0033AG", "'$GA3300' is not a valid integer value"},
        {"0033AD ", "'$ DA3300' is not a valid integer value"},
        {"-12", "'$21-' is not a valid integer value"},
        {"000000001", "'$100000000' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        try {
            ColorFromText(c.text);
            ADD_FAILURE() << c.text << ": no error";
        } catch (const ConvertError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
    // More digits are fine while the value fits 32 bits; only the low three bytes count.
    EXPECT_EQ(static_cast<COLORREF>(ColorFromText("100000000")), 1u);
}

TEST(DUINumberRules, PlacementPartsAreAbsoluteOrRelative) {
    const struct {
        TRect before;
        const char* text;
        TRect after;
    } cases[] = {
        {{0, 0, 0, 0}, "17,20", {17, 20, 0, 0}},
        {{17, 50, 5, 6}, "19, 250,171,20", {19, 250, 190, 270}},
        {{19, 250, 190, 270}, "+192,+0,174,20", {211, 250, 385, 270}},
        {{211, 250, 385, 270}, "+195,+0,171,20", {406, 250, 577, 270}},
        {{406, 250, 577, 270}, "219,+28,166,50", {219, 278, 385, 328}},
        {{17, 20, 300, 400}, "18,+26", {18, 46, 300, 400}},
        // A relative width or height moves the old edge; a '+' anywhere makes a part relative.
        {{10, 10, 100, 100}, "5,5,+7,+8", {5, 5, 107, 108}},
        {{10, 10, 100, 100}, "1+,2", {11, 2, 100, 100}},
        // A '-' does not: the part is the absolute value -5.
        {{10, 10, 100, 100}, "-5,-6,-7,-8", {-5, -6, -12, -14}},
        // Parts past the fourth are ignored; a single part sets only the left edge.
        {{1, 2, 3, 4}, "10,20,30,40,50,60", {10, 20, 40, 60}},
        {{1, 2, 3, 4}, "10", {10, 2, 3, 4}},
        // Empty and unreadable parts count as absolute 0.
        {{1, 2, 3, 4}, ",,x", {0, 0, 0, 4}},
        // Sums wrap to 32 bits instead of overflowing.
        {{INT32_MAX, 0, 0, 0}, "+1,0", {INT32_MIN, 0, 0, 0}},
        {{0, 0, 0, 0},
         "2147483647,2147483647,10,+2147483647",
         {INT32_MAX, INT32_MAX, INT32_MIN + 9, INT32_MAX}},
    };
    for (const auto& c : cases) {
        TRect rect = c.before;
        ApplyRectText(rect, c.text);
        EXPECT_EQ(rect, c.after) << '"' << c.text << '"' << " gave " << rect.Left << ',' << rect.Top
                                 << ',' << rect.Right << ',' << rect.Bottom;
    }
}

} // namespace
