// The canvas's drawing operations, checked pixel by pixel.

#include "graphics/Canvas.h"

#include "CanvasTestSupport.h"
#include "graphics/Colors.h"
#include "graphics/Font.h"
#include "graphics/FontFiles.h"

#include <gtest/gtest.h>

namespace {

using resources_test::Ink;
using resources_test::InkOf;
using resources_test::WhiteSurface;

constexpr QRgb kWhite = 0xFFFFFFFF;

TEST(Colours, SystemColoursAreFixedValues) {
    struct Case {
        TColor colour;
        COLORREF expected;
    };
    const Case cases[] = {
        {clBtnFace, RGB(240, 240, 240)},
        {clGrayText, RGB(109, 109, 109)},
        {clWindow, RGB(255, 255, 255)},
        {clWindowText, RGB(0, 0, 0)},
        {clBtnText, RGB(0, 0, 0)},
        {clHighlight, RGB(0, 120, 215)},
        {clHighlightText, RGB(255, 255, 255)},
        {clBtnShadow, RGB(160, 160, 160)},
        {clBtnHighlight, RGB(255, 255, 255)},
        {cl3DDkShadow, RGB(105, 105, 105)},
        {cl3DLight, RGB(227, 227, 227)},
        {clHotLight, RGB(0, 102, 204)},
        {clLime, RGB(0, 255, 0)},
        {0x00CC6600, RGB(0, 102, 204)},
        {SystemColorRef(200), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorToRGB(c.colour), c.expected) << std::hex << c.colour;
    }
    // A system colour drawn on the canvas lands as its value.
    QImage surface = WhiteSurface(2, 1);
    TCanvas canvas(surface);
    canvas.Brush().Color = clBtnFace;
    canvas.FillRect({0, 0, 1, 1});
    EXPECT_EQ(surface.pixel(0, 0), qRgb(240, 240, 240));
    EXPECT_EQ(canvas.Pixel(0, 0), static_cast<TColor>(RGB(240, 240, 240)));
}

TEST(Fonts, PointSizesMapToPixelHeightsAt96Dpi) {
    const std::pair<int, int> cases[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {7, -9}};
    for (auto [points, height] : cases) {
        TFont font;
        font.SetSize(points);
        EXPECT_EQ(font.Height(), height) << points;
        EXPECT_EQ(font.Size(), points);
    }
    EXPECT_EQ(MulDiv(-11, 72, 96), -8);
    EXPECT_EQ(MulDiv(5, 1, 2), 3) << "halves go away from zero";
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    // Results past 32 bits are the platform's overflow answer.
    EXPECT_EQ(MulDiv(1610612737, 96, 72), -1);
    EXPECT_EQ(MulDiv(INT32_MIN, 2, 1), -1);
    EXPECT_EQ(MulDiv(-1610612736, 96, 72), INT32_MIN);
    TFont font;
    font.SetSize(-1610612736);
    EXPECT_EQ(font.Height(), INT32_MAX);
}

TEST(Fonts, QualityLastsUntilFaceSizeOrStyleChange) {
    struct Case {
        const char* change;
        void (*apply)(TFont&);
        bool keeps;
    };
    const Case cases[] = {
        {"colour", [](TFont& f) { f.SetColor(clRed); }, true},
        {"face", [](TFont& f) { f.SetName("Tahoma"); }, false},
        {"size", [](TFont& f) { f.SetSize(8); }, false},
        {"style", [](TFont& f) { f.SetStyle(fsItalic); }, false},
    };
    for (const Case& c : cases) {
        TFont font;
        font.SetQuality(TFontQuality::fqClearType);
        c.apply(font);
        EXPECT_EQ(font.Quality() == TFontQuality::fqClearType, c.keeps) << c.change;
    }
}

TEST(Shapes, RectangleFillAndLinesFollowThePlatformsEdges) {
    QImage surface = WhiteSurface(8, 6);
    TCanvas canvas(surface);
    canvas.Pen().Color = clBlack;
    canvas.Brush().Color = clRed;
    canvas.Rectangle(1, 1, 6, 5);
    const char* expected[] = {
        "........", ".#####..", ".#rrr#..", ".#rrr#..", ".#####..", "........",
    };
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            QRgb want = expected[y][x] == '#'   ? qRgb(0, 0, 0)
                        : expected[y][x] == 'r' ? qRgb(255, 0, 0)
                                                : kWhite;
            EXPECT_EQ(surface.pixel(x, y), want) << x << "," << y;
        }
    }

    // A clear brush leaves the inside alone; FillRect with it draws nothing.
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.Pen().Color = clBlue;
    canvas.Rectangle(1, 1, 6, 5);
    EXPECT_EQ(surface.pixel(3, 3), qRgb(255, 0, 0));
    EXPECT_EQ(surface.pixel(1, 1), qRgb(0, 0, 255));
    canvas.FillRect({0, 0, 8, 6});
    EXPECT_EQ(surface.pixel(0, 0), kWhite);
}

