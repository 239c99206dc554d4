// Closing the window while the flow is in the middle of something: a close asked for under a
// nested event loop of the flow (the repair walk, its message boxes) waits until that loop
// has ended - the walk and the re-check after it are given up at once; anywhere else the
// window closes at once and the worker is let go.

#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"
#include "support/FlowTestSupport.h"

#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace flow_test;
using platform::testing::ScriptedSound;
using testing::ElementsAre;
using testing::IsEmpty;
using Clock = std::chrono::steady_clock;

// The window is gone from the screen and sends to it change nothing.
void ExpectClosed(TOEM_FORM& form) {
    EXPECT_FALSE(form.isVisible());
    const int position = form.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position();
    EXPECT_EQ(SendMessageA(form.Handle(), WM_SETPROGRESS, position + 1, 0), 0);
    EXPECT_EQ(form.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position(), position);
}

TEST(FlowClosing, ACloseDuringTheRepairWalkEndsTheWalkThenTheWindow) {
    RigOptions options;
    options.walk = 2s;
    Rig rig(options);
    rig.world.SetLine(rig.world.masterVolume, rig.world.masterMute, 1000, 1);
    ASSERT_TRUE(rig.Scan());
    ASSERT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 2);

    std::vector<bool> shownAfterClose;
    int closingTold = 0;
    int closingToldAtClose = 0;
    rig.form->OnClosing = [&] { ++closingTold; };
    Clock::time_point started;
    Clock::duration closedAfter{};
    QTimer::singleShot(50, rig.form.get(), [&] {
        closedAfter = Clock::now() - started;
        rig.form->close();
        closingToldAtClose = closingTold;
        shownAfterClose.push_back(rig.form->isVisible());
    });
    started = Clock::now();
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);

    // Two rows take 4 s to walk; the close cuts that short, and nothing is played again.
    EXPECT_LT(Clock::now() - started, 2s)
        << "the walk went on after the close; the close came after "
        << std::chrono::duration_cast<std::chrono::milliseconds>(closedAfter).count()
        << " ms; the doubles saw: " << testing::PrintToString(rig.world.timeline.Entries())
        << testing::PrintToString(rig.world.services.Log());
    EXPECT_EQ(rig.world.sound.CallCount(), 1) << "only the scan's own test sound";
    EXPECT_THAT(shownAfterClose, ElementsAre(true)) << "the close waits for the walk's loop";
    EXPECT_EQ(closingToldAtClose, 1) << "told at once, though the close itself waits";
    EXPECT_EQ(closingTold, 1) << "and only once";
    ExpectClosed(*rig.form);
    EXPECT_THAT(rig.boxes.Calls(), IsEmpty()) << "a window on its way out reports nothing";
    EXPECT_TRUE(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->isEnabled());
    EXPECT_FALSE(rig.form->OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible());
    EXPECT_TRUE(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0->isEnabled());
    EXPECT_TRUE(rig.form->Engine->Repaired);
}

TEST(FlowClosing, ACloseWhileTheCancelBoxIsOpenWaitsForTheAnswerAndLetsTheWorkerGo) {
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        RigOptions options;
        options.hold = 50ms;
        Rig rig(options);
        rig.world.sound.SetPlayTime(100ms);
        bool shownUnderTheBox = false;
        rig.boxes.SetScript([&](const Box&) {
            rig.form->close();
            shownUnderTheBox = rig.form->isVisible();
            QTest::qWait(50);
            return answer;
        });
        rig.ClickStart();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.world.sound.CallCount() == 1; }, 5000));
        rig.Click(rig.form->OEM_FORM_TAB_0_TTS_1_BTN_0);

        EXPECT_TRUE(shownUnderTheBox);
        ExpectClosed(*rig.form);
        // The worker runs on to its end (a closed window lets every send return at once).
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.form->Engine->Idle.load(); }, 5000));
        const auto started = Clock::now();
        rig.form.reset();
        EXPECT_LT(Clock::now() - started, 1s);
    }
}

TEST(FlowClosing, ACloseUnderTheWorksFineBoxWaitsUntilTheWelcomePageIsBack) {
    Rig rig;
    bool shownUnderTheBox = false;
    rig.boxes.SetScript([&](const Box&) {
        rig.form->close();
        shownUnderTheBox = rig.form->isVisible();
        return IDOK;
    });
    ASSERT_TRUE(rig.Scan());
    EXPECT_TRUE(shownUnderTheBox);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    ExpectClosed(*rig.form);
}

TEST(FlowClosing, ACloseDuringAHoldIsAtOnceAndTheEngineGoesWithoutWaitingTheHoldOut) {
    RigOptions options;
    options.hold = 10s;
    Rig rig(options);
    rig.ClickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.codes.Has(ScanCode::SoundTestDone); }, 5000));
    QTest::qWait(20);
    rig.form->close();
    EXPECT_FALSE(rig.form->isVisible());
    const auto started = Clock::now();
    rig.form.reset();
    EXPECT_LT(Clock::now() - started, 1s);
}

TEST(FlowClosing, AStartUnderTheLastNotificationsBoxIsIgnoredNotDeadlocked) {
    Rig rig;
    int starts = 0;
    rig.boxes.SetScript([&](const Box&) {
        // The worker of the ending scan waits for this box; a new scan would wait for it.
        rig.form->XBtnClick(rig.form->OEM_FORM_TAB_0_TTS_0_BTN_0);
        ++starts;
        return IDOK;
    });
    ASSERT_TRUE(rig.Scan());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(rig.codes.CountOf(ScanCode::ScanStarted), 1);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    rig.boxes.SetScript({});
    ASSERT_TRUE(rig.Scan()) << "afterwards a start starts";
    EXPECT_EQ(rig.codes.CountOf(ScanCode::ScanStarted), 2);
}

} // namespace
