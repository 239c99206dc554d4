// Scans as the user sees them through the window: the pages, the status line and the progress
// bar, holds, cancelling, and the report the window lists - with the real engine over the
// scripted platform, or with notifications handed to the window the way the worker does.

#include "app/ScanFlow.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"
#include "support/FlowTestSupport.h"
#include "support/WindowTestSupport.h"

#include <QLabel>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace flow_test;
using platform::testing::ScriptedSound;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr const char* kNotRunning = "One or more audio service isn't running";
constexpr const char* kMissing = "One or more audio service is missing";
constexpr const char* kNoSound = "Sound playing not functioning";
constexpr const char* kMuted = "Audio device muted";
constexpr const char* kLow = "Low audio device volume";
constexpr const char* kWorksFine = "Your computer sound works fine.";

void StopService(engine_test::ScriptedWorld& world) {
    platform::ScriptedService stopped;
    stopped.beforeStart = {platform::StatusOf(SERVICE_STOPPED)};
    world.AudioSrv(stopped);
}

TEST(FlowScan, AHealthyScanShowsEveryStepThenSaysAllIsWellAndReturns) {
    Rig rig;
    ASSERT_TRUE(rig.Scan());

    EXPECT_THAT(rig.codes.Codes(), ElementsAre(0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 11, 1));
    // One progress message per code but the last, counting 0 to 10.
    EXPECT_THAT(rig.form->progress, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position(), 10);
    // The status line is set before each progress message; a result leaves it as it was.
    EXPECT_THAT(rig.form->status,
                ElementsAre("Start Scan", "Checking default audio device...",
                            "Checking default audio device...", "Checking audio device volume... ",
                            "Checking audio device volume... ", "Checking audio service status...",
                            "Checking audio service status...", "Checking audio device status... ",
                            "Checking audio device status... ", "Checking audio device driver... ",
                            "Checking audio device driver... "));
    EXPECT_THAT(rig.prepared, ElementsAre(0, 1, 2, 0));
    EXPECT_THAT(rig.form->pagesSent, ElementsAre(2));
    ASSERT_EQ(rig.boxes.Calls().size(), 1u);
    EXPECT_EQ(rig.boxes.Calls()[0].text, kWorksFine);
    EXPECT_EQ(rig.boxes.Calls()[0].caption, "Quorvel Tonemender");
    EXPECT_EQ(rig.boxes.Calls()[0].flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 0);
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0->Caption(), "Fix");
}

TEST(FlowScan, WithoutItsConfigurationTheWindowReportsOnceAndItsStartStillScans) {
    platform::ScopedBackend<platform::ModuleResourceBackend> resources(
        platform::ModuleResourceSlot(), window_test::ShippedResourcesExcept({"CFG_0001"}));
    window_test::ForgetConfiguration(); // as a fresh process has it
    Rig rig;
    ASSERT_EQ(rig.boxes.Calls().size(), 1u) << "one cause, one box";
    EXPECT_EQ(rig.boxes.Calls()[0].flags, MB_OK | MB_ICONSTOP);

    // The start button has no picture to show, but a click where it stands starts the scan.
    TPNGButton* start = rig.form->OEM_FORM_TAB_0_TTS_0_BTN_0;
    ASSERT_TRUE(start->isVisible());
    const QPoint centre = start->mapTo(rig.form.get(), start->rect().center());
    ASSERT_EQ(rig.form->childAt(centre), start);
    QTest::mouseClick(start, Qt::LeftButton, {}, start->rect().center());
    ASSERT_TRUE(rig.WaitForScanEnd()) << "the first scan, so no start to count from";
    EXPECT_THAT(rig.prepared, ElementsAre(0, 1, 2, 0));
    EXPECT_EQ(rig.world.sound.CallCount(), 1);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
}

