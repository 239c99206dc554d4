// The repair as the user sees it: the busy marker walking down the rows, each row framed in
// turn, the list and the Fix button out of reach meanwhile, and the closing message, which
// counts only what checking again confirms.

#include "controls/OEUnitButtonEx.h"
#include "controls/VirtualDrawTree.h"
#include "platform/ModuleResources.h"
#include "support/FlowTestSupport.h"
#include "support/WindowTestSupport.h"

#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace flow_test;
using platform::testing::ScriptedSound;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kFixed3 = "Successfully fixed 3 problems.";

// What the window looked like at one moment of the walk.
struct Moment {
    bool markerShown = false;
    QPoint marker;
    int focused = -1;
    bool listEnabled = true;
    bool fixEnabled = true;
    std::vector<bool> framed; // per row: its dotted frame is on the list's last composed frame
};

int IndexOf(TVirtualDrawTree* list, PVirtualNode wanted) {
    int index = 0;
    for (PVirtualNode node = list->GetFirst(); node != nullptr; node = list->GetNext(node)) {
        if (node == wanted) {
            return index;
        }
        ++index;
    }
    return -1;
}

// The dotted frame inverts every other pixel of the row's top line; the gradient there is
// nearly white, so inverted pixels are nearly black.
bool Framed(TVirtualDrawTree* list, PVirtualNode node) {
    const QImage& frame = list->Frame();
    const TRect row = list->GetDisplayRect(node);
    if (frame.isNull() || row.Top < 0 || row.Top >= frame.height()) {
        return false;
    }
    int dark = 0;
    for (int x = row.Left + 2; x < row.Left + 60; ++x) {
        const QRgb p = frame.pixel(x, row.Top);
        dark += qRed(p) + qGreen(p) + qBlue(p) < 60;
    }
    return dark > 10;
}

// Samples the window every few milliseconds while the Fix click runs.
class Sampler {
public:
    explicit Sampler(TOEM_FORM& form) : form_(form) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Take(); });
        timer_.start();
    }
    std::vector<Moment> moments;

private:
    void Take() {
        TVirtualDrawTree* list = form_.OEM_FORM_TAB_0_TTS_2_VDT_0;
        Moment m;
        m.markerShown = form_.OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible();
        m.marker = form_.OEM_FORM_TAB_0_TTS_2_PAL_0->pos();
        m.focused = IndexOf(list, list->FocusedNode());
        m.listEnabled = list->isEnabled();
        m.fixEnabled = form_.OEM_FORM_TAB_0_TTS_2_BTN_0->isEnabled();
        for (PVirtualNode node = list->GetFirst(); node != nullptr; node = list->GetNext(node)) {
            m.framed.push_back(Framed(list, node));
        }
        moments.push_back(m);
    }

    TOEM_FORM& form_;
    QTimer timer_;
};

// A report of three rows: playback (key 3), muted (2), low volume (1).
void ScriptThreeProblems(engine_test::ScriptedWorld& world) {
    world.sound.SetAnswer(ScriptedSound::Answer::Fails);
    world.SetLine(world.masterVolume, world.masterMute, 1000, 1);
}

RigOptions Walking(std::chrono::milliseconds walk) {
    RigOptions options;
    options.walk = walk;
    return options;
}

