// The progress bar's face, pixel by pixel. The expected values of the small bars were worked
// out by hand from the drawing rules; the derivations are in the comments.

#include "controls/ProgressBarPainter.h"

#include "Pixels.h"

#include <climits>
#include <gtest/gtest.h>
#include <vector>

namespace {

using controls_test::At;
using controls_test::Describe;
using controls_test::Grey;
using controls_test::IsGreenish;
using controls_test::IsGrey;
using controls_test::Px;

using Frame = std::vector<std::vector<Px>>;

void ExpectFrame(const QImage& image, const Frame& expected) {
    ASSERT_EQ(image.height(), static_cast<int>(expected.size()));
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(image.width(), static_cast<int>(expected[y].size()));
        for (int x = 0; x < image.width(); ++x) {
            EXPECT_EQ(At(image, x, y), expected[y][x])
                << "pixel (" << x << ", " << y << ") is " << Describe(At(image, x, y))
                << ", expected " << Describe(expected[y][x]);
        }
    }
}

QImage Compose(int width, int height, const ProgressBarLook& look) {
    QImage frame;
    ComposeProgressBar(frame, width, height, look);
    return frame;
}

TEST(BlendColor, LaysAPercentageOfOneColourOverAnother) {
    struct Case {
        TColor a, b;
        int percent;
        COLORREF expected;
    };
    const Case cases[] = {
        // f = Round(p * 2.56); channel = b + floor((a - b) * f / 256).
        // 99 -> f 253: 255 + floor(-63 * 253 / 256) = 255 - 63 = 192.
        {0xC0C0C0, clWhite, 99, RGB(192, 192, 192)},
        // 255 + floor(-255 * 253 / 256 = -252.01) = 2.
        {clBlack, clWhite, 99, RGB(2, 2, 2)},
        // 5 -> f 13: 255 + floor(-255 * 13 / 256 = -12.95) = 242.
        {clLime, clWhite, 5, RGB(242, 255, 242)},
        // 60 -> f 154: floor(255 * 154 / 256 = 153.4) = 153.
        {clLime, clBlack, 60, RGB(0, 153, 0)},
        // 80 -> f 205: floor(255 * 205 / 256 = 204.2) = 204.
        {clLime, clBlack, 80, RGB(0, 204, 0)},
        // 50 -> f 128, each channel on its own: 200 + floor(-95) = 105, 100 - 40, 0 + 15.
        {static_cast<TColor>(RGB(10, 20, 30)), static_cast<TColor>(RGB(200, 100, 0)), 50,
         RGB(105, 60, 15)},
        // Red sits in the low byte: 255 * 128 / 256 = 127.5, floored.
        {static_cast<TColor>(RGB(255, 0, 0)), clBlack, 50, RGB(127, 0, 0)},
        // The button-face system colour (240) resolves first. 15 -> f 38:
        // 240 + floor(-48 * 38 / 256 = -7.1) = 232; 65 -> f 166: 240 + floor(-31.1) = 208.
        {0xC0C0C0, clBtnFace, 15, RGB(232, 232, 232)},
        {0xC0C0C0, clBtnFace, 65, RGB(208, 208, 208)},
        // 100 % wraps round to f 0 and leaves the lower colour.
        {clLime, clWhite, 100, RGB(255, 255, 255)},
        {clLime, clWhite, 0, RGB(255, 255, 255)},
        // Out-of-range percentages are held to 0..100.
        {clBlack, clWhite, 250, RGB(255, 255, 255)},
        {clBlack, clWhite, -7, RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BlendColor(c.a, c.b, c.percent), c.expected)
            << std::hex << c.a << " over " << c.b << " at " << std::dec << c.percent;
    }
}

