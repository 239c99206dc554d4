// The whole errand as a person runs it, with the program as built: a sound server whose sink is
// muted and turned down to 20 %, the program started on a desktop of the test's own (Xvfb and
// openbox), Start clicked with the mouse, the report read off the screen, Fix clicked, the
// closing message box answered with its button, the sink checked with pactl, and the window
// closed the way a window manager closes it. The program runs with its real waits; nothing in
// it is shortened or scripted.
//
// Where to click, the size of a report row and the start button's picture come from the
// program's own window, made here offscreen with the same layout and configuration, not from
// numbers written into this test; the report's texts are looked for near where that window
// puts its list. The screenshots stay in the build tree for whoever wants to see what happened.

#include "app/ConfigText.h"
#include "app/MessageBox.h"
#include "app/uMain.h"
#include "graphics/Canvas.h"
#include "graphics/OEUnitResource.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"
#include "platform/ProcessLaunch.h"
#include "support/BusySink.h"
#include "support/PrivatePulse.h"
#include "support/RunningProgram.h"
#include "support/ScopedUnset.h"
#include "support/ScreenReading.h"
#include "support/VirtualDesktop.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using e2e::VirtualDesktop;
using e2e::WindowId;

constexpr int kExpectedRows = 2;

// What the test needs to know of the window, in the window's client coordinates.
struct WindowLayout {
    QSize client;
    QRect startButton;
    QRect fixButton;
    QRect reportList;
    int rowHeight = 0;
    QImage startPicture; // the start button's picture, as the configuration names it
};