TEST(RepairWalk, TheMarkerVisitsEachRowInTurnWhileTheListIsOutOfReach) {
    Rig rig(Walking(150ms));
    ScriptThreeProblems(rig.world);
    ASSERT_TRUE(rig.Scan());
    TVirtualDrawTree* list = rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0;
    ASSERT_EQ(list->RootNodeCount(), 3);
    EXPECT_FALSE(rig.form->OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible()) << "hidden until the repair";
    rig.world.sound.SetAnswer(ScriptedSound::Answer::Plays);

    std::vector<Moment> moments;
    {
        Sampler sampler(*rig.form);
        rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
        moments = sampler.moments;
    }

    // Each row in turn is focused and framed, with the marker at its right end, vertically
    // centred; nothing else is framed meanwhile.
    std::vector<int> visited;
    PVirtualNode node = list->GetFirst();
    for (int row = 0; row < 3; ++row, node = list->GetNext(node)) {
        SCOPED_TRACE(row);
        const TRect rect = list->GetDisplayRect(node);
        const QPoint expected(rect.Right - 27, rect.Top + 17);
        int seen = 0;
        for (const Moment& m : moments) {
            if (m.focused != row) {
                continue;
            }
            ++seen;
            EXPECT_TRUE(m.markerShown);
            EXPECT_EQ(m.marker, expected);
            EXPECT_FALSE(m.listEnabled);
            EXPECT_FALSE(m.fixEnabled);
            ASSERT_EQ(m.framed.size(), 3u);
            for (int other = 0; other < 3; ++other) {
                EXPECT_EQ(m.framed[static_cast<std::size_t>(other)], other == row) << other;
            }
        }
        EXPECT_GE(seen, 5) << "the row keeps the marker for its whole wait";
    }
    for (const Moment& m : moments) {
        if (visited.empty() || visited.back() != m.focused) {
            visited.push_back(m.focused);
        }
    }
    EXPECT_THAT(visited, ElementsAre(0, 1, 2)) << "first to last, each once";
    // The rows span the client area beside the scroll bar: the marker stands 27 pixels in.
    EXPECT_EQ(list->GetDisplayRect(list->GetFirst()).Right, list->viewport()->width());

    // Afterwards everything is back, the rows unchanged, and the welcome page is shown.
    EXPECT_FALSE(rig.form->OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible());
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(list->FocusedNode(), nullptr);
    EXPECT_TRUE(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0->isEnabled());
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_THAT(rig.Titles(), ElementsAre("Sound playing not functioning", "Audio device muted",
                                          "Low audio device volume"));
    EXPECT_EQ(rig.Rows()[1].outcome, "Not Fix");
    ASSERT_EQ(rig.boxes.Calls().size(), 1u);
    EXPECT_EQ(rig.boxes.Calls()[0].text, kFixed3);
    EXPECT_EQ(rig.boxes.Calls()[0].flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(rig.world.Volume(rig.world.masterVolume), 32768);
    EXPECT_EQ(rig.world.Mute(rig.world.masterMute), 0);
}

TEST(RepairWalk, EachRowTakesItsWait) {
    Rig rig(Walking(120ms));
    ScriptThreeProblems(rig.world);
    ASSERT_TRUE(rig.Scan());
    const auto started = std::chrono::steady_clock::now();
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 360ms) << "three rows, the last too";
}

