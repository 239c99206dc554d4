// Takes the screenshots of the main window for the documentation, with the whole screen
// grabbed as the desktop shows it (run it under an X server with a window manager):
// flow_screenshots [folder] (default /tmp) writes welcome.png, scanning.png, report.png,
// scanning-devices.png and report-devices.png. The scan runs over the engine's scripted
// platform, so the pages show a known state: mid-scan while the mixer is being read, a report of
// three problems, the device status step, and a report of sound sent to the dummy output.
// Not part of the program.

#include "app/Application.h"
#include "app/MessageBox.h"
#include "app/uMain.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/PNGExtra.h"
#include "support/Command.h"
#include "support/EngineTestSupport.h"

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;
using platform::testing::ScriptedSound;

// The window with its frame, as the screen shows it.
bool Grab(TOEM_FORM& form, const std::string& folder, const char* name) {
    QTest::qWait(600); // the window manager's decoration and the first paints settle
    const QRect frame = form.frameGeometry();
    const std::string path = folder + "/" + name;
    const std::string crop = std::to_string(frame.width()) + "x" + std::to_string(frame.height()) +
                             "+" + std::to_string(frame.x()) + "+" + std::to_string(frame.y());
    const auto result =
        testing_support::RunCommand({"import", "-window", "root", "-crop", crop, "+repage", path});
    if (result.exitCode != 0) {
        std::fprintf(stderr, "import failed: %s\n", result.output.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

std::unique_ptr<TOEM_FORM> Show(std::chrono::milliseconds hold) {
    TFormSettings settings;
    settings.HoldSpan = hold;
    auto form = std::make_unique<TOEM_FORM>(settings);
    SetMessageBoxOwner(form.get());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
        std::fprintf(stderr, "the window did not come up\n");
    }
    return form;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitialiseApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    SetMessageBoxAnswerer([](const std::string&, const std::string&, UINT) { return IDOK; });

    engine_test::ScriptedWorld world;
    world.sound.SetAnswer(ScriptedSound::Answer::Fails);
    world.SetLine(world.masterVolume, world.masterMute, 40000, 1);
    platform::ScriptedService stopped;
    stopped.beforeStart = {platform::StatusOf(SERVICE_STOPPED)};
    world.AudioSrv(stopped);

    bool ok = true;
    {
        auto form = Show(0ms);
        ok = Grab(*form, folder, "welcome.png") && ok;
        SetMessageBoxOwner(nullptr);
    }
    {
        // Caught while the mixer is read: the read is held until the picture is taken.
        auto form = Show(0ms);
        world.stallingMixer.bound = 1h;
        world.stallingMixer.stall.Arm(true);
        form->XBtnClick(form->OEM_FORM_TAB_0_TTS_0_BTN_0);
        const bool held = QTest::qWaitFor(
            [&] {
                return world.stallingMixer.stall.Stalling() > 0 &&
                       form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position() == 3;
            },
            5000);
        if (!held) {
            std::fprintf(stderr, "the scan did not reach the mixer check\n");
        }
        ok = held && Grab(*form, folder, "scanning.png") && ok;
        world.stallingMixer.stall.Arm(false);
        world.stallingMixer.stall.Release();
        SetMessageBoxOwner(nullptr);
    }
    {
        auto form = Show(0ms);
        form->XBtnClick(form->OEM_FORM_TAB_0_TTS_0_BTN_0);
        ok = QTest::qWaitFor(
                 [&] { return form->Engine->Idle && form->OEM_FORM_TAB_0->ActivePageIndex() == 2; },
                 5000) &&
             Grab(*form, folder, "report.png") && ok;
        SetMessageBoxOwner(nullptr);
    }
    {
        // Sound goes to the dummy output while the card's sink is there; the mixer is muted.
        platform::SoundServerState state = engine_test::HealthyDevices();
        platform::SoundEndpoint dummy;
        dummy.index = 9;
        dummy.name = "auto_null";
        dummy.driver = "module-null-sink.c";
        state.sinks.push_back(dummy);
        state.defaultSink = dummy.name;
        world.soundDevices.SetState(state);
        world.sound.SetAnswer(ScriptedSound::Answer::Plays);
        platform::ScriptedService running;
        running.beforeStart = {platform::StatusOf(SERVICE_RUNNING)};
        world.AudioSrv(running);

        // Caught while the server's devices are read: the read is held until the picture is
        // taken.
        auto form = Show(0ms);
        world.soundDevices.Stall().Arm(true);
        form->XBtnClick(form->OEM_FORM_TAB_0_TTS_0_BTN_0);
        const bool held =
            QTest::qWaitFor([&] { return world.soundDevices.Stall().Stalling() > 0; }, 5000);
        if (!held) {
            std::fprintf(stderr, "the scan did not reach the device status step\n");
        }
        ok = held && Grab(*form, folder, "scanning-devices.png") && ok;
        world.soundDevices.Stall().Arm(false);
        world.soundDevices.Stall().Release();
        ok = QTest::qWaitFor(
                 [&] { return form->Engine->Idle && form->OEM_FORM_TAB_0->ActivePageIndex() == 2; },
                 5000) &&
             Grab(*form, folder, "report-devices.png") && ok;
        SetMessageBoxOwner(nullptr);
    }
    return ok ? 0 : 1;
}
