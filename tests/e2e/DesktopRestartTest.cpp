// The program as built, on a desktop of the test's own (Xvfb and openbox): a window closed
// while its test sound plays lets a start made a tenth of a second later come up with a window
// of its own, and a window destroyed by another X client does not leave a windowless process
// behind that turns every later start away.

#include "platform/ProcessLaunch.h"
#include "support/Command.h"
#include "support/PrivatePulse.h"
#include "support/RunningProgram.h"
#include "support/ScopedUnset.h"
#include "support/VirtualDesktop.h"

#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using e2e::VirtualDesktop;
using e2e::WindowId;
using window_test::RunningProgram;

long long Milliseconds(Clock::duration span) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
}

class DesktopRestart : public testing::Test {
protected:
    void SetUp() override {
        std::vector<std::string> missing = VirtualDesktop::MissingTools();
        for (const char* tool : {"pulseaudio", "pactl", "aplay"}) {
            if (!platform::FindExecutable(tool)) {
                missing.emplace_back(tool);
            }
        }
        ASSERT_TRUE(missing.empty()) << "missing on this machine: " << missing.front()
                                     << " (scripts/install-deps.sh installs it)";
        pulse.TurnOffAutospawn();
        pulse.ApplyToProcess();
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
        ASSERT_TRUE(desktop.Start(&error)) << error;
    }

    std::unique_ptr<RunningProgram> Start(const std::string& hooks) {
        auto env = desktop.Env();
        env["QT_QPA_PLATFORM"] = "xcb";
        env["TONEMENDER_TEST_HOOKS"] = hooks;
        return std::make_unique<RunningProgram>(TONEMENDER_PROGRAM, env);
    }

    // Whether the program plays a sound on the test's server right now.
    bool PlaysSound(pid_t pid) const {
        const testing_support::CommandResult streams = pulse.Pactl({"list", "sink-inputs"});
        return streams.output.find("application.process.id = \"" + std::to_string(pid) + "\"") !=
               std::string::npos;
    }

    testing_support::PrivatePulse pulse;
    testing_support::ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
    VirtualDesktop desktop;
};

TEST_F(DesktopRestart, ClosedDuringTheTestSoundAStartRightAfterGetsAWindow) {
    // The daemon's null sink is left idle: it holds a new stream back for up to two seconds,
    // so the test sound lasts that long, as it does on a slow or stuck sound server.
    std::unique_ptr<RunningProgram> first = Start("report,start-scan");
    const std::vector<WindowId> windows = desktop.VisibleWindowsOf(first->Pid(), 60000);
    ASSERT_EQ(windows.size(), 1u) << desktop.LastOutput() << first->Output();
    const auto soundDeadline = Clock::now() + 30s;
    while (!PlaysSound(first->Pid()) && Clock::now() < soundDeadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(PlaysSound(first->Pid())) << "the test sound never played\n" << first->Output();

    // Closed as a window manager closes a window; started again a tenth of a second later.
    ASSERT_TRUE(desktop.PressKeys(windows.front(), "alt+F4")) << desktop.LastOutput();
    const auto closed = Clock::now();
    std::unique_ptr<RunningProgram> second;
    std::optional<int> firstCode;
    while (!firstCode && Clock::now() < closed + 15s) {
        if (!second && Clock::now() >= closed + 100ms) {
            second = Start("report");
        }
        firstCode = first->WaitForExit(2ms);
    }
    const auto firstEnded = Clock::now();
    if (!second) {
        std::this_thread::sleep_until(closed + 100ms);
        second = Start("report");
    }
    ASSERT_TRUE(firstCode) << "the closed program did not end\n" << first->Output();
    EXPECT_EQ(*firstCode, 0) << first->Output();
    std::cout << "from the close to the end of the process: " << Milliseconds(firstEnded - closed)
              << " ms" << std::endl;

    EXPECT_TRUE(second->WaitForLine("ready", 30s)) << "no window\n" << second->Output();
    EXPECT_EQ(desktop.VisibleWindowsOf(second->Pid(), 30000).size(), 1u) << desktop.LastOutput();
    EXPECT_FALSE(second->WaitForExit(0ms)) << second->Output();
}

TEST_F(DesktopRestart, AWindowDestroyedByAnotherClientEndsItsProcess) {
    std::unique_ptr<RunningProgram> first = Start("report");
    const std::vector<WindowId> windows = desktop.VisibleWindowsOf(first->Pid(), 60000);
    ASSERT_EQ(windows.size(), 1u) << desktop.LastOutput() << first->Output();

    const testing_support::CommandResult destroyed = testing_support::RunCommand(
        {"xdotool", "windowclose", std::to_string(windows.front())}, desktop.Env());
    ASSERT_EQ(destroyed.exitCode, 0) << destroyed.output;
    const std::optional<int> code = first->WaitForExit(10s);
    ASSERT_TRUE(code) << "the windowless process lives on\n" << first->Output();
    EXPECT_EQ(*code, 0) << first->Output();

    std::unique_ptr<RunningProgram> next = Start("report");
    EXPECT_TRUE(next->WaitForLine("ready", 30s)) << "no window\n" << next->Output();
    EXPECT_EQ(desktop.VisibleWindowsOf(next->Pid(), 30000).size(), 1u) << desktop.LastOutput();
}

} // namespace
