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
    int sinks = -1;         // how many sinks it has (the dummy one included); -1 when not asked
                            // or not told
};

// Returns within bound, whatever the server does (a socket that accepts and never replies, a
// server that hangs half way through the handshake).
// With countSinks, also counts the server's sinks.
PulseProbeResult ProbePulseServer(std::chrono::milliseconds bound = std::chrono::seconds(2),
                                  bool countSinks = false);

} // namespace platform
