#pragma once
// What the end-to-end tests against a private PulseAudio daemon share besides the daemon
// itself: a sink kept busy so a new stream plays at once, and an environment variable left out
// for a test's lifetime.

#include "support/PrivatePulse.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace e2e {

// The private daemon's null sink, left idle, runs with 2 s of latency and lets a new stream
// wait up to that long before it is played at all - which no real sink does, and which would
// eat the test sound's whole grace period. A silent low-latency stream keeps it the way a
// sink in use is.
class BusySink {
public:
    explicit BusySink(const testing_support::PrivatePulse& pulse);
    ~BusySink();
    BusySink(const BusySink&) = delete;
    BusySink& operator=(const BusySink&) = delete;

    // Waits until the default sink's latency has come down.
    bool Settled() const;

private:
    const testing_support::PrivatePulse& pulse_;
    pid_t pid_ = -1;
};

class ScopedUnset {
public:
    explicit ScopedUnset(const char* name);
    ~ScopedUnset();
    ScopedUnset(const ScopedUnset&) = delete;
    ScopedUnset& operator=(const ScopedUnset&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The daemon must never be started behind a test's back by a client library: autospawn off in
// the daemon's own HOME.
void TurnOffAutospawn(const testing_support::PrivatePulse& pulse);

} // namespace e2e