TEST(FlowScan, TheReportListsWhatTheScanFoundHighestKeyFirst) {
    struct Case {
        const char* name;
        std::function<void(engine_test::ScriptedWorld&)> script;
        engine_test::WorldOptions world;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"sound failed and service stopped",
         [](engine_test::ScriptedWorld& w) {
             w.sound.SetAnswer(ScriptedSound::Answer::Fails);
             StopService(w);
         },
         {},
         {kNotRunning, kNoSound}},
        {"missing service",
         [](engine_test::ScriptedWorld&) {},
         {.service = false},
         {kMissing, kNotRunning}},
        {"muted and low on the destination line",
         [](engine_test::ScriptedWorld& w) { w.SetLine(w.masterVolume, w.masterMute, 32767, 1); },
         {},
         {kMuted, kLow}},
        {"half scale on both lines is fine",
         [](engine_test::ScriptedWorld& w) {
             w.SetLine(w.masterVolume, w.masterMute, 32768, 0);
             w.SetLine(w.sourceVolume, w.sourceMute, 32768, 0);
             StopService(w);
         },
         {},
         {kNotRunning}},
        {"no mixer device finds nothing about the mixer",
         [](engine_test::ScriptedWorld& w) { w.sound.SetAnswer(ScriptedSound::Answer::Fails); },
         {.mixer = false},
         {kNoSound}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RigOptions options;
        options.world = c.world;
        Rig rig(options);
        c.script(rig.world);
        ASSERT_TRUE(rig.Scan());
        EXPECT_THAT(rig.Titles(), ElementsAreArray(c.titles));
        EXPECT_EQ(rig.ActivePage(), kReportPage);
        EXPECT_THAT(rig.boxes.Texts(), IsEmpty());
    }
}

TEST(FlowScan, ARowCarriesItsTextsAndItsIcon) {
    Rig rig;
    rig.world.sound.SetAnswer(ScriptedSound::Answer::Fails);
    StopService(rig.world);
    rig.world.SetLine(rig.world.masterVolume, rig.world.masterMute, 40000, 1);
    ASSERT_TRUE(rig.Scan());
    const std::vector<Row> rows = rig.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, kNotRunning);
    EXPECT_EQ(rows[0].description, "Start required audio services");
    EXPECT_EQ(rows[0].status, "Detected");
    EXPECT_EQ(rows[0].outcome, "Not Run");
    EXPECT_EQ(rows[1].title, kNoSound);
    EXPECT_EQ(rows[1].outcome, "Not Fix");
    EXPECT_EQ(rows[2].title, kMuted);
    EXPECT_EQ(rows[2].description, "Unmute the audio device to play sound");
    // The service and playback rows show the slot-2 icon, the mixer row the slot-1 one.
    EXPECT_EQ(rows[0].icon, &rig.form->Report->RowIcons[2]->Graphic());
    EXPECT_EQ(rows[1].icon, &rig.form->Report->RowIcons[2]->Graphic());
    EXPECT_EQ(rows[2].icon, &rig.form->Report->RowIcons[1]->Graphic());
    EXPECT_FALSE(rows[2].icon->Empty());
    // Each row is listed once; the records themselves carry no order key.
    TVirtualDrawTree* list = rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0;
    EXPECT_EQ(TVirtualDrawTree::GetNodeData(list->GetFirst())->OrderKey, 0);
}

TEST(FlowScan, ANewScanClearsTheLastReport) {
    Rig rig;
    StopService(rig.world);
    ASSERT_TRUE(rig.Scan());
    ASSERT_THAT(rig.Titles(), ElementsAre(kNotRunning));
    // The rows stay while the welcome page is shown again.
    rig.form->ShowPage(kWelcomePage);
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 1);

    platform::ScriptedService running;
    running.beforeStart = {platform::StatusOf(SERVICE_RUNNING)};
    rig.world.AudioSrv(running);
    rig.world.SetLine(rig.world.masterVolume, rig.world.masterMute, 100, 0);
    ASSERT_TRUE(rig.Scan());
    EXPECT_THAT(rig.Titles(), ElementsAre(kLow));
}

