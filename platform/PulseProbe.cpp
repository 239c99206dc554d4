#include "platform/PulseProbe.h"

#include "platform/PulseSession.h"

#include <pulse/introspect.h>

namespace platform {

namespace {

struct Reply {
    bool done = false;
    std::string name;
    int sinks = 0;
    bool sinksTold = false;
};

// Runs one operation to its end (or the session's deadline) and lets it go.
void Await(PulseSession& session, pa_operation* operation, const bool& done) {
    if (operation == nullptr) {
        return;
    }
    session.RunUntil([&] { return done; });
    pa_operation_cancel(operation);
    pa_operation_unref(operation);
}

} // namespace

PulseProbeResult ProbePulseServer(std::chrono::milliseconds bound, bool countSinks) {
    PulseSession session(PulseSession::Clock::now() + bound);
    PulseProbeResult result;
    // Authenticated and talking: that is what "answers" means. The server's name only says
    // which server it is.
    if (!session.Connect()) {
        return result;
    }
    result.answers = true;
    Reply reply;
    Await(session,
          pa_context_get_server_info(
              session.Context(),
              [](pa_context*, const pa_server_info* server, void* userdata) {
                  auto* reply = static_cast<Reply*>(userdata);
                  if (server != nullptr && server->server_name != nullptr) {
                      reply->name = server->server_name;
                  }
                  reply->done = true;
              },
              &reply),
          reply.done);
    result.serverName = reply.name;
    if (countSinks) {
        reply.done = false;
        Await(session,
              pa_context_get_sink_info_list(
                  session.Context(),
                  [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
                      auto* reply = static_cast<Reply*>(userdata);
                      if (eol != 0) {
                          reply->sinksTold = eol > 0;
                          reply->done = true;
                      } else if (info != nullptr) {
                          ++reply->sinks;
                      }
                  },
                  &reply),
              reply.done);
        if (reply.sinksTold) {
            result.sinks = reply.sinks;
        }
    }
    return result;
}

} // namespace platform
