#include "platform/PulseSession.h"

#include <algorithm>
#include <climits>
#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>

namespace platform {

PulseSession::PulseSession(Clock::time_point deadline) : deadline_(deadline) {
    loop_ = pa_mainloop_new();
    if (loop_ == nullptr) {
        failed_ = true;
        return;
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tonemender");
    context_ = pa_context_new_with_proplist(pa_mainloop_get_api(loop_), "Tonemender", properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) {
        failed_ = true;
    }
}

PulseSession::~PulseSession() {
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_ != nullptr) {
        pa_mainloop_free(loop_);
    }
}

bool PulseSession::Connect() {
    if (failed_) {
        return false;
    }
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        failed_ = true;
        return false;
    }
    ready_ = RunUntil([this] {
        pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
            failed_ = true;
        }
        return state == PA_CONTEXT_READY;
    });
    return ready_;
}

bool PulseSession::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (failed_ || !Iterate()) {
            return done();
        }
        if (ready_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
            failed_ = true; // the server went away in the middle
        }
    }
    return true;
}

bool PulseSession::Iterate() {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    int timeoutUs = static_cast<int>(std::min<long long>(left.count(), INT_MAX));
    return pa_mainloop_prepare(loop_, timeoutUs) >= 0 && pa_mainloop_poll(loop_) >= 0 &&
           pa_mainloop_dispatch(loop_) >= 0;
}

} // namespace platform
