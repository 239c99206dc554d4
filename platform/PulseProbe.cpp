#include "platform/PulseProbe.h"

#include "platform/PulseSession.h"

#include <pulse/introspect.h>

namespace platform {

PulseProbeResult ProbePulseServer(std::chrono::milliseconds bound) {
    PulseSession session(PulseSession::Clock::now() + bound);
    PulseProbeResult result;
    // Authenticated and talking: that is what "answers" means. The server's name only says
    // which server it is.
    if (!session.Connect()) {
        return result;
    }
    result.answers = true;
    struct Reply {
        bool done = false;
        std::string name;
    } reply;
    pa_operation* info = pa_context_get_server_info(
        session.Context(),
        [](pa_context*, const pa_server_info* server, void* userdata) {
            auto* reply = static_cast<Reply*>(userdata);
            if (server != nullptr && server->server_name != nullptr) {
                reply->name = server->server_name;
            }
            reply->done = true;
        },
        &reply);
    if (info != nullptr) {
        session.RunUntil([&] { return reply.done; });
        pa_operation_cancel(info);
        pa_operation_unref(info);
    }
    result.serverName = reply.name;
    return result;
}

} // namespace platform