QRect InWindow(const QWidget* control, const QWidget* window) {
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

// The program's own window, made offscreen with its configuration loaded, tells where its
// controls are. It is made while the test's daemon runs, so its mixer meets that one.
WindowLayout ReadWindowLayout(std::vector<std::string>& boxes) {
    MessageBoxAnswerer previous =
        SetMessageBoxAnswerer([&boxes](const std::string& text, const std::string&, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
    WindowLayout layout;
    {
        TOEM_FORM form;
        layout.client = form.size();
        layout.startButton = InWindow(form.OEM_FORM_TAB_0_TTS_0_BTN_0, &form);
        layout.fixButton = InWindow(form.OEM_FORM_TAB_0_TTS_2_BTN_0, &form);
        layout.reportList = InWindow(form.OEM_FORM_TAB_0_TTS_2_VDT_0, &form);
        layout.rowHeight = form.OEM_FORM_TAB_0_TTS_2_VDT_0->DefaultNodeHeight();
        layout.startPicture = form.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().ToImage();
    }
    SetMessageBoxAnswerer(std::move(previous));
    return layout;
}

// The report's heading as the program draws it for count problems: the configured text in
// its text renderer, Tahoma 8 in black on the page's white, cut to the text's ink. With
// prefixOnly, only the part before the count: what every report's heading starts with.
QImage RenderHeading(int count, bool prefixOnly = false) {
    const std::string text = FormatConfigText("form1#frame3#RES#TEXT_VD_00#text", {count});
    QImage surface(240, 30, QImage::Format_RGB32);
    surface.fill(Qt::white);
    TCanvas canvas(surface);
    canvas.Font().SetName("Tahoma");
    canvas.Font().SetStyle(0);
    canvas.Font().SetSize(8);
    canvas.Font().SetColor(clBlack);
    const int origin = 2;
    TextOutClearTypeAt(canvas, origin, origin, text);
    QRect ink = e2e::InkBox(surface, qRgb(255, 255, 255)).adjusted(-1, -1, 1, 1);
    if (prefixOnly) {
        const std::string prefix = text.substr(0, text.find(std::to_string(count)));
        ink.setRight(origin + canvas.TextWidth(prefix) - 1);
    }
    return surface.copy(ink);
}

// Where near at the picture agrees best, for a failure message that says how far off it was.
std::string NearestAgreement(const QImage& shot, const QImage& picture, QPoint at) {
    double best = -1;
    QPoint offset;
    for (int dy = -10; dy <= 10; ++dy) {
        for (int dx = -10; dx <= 10; ++dx) {
            const double agreement = e2e::OpaqueAgreement(shot, picture, at + QPoint(dx, dy), 8);
            if (agreement > best) {
                best = agreement;
                offset = QPoint(dx, dy);
            }
        }
    }
    return std::to_string(e2e::OpaqueAgreement(shot, picture, at, 8)) +
           " of its pixels agree there; the best nearby, " + std::to_string(best) + ", is " +
           std::to_string(offset.x()) + "," + std::to_string(offset.y()) + " px off";
}

std::string Seconds(Clock::duration span) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(span).count() /
                          1000.0)
               .substr(0, 5) +
           " s";
}

class DesktopRepair : public testing::Test {
protected:
    void SetUp() override {
        // Tool by tool, so a machine without one says which.
        std::vector<std::string> missing = VirtualDesktop::MissingTools();
        for (const char* tool : {"pulseaudio", "pactl", "aplay"}) {
            if (!platform::FindExecutable(tool)) {
                missing.emplace_back(tool);
            }
        }
        std::string names;
        for (const std::string& name : missing) {
            names += " " + name;
        }
        ASSERT_TRUE(missing.empty())
            << "missing on this machine:" << names << " (scripts/install-deps.sh installs them)";

        // Only the latest run's pictures are kept.
        std::filesystem::remove_all(artefacts);
        std::filesystem::create_directories(artefacts);
        std::cout << "screenshots in " << artefacts << std::endl;

        pulse.TurnOffAutospawn();
        pulse.ApplyToProcess();
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
    }

    void TearDown() override {
        if (program) {
            std::ofstream(artefacts / "program-output.txt") << program->Output();
        }
        program.reset();
    }

    std::string Artefact(const std::string& name) const { return (artefacts / name).string(); }

    // Screenshots every 500 ms until accept says yes for two in a row that show the window the
    // same (a page painted in full, not one caught halfway), or the time is up.
    QImage WaitForScreen(const std::function<bool(const QImage&)>& accept, QRect window,
                         std::chrono::seconds timeout) {
        const auto deadline = Clock::now() + timeout;
        QImage previous;
        while (Clock::now() < deadline) {
            QImage shot = desktop.Screenshot();
            if (!shot.isNull() && accept(shot)) {
                if (!previous.isNull() && previous.copy(window) == shot.copy(window)) {
                    return shot;
                }
                previous = shot;
            } else {
                previous = QImage();
            }
            if (program->WaitForExit(0ms)) {
                return {};
            }
            std::this_thread::sleep_for(500ms);
        }
        return {};
    }

    const std::filesystem::path artefacts = TONEMENDER_ARTEFACTS;
    testing_support::PrivatePulse pulse;
    // No session bus: the sound service is the daemon itself, and nobody's user manager is
    // touched.
    testing_support::ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
    VirtualDesktop desktop;
    std::unique_ptr<window_test::RunningProgram> program;
};

TEST_F(DesktopRepair, AMutedQuietSinkIsFoundAndFixedWithTheMouse) {
    const auto begun = Clock::now();
    ASSERT_EQ(pulse.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    ASSERT_EQ(pulse.SinkMuted(), true);
    // A desktop's sink is in use; an idle null sink would hold the test sound back.
    testing_support::BusySink busy(pulse);
    ASSERT_TRUE(busy.Settled());

    std::vector<std::string> layoutBoxes;
    const WindowLayout layout = ReadWindowLayout(layoutBoxes);
    ASSERT_TRUE(layoutBoxes.empty()) << "the offscreen window reported: " << layoutBoxes.front();
    ASSERT_FALSE(layout.startPicture.isNull()) << "the start button has no picture";
    const int rowHeight = layout.rowHeight;
    ASSERT_GT(rowHeight, 0);

    std::string error;
    ASSERT_TRUE(desktop.Start(&error)) << error;
    auto env = desktop.Env();
    env["QT_QPA_PLATFORM"] = "xcb";
    program = std::make_unique<window_test::RunningProgram>(TONEMENDER_PROGRAM, env);
    ASSERT_TRUE(program->Started()) << "cannot start " << TONEMENDER_PROGRAM;

    // The window, once it is up on the screen.
    std::vector<WindowId> windows = desktop.VisibleWindowsOf(program->Pid(), 60000);
    if (windows.empty() && program->WaitForExit(0ms) == 0) {
        // The one-instance rule sends a second start of the same file home at once.
        FAIL() << "the program ended without a window: is " << TONEMENDER_PROGRAM
               << " running already?\n"
               << program->Output();
    }
    ASSERT_EQ(windows.size(), 1u) << "windows shown: " << windows.size() << "\n"
                                  << desktop.LastOutput() << program->Output();
    const WindowId window = windows.front();
    std::optional<QRect> placed = desktop.Geometry(window);
    ASSERT_TRUE(placed) << desktop.LastOutput();
    ASSERT_EQ(placed->size(), layout.client)
        << "the window on screen is not the size the layout gives: scaled?";
    const QRect client = *placed;
    const auto onScreen = [&](const QRect& r) { return r.translated(client.topLeft()); };

    // The welcome page: the start button's picture where the layout puts it.
    const QRect start = onScreen(layout.startButton);
    const QPoint pictureAt =
        start.topLeft() + QPoint((start.width() - layout.startPicture.width()) / 2,
                                 (start.height() - layout.startPicture.height()) / 2);
    QImage welcome = WaitForScreen(
        [&](const QImage& shot) {
            return e2e::OpaqueAgreement(shot, layout.startPicture, pictureAt, 8) >= 0.95;
        },
        client, 60s);
    const QImage lastSeen = desktop.Screenshot(Artefact("1-welcome.png"));
    ASSERT_FALSE(welcome.isNull())
        << "the start button never showed where the layout puts it: "
        << NearestAgreement(lastSeen, layout.startPicture, pictureAt) << "\n"
        << program->Output();

    ASSERT_TRUE(desktop.Click(start.center())) << desktop.LastOutput();
    const auto clicked = Clock::now();

    // The report page: its heading, whatever count it gives. The scan takes its full holds,
    // so this takes a while.
    const QRect list = onScreen(layout.reportList);
    const QRect headingArea(list.left() - 10, list.top() - 40, 80, 40);
    const QImage headingStart = RenderHeading(0, true);
    QImage report = WaitForScreen(
        [&](const QImage& shot) {
            return e2e::BestMatch(shot, headingStart, headingArea).difference < 1.0;
        },
        client, 240s);
    const auto reported = Clock::now();
    if (!report.isNull()) {
        report.save(QString::fromStdString(Artefact("2-report.png")));
    } else {
        desktop.Screenshot(Artefact("2-no-report.png"));
    }
    ASSERT_FALSE(report.isNull()) << "no report within 240 s\n" << program->Output();
    std::cout << "scan until the report showed: " << Seconds(reported - clicked) << std::endl;

    // Its heading reads "Problems found (2)": the screen matches the program's own rendering
    // of that text closely, and clearly worse for any other count.
    std::map<int, e2e::Match> headings;
    for (int count = 0; count <= 4; ++count) {
        headings[count] = e2e::BestMatch(report, RenderHeading(count), headingArea);
    }
    for (const auto& [count, match] : headings) {
        std::cout << "heading for " << count << ": difference " << match.difference << " at "
                  << match.at.x() - client.left() << "," << match.at.y() - client.top()
                  << std::endl;
    }
    // The same renderer with the same font files draws the same pixels: the right count reads
    // near exactly, every other one clearly worse.
    int readsAs = -1;
    for (const auto& [count, match] : headings) {
        if (readsAs < 0 || match.difference < headings[readsAs].difference) {
            readsAs = count;
        }
    }
    EXPECT_EQ(readsAs, kExpectedRows) << "the heading reads as that many problems";
    EXPECT_LT(headings[readsAs].difference, 1.0) << "the heading is not what the program draws";
    for (const auto& [count, match] : headings) {
        if (count != readsAs) {
            EXPECT_GT(match.difference, headings[readsAs].difference + 1.5)
                << "the heading reads almost as well for " << count << " problems";
        }
    }

    // Two rows: two row backgrounds, each in its row's place and carrying its red outcome, and
    // nothing after them.
    const int column = list.left() + 5; // left of the rows' icons and texts
    const std::vector<e2e::Band> bands =
        e2e::TintedBands(report, column, list.top(), list.height());
    ASSERT_EQ(bands.size(), static_cast<size_t>(kExpectedRows)) << e2e::Describe(bands);
    for (int row = 0; row < kExpectedRows; ++row) {
        const int rowTop = list.top() + row * rowHeight;
        EXPECT_GE(bands[row].top, rowTop) << e2e::Describe(bands);
        // The row's gradient reaches one pixel into the next row's place.
        EXPECT_LE(bands[row].top + bands[row].height, rowTop + rowHeight + 1)
            << e2e::Describe(bands);
        EXPECT_GE(bands[row].height, rowHeight / 2) << e2e::Describe(bands);
        const QRect outcome(list.left() + list.width() / 2, rowTop, list.width() / 2, rowHeight);
        EXPECT_GT(e2e::RedInk(report, outcome), 20) << "no outcome text in row " << row;
    }
    const QRect afterRows(list.left(), list.top() + kExpectedRows * rowHeight, list.width() - 20,
                          rowHeight);
    EXPECT_EQ(e2e::RedInk(report, afterRows), 0) << "an outcome below the last row";

    // Fix, then the closing message box: a window of the program's that belongs to the main
    // window. The repair walks the rows with its real pace first.
    ASSERT_TRUE(desktop.Click(onScreen(layout.fixButton).center())) << desktop.LastOutput();
    const auto fixClicked = Clock::now();
    std::optional<WindowId> box;
    while (!box && Clock::now() < fixClicked + 120s && !program->WaitForExit(0ms)) {
        for (WindowId candidate : desktop.VisibleWindowsOf(program->Pid(), 0)) {
            if (candidate != window && desktop.TransientFor(candidate) == window) {
                box = candidate;
            }
        }
        std::this_thread::sleep_for(250ms);
    }
    ASSERT_TRUE(box) << "no message box for the main window within 120 s\n" << program->Output();
    std::cout << "repair until its message: " << Seconds(Clock::now() - fixClicked) << std::endl;
    std::optional<QRect> boxPlaced = desktop.Geometry(*box);
    ASSERT_TRUE(boxPlaced) << desktop.LastOutput();
    QImage boxShot = WaitForScreen(
        [&](const QImage& shot) { return e2e::LowestFeature(shot, *boxPlaced).has_value(); },
        *boxPlaced, 30s);
    ASSERT_FALSE(boxShot.isNull()) << "the message box shows nothing\n" << program->Output();
    boxShot.save(QString::fromStdString(Artefact("3-message-box.png")));

    // Its only button is the lowest thing on it.
    const QRect button = *e2e::LowestFeature(boxShot, *boxPlaced);
    EXPECT_GE(button.height(), 15) << "button found at " << button.x() << "," << button.y();
    EXPECT_LE(button.height(), boxPlaced->height() / 2);
    ASSERT_TRUE(desktop.Click(button.center())) << desktop.LastOutput();
    bool boxGone = false;
    for (int attempt = 0; attempt < 100 && !boxGone; ++attempt) {
        std::this_thread::sleep_for(100ms);
        const std::vector<WindowId> shown = desktop.VisibleWindowsOf(program->Pid(), 0);
        boxGone = std::find(shown.begin(), shown.end(), *box) == shown.end();
    }
    ASSERT_TRUE(boxGone) << "the click on the box's button did not close it";

    // The fixed state: back on the welcome page, the sink unmuted at half volume.
    QImage fixed = WaitForScreen(
        [&](const QImage& shot) {
            return e2e::OpaqueAgreement(shot, layout.startPicture, pictureAt, 8) >= 0.95;
        },
        client, 30s);
    desktop.Screenshot(Artefact("4-fixed.png"));
    EXPECT_FALSE(fixed.isNull()) << "the window did not come back to its welcome page";
    EXPECT_EQ(pulse.SinkMuted(), false);
    EXPECT_EQ(pulse.SinkVolume(), 32768) << "50 % of 65536";

    // Closed as a window manager closes a window: the program ends, and ends well.
    std::optional<int> exitCode;
    for (int attempt = 0; attempt < 10 && !exitCode; ++attempt) {
        desktop.PressKeys(window, "alt+F4");
        exitCode = program->WaitForExit(2s);
    }
    ASSERT_TRUE(exitCode) << "the program did not end when its window was closed";
    EXPECT_EQ(*exitCode, 0) << program->Output();
    std::cout << "whole errand: " << Seconds(Clock::now() - begun) << std::endl;
}

} // namespace