// A 10 x 6 bar, default colours, Max 2, Position 1.
//
// Frame: border 192; top edge BlendColor(192, white, 99) = 192; corners
// BlendColor(192, 240, 15) = 232.
//
// Track (1, 1, 10, 6): W' = 8, H' = 4, i0 = Trunc(4 / 2.25) = 1. Row bases: y0 = T1 = 253;
// y1..3 = 160 + 53 * y / 4 = 173, 186, 199. Side d = min(x', 7 - x'); S(d) = 200 + 53 d / 25:
// 200, 202, 204, 206 for d = 0..3. Rows 0 and 3 move a quarter toward S (floored), rows 1 and 2
// half (truncated), d = 0 an eighth (floored):
//   row0: d0 253 + floor(-53/8) = 246, d1 253 + floor(-51/4) = 240, d2 240, d3 253 - 12 = 241
//   row1: d0 173 + 3 = 176, d1 173 + 14 = 187, d2 188, d3 189
//   row2: d0 186 + 1 = 187, d1 194, d2 195, d3 196
//   row3: d0 199, d1 199 + floor(3/4) = 199, d2 200, d3 200
//
// Fill: right = Round(10 * 1/2) = 5, so (1, 1, 5, 6): W' = 3, H' = 4, i0 = 1; d = 0, 1, 0.
// Colours from lime: T1 (242,255,242), T2 (127,255,127), B1 (0,153,0), B2 (0,204,0),
// S1 (0,127,0), S2 (127,255,127). Row bases: T1, then green 153 + 51 y / 4 = 165, 178, 191.
// S(1) = (0 + 127/25, 127 + 128/25, ...) = (5, 132, 5).
//   row0: d0 (242 + floor(-242/8), 255 - 16) = (211,239,211); d1 quarter:
//         (242 + floor(-237/4), 255 + floor(-123/4)) = (182,224,182)
//   row1: d0 (0, 165 + floor(-38/8)) = (0,160,0); d1 half: (2, 165 + trunc(-33/2)) = (2,149,2)
//   row2: d0 (0, 178 - 7) = (0,171,0); d1 (2, 178 - 23) = (2,155,2)
//   row3: d0 (0, 191 - 8) = (0,183,0); d1 quarter: (1, 191 + floor(-59/4)) = (1,176,1)
TEST(ProgressFrame, SmallHorizontalBarPixelByPixel) {
    ProgressBarLook look;
    look.Max = 2;
    look.Position = 1;
    const Px c = Grey(232), e = Grey(192);
    const Px f0{211, 239, 211}, f1{182, 224, 182};
    const Frame expected = {
        {c, e, e, e, e, e, e, e, e, c},
        {e, f0, f1, f0, Grey(241), Grey(241), Grey(240), Grey(240), Grey(246), e},
        {e, Px{0, 160, 0}, Px{2, 149, 2}, Px{0, 160, 0}, Grey(189), Grey(189), Grey(188), Grey(187),
         Grey(176), e},
        {e, Px{0, 171, 0}, Px{2, 155, 2}, Px{0, 171, 0}, Grey(196), Grey(196), Grey(195), Grey(194),
         Grey(187), e},
        {e, Px{0, 183, 0}, Px{1, 176, 1}, Px{0, 183, 0}, Grey(200), Grey(200), Grey(200), Grey(199),
         Grey(199), e},
        {c, e, e, e, e, e, e, e, e, c},
    };
    ExpectFrame(Compose(10, 6, look), expected);
}