TEST(RepairWalk, TheMessageCountsOnlyWhatCheckingAgainConfirms) {
    struct Case {
        const char* name;
        std::function<void(engine_test::ScriptedWorld&)> beforeScan;
        std::function<void(engine_test::ScriptedWorld&)> beforeFix;
        std::string message;
        UINT flags;
    };
    auto stopped = [](bool starts) {
        platform::ScriptedService service;
        service.beforeStart = {platform::StatusOf(SERVICE_STOPPED)};
        service.startAccepted = starts;
        return service;
    };
    const Case cases[] = {
        {"the sound still does not play",
         [](engine_test::ScriptedWorld& w) {
             w.sound.SetAnswer(ScriptedSound::Answer::Fails);
             w.SetLine(w.masterVolume, w.masterMute, 40000, 1);
         },
         [](engine_test::ScriptedWorld&) {},
         "Fixed 1 of 2 problems. The remaining ones need your attention.", MB_OK | MB_ICONWARNING},
        {"the sound plays again",
         [](engine_test::ScriptedWorld& w) {
             w.sound.SetAnswer(ScriptedSound::Answer::Fails);
             w.SetLine(w.masterVolume, w.masterMute, 40000, 1);
         },
         [](engine_test::ScriptedWorld& w) { w.sound.SetAnswer(ScriptedSound::Answer::Plays); },
         "Successfully fixed 2 problems.", MB_OK | MB_ICONINFORMATION},
        {"a service that will not start",
         [&](engine_test::ScriptedWorld& w) { w.AudioSrv(stopped(false)); },
         [](engine_test::ScriptedWorld&) {},
         "Fixed 0 of 1 problems. The remaining ones need your attention.", MB_OK | MB_ICONWARNING},
        {"a service that starts", [&](engine_test::ScriptedWorld& w) { w.AudioSrv(stopped(true)); },
         [](engine_test::ScriptedWorld&) {}, "Successfully fixed 1 problems.",
         MB_OK | MB_ICONINFORMATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.beforeScan(rig.world);
        ASSERT_TRUE(rig.Scan());
        c.beforeFix(rig.world);
        rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
        ASSERT_EQ(rig.boxes.Calls().size(), 1u);
        EXPECT_EQ(rig.boxes.Calls()[0].text, c.message);
        EXPECT_EQ(rig.boxes.Calls()[0].flags, c.flags);
        EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    }
}

TEST(RepairWalk, ARepairStepThatFailsIsReportedAndTheWalkStillEndsTidily) {
    platform::ScopedBackend<platform::ModuleResourceBackend> resources(
        platform::ModuleResourceSlot(),
        window_test::ShippedResourcesExcept({}, {{"AUDIOSRV_5X", "not a packed script"}}));
    RigOptions options = Walking(20ms);
    options.world.service = false;
    Rig rig(options);
    ASSERT_TRUE(rig.Scan());
    ASSERT_EQ(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount(), 2);

    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);

    const std::vector<Box>& boxes = rig.boxes.Calls();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].flags, MB_OK | MB_ICONSTOP) << "the general error report";
    EXPECT_EQ(boxes[0].text, "Error");
    EXPECT_EQ(boxes[1].text, "Fixed 0 of 2 problems. The remaining ones need your attention.");
    EXPECT_TRUE(rig.form->OEM_FORM_TAB_0_TTS_2_VDT_0->isEnabled());
    EXPECT_FALSE(rig.form->OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible());
    EXPECT_TRUE(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0->isEnabled());
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
}

TEST(RepairWalk, FixAfterARepairOnlyReturnsToTheWelcomePage) {
    Rig rig;
    ScriptThreeProblems(rig.world);
    ASSERT_TRUE(rig.Scan());
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
    ASSERT_TRUE(rig.form->Engine->Repaired);
    const std::size_t boxes = rig.boxes.Calls().size();
    const int sounds = rig.world.sound.CallCount();

    rig.form->ShowPage(kReportPage); // the rows are still there
    ASSERT_EQ(rig.ActivePage(), kReportPage);
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
    EXPECT_EQ(rig.ActivePage(), kWelcomePage);
    EXPECT_EQ(rig.boxes.Calls().size(), boxes);
    EXPECT_EQ(rig.world.sound.CallCount(), sounds) << "nothing repaired or checked again";
}

// The report forgets the rows of the last scan, and so does the repair's count.
TEST(RepairWalk, TheRepairAfterANewScanCountsOnlyThatScansRows) {
    Rig rig;
    platform::ScriptedService stopped;
    stopped.beforeStart = {platform::StatusOf(SERVICE_STOPPED)};
    stopped.startAccepted = true;
    rig.world.AudioSrv(stopped);
    ASSERT_TRUE(rig.Scan());
    ASSERT_EQ(rig.Titles().size(), 1u);
    rig.form->ShowPage(kWelcomePage);

    platform::ScriptedService running;
    running.beforeStart = {platform::StatusOf(SERVICE_RUNNING)};
    rig.world.AudioSrv(running);
    rig.world.SetLine(rig.world.masterVolume, rig.world.masterMute, 100, 0);
    ASSERT_TRUE(rig.Scan());
    ASSERT_THAT(rig.Titles(), ElementsAre("Low audio device volume"));
    rig.Click(rig.form->OEM_FORM_TAB_0_TTS_2_BTN_0);
    ASSERT_EQ(rig.boxes.Calls().size(), 1u);
    EXPECT_EQ(rig.boxes.Calls()[0].text, "Successfully fixed 1 problems.");
}

} // namespace
