// TOEButtonEx as a widget, driven by real mouse and key events: its faces, its clicks and its
// focus.

#include "PaintCounter.h"
#include "Pixels.h"
#include "controls/OEUnitButtonEx.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using controls_test::At;
using controls_test::Grey;
using controls_test::PaintCounter;
using controls_test::Px;

// The button where the window puts it, on a page of its own, shown and active.
struct Page {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TOEButtonEx* button = new TOEButtonEx(window.get()); // owned by the window
    std::unique_ptr<PaintCounter> paints = std::make_unique<PaintCounter>(button);
    int clicks = 0;
    QObject* sender = nullptr;

    const QPoint inside{462 + 58, 350 + 17};
    const QPoint outside{300, 100};

    Page() {
        window->resize(602, 430);
        button->setGeometry(462, 350, 116, 34);
        button->SetGradient(1);
        button->SetSplitSpace(17);
        button->OnClick = [this](QObject* s) {
            ++clicks;
            sender = s;
        };
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        // Activation hands the focus to the button; each test decides that for itself.
        button->clearFocus();
        QApplication::processEvents();
        paints->Reset();
    }

    // Mouse events go to the window as the window system delivers them, so Qt finds the
    // widget under the pointer, grabs the mouse on a press and sends enter and leave itself.
    QWindow* Handle() { return window->windowHandle(); }

    // The colour in the middle of the face, on the upper gradient's row 10.
    Px Face() { return At(button->grab().toImage(), 58, 10); }

    void Key(QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "", autoRepeat);
        QApplication::sendEvent(button, &event);
    }
};

// Row 10 of the upper gradient in each state (worked out in the face tests).
const Px kNormalRow10 = Grey(238);
const Px kHotRow10{224, 242, 252};
const Px kDownRow10{210, 235, 248};
const Px kDisabledFill = Grey(244);

TEST(OEButtonEx, InitialValues) {
    TOEButtonEx button;
    EXPECT_EQ(button.size(), QSize(75, 25));
    EXPECT_TRUE(button.TabStop());
    EXPECT_EQ(button.Gradient(), 0);
    EXPECT_EQ(button.SplitSpace(), 12);
    EXPECT_EQ(button.State(), TButtonState::Normal);
    EXPECT_FALSE(button.FocusedFlag());
    EXPECT_EQ(button.Caption(), "");
    EXPECT_FALSE(static_cast<bool>(button.OnClick));
    EXPECT_EQ(button.focusPolicy(), Qt::TabFocus);
}

TEST(OEButtonEx, SplitSpaceIsHalfTheHeightAfterEveryPaint) {
    Page page;
    for (int split : {5, 0, 30, -2}) {
        page.button->SetSplitSpace(split);
        EXPECT_EQ(page.button->SplitSpace(), split);
        page.button->repaint();
        EXPECT_EQ(page.button->SplitSpace(), 17);
        // Row 17 starts the lower gradient whatever was stored.
        EXPECT_EQ(At(page.button->Frame(), 58, 17), Grey(221)) << split;
        EXPECT_EQ(At(page.button->Frame(), 58, 16), Grey(235)) << split;
    }
}

TEST(OEButtonEx, PropertyChangesScheduleARepaint) {
    struct Case {
        const char* name;
        std::function<void(TOEButtonEx&)> change;
    };
    TFont bold;
    bold.SetStyle(fsBold);
    const Case cases[] = {
        {"Gradient", [](TOEButtonEx& b) { b.SetGradient(0); }},
        {"SplitSpace", [](TOEButtonEx& b) { b.SetSplitSpace(3); }},
        {"Caption", [](TOEButtonEx& b) { b.SetCaption("Fix"); }},
        {"Font", [bold](TOEButtonEx& b) { b.SetFont(bold); }},
        {"Enabled", [](TOEButtonEx& b) { b.setEnabled(false); }},
    };
    for (const Case& c : cases) {
        Page page;
        c.change(*page.button);
        EXPECT_EQ(page.paints->Count(), 0) << c.name;
        QApplication::processEvents();
        EXPECT_GE(page.paints->Count(), 1) << c.name;
    }
}

