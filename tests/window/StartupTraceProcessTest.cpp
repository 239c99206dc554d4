// The start-up trace of the real program: asked for through TONEMENDER_STARTUP_TRACE, it lists
// every phase in order once the first frame is painted, each at or after the one before, with
// the resident set growing from a plausible size; and what an idle window leaves unloaded.

#include "support/Command.h"
#include "support/RunningProgram.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using window_test::RunningProgram;

struct Line {
    std::string phase;
    long long ns = 0;
    std::string rss;
};

std::vector<Line> ReadTrace(const std::string& path) {
    std::ifstream in(path);
    std::vector<Line> lines;
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        Line line;
        fields >> line.phase >> line.ns >> line.rss;
        lines.push_back(line);
    }
    return lines;
}

TEST(StartupTrace, ListsEveryPhaseInOrderOnceTheFirstFrameIsPainted) {
    testing_support::ScratchDir dir("startup-trace");
    const std::string trace = dir.Path() + "/trace.txt";
    // A copy of its own: a window another test shows at the same time would hold the lock.
    window_test::ProgramCopy copy(dir, "program");
    RunningProgram program(copy.path, {{"QT_QPA_PLATFORM", "offscreen"},
                                       {"TONEMENDER_TEST_HOOKS", "report"},
                                       {"TONEMENDER_STARTUP_TRACE", trace}});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForLine("ready", 15s)) << program.Output();
    std::vector<Line> lines;
    // Written once, at the first frame; read again until the whole file is there.
    for (int i = 0; i < 100; ++i) {
        lines = ReadTrace(trace);
        if (!lines.empty() && lines.back().phase == "first-frame") {
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    program.Kill(SIGTERM);
    EXPECT_TRUE(program.WaitForExit(10s));

    const std::vector<std::string> phases = {"process-start",
                                             "main",
                                             "instance-checked",
                                             "qapplication",
                                             "fonts-and-error-report",
                                             "controls-built",
                                             "engine-created",
                                             "configuration-loaded",
                                             "pictures-decoded",
                                             "window-created",
                                             "shown",
                                             "first-paint-event",
                                             "first-frame"};
    ASSERT_EQ(lines.size(), phases.size()) << program.Output();
    for (std::size_t i = 0; i < phases.size(); ++i) {
        SCOPED_TRACE(phases[i]);
        EXPECT_EQ(lines[i].phase, phases[i]);
        EXPECT_GT(lines[i].ns, 0);
        if (i == 0) {
            // The kernel's start, kept to its clock tick: before main, and not long before.
            EXPECT_EQ(lines[i].rss, "-");
            EXPECT_LE(lines[0].ns, lines[1].ns);
            EXPECT_LT(lines[1].ns - lines[0].ns, 30'000'000'000LL);
            continue;
        }
        EXPECT_GT(std::atol(lines[i].rss.c_str()), 1000) << lines[i].rss;
        EXPECT_GE(lines[i].ns, lines[i - 1].ns);
    }
}

// Libraries an idle window does without: the sound libraries (bound when first called) and the
// device library with SQLite behind it (loaded for the first device check). libsystemd is not
// among them: Qt's D-Bus library brings it along in any Qt window.
TEST(StartupTrace, AnIdleWindowHasNoSoundOrDeviceLibraryLoaded) {
    testing_support::ScratchDir dir("idle-libraries");
    window_test::ProgramCopy copy(dir, "program");
    RunningProgram program(copy.path,
                           {{"QT_QPA_PLATFORM", "offscreen"}, {"TONEMENDER_TEST_HOOKS", "report"}});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForLine("ready", 15s)) << program.Output();
    // Past the first frame and what follows it.
    std::this_thread::sleep_for(500ms);
    std::ifstream maps("/proc/" + std::to_string(program.Pid()) + "/maps");
    std::stringstream text;
    text << maps.rdbuf();
    const std::string mapped = text.str();
    EXPECT_NE(mapped.find("libQt6Widgets"), std::string::npos) << "the maps were read";
    for (const char* library :
         {"libasound", "libpulse", "libsndfile", "libsqlite3", "libtmaudiomanager"}) {
        EXPECT_EQ(mapped.find(library), std::string::npos) << library;
    }
    program.Kill(SIGTERM);
    EXPECT_TRUE(program.WaitForExit(10s));
}

} // namespace
