#pragma once
// A program started by a test and left running: its standard output read line by line as it
// comes, its end waited for or forced; and a copy of the program for a test of its own.

#include "platform/InstanceLock.h"
#include "support/Command.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace window_test {

class RunningProgram {
public:
    // Starts program (an absolute path) with arguments and extra environment entries; standard
    // error goes with standard output.
    RunningProgram(const std::string& program, const std::map<std::string, std::string>& env,
                   const std::vector<std::string>& arguments = {});
    ~RunningProgram(); // kills what still runs
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // The next line of output that starts with prefix, waiting at most timeout.
    std::optional<std::string> WaitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout);
    // Its exit code once it ended within timeout (128 + signal for a signal).
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    void Kill(int signal);

    // Everything it printed so far.
    const std::string& Output() const { return output_; }

private:
    bool ReadSome(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
    std::size_t consumed_ = 0;
    std::optional<int> exitCode_;
};

// A copy of the program in a folder of the test's own, so no other run shares its lock.
// The lock file of the copy is removed again with the object.
struct ProgramCopy {
    std::string path;
    platform::InstanceLock lock;

    ProgramCopy(const testing_support::ScratchDir& dir, const std::string& folder);
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    // The running instance that holds the copy's lock: none or one.
    std::vector<std::int64_t> Registered() const;
};

} // namespace window_test
