// The sound server's devices through libpulse's introspection: one connection per Read or
// Apply, every list asked for at once, everything copied out of libpulse's records before the
// callback returns.

#include "platform/PulseSession.h"
#include "platform/SoundDevices.h"

#include <pulse/introspect.h>
#include <pulse/proplist.h>

namespace platform {

namespace {

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

PortAvailable AvailableOf(int available) {
    switch (available) {
    case PA_PORT_AVAILABLE_NO:
        return PortAvailable::No;
    case PA_PORT_AVAILABLE_YES:
        return PortAvailable::Yes;
    default:
        return PortAvailable::Unknown;
    }
}

// Sink and source records differ only in their types; their ports and common fields are read
// the same way.
template <class Info> SoundEndpoint EndpointOf(const Info& info) {
    SoundEndpoint endpoint;
    endpoint.index = info.index;
    endpoint.name = Text(info.name);
    endpoint.description = Text(info.description);
    endpoint.driver = Text(info.driver);
    endpoint.card = info.card;
    if (info.proplist != nullptr) {
        endpoint.factory = Text(pa_proplist_gets(info.proplist, "factory.name"));
    }
    for (std::uint32_t i = 0; i < info.n_ports && info.ports != nullptr; ++i) {
        const auto* port = info.ports[i];
        if (port != nullptr) {
            endpoint.ports.push_back({Text(port->name), Text(port->description), port->priority,
                                      AvailableOf(port->available)});
        }
    }
    if (info.active_port != nullptr) {
        endpoint.activePort = Text(info.active_port->name);
    }
    return endpoint;
}

// Counts the lists still being delivered; a list ends with its eol call.
struct Reading {
    SoundServerState state;
    int pending = 0;
    bool failed = false;

