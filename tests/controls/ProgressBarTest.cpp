// TVistaProBar as a widget: initial values, which setters paint at once and which wait for the
// next paint cycle, the position rule and the marquee animation.

#include "PaintCounter.h"
#include "Pixels.h"
#include "controls/OEUnitProgressBarEx.h"

#include <QApplication>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

using controls_test::At;
using controls_test::IsGreenish;
using controls_test::IsGrey;
using controls_test::PaintCounter;

// A bar as the scanning page has it, shown so that paints really happen.
struct ShownBar {
    TVistaProBar bar;
    PaintCounter paints{&bar};

    ShownBar() {
        bar.resize(558, 15);
        bar.SetMax(12);
        bar.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
        QApplication::processEvents();
        paints.Reset();
    }
};

TEST(VistaProBar, InitialValues) {
    TVistaProBar bar;
    EXPECT_FALSE(bar.AltMode());
    EXPECT_EQ(bar.BackColor(), clBtnFace);
    EXPECT_EQ(bar.BorderColor(), 0xC0C0C0);
    EXPECT_EQ(bar.CornerColor(), clBtnFace);
    EXPECT_FALSE(bar.Marquee());
    EXPECT_EQ(bar.MarqueeSize(), 40);
    EXPECT_EQ(bar.MarqueeFade(), 30);
    EXPECT_EQ(bar.MarqueeSpeed(), 25);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Orientation(), vpbHorizontal);
    EXPECT_FALSE(bar.Percentage());
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.PosTextPrefix(), "");
    EXPECT_EQ(bar.PosTextSuffix(), "");
    EXPECT_FALSE(bar.ShowPosText());
    EXPECT_EQ(bar.Color(), clLime);
    EXPECT_EQ(bar.MarqueeStep(), 0);
    EXPECT_EQ(bar.size(), QSize(150, 17));
    EXPECT_EQ(bar.focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(bar.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(VistaProBar, SettersPaintNowOrScheduleARepaint) {
    struct Case {
        const char* name;
        std::function<void(TVistaProBar&)> set;
        bool paintsNow;
    };
    TFont bigger;
    bigger.SetSize(12);
    const Case cases[] = {
        {"AltMode", [](TVistaProBar& b) { b.SetAltMode(true); }, false},
        {"BackColor", [](TVistaProBar& b) { b.SetBackColor(clWhite); }, false},
        {"BorderColor", [](TVistaProBar& b) { b.SetBorderColor(clBlack); }, false},
        {"CornerColor", [](TVistaProBar& b) { b.SetCornerColor(clBlack); }, false},
        {"Color", [](TVistaProBar& b) { b.SetColor(clRed); }, false},
        {"Font", [bigger](TVistaProBar& b) { b.SetFont(bigger); }, false},
        {"Marquee", [](TVistaProBar& b) { b.SetMarquee(false); }, true},
        {"MarqueeSize", [](TVistaProBar& b) { b.SetMarqueeSize(40); }, true},
        {"MarqueeFade", [](TVistaProBar& b) { b.SetMarqueeFade(30); }, true},
        {"Orientation", [](TVistaProBar& b) { b.SetOrientation(vpbHorizontal); }, true},
        {"Max", [](TVistaProBar& b) { b.SetMax(20); }, true},
        {"Min", [](TVistaProBar& b) { b.SetMin(2); }, true},
        {"Position", [](TVistaProBar& b) { b.SetPosition(3); }, true},
        {"Percentage", [](TVistaProBar& b) { b.SetPercentage(true); }, true},
        {"ShowPosText", [](TVistaProBar& b) { b.SetShowPosText(true); }, true},
        {"PosTextPrefix", [](TVistaProBar& b) { b.SetPosTextPrefix("<"); }, true},
        {"PosTextSuffix", [](TVistaProBar& b) { b.SetPosTextSuffix(">"); }, true},
    };
    for (const Case& c : cases) {
        ShownBar shown;
        c.set(shown.bar);
        EXPECT_EQ(shown.paints.Count(), c.paintsNow ? 1 : 0) << c.name << " before the loop";
        QApplication::processEvents();
        EXPECT_GE(shown.paints.Count(), 1) << c.name << " after the loop";
    }
}

TEST(VistaProBar, UnchangedValuesPaintNothing) {
    struct Case {
        const char* name;
        std::function<void(TVistaProBar&)> set;
    };
    const Case cases[] = {
        {"Position", [](TVistaProBar& b) { b.SetPosition(b.Position()); }},
        {"Max", [](TVistaProBar& b) { b.SetMax(b.Max()); }},
        {"Min", [](TVistaProBar& b) { b.SetMin(b.Min()); }},
        {"Percentage", [](TVistaProBar& b) { b.SetPercentage(false); }},
        {"ShowPosText", [](TVistaProBar& b) { b.SetShowPosText(false); }},
        {"PosTextPrefix", [](TVistaProBar& b) { b.SetPosTextPrefix(""); }},
        {"PosTextSuffix", [](TVistaProBar& b) { b.SetPosTextSuffix(""); }},
    };
    for (const Case& c : cases) {
        ShownBar shown;
        shown.bar.SetPosition(4);
        QApplication::processEvents();
        shown.paints.Reset();
        c.set(shown.bar);
        QApplication::processEvents();
        EXPECT_EQ(shown.paints.Count(), 0) << c.name;
    }
}

TEST(VistaProBar, PositionIsClampedButMaxAndMinDoNotReclamp) {
    struct Case {
        int min, max, set, stored;
    };
    const Case cases[] = {
        {0, 12, 20, 12},
        {0, 12, -3, 0},
        {0, 12, 7, 7},
        {-5, 5, -9, -5},
        // Min above Max: the Max clamp comes first, then Min wins.
        {10, 0, 5, 10},
    };
    for (const Case& c : cases) {
        TVistaProBar bar;
        bar.SetMin(c.min);
        bar.SetMax(c.max);
        bar.SetPosition(c.set);
        EXPECT_EQ(bar.Position(), c.stored) << c.min << ".." << c.max << " set " << c.set;
    }
    TVistaProBar bar;
    bar.SetMax(12);
    bar.SetPosition(12);
    bar.SetMax(6);
    EXPECT_EQ(bar.Position(), 12);
    bar.SetMin(20);
    EXPECT_EQ(bar.Position(), 12);
}

TEST(VistaProBar, ShowsItsPositionOnScreen) {
    ShownBar shown;
    shown.bar.SetPosition(3);
    EXPECT_EQ(shown.paints.Count(), 1);
    // What reached the screen is the composed frame: the fill ends at column 138.
    const QImage screen = shown.bar.grab().toImage();
    EXPECT_TRUE(IsGreenish(At(screen, 138, 7)));
    EXPECT_TRUE(IsGrey(At(screen, 139, 7)));
    EXPECT_EQ(screen.convertToFormat(QImage::Format_RGB32), shown.bar.Frame());
}

TEST(VistaProBar, HiddenBarDoesNotPaint) {
    TVistaProBar bar;
    PaintCounter paints(&bar);
    bar.SetPosition(50);
    bar.SetMarquee(true);
    QApplication::processEvents();
    EXPECT_EQ(paints.Count(), 0);
    EXPECT_TRUE(bar.Frame().isNull());
}

TEST(VistaProBar, MarqueeStepCyclesAndWraps) {
    TVistaProBar bar;
    bar.SetMarqueeSize(40);
    std::vector<int> seen;
    for (int i = 0; i < 142; ++i) {
        bar.MarqueeTimerTick();
        seen.push_back(bar.MarqueeStep());
    }
    for (int i = 0; i < 140; ++i) {
        ASSERT_EQ(seen[i], i + 1);
    }
    EXPECT_EQ(seen[140], 1) << "after MarqueeSize + 100 the cycle starts over";
    EXPECT_EQ(seen[141], 2);

    // Switching the marquee off and on keeps the step.
    bar.SetMarquee(true);
    bar.SetMarquee(false);
    bar.SetMarquee(true);
    EXPECT_EQ(bar.MarqueeStep(), 2);

    // A step left beyond a smaller cycle wraps on the next tick.
    bar.SetMarqueeSize(0);
    for (int i = 0; i < 200; ++i) {
        bar.MarqueeTimerTick();
    }
    EXPECT_LE(bar.MarqueeStep(), 100);
}

TEST(VistaProBar, TimerDrivesTheMarqueeAtItsSpeed) {
    ShownBar shown;
    shown.bar.SetMarqueeSpeed(1);
    shown.bar.SetMarquee(true);
    EXPECT_EQ(shown.paints.Count(), 1) << "switching on paints now";
    EXPECT_EQ(shown.bar.MarqueeStep(), 0) << "no block before the first tick";
    QTest::qWait(60);
    EXPECT_GT(shown.bar.MarqueeStep(), 0);
    QApplication::processEvents();
    EXPECT_GT(shown.paints.Count(), 1);

    // Off: the timer stops and the step stays.
    shown.bar.SetMarquee(false);
    const int step = shown.bar.MarqueeStep();
    QTest::qWait(30);
    EXPECT_EQ(shown.bar.MarqueeStep(), step);

    // Speed 0 means the timer never fires, even with the marquee on.
    shown.bar.SetMarqueeSpeed(0);
    shown.bar.SetMarquee(true);
    QTest::qWait(30);
    EXPECT_EQ(shown.bar.MarqueeStep(), step);
    // A real interval afterwards brings it back to life.
    shown.bar.SetMarqueeSpeed(1);
    QTest::qWait(30);
    EXPECT_GT(shown.bar.MarqueeStep(), step);
}

TEST(VistaProBar, ZeroSizedBarPaintsNothingAndSurvives) {
    TVistaProBar bar;
    bar.resize(0, 15);
    bar.show();
    bar.SetPosition(10);
    bar.repaint();
    QApplication::processEvents();
    EXPECT_TRUE(bar.Frame().isNull());
}

} // namespace
