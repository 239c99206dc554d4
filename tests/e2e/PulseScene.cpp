#include "PulseScene.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace e2e {

void TurnOffAutospawn(const testing_support::PrivatePulse& pulse) {
    std::filesystem::path dir = pulse.Environment().at("HOME");
    dir /= ".config/pulse";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
}

} // namespace e2e
