// The one-instance rule with the real program started as separate processes: a second start of
// the same executable brings the first one's window back and ends at once; a copy elsewhere
// runs; a killed instance locks nobody out.

#include "platform/InstanceLock.h"
#include "platform/ProcessLaunch.h"
#include "support/Command.h"
#include "support/RunningProgram.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using window_test::ProgramCopy;
using window_test::RunningProgram;

const std::map<std::string, std::string> kOffscreen = {{"QT_QPA_PLATFORM", "offscreen"}};

std::map<std::string, std::string> WithHooks(const std::string& hooks) {
    auto env = kOffscreen;
    env["TONEMENDER_TEST_HOOKS"] = hooks;
    return env;
}

TEST(OneInstanceProcesses, ASecondStartBringsTheFirstBackAndEndsAtOnce) {
    testing_support::ScratchDir dir("one-instance");
    ProgramCopy copy(dir, "a");
    const std::string& program = copy.path;

    RunningProgram first(program, WithHooks("start-minimized,report"));
    ASSERT_TRUE(first.Started());
    auto ready = first.WaitForLine("ready", 15s);
    ASSERT_TRUE(ready) << first.Output();
    EXPECT_NE(ready->find("minimized=1"), std::string::npos) << *ready;

    const auto start = std::chrono::steady_clock::now();
    RunningProgram second(program, WithHooks("report"));
    auto code = second.WaitForExit(5s);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(code) << "the second start did not end";
    EXPECT_EQ(*code, 0);
    EXPECT_LT(took, 1s);
    EXPECT_EQ(second.Output().find("ready"), std::string::npos) << "no window of its own";

    // The first instance's own window: restored, shown, still on its page.
    auto activated = first.WaitForLine("activated", 5s);
    ASSERT_TRUE(activated) << first.Output();
    EXPECT_NE(activated->find("minimized=0"), std::string::npos) << *activated;
    EXPECT_NE(activated->find("visible=1"), std::string::npos) << *activated;
    EXPECT_NE(activated->find("page=0"), std::string::npos) << *activated;
    EXPECT_FALSE(first.WaitForExit(0ms)) << "the first instance runs on";
}

TEST(OneInstanceProcesses, ACopyInAnotherFolderRuns) {
    testing_support::ScratchDir dir("one-instance");
    ProgramCopy a(dir, "a");
    ProgramCopy b(dir, "b");
    RunningProgram first(a.path, WithHooks("report"));
    ASSERT_TRUE(first.WaitForLine("ready", 15s)) << first.Output();
    RunningProgram copy(b.path, WithHooks("report"));
    EXPECT_TRUE(copy.WaitForLine("ready", 15s)) << copy.Output();
    EXPECT_EQ(a.Registered().size(), 1u);
    EXPECT_EQ(b.Registered().size(), 1u);
    EXPECT_FALSE(first.WaitForLine("activated", 300ms));
}

TEST(OneInstanceProcesses, AKilledInstanceLocksNobodyOut) {
    testing_support::ScratchDir dir("one-instance");
    ProgramCopy copy(dir, "a");
    const std::string& program = copy.path;
    {
        RunningProgram first(program, WithHooks("report"));
        ASSERT_TRUE(first.WaitForLine("ready", 15s)) << first.Output();
        first.Kill(SIGKILL);
        ASSERT_TRUE(first.WaitForExit(5s));
    }
    RunningProgram next(program, WithHooks("report"));
    EXPECT_TRUE(next.WaitForLine("ready", 15s)) << next.Output();
    // And it is the registered instance now: the start after it is refused.
    RunningProgram refused(program, kOffscreen);
    auto code = refused.WaitForExit(5s);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(next.WaitForLine("activated", 5s)) << next.Output();
}

TEST(OneInstanceProcesses, ClosingTheWindowEndsWithZeroAndLeavesTheRegistry) {
    testing_support::ScratchDir dir("one-instance");
    ProgramCopy copy(dir, "a");
    const std::string& program = copy.path;
    RunningProgram first(program, WithHooks("report,close-after=300"));
    ASSERT_TRUE(first.WaitForLine("ready", 15s)) << first.Output();
    ASSERT_EQ(copy.Registered().size(), 1u);
    EXPECT_EQ(copy.Registered()[0], first.Pid());
    auto code = first.WaitForExit(10s);
    ASSERT_TRUE(code) << first.Output();
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(copy.Registered().empty()) << "its id left with the lock";
    EXPECT_FALSE(std::filesystem::exists(copy.lock.OwnActivationSocketPath()));
    RunningProgram next(program, WithHooks("report,close-after=300"));
    EXPECT_TRUE(next.WaitForLine("ready", 15s)) << next.Output();
    EXPECT_EQ(next.WaitForExit(10s), std::optional<int>(0));
}

