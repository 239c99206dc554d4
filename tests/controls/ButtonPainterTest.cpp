// The gradient button's face, pixel by pixel. Gradient rows were worked out by hand: row a + i
// of a gradient over rows a..b is start + (end - start) * i / (b - a), rounded half to even.

#include "controls/ButtonPainter.h"

#include "Pixels.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using controls_test::At;
using controls_test::Describe;
using controls_test::Grey;
using controls_test::Px;

constexpr int kW = 116;
constexpr int kH = 34;

QImage Face(TButtonState state, bool gradient, int split, const std::string& caption = "",
            bool focusDots = false, bool enabled = true) {
    ButtonFace face;
    face.Colours = &ButtonColours(enabled, state);
    face.Gradient = gradient;
    face.SplitSpace = split;
    face.Caption = caption;
    face.FocusDots = focusDots;
    QImage surface;
    ComposeButtonFace(surface, kW, kH, face);
    return surface;
}

// Every pixel of the row between the bevel lines is the same.
void ExpectRow(const QImage& image, int y, const Px& expected, const char* what) {
    for (int x = 2; x <= kW - 3; ++x) {
        ASSERT_EQ(At(image, x, y), expected)
            << what << ": row " << y << " column " << x << " is " << Describe(At(image, x, y))
            << ", expected " << Describe(expected);
    }
}

TEST(ButtonFace, TwoPartGradientOverRowsZeroToSeventeenAndSeventeenToThirtyThree) {
    struct Row {
        int y;
        Px colour;
    };
    struct Case {
        const char* name;
        TButtonState state;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        // Upper 242 -> 235 over 17 rows: row 2 = 242 - 14/17 = 241.18, row 10 = 242 - 70/17 =
        // 237.88, row 16 = 242 - 112/17 = 235.41. Row 17 is drawn again as the lower start 221.
        // Lower 221 -> 207: row 18 = 221 - 14/17 = 220.18, row 25 = 221 - 112/17 = 214.41,
        // row 31 = 221 - 196/17 = 209.47.
        {"normal",
         TButtonState::Normal,
         {{2, Grey(241)},
          {10, Grey(238)},
          {16, Grey(235)},
          {17, Grey(221)},
          {18, Grey(220)},
          {25, Grey(214)},
          {31, Grey(209)}}},
        // Upper (234,246,253) -> (217,240,252): row 10 = (234 - 10, 246 - 60/17, 253 - 10/17)
        // = (224, 242.47, 252.41); row 16 = (218, 246 - 96/17, 253 - 16/17) = (218, 240.35,
        // 252.06). Lower (190,230,253) -> (167,217,245), row 25 = (190 - 184/17, 230 - 104/17,
        // 253 - 64/17) = (179.18, 223.88, 249.24).
        {"hot",
         TButtonState::Hot,
         {{10, {224, 242, 252}},
          {16, {218, 240, 252}},
          {17, {190, 230, 253}},
          {25, {179, 224, 249}}}},
        // Upper (229,244,252) -> (196,229,246): row 10 = (229 - 330/17, 244 - 150/17,
        // 252 - 60/17) = (209.59, 235.18, 248.47). Lower starts at (152,209,239).
        {"down", TButtonState::Down, {{10, {210, 235, 248}}, {17, {152, 209, 239}}}},
    };
    for (const Case& c : cases) {
        const QImage face = Face(c.state, true, 17);
        for (const Row& row : c.rows) {
            ExpectRow(face, row.y, row.colour, c.name);
        }
    }
}

TEST(ButtonFace, SplitOutsideTheFaceGivesOneGradient) {
    // 242 -> 207 over rows 0..34: row 10 = 242 - 350/34 = 231.71, row 20 = 242 - 700/34 =
    // 221.41, row 31 = 242 - 1085/34 = 210.09.
    for (int split : {0, kH, -4, 100}) {
        const QImage face = Face(TButtonState::Normal, true, split);
        ExpectRow(face, 10, Grey(232), "single");
        ExpectRow(face, 20, Grey(221), "single");
        ExpectRow(face, 31, Grey(210), "single");
    }
}

