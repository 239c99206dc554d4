#pragma once
// Running a helper program from a test and collecting what it printed.

#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1; // -1 when the program could not be started or was killed by a signal
    std::string output; // standard output and standard error together
};

// Runs argv[0] (looked up on PATH) with the given arguments and extra environment entries,
// waits at most timeoutMs for it, and returns its exit code and output. Never uses a shell.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& extraEnv = {},
                         int timeoutMs = 10000);

// A fresh private directory under $TMPDIR (or /tmp), removed by the destructor.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "tm");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace testing_support
