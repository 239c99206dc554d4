// The title bar of the program as built, on a desktop of the test's own (Xvfb and openbox): the
// window asks the window manager for close and minimise only, and the window manager offers
// nothing more - no maximise, no resizing, no full screen.

#include "platform/InstanceLock.h"
#include "support/Command.h"
#include "support/RunningProgram.h"
#include "support/VirtualDesktop.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The numbers of a property xprop prints as "NAME(TYPE) = 0x3, 0x2c, ...".
std::vector<unsigned long> Numbers(const std::string& property) {
    std::vector<unsigned long> numbers;
    const std::string values = property.substr(property.find('=') + 1);
    const std::regex number(R"(0x[0-9a-fA-F]+|\d+)");
    for (auto it = std::sregex_iterator(values.begin(), values.end(), number);
         it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stoul(it->str(), nullptr, 0));
    }
    return numbers;
}

TEST(TitleBar, OffersOnlyCloseAndMinimise) {
    const std::vector<std::string> missing = e2e::VirtualDesktop::MissingTools();
    ASSERT_TRUE(missing.empty()) << "missing on this machine: " << missing.front()
                                 << " (scripts/install-deps.sh installs it)";
    e2e::VirtualDesktop desktop;
    std::string error;
    ASSERT_TRUE(desktop.Start(&error)) << error;

    // A copy of its own, so that no other run of the built program turns this start away.
    testing_support::ScratchDir dir("title-bar");
    const std::string program = dir.Path() + "/tonemender";
    std::filesystem::copy_file(TONEMENDER_PROGRAM, program);
    const platform::InstanceLock lock(platform::InstanceIdentifier(program));
    struct RemoveRecord {
        std::string path;
        ~RemoveRecord() {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    } removeRecord{lock.LockPath()};

    auto env = desktop.Env();
    env["QT_QPA_PLATFORM"] = "xcb";
    window_test::RunningProgram running(program, env);
    ASSERT_TRUE(running.Started()) << "cannot start " << program;
    const std::vector<e2e::WindowId> windows = desktop.VisibleWindowsOf(running.Pid(), 60000);
    ASSERT_EQ(windows.size(), 1u) << desktop.LastOutput() << running.Output();
    const e2e::WindowId window = windows.front();

    // What the window asks for: its Motif hints name the functions (flag 1) move, minimise and
    // close (4 | 8 | 32), and neither resize (2) nor maximise (16).
    const auto motif = desktop.Property(window, "_MOTIF_WM_HINTS");
    ASSERT_TRUE(motif) << desktop.LastOutput();
    const std::vector<unsigned long> hints = Numbers(*motif);
    ASSERT_GE(hints.size(), 3u) << *motif;
    EXPECT_NE(hints[0] & 1, 0u) << *motif;
    EXPECT_EQ(hints[1], 0x2cu) << *motif;

    // What the window manager offers; openbox writes it once it manages the window. Full screen
    // is not asked about: openbox grants it to every normal window, whatever its hints say.
    std::optional<std::string> allowed;
    for (int attempt = 0; attempt < 100 && !allowed; ++attempt) {
        allowed = desktop.Property(window, "_NET_WM_ALLOWED_ACTIONS");
        if (!allowed) {
            std::this_thread::sleep_for(100ms);
        }
    }
    ASSERT_TRUE(allowed) << desktop.LastOutput();
    const struct {
        const char* action;
        bool offered;
    } actions[] = {
        {"_NET_WM_ACTION_CLOSE", true},          {"_NET_WM_ACTION_MINIMIZE", true},
        {"_NET_WM_ACTION_MOVE", true},           {"_NET_WM_ACTION_RESIZE", false},
        {"_NET_WM_ACTION_MAXIMIZE_HORZ", false}, {"_NET_WM_ACTION_MAXIMIZE_VERT", false},
    };
    const std::regex separator(R"([\s,=]+)");
    std::set<std::string> offered;
    for (auto it = std::sregex_token_iterator(allowed->begin(), allowed->end(), separator, -1);
         it != std::sregex_token_iterator(); ++it) {
        offered.insert(it->str());
    }
    for (const auto& a : actions) {
        EXPECT_EQ(offered.count(a.action) == 1, a.offered) << a.action << " in " << *allowed;
    }

    // Closed the way a window manager closes it.
    ASSERT_TRUE(desktop.PressKeys(window, "alt+F4")) << desktop.LastOutput();
    EXPECT_EQ(running.WaitForExit(20s), 0) << running.Output();
}

} // namespace
