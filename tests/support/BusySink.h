#pragma once
// The private daemon's null sink, left idle, runs with 2 s of latency and lets a new stream
// wait up to that long before it is played at all - which no real sink does, and which would
// eat the test sound's whole grace period. A silent low-latency stream (aplay of /dev/zero on
// the ALSA pulse device) keeps it the way a sink in use is. Start it with the daemon's
// environment in this process (PrivateServer::ApplyToProcess).

#include "support/PrivateServer.h"

#include <sys/types.h>

namespace testing_support {

class BusySink {
public:
    explicit BusySink(const PrivateServer& server);
    ~BusySink(); // stops the stream
    BusySink(const BusySink&) = delete;
    BusySink& operator=(const BusySink&) = delete;

    // Waits (up to 10 s) until the default sink's latency has come down.
    bool Settled() const;

private:
    const PrivateServer& server_;
    pid_t pid_ = -1;
};

} // namespace testing_support
