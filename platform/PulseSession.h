#pragma once
// One bounded conversation with a PulseAudio-protocol server: connect (never spawning a server)
// and run the main loop until the caller has its answers or the time is up. For the probe and
// the device reader in this folder only.

#include <chrono>
#include <functional>

struct pa_context;
struct pa_mainloop;

namespace platform {

class PulseSession {
public:
    using Clock = std::chrono::steady_clock;

    explicit PulseSession(Clock::time_point deadline);
    ~PulseSession();
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    // True once the context is ready (connected and authenticated) before the deadline.
    bool Connect();

    // Dispatches events until done() holds, the connection fails or the deadline passes;
    // returns done().
    bool RunUntil(const std::function<bool()>& done);

    // The context, or nullptr before Connect succeeded.
    pa_context* Context() const { return ready_ ? context_ : nullptr; }

private:
    bool Iterate();

    Clock::time_point deadline_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool ready_ = false;
    bool failed_ = false;
};

} // namespace platform