    void End(int eol) {
        if (eol < 0) {
            failed = true; // the server refused the list
        }
        --pending;
    }
};

void OnServer(pa_context*, const pa_server_info* info, void* userdata) {
    auto* reading = static_cast<Reading*>(userdata);
    if (info != nullptr) {
        reading->state.serverName = Text(info->server_name);
        reading->state.defaultSink = Text(info->default_sink_name);
        reading->state.defaultSource = Text(info->default_source_name);
    } else {
        reading->failed = true;
    }
    --reading->pending;
}

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* reading = static_cast<Reading*>(userdata);
    if (eol != 0) {
        reading->End(eol);
    } else if (info != nullptr) {
        reading->state.sinks.push_back(EndpointOf(*info));
    }
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* reading = static_cast<Reading*>(userdata);
    if (eol != 0) {
        reading->End(eol);
    } else if (info != nullptr) {
        SoundEndpoint source = EndpointOf(*info);
        source.monitorOf = info->monitor_of_sink;
        reading->state.sources.push_back(std::move(source));
    }
}

void OnCard(pa_context*, const pa_card_info* info, int eol, void* userdata) {
    auto* reading = static_cast<Reading*>(userdata);
    if (eol != 0) {
        reading->End(eol);
        return;
    }
    if (info == nullptr) {
        return;
    }
    SoundCard card;
    card.index = info->index;
    card.name = Text(info->name);
    for (std::uint32_t i = 0; i < info->n_profiles && info->profiles2 != nullptr; ++i) {
        const pa_card_profile_info2* profile = info->profiles2[i];
        if (profile != nullptr) {
            card.profiles.push_back({Text(profile->name), Text(profile->description),
                                     profile->n_sinks, profile->n_sources, profile->priority,
                                     profile->available != 0});
        }
    }
    if (info->active_profile2 != nullptr) {
        card.activeProfile = Text(info->active_profile2->name);
    }
    reading->state.cards.push_back(std::move(card));
}

void OnStream(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
    auto* reading = static_cast<Reading*>(userdata);
    if (eol != 0) {
        reading->End(eol);
    } else if (info != nullptr) {
        reading->state.streams.push_back({info->index, info->sink});
    }
}

// Operations still owned here; cancelled before the records they write into go away.
class Operations {
public:
    ~Operations() {
        for (pa_operation* operation : operations_) {
            pa_operation_cancel(operation);
            pa_operation_unref(operation);
        }
    }
    bool Add(pa_operation* operation) {
        if (operation == nullptr) {
            return false;
        }
        operations_.push_back(operation);
        return true;
    }

private:
    std::vector<pa_operation*> operations_;
};

struct ChangeReply {
    bool done = false;
    bool accepted = false;
};

void OnChangeDone(pa_context*, int success, void* userdata) {
    auto* reply = static_cast<ChangeReply*>(userdata);
    reply->accepted = success != 0;
    reply->done = true;
}

pa_operation* Send(pa_context* context, const SoundChange& change, ChangeReply* reply) {
    const char* target = change.target.c_str();
    const char* value = change.value.c_str();
    switch (change.kind) {
    case SoundChange::Kind::DefaultSink:
        return pa_context_set_default_sink(context, target, OnChangeDone, reply);
    case SoundChange::Kind::DefaultSource:
        return pa_context_set_default_source(context, target, OnChangeDone, reply);
    case SoundChange::Kind::MoveStream:
        return pa_context_move_sink_input_by_name(context, change.stream, value, OnChangeDone,
                                                  reply);
    case SoundChange::Kind::CardProfile:
        return pa_context_set_card_profile_by_name(context, target, value, OnChangeDone, reply);
    case SoundChange::Kind::SinkPort:
        return pa_context_set_sink_port_by_name(context, target, value, OnChangeDone, reply);
    }
    return nullptr;
}

class PulseSoundDevices final : public SoundDevicesBackend {
public:
    std::optional<SoundServerState> Read(std::chrono::milliseconds bound) override {
        PulseSession session(PulseSession::Clock::now() + bound);
        if (!session.Connect()) {
            return std::nullopt;
        }
        pa_context* context = session.Context();
        Reading reading;
        reading.pending = 5;
        Operations operations;
        bool sent =
            operations.Add(pa_context_get_server_info(context, OnServer, &reading)) &&
            operations.Add(pa_context_get_sink_info_list(context, OnSink, &reading)) &&
            operations.Add(pa_context_get_source_info_list(context, OnSource, &reading)) &&
            operations.Add(pa_context_get_card_info_list(context, OnCard, &reading)) &&
            operations.Add(pa_context_get_sink_input_info_list(context, OnStream, &reading));
        if (!sent || !session.RunUntil([&] { return reading.pending == 0; }) || reading.failed) {
            return std::nullopt;
        }
        return std::move(reading.state);
    }

    std::vector<bool> Apply(const std::vector<SoundChange>& changes,
                            std::chrono::milliseconds bound) override {
        std::vector<bool> accepted(changes.size(), false);
        PulseSession session(PulseSession::Clock::now() + bound);
        if (changes.empty() || !session.Connect()) {
            return accepted;
        }
        // One at a time: a stream is moved only after its new sink became the default, and
        // a profile switch has made its sink before the port on that sink is chosen.
        for (std::size_t i = 0; i < changes.size(); ++i) {
            ChangeReply reply;
            Operations operations;
            if (!operations.Add(Send(session.Context(), changes[i], &reply)) ||
                !session.RunUntil([&] { return reply.done; })) {
                break;
            }
            accepted[i] = reply.accepted;
        }
        return accepted;
    }
};

} // namespace

BackendSlot<SoundDevicesBackend>& SoundDevicesSlot() {
    static BackendSlot<SoundDevicesBackend> slot(&MakePulseSoundDevices);
    return slot;
}

std::unique_ptr<SoundDevicesBackend> MakePulseSoundDevices() {
    return std::make_unique<PulseSoundDevices>();
}

} // namespace platform
