#include "platform/SoundServerUnits.h"

namespace platform {

const SoundServerUnits& UnitsOf(SoundServer server) {
    static const SoundServerUnits pipewire{
        "pipewire-pulse.service",
        "pipewire-pulse.socket",
        {"pipewire.socket", "pipewire.service", "wireplumber.service"},
        "pipewire-pulse",
        {},
    };
    static const SoundServerUnits pulseaudio{
        "pulseaudio.service", "pulseaudio.socket", {}, "pulseaudio", {"pulseaudio", "--start"},
    };
    return server == SoundServer::PipeWire ? pipewire : pulseaudio;
}

std::vector<std::string> AllUnitsOf(SoundServer server) {
    const SoundServerUnits& units = UnitsOf(server);
    std::vector<std::string> all{units.socket, units.service};
    all.insert(all.end(), units.companions.begin(), units.companions.end());
    return all;
}

std::optional<SoundServer> ServerFromName(std::string_view serverName) {
    std::string lower(serverName);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    // PipeWire's pulse server calls itself "PulseAudio (on PipeWire x.y.z)", so it is asked
    // about first.
    if (lower.find("pipewire") != std::string::npos) {
        return SoundServer::PipeWire;
    }
    if (lower.find("pulseaudio") != std::string::npos) {
        return SoundServer::PulseAudio;
    }
    return std::nullopt;
}

namespace {

bool Known(const UnitFacts& unit) {
    return !unit.loadState.empty() && unit.loadState != "not-found";
}

} // namespace

bool HasUnits(const ServerUnitFacts& facts) {
    return Known(facts.service) || Known(facts.socket);
}

bool ServiceUnitOpens(const ServerUnitFacts& facts) {
    return facts.service.loadState == "loaded";
}

DWORD StateFromActiveState(std::string_view activeState) {
    if (activeState == "active" || activeState == "reloading") {
        return 4;
    }
    if (activeState == "activating") {
        return 2;
    }
    if (activeState == "deactivating") {
        return 3;
    }
    return 1;
}

DWORD ServiceStateFromUnits(bool serverAnswers, const ServerUnitFacts& facts) {
    if (serverAnswers || facts.socket.activeState == "active") {
        return 4;
    }
    return StateFromActiveState(facts.service.activeState);
}

} // namespace platform
