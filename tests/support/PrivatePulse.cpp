#include "support/PrivatePulse.h"

#include "support/PrivatePipeWire.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

namespace {

bool ProcessAlive(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

PrivatePulse::PrivatePulse() : root_(std::make_unique<ScratchDir>("tm-pulse")) {
    home_ = root_->Path() + "/home";
    xdgRuntime_ = root_->Path() + "/run";
    pulseRuntime_ = xdgRuntime_ + "/pulse";
    logPath_ = root_->Path() + "/daemon.log";
    mkdir(home_.c_str(), 0700);
    mkdir(xdgRuntime_.c_str(), 0700);
}

PrivatePulse::~PrivatePulse() {
    Kill();
    // Whatever else the code under test started in this runtime folder (a server of the other
    // kind, say) goes with it.
    for (pid_t pid : PrivatePipeWire::ProcessesIn(xdgRuntime_)) {
        kill(pid, SIGKILL);
    }
    for (int i = 0; i < 200 && !PrivatePipeWire::ProcessesIn(xdgRuntime_).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::map<std::string, std::string> PrivatePulse::Environment() const {
    return {
        {"HOME", home_}, {"XDG_RUNTIME_DIR", xdgRuntime_}, {"PULSE_RUNTIME_PATH", pulseRuntime_}};
}

void PrivatePulse::TurnOffAutospawn() const {
    const std::filesystem::path dir = std::filesystem::path(home_) / ".config/pulse";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
}

bool PrivatePulse::Start(std::string* error) {
    if (pid_ > 0 && ProcessAlive(pid_)) {
        return true;
    }
    pid_t pid = fork();
    if (pid < 0) {
        if (error != nullptr) {
            *error = "fork failed";
        }
        return false;
    }
    if (pid == 0) {
        for (const auto& [key, value] : Environment()) {
            setenv(key.c_str(), value.c_str(), 1);
        }
        unsetenv("PULSE_SERVER");
        int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
            close(log);
        }
        setpgid(0, 0);
        execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
               "--log-target=stderr", "-L", "module-native-protocol-unix", "-L",
               "module-null-sink sink_name=tm_null", "-L", "module-always-sink",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_ = pid;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (error != nullptr) {
                std::ifstream in(logPath_);
                std::stringstream log;
                log << in.rdbuf();
                *error = "pulseaudio exited at start: " + log.str();
            }
            return false;
        }
        if (Answers()) {
            Pactl({"set-default-sink", "tm_null"});
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (error != nullptr) {
        *error = "pulseaudio did not answer within 10 s";
    }
    Kill();
    return false;
}

void PrivatePulse::Kill() {
    std::vector<pid_t> victims;
    if (pid_ > 0) {
        victims.push_back(pid_);
    }
    std::ifstream pidFile(pulseRuntime_ + "/pid");
    long other = 0;
    if (pidFile >> other && other > 0 && other != pid_) {
        victims.push_back(static_cast<pid_t>(other));
    }
    for (pid_t victim : victims) {
        if (ProcessAlive(victim)) {
            kill(victim, SIGKILL);
        }
    }
    for (pid_t victim : victims) {
        if (victim == pid_) {
            int status = 0;
            waitpid(victim, &status, 0);
        } else {
            // Not our child: wait until it is gone so the next start does not meet it.
            for (int i = 0; i < 200 && ProcessAlive(victim); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }
    pid_ = -1;
    unlink((pulseRuntime_ + "/pid").c_str());
}

} // namespace testing_support