// A 7 x 8 vertical bar, default colours, Max 3, Position 1.
//
// Track (1, 1, 7, 8): W' = 5, H' = 6, i0 = Trunc(5 / 2.5) = 2. Column bases: x'0 = 253,
// x'1 = 253 + trunc(-35/2) = 236, x'2..4 = 160 + 53 x' / 5 = 181, 191, 202. Columns 0, 1 and the
// last move a quarter, 2 and 3 half; d = min(y', 5 - y') with the same S(d) as above:
//   x'0: d0 246, d1 240, d2 240          x'1: d0 236 + floor(-36/8) = 231, d1 227, d2 228
//   x'2: d0 183, d1 191, d2 192          x'3: d0 192, d1 196, d2 197
//   x'4: d0 202 + floor(-2/8) = 201, d1 202, d2 202
// Fill: top = max(1, 8 - Round(8/3)) = 5, rectangle (1, 5, 7, 8): W' = 5, H' = 2, both rows d 0.
// Column bases from lime: T1, lerp(T1, T2, 1, 2) = (185,255,185), then green
// 153 + 51 x' / 5 = 173, 183, 193. An eighth toward S1 (0,127,0):
//   (211,239,211), (185 - 24, 239) = (161,239,161), (0,167,0), (0,176,0), (0,184,0)
TEST(ProgressFrame, SmallVerticalBarPixelByPixel) {
    ProgressBarLook look;
    look.Orientation = vpbVertical;
    look.Max = 3;
    look.Position = 1;
    const Px c = Grey(232), e = Grey(192);
    const std::vector<Px> fill = {
        e, {211, 239, 211}, {161, 239, 161}, {0, 167, 0}, {0, 176, 0}, {0, 184, 0}, e};
    const Frame expected = {
        {c, e, e, e, e, e, c},
        {e, Grey(246), Grey(231), Grey(183), Grey(192), Grey(201), e},
        {e, Grey(240), Grey(227), Grey(191), Grey(196), Grey(202), e},
        {e, Grey(240), Grey(228), Grey(192), Grey(197), Grey(202), e},
        {e, Grey(240), Grey(228), Grey(192), Grey(197), Grey(202), e},
        fill,
        fill,
        {c, e, e, e, e, e, c},
    };
    ExpectFrame(Compose(7, 8, look), expected);
}

// A 20 x 5 marquee frame: size 50, fade 20, step 30.
//
// right = Round(20 * 0.3) = 6, left = 6 - Round(20 * 0.5) = -4. len = Trunc(0.2 * 50) = 10,
// n = Trunc(0.1 * 20) = 2: a[0] = a[9] = Trunc(79.5 * 2) + 95 = 254, a[1] = a[8] =
// Trunc(79.5) + 95 = 174, the rest 96. Columns -4..5, so column 0..3 get 96, 4 gets 174,
// 5 gets 254; every row, frame included. Pixel := C + floor((p - C) * a / 256), C = lime.
//
// Track underneath: W' = 18, H' = 3, i0 = 1; row bases 253, 160 + 53/3 = 177, 160 + 106/3 = 195;
// rows 0 and 2 quarter, row 1 half. Columns 1..5 are x' = 0..4, d = x', S = 200, 202, 204, 206,
// 208:
//   row y'0: 246, 240, 240, 241, 241    row y'1: 179, 189, 190, 191, 192
//   row y'2: 195, 196, 197, 197, 198
// Then for example 246 under a = 96: (floor(246 * 96 / 256), 255 + floor(-9 * 96 / 256)) =
// (92, 251); 192 under 174: (130, 255 - 43); 241 under 254: (239, 255 - 14).
TEST(ProgressFrame, MarqueeFrameAtAGivenStep) {
    ProgressBarLook look;
    look.Marquee = true;
    look.MarqueeSize = 50;
    look.MarqueeFade = 20;
    look.MarqueeStep = 30;
    const QImage frame = Compose(20, 5, look);
    ASSERT_FALSE(frame.isNull());
    const Px edge96{72, 231, 72};    // the 192 frame under a = 96
    const Px edge174{130, 212, 130}; // ... under 174
    const Px edge254{190, 192, 190}; // ... under 254
    const Px corner96{87, 246, 87};  // corner 232 under 96
    const Frame expected = {
        {corner96, edge96, edge96, edge96, edge174, edge254},
        {edge96, {92, 251, 92}, {90, 249, 90}, {90, 249, 90}, {163, 245, 163}, {239, 241, 239}},
        {edge96, {67, 226, 67}, {70, 230, 70}, {71, 230, 71}, {129, 211, 129}, edge254},
        {edge96, {73, 232, 73}, {73, 232, 73}, {73, 233, 73}, {133, 215, 133}, {196, 198, 196}},
        {corner96, edge96, edge96, edge96, edge174, edge254},
    };
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(At(frame, x, y), expected[y][x])
                << "pixel (" << x << ", " << y << ") is " << Describe(At(frame, x, y));
        }
    }
    // Column 6 is past the block: plain track (x' = 5, S = 210) and frame.
    EXPECT_EQ(At(frame, 6, 0), Grey(192));
    EXPECT_EQ(At(frame, 6, 1), Grey(242));
    EXPECT_EQ(At(frame, 6, 2), Grey(193));
    EXPECT_EQ(At(frame, 6, 3), Grey(198));
}