// -1 is what a line without that control reads: the window lists nothing for it, while a
// present control that reads muted or low is still a finding.
TEST(FlowScan, NoSuchControlIsNoFinding) {
    struct Case {
        const char* name;
        TSCANRESULT mixer;
        std::vector<std::string> titles;
    };
    auto reading = [](std::int32_t master, BOOL masterMuted, BOOL masterHasMute,
                      std::int32_t source, BOOL sourceMuted, BOOL sourceHasMute) {
        TSCANRESULT r;
        r.MixerChecked = -1;
        r.MasterVolume = master;
        r.MasterMuted = masterMuted;
        r.MasterHasMute = masterHasMute;
        r.SourceVolume = source;
        r.SourceMuted = sourceMuted;
        r.SourceHasMute = sourceHasMute;
        return r;
    };
    const Case cases[] = {
        {"a server's control without a source line", reading(40000, 0, -1, -1, -1, 0), {}},
        {"no controls at all", reading(-1, -1, 0, -1, -1, 0), {}},
        {"the destination muted, no source line", reading(40000, -1, -1, -1, -1, 0), {kMuted}},
        {"the destination low, no source line", reading(32767, 0, -1, -1, -1, 0), {kLow}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_TRUE(Deliver(*rig.form, {{ScanCode::ScanStarted, {}},
                                        {ScanCode::MixerCheckStarted, {}},
                                        {ScanCode::MixerCheckDone, c.mixer},
                                        {ScanCode::ScanEnded, {}}}));
        EXPECT_THAT(rig.Titles(), ElementsAreArray(c.titles));
        EXPECT_EQ(rig.ActivePage(), c.titles.empty() ? kWelcomePage : kReportPage);
    }
}

TEST(FlowScan, ACodeAboveElevenRewritesTheStatusAndResendsTheProgressWithoutAHold) {
    RigOptions options;
    options.hold = 3s;
    Rig rig(options);
    QLabel* status = rig.form->OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0;
    ASSERT_TRUE(
        Deliver(*rig.form, {{ScanCode::ScanStarted, {}}, {ScanCode::SoundTestStarted, {}}}));
    status->setText("scribbled over");
    rig.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->SetPosition(9);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Deliver(*rig.form, {{12, {}}, {0x7FFFFFFF, {}}}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "no hold";
    EXPECT_EQ(status->text().toStdString(), "Checking default audio device...");
    EXPECT_THAT(rig.form->progress, ElementsAre(0, 1, 1, 1));
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position(), 1);
}

TEST(FlowScan, TheWorkerWaitsAfterEachResultButNotAfterAStep) {
    RigOptions options;
    options.hold = 150ms;
    Rig rig(options);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Deliver(*rig.form, {{ScanCode::ScanStarted, {}},
                                    {ScanCode::SoundTestStarted, {}},
                                    {ScanCode::MixerCheckStarted, {}}}));
    const auto steps = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(Deliver(*rig.form, {{ScanCode::SoundTestDone, TSCANRESULT{}},
                                    {ScanCode::DeviceCheckDone, TSCANRESULT{}}}));
    const auto results = std::chrono::steady_clock::now() - started - steps;
    EXPECT_LT(steps, 150ms);
    EXPECT_GE(results, 300ms);
}

TEST(FlowScan, CancelAnsweredYesDuringTheSoundTestEndsTheScanAfterTheSound) {
    Rig rig;
    rig.world.sound.SetPlayTime(300ms);
    rig.boxes.SetScript([](const Box&) { return IDYES; });
    rig.ClickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.world.sound.CallCount() == 1; }, 5000));
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_1_BTN_0);
    ASSERT_TRUE(rig.WaitForScanEnd());

    EXPECT_THAT(rig.codes.Codes(), ElementsAre(0, 2, 1)) << "the result of the sound is not sent";
    ASSERT_EQ(rig.boxes.Calls().size(), 1u);
    EXPECT_EQ(rig.boxes.Calls()[0].text, "Are you sure you want to stop the scan?");
    EXPECT_EQ(rig.boxes.Calls()[0].flags, 292u);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_THAT(rig.form->pagesSent, ElementsAre(0));
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 0);
}