TEST(ButtonFace, FlatFaceWithoutGradient) {
    struct Case {
        TButtonState state;
        bool enabled;
        Px fill;
    };
    const Case cases[] = {
        {TButtonState::Normal, true, Grey(242)},
        {TButtonState::Hot, true, {234, 246, 253}},
        {TButtonState::Down, true, {229, 244, 252}},
        {TButtonState::Down, false, Grey(244)},
    };
    for (const Case& c : cases) {
        const QImage face = Face(c.state, false, 17, "", false, c.enabled);
        for (int y = 2; y <= kH - 3; ++y) {
            ExpectRow(face, y, c.fill, "flat");
        }
    }
}

TEST(ButtonFace, BorderAndBevelLinesStopOnePixelShort) {
    struct Case {
        TButtonState state;
        bool enabled;
        Px border, light, dark;
    };
    const Case cases[] = {
        {TButtonState::Normal, true, Grey(112), Grey(252), Grey(243)},
        {TButtonState::Down, true, {44, 98, 139}, {158, 176, 186}, {85, 146, 181}},
        {TButtonState::Hot, false, {173, 178, 181}, Grey(252), Grey(252)},
    };
    for (const Case& c : cases) {
        const QImage face = Face(c.state, true, 17, "", false, c.enabled);
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(At(face, x, 0), c.border) << x;
            ASSERT_EQ(At(face, x, kH - 1), c.border) << x;
        }
        for (int y = 0; y < kH; ++y) {
            ASSERT_EQ(At(face, 0, y), c.border) << y;
            ASSERT_EQ(At(face, kW - 1, y), c.border) << y;
        }
        // Light: (1, H-2) up to (1, 2), then (1, 1) across to (W-2, 1).
        for (int y = 2; y <= kH - 2; ++y) {
            ASSERT_EQ(At(face, 1, y), c.light) << y;
        }
        for (int x = 1; x <= kW - 3; ++x) {
            ASSERT_EQ(At(face, x, 1), c.light) << x;
        }
        // Dark: (W-2, 1) down to (W-2, H-3), then (W-2, H-2) across to (2, H-2); it starts on
        // the light line's last pixel and stops short of the light line's first.
        for (int y = 1; y <= kH - 2; ++y) {
            ASSERT_EQ(At(face, kW - 2, y), c.dark) << y;
        }
        for (int x = 2; x <= kW - 2; ++x) {
            ASSERT_EQ(At(face, x, kH - 2), c.dark) << x;
        }
    }
}

TEST(ButtonFace, FocusDotsEveryOtherPixelInsideTheBevel) {
    const QImage plain = Face(TButtonState::Normal, false, 17);
    const QImage dotted = Face(TButtonState::Normal, false, 17, "", true);
    const Px black = Grey(0);
    struct Dot {
        int x, y;
        bool black;
    };
    const Dot dots[] = {
        {2, 2, true},    {3, 2, false},   {4, 2, true},    {112, 2, true},   {113, 2, true},
        {2, 31, true},   {3, 31, false},  {112, 31, true}, {113, 31, false}, // W-3 odd, H-3 odd
        {2, 30, true},   {2, 29, false},  {113, 30, true}, {113, 29, false}, {113, 4, true},
        {58, 16, false}, {114, 2, false}, {1, 2, false},
    };
    for (const Dot& d : dots) {
        EXPECT_EQ(At(dotted, d.x, d.y) == black, d.black) << d.x << ", " << d.y;
        if (!d.black) {
            EXPECT_EQ(At(dotted, d.x, d.y), At(plain, d.x, d.y)) << d.x << ", " << d.y;
        }
    }
}

