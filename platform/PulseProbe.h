#pragma once
// Does a PulseAudio-protocol sound server (PulseAudio itself, or PipeWire's pulse server)
// answer this session? Asked the way every client of the session would reach it (libpulse's own
// server lookup: PULSE_SERVER, client.conf, the runtime folder, the system instance), without
// ever spawning a server.

#include <chrono>
#include <string>

namespace platform {

struct PulseProbeResult {
    bool answers = false;
    std::string serverName; // as the server reports it; empty when it did not say
};

// Returns within bound, whatever the server does (a socket that accepts and never replies, a
// server that hangs half way through the handshake).
PulseProbeResult ProbePulseServer(std::chrono::milliseconds bound = std::chrono::seconds(2));

} // namespace platform
