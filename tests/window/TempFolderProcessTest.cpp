// The real program and its temporary folder: no file of ours is there while the window shows,
// and so none is left when the process is killed; a folder that takes no file (mounted
// read-only) changes nothing - no box holds the window up.

#include "platform/ProcessLaunch.h"
#include "support/Command.h"
#include "support/RunningProgram.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using window_test::ProgramCopy;
using window_test::RunningProgram;

// As in a desktop session, with a runtime folder of its own: without one Qt would make one in
// the temporary folder.
std::map<std::string, std::string> Environment(const testing_support::ScratchDir& dir,
                                               const std::string& temp) {
    const std::string runtime = dir.Path() + "/runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    return {{"QT_QPA_PLATFORM", "offscreen"},
            {"TONEMENDER_TEST_HOOKS", "report"},
            {"TMPDIR", temp},
            {"XDG_RUNTIME_DIR", runtime}};
}

std::vector<std::string> EntriesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(TempFolderProcess, NoTemporaryFileWhileTheWindowShowsNorAfterAKill) {
    testing_support::ScratchDir dir("temp-process");
    ProgramCopy copy(dir, "program");
    const std::string temp = dir.Path() + "/tmp";
    std::filesystem::create_directory(temp);

    RunningProgram program(copy.path, Environment(dir, temp));
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForLine("ready", 15s)) << program.Output();
    EXPECT_EQ(EntriesIn(temp), std::vector<std::string>{}) << "while the window shows";

    program.Kill(SIGKILL);
    ASSERT_TRUE(program.WaitForExit(5s));
    EXPECT_EQ(EntriesIn(temp), std::vector<std::string>{}) << "after kill -9";
}

// The folder is a read-only tmpfs mounted over the test's own folder in a mount namespace of
// the program's own, so the mount goes with the program. Where no such namespace can be made
// the test is skipped.
TEST(TempFolderProcess, AReadOnlyTemporaryFolderShowsTheWindowWithoutABox) {
    const std::optional<std::string> unshare = platform::FindExecutable("unshare");
    if (!unshare) {
        GTEST_SKIP() << "no unshare";
    }
    testing_support::ScratchDir dir("temp-process");
    ProgramCopy copy(dir, "program");
    const std::string temp = dir.Path() + "/tmp";
    std::filesystem::create_directory(temp);

    std::vector<std::string> arguments;
    if (::geteuid() != 0) {
        arguments.push_back("--map-root-user");
    }
    const std::string script = "mount -t tmpfs -o ro,size=16k tmpfs \"$0\" || exit 97; "
                               "touch \"$0/probe\" 2>/dev/null && exit 98; "
                               "echo read-only; exec \"$1\"";
    for (const std::string& argument : {std::string("--mount"), std::string("/bin/sh"),
                                        std::string("-c"), script, temp, copy.path}) {
        arguments.push_back(argument);
    }
    RunningProgram program(*unshare, Environment(dir, temp), arguments);
    ASSERT_TRUE(program.Started());
    if (!program.WaitForLine("read-only", 5s)) {
        GTEST_SKIP() << "no read-only mount could be made: " << program.Output();
    }
    // A box during the window's creation would hold it: it would never be reported ready.
    ASSERT_TRUE(program.WaitForLine("ready", 15s)) << program.Output();
    EXPECT_EQ(program.Output().find("Cannot create file"), std::string::npos) << program.Output();
    program.Kill(SIGKILL);
    EXPECT_TRUE(program.WaitForExit(5s));
}

} // namespace
