#include "platform/ServiceStartJob.h"

namespace platform {

SERVICE_STATUS PlainStatus(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_SHARE_PROCESS;
    status.dwCurrentState = state;
    return status;
}

void ServiceStartJob::Begin(Clock::time_point now, std::chrono::milliseconds limit) {
    active_ = true;
    checkPoint_ = 0;
    deadline_ = now + limit;
}

SERVICE_STATUS ServiceStartJob::Report(DWORD observedState, bool startEnded,
                                       Clock::time_point now) {
    if (observedState == SERVICE_RUNNING) {
        active_ = false;
    }
    if (!active_) {
        return PlainStatus(observedState);
    }
    bool failed = startEnded || now >= deadline_;
    if (failed && checkPoint_ > 0) {
        active_ = false;
        // Whatever the server is doing now, the start is over: a pending state here would only
        // be a restart loop, and the caller must not mistake it for progress.
        bool pending = observedState == SERVICE_START_PENDING;
        return PlainStatus(pending ? SERVICE_STOPPED : observedState);
    }
    SERVICE_STATUS status = PlainStatus(SERVICE_START_PENDING);
    status.dwCheckPoint = ++checkPoint_;
    status.dwWaitHint = kWaitHintMs;
    return status;
}

} // namespace platform