TEST(OEButtonEx, PointerOverShowsTheHotFace) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_EQ(page.button->State(), TButtonState::Hot);
    EXPECT_EQ(page.Face(), kHotRow10);
    QTest::mouseMove(page.Handle(), page.outside);
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
    EXPECT_EQ(page.Face(), kNormalRow10);
}

TEST(OEButtonEx, ClickInsideRaisesOnClickOnceAndLeavesTheNormalFace) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.button->State(), TButtonState::Down);
    EXPECT_EQ(page.Face(), kDownRow10);
    EXPECT_EQ(page.clicks, 0) << "the press alone does not click";
    EXPECT_TRUE(page.button->hasFocus()) << "a press takes the focus";
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.clicks, 1);
    EXPECT_EQ(page.sender, page.button);
    EXPECT_EQ(page.button->State(), TButtonState::Normal) << "normal after release, not hot";
}

TEST(OEButtonEx, DragOffAndBackOnWhileHeld) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    ASSERT_EQ(page.button->State(), TButtonState::Down);

    QTest::mouseMove(page.Handle(), page.outside);
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
    EXPECT_EQ(page.Face(), kNormalRow10);

    QTest::mouseMove(page.Handle(), page.inside + QPoint(20, 5));
    EXPECT_EQ(page.button->State(), TButtonState::Down) << "back on while held: down, not hot";
    EXPECT_EQ(page.Face(), kDownRow10);

    // Off again and let go outside: no click, normal face.
    QTest::mouseMove(page.Handle(), page.outside);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.outside);
    QApplication::processEvents();
    EXPECT_EQ(page.clicks, 0);
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
    EXPECT_EQ(page.Face(), kNormalRow10);

    // Afterwards the pointer coming over it shows hot again.
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_EQ(page.button->State(), TButtonState::Hot);
}

TEST(OEButtonEx, DragBackOnAndReleaseClicks) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    QTest::mouseMove(page.Handle(), page.outside);
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside);
    QApplication::processEvents();
    EXPECT_EQ(page.clicks, 1);
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
}

TEST(OEButtonEx, OtherMouseButtonsDoNotPress) {
    Page page;
    for (Qt::MouseButton which : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(page.Handle(), which, {}, page.inside);
        EXPECT_EQ(page.clicks, 0);
        EXPECT_NE(page.button->State(), TButtonState::Down);
    }
}

