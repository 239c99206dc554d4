// Scans and repairs through the main window with every real backend, against a PulseAudio
// daemon of the test's own: what the report lists, what Fix changes as pactl sees it, and
// what the closing message counts. Holds and the repair walk are shortened; the window runs
// offscreen and its message boxes are answered here.

#include "app/MessageBox.h"
#include "app/uMain.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"
#include "support/BusySink.h"
#include "support/PrivatePulse.h"
#include "support/ScopedUnset.h"

#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing_support::PrivatePulse;

struct Listed {
    std::string title;
    std::string outcome;
    friend bool operator==(const Listed&, const Listed&) = default;
};

void PrintTo(const Listed& row, std::ostream* out) {
    *out << "{" << row.title << ", " << row.outcome << "}";
}

class WindowScanPulse : public testing::Test {
protected:
    void SetUp() override {
        pulse.TurnOffAutospawn();
        pulse.ApplyToProcess();
        previous = SetMessageBoxAnswerer([this](const std::string& text, const std::string&, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        form.reset();
        SetMessageBoxAnswerer(std::move(previous));
    }

    void StartDaemon() {
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
    }

    // The window, made once the daemon is as the test wants it (the engine opens the mixer).
    void MakeWindow(std::chrono::milliseconds walk) {
        TFormSettings settings;
        settings.HoldSpan = 10ms;
        settings.RowWalkSpan = walk;
        form = std::make_unique<TOEM_FORM>(settings);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    bool Scan() {
        form->XBtnClick(form->OEM_FORM_TAB_0_TTS_0_BTN_0);
        return QTest::qWaitFor(
            [&] { return form->Engine->Idle && form->OEM_FORM_TAB_0->ActivePageIndex() != 1; },
            60000);
    }

    std::vector<Listed> Report() const {
        std::vector<Listed> rows;
        TVirtualDrawTree* list = form->OEM_FORM_TAB_0_TTS_2_VDT_0;
        for (PVirtualNode node = list->GetFirst(); node != nullptr; node = list->GetNext(node)) {
            rows.push_back({list->GetNodeData(node)->Title, list->GetNodeData(node)->Outcome});
        }
        return rows;
    }

    void Fix() { form->XBtnClick(form->OEM_FORM_TAB_0_TTS_2_BTN_0); }

    PrivatePulse pulse;
    // No session bus: the service is the daemon itself, and the user manager of whoever runs
    // the tests is never touched.
    testing_support::ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
    std::vector<std::string> boxes;
    MessageBoxAnswerer previous;
    std::unique_ptr<TOEM_FORM> form;
};

TEST_F(WindowScanPulse, AMutedQuietSinkIsListedFixedAndCounted) {
    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    testing_support::BusySink busy(pulse);
    ASSERT_TRUE(busy.Settled());
    MakeWindow(50ms);

    ASSERT_TRUE(Scan());
    ASSERT_EQ(form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
    EXPECT_THAT(Report(), ElementsAre(Listed{"Audio device muted", "Not Fix"},
                                      Listed{"Low audio device volume", "Not Fix"}));

    Fix();
    EXPECT_EQ(pulse.SinkMuted(), false);
    EXPECT_EQ(pulse.SinkVolume(), 32768);
    EXPECT_THAT(boxes, ElementsAre("Successfully fixed 2 problems."));
    EXPECT_EQ(form->OEM_FORM_TAB_0->ActivePageIndex(), kWelcomePage);
}

TEST_F(WindowScanPulse, AKilledDaemonIsListedStartedByFixAndCounted) {
    StartDaemon();
    pulse.Kill();
    ASSERT_FALSE(pulse.Answers());
    MakeWindow(1500ms);

    ASSERT_TRUE(Scan());
    ASSERT_EQ(form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
    // Without a server nothing plays, and a mixer that cannot be read is no finding.
    EXPECT_THAT(Report(), ElementsAre(Listed{"One or more audio service isn't running", "Not Run"},
                                      Listed{"Sound playing not functioning", "Not Fix"}));

    // Once Fix has started the daemon, a stream keeps its sink busy, as a desktop's would, so
    // the test sound played again plays at once.
    std::optional<testing_support::BusySink> busy;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!busy && form->Engine->Repaired && pulse.Answers()) {
            busy.emplace(pulse);
            EXPECT_TRUE(busy->Settled());
        }
    });
    watch.start();
    Fix();
    watch.stop();

    EXPECT_TRUE(pulse.Answers()) << "pactl info does not reach the started daemon";
    EXPECT_TRUE(busy.has_value()) << "the daemon came up during the walk";
    EXPECT_THAT(boxes, ElementsAre("Successfully fixed 2 problems."));
}

} // namespace