TEST(MarqueeWeights, FadeAtBothEndsAndUnreachedEntriesStayZero) {
    struct Case {
        int length, fade;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // n = 2: 159/2 * 2 + 95 = 254, 159/2 + 95 = 174 (truncated), middle 96.
        {10, 20, {254, 174, 96, 96, 96, 96, 96, 96, 174, 254}},
        // n = 6 (above half): the loop stops at i = 3, entries 4 and 5 stay 0 (full colour).
        // 26.5 * 6 = 159, * 5 = 132.5, * 4 = 106, * 3 = 79.5.
        {10, 60, {254, 227, 201, 174, 0, 0, 174, 201, 227, 254}},
        // n = length: no entry is reached, the whole block is full colour.
        {4, 100, {0, 0, 0, 0}},
        {4, 50, {254, 174, 174, 254}},
        // No fade: an even 96 throughout.
        {3, 0, {96, 96, 96}},
        {0, 30, {}},
        {-5, 30, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MarqueeWeights(c.length, c.fade), c.expected)
            << "length " << c.length << ", fade " << c.fade;
    }
}

TEST(ProgressFrame, FadeAboveHalfLeavesTheBlockMiddleInFullColour) {
    // 100 x 8, size 20 -> len 20, fade 80 -> n 16: the loop reaches i = 0..3 only, so block
    // entries 4..15 stay 0. Step 50: right 50, left 30, block columns 30..49.
    ProgressBarLook look;
    look.Marquee = true;
    look.MarqueeSize = 20;
    look.MarqueeFade = 80;
    look.MarqueeStep = 50;
    const QImage frame = Compose(100, 8, look);
    for (int y = 0; y < 8; ++y) {
        for (int x = 34; x <= 45; ++x) {
            ASSERT_EQ(At(frame, x, y), (Px{0, 255, 0})) << x << ", " << y;
        }
        EXPECT_NE(At(frame, 33, y), (Px{0, 255, 0})) << "faded end, row " << y;
        EXPECT_NE(At(frame, 46, y), (Px{0, 255, 0})) << "faded end, row " << y;
        EXPECT_TRUE(IsGrey(At(frame, 29, y))) << "before the block, row " << y;
        EXPECT_TRUE(IsGrey(At(frame, 50, y))) << "after the block, row " << y;
    }
}

TEST(ProgressFrame, VerticalMarqueeTravelsFromTheBottomUp) {
    // 6 x 20, size 50 -> len 10, fade 20 -> n 2. Step 30: top = 20 - 6 = 14, block rows 14..23,
    // of which 14..19 land: a = 254, 174, 96, 96, 96, 96. Step 60: top = 8, rows 8..17.
    ProgressBarLook look;
    look.Orientation = vpbVertical;
    look.Marquee = true;
    look.MarqueeSize = 50;
    look.MarqueeFade = 20;
    look.MarqueeStep = 30;
    QImage low = Compose(6, 20, look);
    ProgressBarLook plain = look;
    plain.Marquee = false; // Position 0: the bare track
    const QImage track = Compose(6, 20, plain);
    for (int y = 0; y < 20; ++y) {
        const bool inBlock = y >= 14;
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(At(low, x, y) == At(track, x, y), !inBlock) << x << ", " << y;
        }
    }
    // Row 14 is the faint leading edge: 192 (the frame's left column) under a = 254.
    EXPECT_EQ(At(low, 0, 14), (Px{190, 192, 190}));
    // Row 19 is the bottom frame row, 192 under a = 96; its corner 232 too.
    EXPECT_EQ(At(low, 2, 19), (Px{72, 231, 72}));
    EXPECT_EQ(At(low, 0, 19), (Px{87, 246, 87}));

    look.MarqueeStep = 60;
    QImage high = Compose(6, 20, look);
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(At(high, 3, y) == At(track, 3, y), y < 8 || y > 17) << y;
    }
}