TEST(OneInstanceProcesses, AskedToEndItClosesTidilyWithZero) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        testing_support::ScratchDir dir("one-instance");
        ProgramCopy copy(dir, "a");
        RunningProgram running(copy.path, WithHooks("report"));
        ASSERT_TRUE(running.WaitForLine("ready", 15s)) << running.Output();
        running.Kill(signal);
        auto code = running.WaitForExit(10s);
        ASSERT_TRUE(code) << signal;
        EXPECT_EQ(*code, 0) << signal;
        EXPECT_TRUE(copy.Registered().empty()) << signal;
        EXPECT_FALSE(std::filesystem::exists(copy.lock.OwnActivationSocketPath()));
    }
}

// A display of the test's own: Xvfb with openbox managing its windows.
class VirtualDisplay {
public:
    VirtualDisplay() {
        auto xvfb = platform::FindExecutable("Xvfb");
        auto openbox = platform::FindExecutable("openbox");
        if (!xvfb || !openbox || !platform::FindExecutable("xdotool")) {
            return;
        }
        server_ = std::make_unique<RunningProgram>(
            *xvfb, std::map<std::string, std::string>{},
            std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten",
                                     "tcp"});
        // Xvfb names its display on a line of its own; its complaints come on others.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (display_.empty() && std::chrono::steady_clock::now() < deadline) {
            auto line = server_->WaitForLine("", 1s);
            if (line && !line->empty() &&
                line->find_first_not_of("0123456789") == std::string::npos) {
                display_ = ":" + *line;
            }
        }
        if (display_.empty()) {
            return;
        }
        manager_ = std::make_unique<RunningProgram>(*openbox, Env());
        for (int attempt = 0; attempt < 100 && !managed_; ++attempt) {
            auto probe = testing_support::RunCommand({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"},
                                                     Env(), 2000);
            managed_ = probe.output.find("window id") != std::string::npos;
            if (!managed_) {
                std::this_thread::sleep_for(50ms);
            }
        }
    }

    bool Ready() const { return managed_; }
    std::map<std::string, std::string> Env() const { return {{"DISPLAY", display_}}; }

    // A key press as the user makes it, to whichever window has the focus.
    void PressKeys(const std::string& keys) const {
        testing_support::RunCommand({"xdotool", "key", "--clearmodifiers", keys}, Env(), 5000);
    }

private:
    std::unique_ptr<RunningProgram> server_;
    std::unique_ptr<RunningProgram> manager_;
    std::string display_;
    bool managed_ = false;
};

TEST(OneInstanceOnADesktop, TheMinimisedWindowComesBackAndClosesWithTheWindowManager) {
    VirtualDisplay display;
    if (!display.Ready()) {
        GTEST_SKIP() << "needs Xvfb, openbox, xdotool and xprop";
    }
    testing_support::ScratchDir dir("one-instance");
    ProgramCopy copy(dir, "a");
    auto env = display.Env();
    env["QT_QPA_PLATFORM"] = "xcb";
    env["TONEMENDER_TEST_HOOKS"] = "start-minimized,report";
    RunningProgram first(copy.path, env);
    auto ready = first.WaitForLine("ready", 20s);
    ASSERT_TRUE(ready) << first.Output();
    EXPECT_NE(ready->find("minimized=1"), std::string::npos) << *ready;

    env["TONEMENDER_TEST_HOOKS"] = "report";
    const auto start = std::chrono::steady_clock::now();
    RunningProgram second(copy.path, env);
    auto code = second.WaitForExit(5s);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    auto activated = first.WaitForLine("activated", 5s);
    ASSERT_TRUE(activated) << first.Output();
    EXPECT_NE(activated->find("minimized=0"), std::string::npos) << *activated;

    // The window manager's close, as Alt+F4 asks it: the program ends with 0, and clean under
    // the sanitisers.
    std::optional<int> closed;
    for (int attempt = 0; attempt < 10 && !closed; ++attempt) {
        display.PressKeys("alt+F4");
        closed = first.WaitForExit(1s);
    }
    ASSERT_TRUE(closed) << first.Output();
    EXPECT_EQ(*closed, 0) << first.Output();
    EXPECT_TRUE(copy.Registered().empty());
}

} // namespace
