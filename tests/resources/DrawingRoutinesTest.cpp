// The shared drawing routines: the vertical gradient row by row, and ClearType text against
// the standard quality.

#include "CanvasTestSupport.h"
#include "graphics/Canvas.h"
#include "graphics/OEUnitResource.h"

#include <gtest/gtest.h>

namespace {

using resources_test::Ink;
using resources_test::InkOf;
using resources_test::WhiteSurface;

constexpr QRgb kWhite = 0xFFFFFFFF;

std::vector<QRgb> Column(const QImage& image, int x) {
    std::vector<QRgb> rows;
    for (int y = 0; y < image.height(); ++y) {
        rows.push_back(image.pixel(x, y));
    }
    return rows;
}

TEST(PaintVerticalGradient, RowsAreExact) {
    const QRgb W = kWhite;
    struct Case {
        const char* what;
        TRect rect;
        COLORREF start, end;
        std::vector<QRgb> column; // pixels of column 1, rows 0..5
    };
    const Case cases[] = {
        {"Bottom - Top = 1: start then end",
         {0, 1, 4, 2},
         RGB(10, 20, 30),
         RGB(40, 50, 60),
         {W, qRgb(10, 20, 30), qRgb(40, 50, 60), W, W, W}},
        {"the row at Bottom is drawn too",
         {0, 0, 4, 3},
         RGB(0, 0, 0),
         RGB(30, 60, 90),
         {qRgb(0, 0, 0), qRgb(10, 20, 30), qRgb(20, 40, 60), qRgb(30, 60, 90), W, W}},
        {"halves go to even",
         {0, 0, 4, 2},
         RGB(0, 1, 3),
         RGB(1, 2, 0),
         {qRgb(0, 1, 3), qRgb(0, 2, 2), qRgb(1, 2, 0), W, W, W}},
        {"zero height draws the start colour",
         {0, 2, 4, 2},
         RGB(1, 2, 3),
         RGB(200, 200, 200),
         {W, W, qRgb(1, 2, 3), W, W, W}},
        {"Bottom above Top draws nothing",
         {0, 3, 4, 1},
         RGB(0, 0, 0),
         RGB(0, 0, 0),
         {W, W, W, W, W, W}},
        {"system colours resolve",
         {0, 0, 4, 1},
         static_cast<COLORREF>(clBtnFace),
         static_cast<COLORREF>(clGrayText),
         {qRgb(240, 240, 240), qRgb(109, 109, 109), W, W, W, W}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage surface = WhiteSurface(6, 6);
        TCanvas canvas(surface);
        PaintVerticalGradient(canvas, c.rect, static_cast<TColor>(c.start),
                              static_cast<TColor>(c.end));
        EXPECT_EQ(Column(surface, 1), c.column);
        EXPECT_EQ(Column(surface, 4), std::vector<QRgb>(6, W)) << "right edge excluded";
    }
}

TEST(PaintVerticalGradient, ReportRowRunsFromItsStartToItsEndColour) {
    QImage surface = WhiteSurface(20, 52);
    TCanvas canvas(surface);
    PaintVerticalGradient(canvas, {1, 0, 20, 50}, RGB(252, 250, 255), RGB(223, 235, 252));
    EXPECT_EQ(surface.pixel(1, 0), qRgb(252, 250, 255));
    EXPECT_EQ(surface.pixel(19, 50), qRgb(223, 235, 252));
    EXPECT_EQ(surface.pixel(0, 10), kWhite);
    EXPECT_EQ(surface.pixel(5, 51), kWhite);
    // Each channel moves monotonically from one end to the other.
    for (int y = 1; y <= 50; ++y) {
        EXPECT_LE(qRed(surface.pixel(5, y)), qRed(surface.pixel(5, y - 1)));
        EXPECT_GE(qBlue(surface.pixel(5, y)), 252);
    }
}

Ink DrawLine(bool clearType, TColor colour) {
    QImage surface = WhiteSurface(220, 20);
    TCanvas canvas(surface);
    canvas.Font().SetName("Tahoma");
    canvas.Font().SetSize(8);
    canvas.Font().SetColor(colour);
    canvas.SetBkMode(TRANSPARENT);
    if (clearType) {
        TextOutClearTypeAt(canvas, 2, 2, "Sound device muted");
    } else {
        canvas.TextOut(2, 2, "Sound device muted");
    }
    return InkOf(surface, kWhite);
}

TEST(ClearTypeText, HasColourFringesTheStandardQualityLacks) {
    Ink standard = DrawLine(false, clBlack);
    Ink clearType = DrawLine(true, clBlack);
    ASSERT_TRUE(standard.Any());
    EXPECT_EQ(standard.coloured, 0) << "grayscale antialiasing keeps black text grey";
    EXPECT_GT(clearType.coloured, standard.pixels / 10) << "subpixel text has coloured edges";
    // Both take the same room.
    EXPECT_NEAR(clearType.left, standard.left, 1);
    EXPECT_NEAR(clearType.right, standard.right, 1);
    EXPECT_GE(clearType.top, 2);
}

TEST(ClearTypeText, QualityStaysUntilFaceSizeOrStyleChange) {
    struct Case {
        const char* change;
        void (*apply)(TCanvas&);
        bool subpixel;
    };
    const Case cases[] = {
        {"colour", [](TCanvas& c) { c.Font().SetColor(clBlack); }, true},
        {"nothing", [](TCanvas&) {}, true},
        {"style", [](TCanvas& c) { c.Font().SetStyle(fsItalic); }, false},
        {"size", [](TCanvas& c) { c.Font().SetSize(8); }, false},
        {"face", [](TCanvas& c) { c.Font().SetName("Tahoma"); }, false},
    };
    for (const Case& c : cases) {
        QImage surface = WhiteSurface(220, 40);
        TCanvas canvas(surface);
        canvas.SetBkMode(TRANSPARENT);
        TextOutClearTypeAt(canvas, 2, 2, "Detected");
        c.apply(canvas);
        canvas.TextOut(2, 20, "Detected");
        Ink second = InkOf(surface, kWhite, {0, 20, 220, 40});
        EXPECT_EQ(second.coloured > 0, c.subpixel) << c.change;
    }
}

TEST(ClearTypeText, TextOutClearTypeTakesTheFontAndTheRectanglesCorner) {
    QImage surface = WhiteSurface(220, 40);
    TCanvas canvas(surface);
    canvas.SetBkMode(TRANSPARENT);
    TFont font;
    font.SetSize(12);
    font.SetStyle(fsBold);
    font.SetColor(RGB(0, 0x33, 0xDA));
    TextOutClearType(canvas, font, {17, 5, 18, 6}, "Welcome");
    EXPECT_EQ(canvas.Font().Height(), -16);
    EXPECT_EQ(canvas.Font().Style(), static_cast<TFontStyles>(fsBold));
    EXPECT_EQ(canvas.Font().Quality(), TFontQuality::fqClearType);
    Ink ink = InkOf(surface, kWhite);
    EXPECT_GE(ink.left, 16) << "the subpixel filter may spread one pixel to the left";
    EXPECT_GE(ink.top, 5);
    EXPECT_GT(ink.right, 60) << "right and bottom of the rectangle do not clip";

    // The canvas's own font passed in is fine too.
    TextOutClearType(canvas, canvas.Font(), {17, 25, 0, 0}, "x");
    EXPECT_EQ(canvas.Font().Height(), -16);
}

} // namespace
