#pragma once
// What a caller waiting for a start sees of it. Neither systemd nor a daemon reports Win32 check
// points, so they are made up here: while the start is under way the service is start-pending
// with a check point that rises on every query; once it runs, it is running; a start that ended
// without the server running drops the check point to 0, which tells the waiting loop to stop.

#include "platform/Services.h"

#include <chrono>

namespace platform {

class ServiceStartJob {
public:
    using Clock = std::chrono::steady_clock;

    // The wait hint every pending report carries.
    static constexpr DWORD kWaitHintMs = 250;

    // A start was just set off; it counts as failed once limit has passed without the server
    // running.
    void Begin(Clock::time_point now, std::chrono::milliseconds limit);
    bool Active() const { return active_; }

    // The status to report for one query. observedState is the server's state right now;
    // startEnded says the start's own work (the systemd job, the starting process) is over.
    // A failed start is reported as pending once more when no rising check point has been
    // reported yet, so the drop to 0 is always seen as a drop.
    SERVICE_STATUS Report(DWORD observedState, bool startEnded, Clock::time_point now);

private:
    bool active_ = false;
    DWORD checkPoint_ = 0;
    Clock::time_point deadline_{};
};

// A status with only the state set, as reported when no start is under way.
SERVICE_STATUS PlainStatus(DWORD state);

} // namespace platform