// The darkest and the left/right extent of the caption's ink in the rows between the bevels.
struct Ink {
    int left = kW, right = -1, count = 0;
    Px darkest{255, 255, 255};
};

Ink InkOf(const QImage& face, const QImage& background) {
    Ink ink;
    for (int y = 2; y <= kH - 3; ++y) {
        for (int x = 0; x < kW; ++x) {
            const Px p = At(face, x, y);
            if (p == At(background, x, y)) {
                continue;
            }
            ++ink.count;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            if (p.r + p.g + p.b < ink.darkest.r + ink.darkest.g + ink.darkest.b) {
                ink.darkest = p;
            }
        }
    }
    return ink;
}

TEST(ButtonFace, CaptionCentredInTheStateColour) {
    const QImage blank = Face(TButtonState::Normal, false, 17);
    EXPECT_EQ(InkOf(Face(TButtonState::Normal, false, 17, ""), blank).count, 0)
        << "an empty caption draws nothing";

    const Ink cancel = InkOf(Face(TButtonState::Normal, false, 17, "Cancel"), blank);
    ASSERT_GT(cancel.count, 20);
    EXPECT_LE(std::abs(cancel.left - (kW - 1 - cancel.right)), 3)
        << cancel.left << ".." << cancel.right;
    EXPECT_EQ(cancel.darkest, Grey(0)) << "black caption, full strength on its stems";

    const QImage disabledBlank = Face(TButtonState::Normal, false, 17, "", false, false);
    const Ink greyed =
        InkOf(Face(TButtonState::Normal, false, 17, "Cancel", false, false), disabledBlank);
    ASSERT_GT(greyed.count, 20);
    EXPECT_EQ(greyed.darkest, (Px{131, 131, 157}));
}

TEST(ButtonFace, WideCaptionIsCutAtBothEdges) {
    const QImage blank = Face(TButtonState::Normal, false, 17);
    const QImage face = Face(TButtonState::Normal, false, 17, std::string(40, 'W'));
    const Ink ink = InkOf(face, blank);
    // The bevel and the border are drawn over the text, so ink reaches the inner columns.
    EXPECT_EQ(ink.left, 2);
    EXPECT_EQ(ink.right, kW - 3);
    EXPECT_EQ(At(face, 0, 16), Grey(112));
    EXPECT_EQ(At(face, 1, 16), Grey(252));
}

TEST(ButtonFace, AmpersandUnderlinesInsteadOfShowing) {
    const QImage blank = Face(TButtonState::Normal, false, 17);
    const Ink plain = InkOf(Face(TButtonState::Normal, false, 17, "Fix"), blank);
    const Ink marked = InkOf(Face(TButtonState::Normal, false, 17, "&Fix"), blank);
    ASSERT_GT(plain.count, 0);
    // Same letters plus an underline: a little more ink, not a whole extra glyph's width.
    EXPECT_GT(marked.count, plain.count);
    EXPECT_LE(marked.right - marked.left, plain.right - plain.left + 8);
}

TEST(ButtonFace, BadSizesAreHarmless) {
    ButtonFace face;
    face.Gradient = true;
    face.Caption = "Cancel";
    face.FocusDots = true;
    QImage surface(3, 3, QImage::Format_RGB32);
    for (auto [w, h] : {std::pair{0, 34}, {116, 0}, {-5, -5}}) {
        ComposeButtonFace(surface, w, h, face);
        EXPECT_TRUE(surface.isNull()) << w << " x " << h;
    }
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 34}, {116, 1}, {3, 3}}) {
        for (int split : {0, 1, h / 2, h}) {
            face.SplitSpace = split;
            ComposeButtonFace(surface, w, h, face);
            EXPECT_EQ(surface.size(), QSize(w, h));
        }
    }
    // Without colours given, the normal set is used.
    face = ButtonFace{};
    ComposeButtonFace(surface, 10, 10, face);
    EXPECT_EQ(At(surface, 5, 5), Grey(242));
}

} // namespace
