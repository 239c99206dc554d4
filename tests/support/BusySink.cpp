#include "support/BusySink.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace testing_support {

BusySink::BusySink(const PrivateServer& server) : server_(server) {
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
    const std::regex latency(R"(Latency: (\d+) usec)");
    for (int i = 0; i < 100 && pid_ > 0; ++i) {
        std::string out = server_.Pactl({"list", "sinks"}).output;
        std::smatch m;
        if (std::regex_search(out, m, latency) && std::stol(m[1]) < 100000) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace testing_support