TEST(ProgressFrame, MarqueeStepZeroDrawsNoBlock) {
    ProgressBarLook look;
    look.Marquee = true;
    look.MarqueeStep = 0;
    for (TVPBOrientation orientation : {vpbHorizontal, vpbVertical}) {
        look.Orientation = orientation;
        const QImage frame = Compose(120, 15, look);
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 120; ++x) {
                ASSERT_TRUE(IsGrey(At(frame, x, y))) << orientation << ": " << x << ", " << y;
            }
        }
    }
}

// The scanning page's bar: 558 x 15, Max 12.
TEST(ProgressFrame, ScanningBarFillEdges) {
    struct Case {
        int position;
        int lastFill; // last column of the fill; the next one is track
    };
    const Case cases[] = {
        // right = Round(558 / 12 = 46.5) = 46 (half to even), fill W' = 46 - 1 - 1 = 44: 1..44.
        {1, 44},
        // right = Round(139.5) = 140: columns 1..138.
        {3, 138},
        // right = 558: columns 1..556, the whole inside of the frame.
        {12, 556},
    };
    for (const Case& c : cases) {
        ProgressBarLook look;
        look.Max = 12;
        look.Position = c.position;
        const ProgressFill fill = ProgressFillRect(558, 15, look);
        EXPECT_EQ(fill.Rect, (TRect{1, 1, c.lastFill + 2, 15})) << c.position;
        const QImage frame = Compose(558, 15, look);
        for (int y = 1; y <= 13; ++y) {
            EXPECT_TRUE(IsGreenish(At(frame, 1, y))) << c.position << " row " << y;
            EXPECT_TRUE(IsGreenish(At(frame, c.lastFill, y))) << c.position << " row " << y;
            if (c.lastFill < 556) {
                EXPECT_TRUE(IsGrey(At(frame, c.lastFill + 1, y))) << c.position << " row " << y;
            }
        }
        // The frame is never covered.
        EXPECT_EQ(At(frame, 557, 7), Grey(192));
        EXPECT_EQ(At(frame, 300, 0), Grey(192));
        EXPECT_EQ(At(frame, 300, 14), Grey(192));
    }
}

TEST(ProgressFrame, FractionAboveOneRunsOverTheFrameAndIsCut) {
    // Position 12 with Max lowered to 6: q = 2, right = 1116, the fill is 1114 wide and is cut at
    // the bar's edge. Its right side shade lies far outside, so the right frame column shows
    // the fill's plain middle colour.
    ProgressBarLook look;
    look.Max = 6;
    look.Position = 12;
    EXPECT_EQ(ProgressFillRect(558, 15, look).Rect.Right, 1116);
    const QImage frame = Compose(558, 15, look);
    for (int y = 1; y <= 13; ++y) {
        EXPECT_TRUE(IsGreenish(At(frame, 557, y))) << y;
        EXPECT_EQ(At(frame, 557, y), At(frame, 300, y)) << y;
    }
    EXPECT_EQ(At(frame, 557, 0), Grey(232)) << "corner rows are not part of the glass";
    EXPECT_EQ(At(frame, 557, 14), Grey(232));
}