TEST(Shapes, LinesStopOneShortOfTheirEndPoint) {
    struct Case {
        TPoint from, to;
        std::vector<TPoint> drawn;
    };
    const Case cases[] = {
        {{1, 1}, {4, 1}, {{1, 1}, {2, 1}, {3, 1}}},
        {{2, 4}, {2, 1}, {{2, 4}, {2, 3}, {2, 2}}},
        {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {{3, 3}, {3, 3}, {}},
    };
    for (const Case& c : cases) {
        QImage surface = WhiteSurface(6, 6);
        TCanvas canvas(surface);
        canvas.MoveTo(c.from.X, c.from.Y);
        canvas.LineTo(c.to.X, c.to.Y);
        EXPECT_EQ(canvas.PenPos(), c.to);
        EXPECT_EQ(InkOf(surface, kWhite).pixels, static_cast<int>(c.drawn.size()));
        for (TPoint p : c.drawn) {
            EXPECT_EQ(canvas.Pixel(p.X, p.Y), clBlack) << p.X << "," << p.Y;
        }
    }
}

TEST(Shapes, PixelsOutsideTheSurfaceAreInvalidAndIgnored) {
    QImage surface = WhiteSurface(2, 2);
    TCanvas canvas(surface);
    canvas.SetPixel(1, 0, clLime);
    canvas.SetPixel(-1, 0, clLime);
    canvas.SetPixel(2, 2, clLime);
    EXPECT_EQ(canvas.Pixel(1, 0), clLime);
    EXPECT_EQ(canvas.Pixel(-1, 0), -1);
    EXPECT_EQ(canvas.Pixel(0, 2), -1);
    EXPECT_EQ(InkOf(surface, kWhite).pixels, 1);
}

TEST(Pictures, DrawnThroughTheirAlphaAndClippedAtTheEdges) {
    TGraphicFrame frame;
    frame.pixels = {0xFF0000FF, 0x00FF0000, 0x80000000, 0xFF00FF00};
    TGraphic graphic(2, 2, {frame});
    QImage surface = WhiteSurface(3, 3);
    TCanvas canvas(surface);
    canvas.Draw(1, 1, graphic);
    EXPECT_EQ(surface.pixel(1, 1), qRgb(0, 0, 255)) << "opaque replaces";
    EXPECT_EQ(surface.pixel(2, 1), kWhite) << "transparent leaves the surface";
    EXPECT_EQ(surface.pixel(1, 2), qRgb(127, 127, 127)) << "half alpha blends";
    EXPECT_EQ(surface.pixel(2, 2), qRgb(0, 255, 0));

    QImage small = WhiteSurface(2, 2);
    TCanvas edge(small);
    edge.Draw(-1, -1, graphic); // only the bottom-right pixel lands on the surface
    EXPECT_EQ(small.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(InkOf(small, kWhite).pixels, 1);
    edge.Draw(5, 5, graphic);
    edge.Draw(0, 0, TGraphic());
    EXPECT_EQ(InkOf(small, kWhite).pixels, 1);
}

TEST(Text, TahomaIsFoundAndBoldIsHeavier) {
    FontFile regular = FindFontFile("Tahoma", false, false);
    FontFile bold = FindFontFile("tahoma", true, false);
    ASSERT_FALSE(regular.path.empty());
    EXPECT_NE(regular.path, bold.path) << "Tahoma Bold has a face of its own";
    EXPECT_FALSE(FindFontFile("No Such Face At All", false, false).path.empty())
        << "an unknown face falls back to a sans face";

    QImage surface = WhiteSurface(120, 20);
    TCanvas canvas(surface);
    canvas.SetBkMode(TRANSPARENT);
    canvas.TextOut(0, 0, "Detected");
    int normal = InkOf(surface, kWhite).pixels;
    surface.fill(kWhite);
    canvas.Font().SetStyle(fsBold);
    canvas.TextOut(0, 0, "Detected");
    EXPECT_GT(InkOf(surface, kWhite).pixels, normal);
}

TEST(Text, PositionsMeanTheTopLeftOfTheTextCell) {
    for (int points : {8, 9, 12, 20}) {
        SCOPED_TRACE(points);
        QImage surface = WhiteSurface(200, 80);
        TCanvas canvas(surface);
        canvas.Font().SetSize(points);
        canvas.SetBkMode(TRANSPARENT);
        // An accented capital reaches highest; a descender may pass the cell's bottom by a
        // pixel, as on the original platform.
        TSize extent = canvas.TextExtent("HÉg");
        canvas.TextOut(20, 30, "HÉg");
        Ink ink = InkOf(surface, kWhite);
        ASSERT_TRUE(ink.Any());
        EXPECT_GE(ink.top, 30) << "nothing above the given y";
        EXPECT_LE(ink.bottom, 30 + extent.cy);
        EXPECT_GE(ink.left, 20);
        EXPECT_LT(ink.right, 20 + extent.cx + 1);
        // The baseline is y + ascent: the H stands on it.
        TextMetrics metrics = MeasureFont(canvas.CurrentTextStyle());
        Ink h = InkOf(surface, kWhite, {20, 0, 20 + canvas.TextWidth("H") - 1, 80});
        EXPECT_EQ(h.bottom, 30 + metrics.ascent - 1);
    }
    QImage surface = WhiteSurface(10, 10);
    TCanvas canvas(surface);
    EXPECT_EQ(canvas.TextExtent("").cx, 0);
    EXPECT_EQ(canvas.TextHeight("x"), 13) << "Tahoma 8 points: 11 ascent + 2 descent";
}

TEST(Text, BackgroundModeDecidesWhetherTheCellIsFilled) {
    struct Case {
        const char* what;
        void (*setUp)(TCanvas&);
        QRgb corner; // a pixel of the text cell that no glyph touches
    };
    const Case cases[] = {
        {"solid brush: opaque in its colour", [](TCanvas& c) { c.Brush().Color = clYellow; },
         qRgb(255, 255, 0)},
        {"clear brush: transparent", [](TCanvas& c) { c.Brush().Style = TBrushStyle::bsClear; },
         kWhite},
        {"solid brush, then transparent mode",
         [](TCanvas& c) {
             c.Brush().Color = clYellow;
             c.SetBkMode(TRANSPARENT);
         },
         kWhite},
    };
    for (const Case& c : cases) {
        QImage surface = WhiteSurface(60, 20);
        TCanvas canvas(surface);
        c.setUp(canvas);
        canvas.TextOut(2, 2, "ab");
        EXPECT_EQ(surface.pixel(2, 2), c.corner) << c.what;
        EXPECT_EQ(surface.pixel(2 + canvas.TextWidth("ab"), 2), kWhite) << c.what;
    }
}

} // namespace
