// Bold text as the running program draws it - with its fonts registered with Qt first, which
// also makes them known to fontconfig - is visibly bold in every rendering: stems a pixel wider
// than the regular face's, and ink that reaches the text's colour.

#include "CanvasTestSupport.h"
#include "graphics/FontFiles.h"
#include "graphics/TextRenderer.h"

#include <QGuiApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

using resources_test::Ink;
using resources_test::InkOf;
using resources_test::WhiteSurface;

constexpr QRgb kWhite = 0xFFFFFFFF;

const struct Rendering {
    const char* name;
    TextRendering rendering;
    // Whether a regular one-pixel stem keeps to one column; the subpixel filter spreads it
    // over two, neither of them in full ink.
    bool regularStemIsWhole;
} kRenderings[] = {
    {"plain", TextRendering::Plain, true},
    {"standard", TextRendering::Standard, true},
    {"subpixel", TextRendering::Subpixel, false},
};

TextStyle Tahoma(int points, bool bold, TextRendering rendering) {
    TextStyle style;
    style.face = "Tahoma";
    style.height = -(points * 96 + 36) / 72; // pixels at 96 per inch, rounded
    style.bold = bold;
    style.rendering = rendering;
    return style;
}

// Columns of the I's stem in full black ink - every channel at least 90 % covered - on the
// row halfway down the letter, clear of its serifs.
int FullInkColumns(int points, bool bold, TextRendering rendering) {
    QImage surface = WhiteSurface(40, 40);
    RenderText(surface, {0, 0, 40, 40}, 8, 4, U"I", Tahoma(points, bold, rendering), RGB(0, 0, 0));
    const Ink ink = InkOf(surface, kWhite);
    if (!ink.Any()) {
        return 0;
    }
    const int middle = (ink.top + ink.bottom) / 2;
    int full = 0;
    for (int x = 0; x < surface.width(); ++x) {
        const QRgb p = surface.pixel(x, middle);
        full += std::max({qRed(p), qGreen(p), qBlue(p)}) <= 255 / 10;
    }
    return full;
}

TEST(BoldText, StemsAreAWholePixelWiderThanRegularInEveryRendering) {
    for (const Rendering& r : kRenderings) {
        SCOPED_TRACE(r.name);
        // At 8 points, as the original platform draws Tahoma: one column regular, two bold.
        const int regular = FullInkColumns(8, false, r.rendering);
        EXPECT_GE(FullInkColumns(8, true, r.rendering), 2);
        EXPECT_LE(regular, 1);
        if (r.regularStemIsWhole) {
            EXPECT_EQ(regular, 1);
        }
        // Every size the configuration draws bold text in.
        for (int points = 9; points <= 12; ++points) {
            SCOPED_TRACE(points);
            EXPECT_GE(FullInkColumns(points, true, r.rendering),
                      std::max(2, FullInkColumns(points, false, r.rendering) + 1));
        }
    }
}

TEST(BoldText, TitleInkReachesItsColourInEveryRendering) {
    // A report row's title on the top line of its gradient.
    const QRgb background = qRgb(252, 250, 255);
    const QRgb title = qRgb(0, 102, 204);
    for (const Rendering& r : kRenderings) {
        SCOPED_TRACE(r.name);
        const std::u32string text = U"One or more audio service isn't running";
        QImage surface(260, 20, QImage::Format_RGB32);
        surface.fill(background);
        RenderText(surface, {0, 0, 260, 20}, 2, 2, text, Tahoma(8, true, r.rendering),
                   RGB(0, 102, 204));
        int inTitleColour = 0;
        for (int y = 0; y < surface.height(); ++y) {
            for (int x = 0; x < surface.width(); ++x) {
                inTitleColour += surface.pixel(x, y) == title;
            }
        }
        // Not a stray pixel or two: about a stem's height in the colour for every letter.
        const auto letters = std::count_if(text.begin(), text.end(), [](char32_t c) {
            return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
        });
        EXPECT_GE(inTitleColour, letters * 5);
    }
}

} // namespace

// What the program does before it draws anything: Qt's application object, then the fonts.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    RegisterProgramFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
