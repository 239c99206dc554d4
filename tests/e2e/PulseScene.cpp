#include "PulseScene.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace e2e {

BusySink::BusySink(const testing_support::PrivatePulse& pulse) : pulse_(pulse) {
    const char* argv[] = {"aplay", "-q",     "-D",  "pulse",   "--buffer-time=50000", "-t",   "raw",
                          "-f",    "S16_LE", "-c2", "-r44100", "/dev/zero",           nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "aplay", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

BusySink::~BusySink() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool BusySink::Settled() const {
    using namespace std::chrono_literals;
    const std::regex latency(R"(Latency: (\d+) usec)");
    for (int i = 0; i < 100 && pid_ > 0; ++i) {
        std::string out = pulse_.Pactl({"list", "sinks"}).output;
        std::smatch m;
        if (std::regex_search(out, m, latency) && std::stol(m[1]) < 100000) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

ScopedUnset::ScopedUnset(const char* name) : name_(name) {
    if (const char* old = std::getenv(name)) {
        old_ = old;
    }
    unsetenv(name);
}

ScopedUnset::~ScopedUnset() {
    if (old_) {
        setenv(name_, old_->c_str(), 1);
    }
}

void TurnOffAutospawn(const testing_support::PrivatePulse& pulse) {
    std::filesystem::path dir = pulse.Environment().at("HOME");
    dir /= ".config/pulse";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
}

} // namespace e2e
