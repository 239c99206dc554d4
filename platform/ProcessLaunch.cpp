#include "platform/ProcessLaunch.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

std::vector<char*> ArgumentPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// Only async-signal-safe calls from here on: the child of a fork in a program with threads.
[[noreturn]] void ExecDetachedChild(const char* path, char* const* args, int nullFd, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        sigaction(signal, &defaults, nullptr);
    }
    // Lift both descriptors above the standard three first: a program started with one of
    // those closed may have been handed them there.
    int report = fcntl(reportFd, F_DUPFD_CLOEXEC, 3);
    int null = fcntl(nullFd, F_DUPFD_CLOEXEC, 3);
    if (report < 0 || null < 0) {
        _exit(127);
    }
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    // Everything above the standard three goes, except the close-on-exec report pipe.
    if (report > 3) {
        close_range(3, static_cast<unsigned>(report) - 1, 0);
    }
    close_range(static_cast<unsigned>(report) + 1, ~0U, 0);
    execve(path, args, environ);
    int error = errno;
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

} // namespace

std::optional<std::string> FindExecutable(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? std::optional<std::string>(name) : std::nullopt;
    }
    const char* pathVariable = std::getenv("PATH");
    std::string path = pathVariable != nullptr ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string folder = path.substr(start, end - start);
        // An empty entry would mean the current folder; a program of ours never looks there.
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate = folder + "/" + name;
            if (IsExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string OwnProgramDirectory() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(buffer, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options) {
    if (argv.empty() || argv.front().empty() || argv.front().front() != '/') {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);

    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!options.keepStderr) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.newSession) {
        flags |= POSIX_SPAWN_SETSID;
    }
    posix_spawnattr_setflags(&attributes, flags);

    std::vector<char*> args = ArgumentPointers(argv);
    pid_t pid = -1;
    int error = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty() || argv.front().front() != '/') {
        return false;
    }
    std::vector<char*> args = ArgumentPointers(argv);
    int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullFd < 0) {
        return false;
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(nullFd);
        return false;
    }
    pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                int error = errno;
                ssize_t ignored = write(report[1], &error, sizeof error);
                (void)ignored;
            }
            _exit(0);
        }
        ExecDetachedChild(args[0], args.data(), nullFd, report[1]);
    }
    close(nullFd);
    close(report[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        // The write end closes when the program is running; anything read is the errno of a
        // failed start.
        int error = 0;
        ssize_t got;
        do {
            got = read(report[0], &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        started = got == 0;
    }
    close(report[0]);
    return started;
}

std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) {
            return ExitCodeOf(status);
        }
        if (got < 0 && errno != EINTR) {
            return -1;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ReapWhenDone(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace platform
