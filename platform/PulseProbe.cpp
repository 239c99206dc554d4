#include "platform/PulseProbe.h"

#include <algorithm>
#include <climits>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>

namespace platform {

namespace {

struct ProbeState {
    bool done = false;
    bool countSinks = false;
    int sinksSeen = 0;
    PulseProbeResult result;
    pa_operation* info = nullptr;
    pa_operation* sinks = nullptr;
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* state = static_cast<ProbeState*>(userdata);
    if (eol > 0) {
        state->result.sinks = state->sinksSeen;
        state->done = true;
    } else if (eol < 0) {
        state->done = true;
    } else if (info != nullptr) {
        ++state->sinksSeen;
    }
}

void OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* state = static_cast<ProbeState*>(userdata);
    if (info != nullptr && info->server_name != nullptr) {
        state->result.serverName = info->server_name;
    }
    if (state->countSinks) {
        state->sinks = pa_context_get_sink_info_list(context, &OnSinkInfo, state);
        if (state->sinks != nullptr) {
            return;
        }
    }
    state->done = true;
}

void OnContextState(pa_context* context, void* userdata) {
    auto* state = static_cast<ProbeState*>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        // Authenticated and talking: that is what "answers" means. The server's name only says
        // which server it is.
        state->result.answers = true;
        state->info = pa_context_get_server_info(context, &OnServerInfo, state);
        if (state->info == nullptr) {
            state->done = true;
        }
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        state->done = true;
        break;
    default:
        break;
    }
}

} // namespace

PulseProbeResult ProbePulseServer(std::chrono::milliseconds bound, bool countSinks) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + bound;

    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return {};
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tonemender");
    pa_context* context =
        pa_context_new_with_proplist(pa_mainloop_get_api(loop), "Tonemender", properties);
    pa_proplist_free(properties);
    if (context == nullptr) {
        pa_mainloop_free(loop);
        return {};
    }

    ProbeState state;
    state.countSinks = countSinks;
    pa_context_set_state_callback(context, &OnContextState, &state);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        state.done = true;
    }
    while (!state.done) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        int timeoutUs = static_cast<int>(std::min<long long>(left.count(), INT_MAX));
        if (pa_mainloop_prepare(loop, timeoutUs) < 0) {
            break;
        }
        if (pa_mainloop_poll(loop) < 0) {
            break;
        }
        if (pa_mainloop_dispatch(loop) < 0) {
            break;
        }
    }

    PulseProbeResult result = state.result;
    for (pa_operation* operation : {state.info, state.sinks}) {
        if (operation != nullptr) {
            pa_operation_cancel(operation);
            pa_operation_unref(operation);
        }
    }
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return result;
}

} // namespace platform
