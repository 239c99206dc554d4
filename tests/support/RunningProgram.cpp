#include "support/RunningProgram.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace window_test {

RunningProgram::RunningProgram(const std::string& program,
                               const std::map<std::string, std::string>& env,
                               const std::vector<std::string>& arguments) {
    std::map<std::string, std::string> all;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::size_t eq = text.find('=');
        if (eq != std::string::npos) {
            all[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : env) {
        all[name] = value;
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : all) {
        envText.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& text : envText) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argText) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0 && !exitCode_) {
        kill(pid_, SIGKILL);
        WaitForExit(std::chrono::seconds(5));
    }
    if (out_ >= 0) {
        close(out_);
    }
}

bool RunningProgram::ReadSome(int timeoutMs) {
    pollfd entry{out_, POLLIN, 0};
    if (out_ < 0 || poll(&entry, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[4096];
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
        close(out_);
        out_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> RunningProgram::WaitForLine(const std::string& prefix,
                                                       std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        std::size_t end;
        while ((end = output_.find('\n', consumed_)) != std::string::npos) {
            std::string line = output_.substr(consumed_, end - consumed_);
            consumed_ = end + 1;
            if (line.rfind(prefix, 0) == 0) {
                return line;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || out_ < 0) {
            return std::nullopt;
        }
        ReadSome(static_cast<int>(left.count()));
    }
}

std::optional<int> RunningProgram::WaitForExit(std::chrono::milliseconds timeout) {
    if (exitCode_ || pid_ <= 0) {
        return exitCode_;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            while (ReadSome(0)) {
            }
            return exitCode_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // Keep the pipe drained, or a chatty program could block on it.
        if (!ReadSome(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void RunningProgram::Kill(int signal) {
    if (pid_ > 0 && !exitCode_) {
        kill(pid_, signal);
    }
}

ProgramCopy::ProgramCopy(const testing_support::ScratchDir& dir, const std::string& folder)
    : path(dir.Path() + "/" + folder + "/tonemender"), lock(platform::InstanceIdentifier(path)) {
    std::filesystem::create_directories(dir.Path() + "/" + folder);
    std::filesystem::copy_file(TONEMENDER_PROGRAM, path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

ProgramCopy::~ProgramCopy() {
    std::error_code ignored;
    std::filesystem::remove(lock.LockPath(), ignored);
    std::filesystem::remove(lock.OwnActivationSocketPath(), ignored);
}

std::vector<std::int64_t> ProgramCopy::Registered() const {
    const auto holder = lock.Holder();
    return holder ? std::vector<std::int64_t>{*holder} : std::vector<std::int64_t>{};
}

} // namespace window_test