TEST(FlowScan, CancelAnsweredNoHoldsTheScanWhileAskingThenGoesOnToTheReport) {
    Rig rig;
    StopService(rig.world);
    rig.world.sound.SetPlayTime(200ms);
    std::size_t codesWhileAsking = 0;
    std::size_t codesAfterWaiting = 0;
    rig.boxes.SetScript([&](const Box& box) {
        if (box.flags != 292u) {
            return IDOK;
        }
        codesWhileAsking = rig.codes.Codes().size();
        QTest::qWait(400); // the sound has long ended: only the pause holds the worker now
        codesAfterWaiting = rig.codes.Codes().size();
        return IDNO;
    });
    rig.ClickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.world.sound.CallCount() == 1; }, 5000));
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_1_BTN_0);
    ASSERT_TRUE(rig.WaitForScanEnd());

    EXPECT_EQ(codesAfterWaiting, codesWhileAsking) << "nothing is sent while the box is open";
    EXPECT_THAT(rig.codes.Codes(), ElementsAre(0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 11, 1));
    EXPECT_FALSE(rig.form->Engine->CancelRequested);
    EXPECT_EQ(rig.ActivePage(), kReportPage);
    EXPECT_THAT(rig.Titles(), ElementsAre(kNotRunning));
}

TEST(FlowScan, CancelAnsweredYesDuringAHoldListsNothingAndReturnsToTheWelcomePage) {
    RigOptions options;
    options.hold = 500ms;
    Rig rig(options);
    rig.world.sound.SetAnswer(ScriptedSound::Answer::Fails); // a finding the hold is showing
    rig.boxes.SetScript([](const Box& box) { return box.flags == 292u ? IDYES : IDOK; });
    rig.ClickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form->progress.size() == 3; }, 5000));
    const auto asked = std::chrono::steady_clock::now();
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_1_BTN_0);
    ASSERT_TRUE(rig.WaitForScanEnd());

    EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms) << "the hold runs its course";
    EXPECT_THAT(rig.codes.Codes(), ElementsAre(0, 2, 7, 1));
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 0);
    EXPECT_THAT(rig.boxes.Texts(), ElementsAre("Are you sure you want to stop the scan?"));
}

TEST(FlowScan, CancelDoesNothingWhenNoScanRuns) {
    Rig rig;
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_1_BTN_0);
    EXPECT_THAT(rig.boxes.Calls(), IsEmpty());
    EXPECT_FALSE(rig.form->Engine->CancelRequested);
}

TEST(FlowScan, AWorkerThatCannotBeStartedLeavesTheWelcomePage) {
    RigOptions options;
    options.startWorker = [](std::function<void()>) { return std::thread(); };
    Rig rig(options);
    rig.prepared.clear();
    rig.ClickStart();
    EXPECT_THAT(rig.prepared, ElementsAre(1, 0));
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_TRUE(rig.form->Engine->Idle);
    // A second try meets the same refusal, not a scan believed to be running.
    rig.ClickStart();
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_THAT(rig.codes.Codes(), IsEmpty());
}

TEST(FlowScan, TheSocialButtonOpensTheConfiguredSite) {
    Rig rig;
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_0_BTN_1);
    EXPECT_THAT(rig.world.timeline.Entries(),
                testing::Contains("shell https://social.quorvel.example/tonemender "));
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
}

TEST(FlowScan, ClicksFromAnythingButTheFourButtonsDoNothing) {
    Rig rig;
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0);
    rig.form->XBtnClick(nullptr);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_TRUE(rig.form->Engine->Idle);
    EXPECT_THAT(rig.boxes.Calls(), IsEmpty());
}

} // namespace