TEST(OEButtonEx, HeldSpaceShowsDownAndClicksOnceOnTheRealRelease) {
    Page page;
    page.button->setFocus();
    page.Key(QEvent::KeyPress, Qt::Key_Space);
    EXPECT_EQ(page.button->State(), TButtonState::Down);
    EXPECT_EQ(page.Face(), kDownRow10);
    // Auto-repeat arrives as release and press pairs marked as repeats.
    for (int i = 0; i < 5; ++i) {
        page.Key(QEvent::KeyRelease, Qt::Key_Space, true);
        page.Key(QEvent::KeyPress, Qt::Key_Space, true);
    }
    EXPECT_EQ(page.clicks, 0);
    EXPECT_EQ(page.button->State(), TButtonState::Down);
    page.Key(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(page.clicks, 1);
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
}

TEST(OEButtonEx, EnterClicksOnKeyDownAndRepeats) {
    Page page;
    page.button->setFocus();
    page.Key(QEvent::KeyPress, Qt::Key_Return);
    EXPECT_EQ(page.clicks, 1);
    page.Key(QEvent::KeyPress, Qt::Key_Return, true);
    EXPECT_EQ(page.clicks, 2) << "a held Enter repeats the click";
    page.Key(QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_EQ(page.clicks, 2) << "releasing Enter does nothing";
    page.Key(QEvent::KeyPress, Qt::Key_Enter);
    EXPECT_EQ(page.clicks, 3) << "the keypad's Enter counts too";
    page.Key(QEvent::KeyPress, Qt::Key_A);
    page.Key(QEvent::KeyRelease, Qt::Key_A);
    EXPECT_EQ(page.clicks, 3);
    // Through the real key path as well.
    QTest::keyClick(page.button, Qt::Key_Return);
    EXPECT_EQ(page.clicks, 4);
}

TEST(OEButtonEx, DisabledButtonRaisesNothingAndShowsTheGreySet) {
    Page page;
    page.button->SetCaption("Cancel");
    page.button->setFocus();
    ASSERT_TRUE(page.button->FocusedFlag());
    page.button->setEnabled(false);
    page.button->Click();
    QTest::mouseClick(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.clicks, 0);

    const QImage face = page.button->grab().toImage();
    EXPECT_EQ(At(face, 58, 10), kDisabledFill);
    EXPECT_EQ(At(face, 0, 10), (Px{173, 178, 181}));
    EXPECT_EQ(At(face, 2, 2), kDisabledFill) << "no focus dots while disabled";
    EXPECT_EQ(At(face, 4, 2), kDisabledFill);
    bool captionColour = false;
    for (int y = 2; y < 32; ++y) {
        for (int x = 2; x < 114; ++x) {
            captionColour = captionColour || At(face, x, y) == Px{131, 131, 157};
        }
    }
    EXPECT_TRUE(captionColour);

    // Enabled again (the pointer gone) it is a normal button, without focus dots now that the
    // focus has gone.
    QTest::mouseMove(page.Handle(), page.outside);
    page.button->setEnabled(true);
    const QImage again = page.button->grab().toImage();
    EXPECT_EQ(At(again, 58, 10), kNormalRow10);
    EXPECT_EQ(At(again, 2, 2), Grey(241)) << "row 2 of the upper gradient, no dot";
    page.button->Click();
    EXPECT_EQ(page.clicks, 1);
}

TEST(OEButtonEx, DisablingWhileHeldEndsThePress) {
    // A disabled button never sees the release; once enabled again the pointer coming over it
    // shows hot, not a press that no longer exists.
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    page.button->setEnabled(false);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside);
    QTest::mouseMove(page.Handle(), page.outside);
    page.button->setEnabled(true);
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_EQ(page.button->State(), TButtonState::Hot);
    EXPECT_EQ(page.clicks, 0);
}

TEST(OEButtonEx, FocusShowsDotsAndLosingItResetsTheState) {
    Page page;
    auto* other = new TOEButtonEx(page.window.get());
    other->setGeometry(10, 10, 75, 25);
    other->show();
    page.button->setFocus();
    EXPECT_TRUE(page.button->FocusedFlag());
    EXPECT_EQ(At(page.button->grab().toImage(), 2, 2), Grey(0));

    page.Key(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_EQ(page.button->State(), TButtonState::Down);
    other->setFocus();
    EXPECT_FALSE(page.button->FocusedFlag());
    EXPECT_EQ(page.button->State(), TButtonState::Normal);
    EXPECT_EQ(At(page.button->grab().toImage(), 2, 2), Grey(241));
    EXPECT_EQ(page.clicks, 0);
}

TEST(OEButtonEx, PressTakesTheFocusOnlyWithTabStop) {
    Page page;
    auto* other = new TOEButtonEx(page.window.get());
    other->setGeometry(10, 10, 75, 25);
    other->show();
    other->setFocus();
    page.button->SetTabStop(false);
    QTest::mouseClick(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.clicks, 1);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_FALSE(page.button->FocusedFlag());
}

TEST(OEButtonEx, UnassignedOnClickIsNotRaised) {
    TOEButtonEx button;
    EXPECT_NO_THROW(button.Click());
}

} // namespace
