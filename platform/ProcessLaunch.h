#pragma once
// Starting other programs without a shell: an argument vector, the program's own environment,
// none of our descriptors, and nothing left behind as a zombie.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// The absolute path of name on PATH, or nullopt. A name holding a '/' is taken as a path.
std::optional<std::string> FindExecutable(const std::string& name);

// The folder of the running program's own file, without a trailing '/'; empty when unknown.
std::string OwnProgramDirectory();

struct SpawnOptions {
    bool newSession = false; // a session of its own: no terminal, no share in our signals
    bool keepStderr = false; // otherwise standard error goes to /dev/null too
};

// Starts argv[0] (an absolute path) with argv. Standard input and output are /dev/null, no
// other descriptor of ours is inherited, signal handling is reset. The caller must reap the
// child (WaitForExit, ReapWhenDone). Returns -1 when it could not be started.
pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Starts argv[0] as nobody's child (a new session, reparented at once), for daemons and
// programs whose end we do not care about. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

// The child's exit code (128 + signal number for a signal; -1 when it was already reaped
// elsewhere), or nullopt when it still runs after timeout. A zero timeout only looks.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds timeout);

// Hands a child that still runs to a thread that waits for it, so it never lingers as a zombie.
void ReapWhenDone(pid_t pid);

} // namespace platform