TEST(ProgressFrame, EqualMinAndMaxGiveNoFillAndZeroPercent) {
    ProgressBarLook look;
    look.Min = 5;
    look.Max = 5;
    look.Position = 5;
    look.Percentage = true;
    EXPECT_EQ(ProgressText(look), "0%");
    EXPECT_FALSE(ProgressFillRect(558, 15, look).Drawn);
    const QImage frame = Compose(558, 15, look);
    for (int x = 0; x < 558; ++x) {
        ASSERT_TRUE(IsGrey(At(frame, x, 7))) << x;
    }
}

TEST(ProgressFrame, TextOfPositionAndPercentage) {
    struct Case {
        int min, max, position;
        bool percentage;
        const char* prefix;
        const char* suffix;
        const char* expected;
    };
    const Case cases[] = {
        {0, 8, 1, true, "", "", "12%"}, // 12.5 to even
        {0, 8, 3, true, "", "", "38%"}, // 37.5 to even
        {0, 12, 7, false, "Step ", " of 12", "Step 7 of 12"},
        {-10, 10, 0, true, "[", "]", "[50%]"},
        {0, 100, -4, false, "", "", "-4"},
        {INT_MIN, INT_MAX, INT_MAX, true, "", "", "100%"},
    };
    for (const Case& c : cases) {
        ProgressBarLook look;
        look.Min = c.min;
        look.Max = c.max;
        look.Position = c.position;
        look.Percentage = c.percentage;
        look.PosTextPrefix = c.prefix;
        look.PosTextSuffix = c.suffix;
        EXPECT_EQ(ProgressText(look), c.expected);
    }
}

