// DrawText's format flags, judged by where the ink lands.

#include "CanvasTestSupport.h"
#include "graphics/Canvas.h"

#include <gtest/gtest.h>

namespace {

using resources_test::Ink;
using resources_test::InkOf;
using resources_test::WhiteSurface;

constexpr QRgb kWhite = 0xFFFFFFFF;

struct Drawn {
    QImage surface;
    int result = 0;
    int lineHeight = 0;
    Ink ink;
};

Drawn Draw(const std::string& text, TRect rect, UINT format, int points = 8) {
    Drawn d{WhiteSurface(300, 120), 0, 0, {}};
    TCanvas canvas(d.surface);
    canvas.Font().SetSize(points);
    canvas.Brush().Style = TBrushStyle::bsClear;
    d.lineHeight = canvas.TextHeight("X");
    d.result = DrawTextA(canvas, text, rect, format);
    d.ink = InkOf(d.surface, kWhite);
    return d;
}

TEST(DrawText, HorizontalPlacementByTheLowFlags) {
    const TRect box{40, 10, 240, 30};
    Drawn left = Draw("Not Fix", box, DT_LEFT);
    Drawn centre = Draw("Not Fix", box, DT_CENTER);
    Drawn right = Draw("Not Fix", box, DT_RIGHT);
    const int width = left.ink.right - left.ink.left;
    EXPECT_NEAR(left.ink.left, box.Left, 1);
    EXPECT_NEAR(right.ink.right, box.Right - 1, 2);
    EXPECT_NEAR(right.ink.right - right.ink.left, width, 1) << "the last glyph may touch the edge";
    EXPECT_NEAR((centre.ink.left + centre.ink.right) / 2.0, (box.Left + box.Right) / 2.0, 1.5);
    for (const Drawn* d : {&left, &centre, &right}) {
        EXPECT_GE(d->ink.top, box.Top);
        EXPECT_EQ(d->result, d->lineHeight);
    }
}

TEST(DrawText, TextWiderThanTheBoxIsClippedUnlessNoClip) {
    const TRect box{100, 10, 140, 30};
    const std::string text = "A right-aligned outcome far wider than its box";
    Drawn clipped = Draw(text, box, DT_RIGHT);
    EXPECT_GE(clipped.ink.left, box.Left) << "the left part is lost";
    EXPECT_LT(clipped.ink.right, box.Right);
    EXPECT_NEAR(clipped.ink.right, box.Right - 1, 2) << "the right end stays at the box edge";
    Drawn free = Draw(text, box, DT_RIGHT | DT_NOCLIP);
    EXPECT_LT(free.ink.left, box.Left - 50);
}

TEST(DrawText, WordBreakKeepsWordsWholeAndShowsNoPartLine) {
    const std::string text = "Check the volume and mute state of the speakers";
    const TRect tall{10, 10, 110, 110};
    Drawn wrapped = Draw(text, tall, DT_WORDBREAK | DT_EDITCONTROL);
    const int lines = wrapped.result / wrapped.lineHeight;
    EXPECT_GE(lines, 3);
    EXPECT_EQ(wrapped.result % wrapped.lineHeight, 0);
    EXPECT_LT(wrapped.ink.right, tall.Right);

    // Room for two and a half lines: two are drawn, the third not even in part.
    const TRect short_{10, 10, 110, 10 + wrapped.lineHeight * 5 / 2};
    Drawn cut = Draw(text, short_, DT_WORDBREAK | DT_EDITCONTROL);
    EXPECT_EQ(cut.result, 2 * cut.lineHeight);
    EXPECT_LT(cut.ink.bottom, short_.Top + 2 * cut.lineHeight);

    // Without word breaking everything stays on one line.
    Drawn single = Draw(text, tall, DT_LEFT);
    EXPECT_EQ(single.result, single.lineHeight);

    // Explicit line breaks start new lines.
    Drawn breaks = Draw("one\r\ntwo\nthree", tall, DT_WORDBREAK);
    EXPECT_EQ(breaks.result, 3 * breaks.lineHeight);
}

TEST(DrawText, ALongWordBreaksOnlyLikeAnEditControl) {
    const TRect narrow{10, 10, 40, 110};
    const std::string word = "Troubleshooting";
    Drawn whole = Draw(word, narrow, DT_WORDBREAK | DT_NOCLIP);
    EXPECT_EQ(whole.result, whole.lineHeight);
    EXPECT_GT(whole.ink.right, narrow.Right);
    Drawn broken = Draw(word, narrow, DT_WORDBREAK | DT_EDITCONTROL | DT_NOCLIP);
    EXPECT_GT(broken.result, broken.lineHeight);
    EXPECT_LE(broken.ink.right, narrow.Right);
}

TEST(DrawText, AmpersandUnderlinesTheNextCharacterAndTwoDrawOne) {
    const TRect box{10, 10, 200, 40};
    Drawn plain = Draw("Fix", box, DT_LEFT);
    Drawn marked = Draw("&Fix", box, DT_LEFT);
    Drawn noPrefix = Draw("&Fix", box, DT_LEFT | DT_NOPREFIX);
    Drawn one = Draw("&", box, DT_LEFT | DT_NOPREFIX);
    Drawn doubled = Draw("&&", box, DT_LEFT);

    EXPECT_EQ(marked.ink.left, plain.ink.left) << "the ampersand itself is not drawn";
    EXPECT_GT(marked.ink.bottom, plain.ink.bottom) << "a line under the F";
    EXPECT_GT(marked.ink.pixels, plain.ink.pixels);
    // The underline spans the F only, not the whole word.
    Ink underline = InkOf(marked.surface, kWhite, {0, plain.ink.bottom + 1, 300, 120});
    EXPECT_LT(underline.right, plain.ink.right - 2);
    EXPECT_GT(noPrefix.ink.right, plain.ink.right) << "with DT_NOPREFIX the & is drawn";
    EXPECT_TRUE(doubled.surface == one.surface) << "&& draws exactly one &";
}

TEST(DrawText, SingleLineCentredVerticallyAndMeasured) {
    const TRect button{0, 0, 116, 34};
    Drawn centred = Draw("Cancel", button, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    const int top = (34 - centred.lineHeight) / 2;
    EXPECT_GE(centred.ink.top, top);
    EXPECT_LT(centred.ink.bottom, top + centred.lineHeight);
    EXPECT_EQ(centred.result, top + centred.lineHeight);

    QImage surface = WhiteSurface(10, 10);
    TCanvas canvas(surface);
    TRect measured{5, 5, 6, 6};
    int height = DrawTextA(canvas, "two\nlines", measured, DT_CALCRECT);
    EXPECT_EQ(height, 2 * canvas.TextHeight("x"));
    EXPECT_EQ(measured.Bottom, 5 + height);
    EXPECT_EQ(measured.Width(), canvas.TextWidth("lines"));
    EXPECT_FALSE(InkOf(surface, kWhite).Any()) << "measuring draws nothing";
    TRect empty{0, 0, 10, 10};
    EXPECT_EQ(DrawTextA(canvas, "", empty, DT_LEFT), 0);
}

} // namespace
