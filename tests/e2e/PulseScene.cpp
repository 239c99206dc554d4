#include "PulseScene.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace e2e {

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