TEST(ProgressFrame, TextIsDrawnOnlyWithShowPosText) {
    ProgressBarLook look;
    look.Max = 8;
    look.Percentage = true; // "0%"
    look.AltMode = true;    // a flat inside, so text is easy to tell apart
    auto darkPixels = [](const QImage& frame) {
        int count = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                count += At(frame, x, y).r < 128 ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_EQ(darkPixels(Compose(200, 17, look)), 0) << "Percentage alone shows nothing";
    look.ShowPosText = true;
    const QImage shown = Compose(200, 17, look);
    EXPECT_GT(darkPixels(shown), 10);
    // Centred: the ink lies in the middle of the bar.
    int left = 200, right = -1;
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (At(shown, x, y).r < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    EXPECT_LE(std::abs(left - (199 - right)), 3) << left << ".." << right;
}

TEST(ProgressFrame, LowBarShowsOnlyItsFrame) {
    // Three pixels high: the glass needs an inside two pixels high, so neither track nor fill.
    // Row 1 is BackColor with the inner corners BlendColor(192, 240, 65) = 208.
    ProgressBarLook look;
    look.Max = 12;
    look.Position = 12;
    const QImage frame = Compose(20, 3, look);
    for (int x = 0; x < 20; ++x) {
        const bool corner = x == 0 || x == 19;
        EXPECT_EQ(At(frame, x, 0), Grey(corner ? 232 : 192)) << x;
        EXPECT_EQ(At(frame, x, 2), Grey(corner ? 232 : 192)) << x;
    }
    EXPECT_EQ(At(frame, 0, 1), Grey(192));
    EXPECT_EQ(At(frame, 1, 1), Grey(208));
    EXPECT_EQ(At(frame, 18, 1), Grey(208));
    for (int x = 2; x < 18; ++x) {
        EXPECT_EQ(At(frame, x, 1), Grey(240)) << x;
    }
}

// AltMode 6 x 4 with its own colours: border black, corner white, back (10, 200, 100).
// Top edge BlendColor(black, white, 99) = 2; corners BlendColor(black, white, 15):
// 255 + floor(-255 * 38 / 256) = 217; inner corners BlendColor(black, back, 65):
// (10 + floor(-6.5), 200 + floor(-129.7), 100 + floor(-64.8)) = (3, 70, 35).
TEST(ProgressFrame, AltModeLeavesTheTrackFlat) {
    ProgressBarLook look;
    look.AltMode = true;
    look.BorderColor = clBlack;
    look.CornerColor = clWhite;
    look.BackColor = static_cast<TColor>(RGB(10, 200, 100));
    const Px c = Grey(217), t = Grey(2), k = Grey(0), in{3, 70, 35}, b{10, 200, 100};
    const Frame expected = {
        {c, t, t, t, t, c},
        {k, in, b, b, in, k},
        {k, in, b, b, in, k},
        {c, k, k, k, k, c},
    };
    ExpectFrame(Compose(6, 4, look), expected);
}

TEST(ProgressFrame, BadSizesAndExtremeValuesAreHarmless) {
    QImage frame(4, 4, QImage::Format_RGB32);
    ComposeProgressBar(frame, 0, 15, ProgressBarLook{});
    EXPECT_TRUE(frame.isNull());
    ComposeProgressBar(frame, 15, -3, ProgressBarLook{});
    EXPECT_TRUE(frame.isNull());

    struct Case {
        int min, max, position;
        bool marquee;
        int step;
        TVPBOrientation orientation;
    };
    const Case cases[] = {
        {INT_MIN, INT_MAX, INT_MAX, false, 0, vpbHorizontal},
        {INT_MAX, INT_MIN, INT_MIN, false, 0, vpbVertical},
        {0, 1, INT_MAX, false, 0, vpbHorizontal}, // Max lowered far below Position
        {0, 1, INT_MAX, false, 0, vpbVertical},
        {10, 0, 5, false, 0, vpbHorizontal}, // Min above Max
        {0, 100, INT_MIN, false, 0, vpbVertical},
        {0, 100, 0, true, 355, vpbHorizontal}, // the longest marquee cycle
        {0, 100, 0, true, 355, vpbVertical},
    };
    for (const Case& c : cases) {
        ProgressBarLook look;
        look.Min = c.min;
        look.Max = c.max;
        look.Position = c.position;
        look.Marquee = c.marquee;
        look.MarqueeStep = c.step;
        look.MarqueeSize = 255;
        look.MarqueeFade = 255;
        look.Orientation = c.orientation;
        look.ShowPosText = true;
        look.Percentage = true;
        for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {3, 40}, {558, 15}}) {
            ComposeProgressBar(frame, w, h, look);
            ASSERT_EQ(frame.size(), QSize(w, h));
        }
    }
    // Drawing routines given rectangles far off the surface draw nothing and do not fail.
    QImage surface(10, 10, QImage::Format_RGB32);
    surface.fill(Qt::white);
    DrawGlassBar(surface, {100, 100, 200, 200}, clLime, vpbHorizontal, false);
    DrawGlassBar(surface, {-300, -300, -2, -2}, clLime, vpbVertical, false);
    DrawMarqueeBlock(surface, {INT_MAX - 5, 1, INT_MAX, 10}, clLime, vpbHorizontal, 30, 255);
    DrawMarqueeBlock(surface, {1, INT_MIN, 10, INT_MIN + 90}, clLime, vpbVertical, 30, 255);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(At(surface, x, y), Grey(255)) << x << ", " << y;
        }
    }
    // A surface of another format is converted, not overrun.
    QImage narrow(6, 6, QImage::Format_RGB888);
    narrow.fill(Qt::white);
    DrawGlassBar(narrow, {0, 0, 6, 6}, clLime, vpbHorizontal, false);
    DrawMarqueeBlock(narrow, {0, 0, 6, 6}, clLime, vpbHorizontal, 0, 100);
    EXPECT_EQ(narrow.format(), QImage::Format_RGB32);
    EXPECT_TRUE(IsGreenish(At(narrow, 2, 2)));

    // One spanning the whole number range covers the surface with the glass's plain middle.
    DrawGlassBar(surface, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, clLime, vpbVertical, false);
    EXPECT_TRUE(IsGreenish(At(surface, 5, 5)));
    EXPECT_EQ(At(surface, 0, 0), At(surface, 9, 9));
}

} // namespace
