#include "BenchPulse.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string FolderTag(std::string program) {
    std::replace(program.begin(), program.end(), '_', '-');
    return "tm-" + program;
}

} // namespace

BenchPulse::BenchPulse(const std::string& program) : program_(program), temp_(FolderTag(program)) {
    setenv("TMPDIR", temp_.Path().c_str(), 1);
    pulse_.emplace();
    // No client library may start a daemon behind our back, in the private home or elsewhere.
    std::filesystem::path dir = pulse_->Environment().at("HOME");
    dir /= ".config/pulse";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
    pulse_->ApplyToProcess();
    // Without a session bus the audio service is the daemon itself; the user manager of whoever
    // runs the benchmark is never asked anything.
    if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        sessionBus_ = bus;
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    started_ = pulse_->Start(&error_);
}

BenchPulse::~BenchPulse() {
    if (sessionBus_) {
        setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus_->c_str(), 1);
    }
}

bool BenchPulse::Ready() const {
    if (!started_) {
        std::fprintf(stderr, "%s: no private sound server: %s\n", program_.c_str(), error_.c_str());
    }
    return started_;
}
