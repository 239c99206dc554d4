#pragma once
// Which sound server "AudioSrv" stands for, and what state it is in, decided from facts the
// Linux service backend gathers (the probe, the systemd user units, the PATH). Pure functions,
// so the decisions can be checked on machines without a user manager.

#include "platform/Win32Types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class SoundServer { PipeWire, PulseAudio };

struct SoundServerUnits {
    std::string service; // the unit "AudioSrv" stands for
    std::string socket;  // its socket unit; active counts as running
    // Units that belong to the server and are enabled with it (PipeWire's core and session
    // manager). Never touched for the other server.
    std::vector<std::string> companions;
    // Daemon mode: the executable whose presence on PATH means "installed", and the command
    // that starts the server as a whole (PipeWire has none: its parts start one by one).
    std::string executable;
    std::vector<std::string> daemonStart;
};

const SoundServerUnits& UnitsOf(SoundServer server);

// The service unit, its socket and the companions, in the order they are enabled.
std::vector<std::string> AllUnitsOf(SoundServer server);

// Unit properties as the user manager reports them ("loaded", "active", "enabled" ...); empty
// when the unit could not be asked about.
struct UnitFacts {
    std::string loadState;
    std::string activeState;
    std::string unitFileState;
};

struct ServerUnitFacts {
    UnitFacts service;
    UnitFacts socket;
};

// The server behind a PulseAudio-protocol answer, from the server name it reports
// ("pulseaudio", "PulseAudio (on PipeWire 1.0.5)").
std::optional<SoundServer> ServerFromName(std::string_view serverName);

// True when the server has any unit the user manager knows (masked ones included).
bool HasUnits(const ServerUnitFacts& facts);

// The service can be opened when its unit is loaded: not-found, masked or a broken unit file
// cannot be.
bool ServiceUnitOpens(const ServerUnitFacts& facts);

// systemd's ActiveState as a service state: active 4, activating 2, deactivating 3, anything
// else (inactive, failed, unknown) 1.
DWORD StateFromActiveState(std::string_view activeState);

// The state of "AudioSrv": running when a server answers or the socket unit is active,
// otherwise the service unit's state.
DWORD ServiceStateFromUnits(bool serverAnswers, const ServerUnitFacts& facts);

} // namespace platform
