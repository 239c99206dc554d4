#include "engine/DeviceStatus.h"

#include <algorithm>

using platform::CardProfile;
using platform::kNoIndex;
using platform::PortAvailable;
using platform::SoundCard;
using platform::SoundChange;
using platform::SoundEndpoint;
using platform::SoundPort;
using platform::SoundServerState;

namespace {

const SoundEndpoint* FindByName(const std::vector<SoundEndpoint>& list, const std::string& name) {
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const SoundEndpoint& e) { return e.name == name; });
    return found == list.end() ? nullptr : &*found;
}

const SoundEndpoint* FindByIndex(const std::vector<SoundEndpoint>& list, std::uint32_t index) {
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const SoundEndpoint& e) { return e.index == index; });
    return found == list.end() ? nullptr : &*found;
}

bool HasRealSink(const SoundServerState& state) {
    return std::any_of(state.sinks.begin(), state.sinks.end(),
                       [](const SoundEndpoint& sink) { return !IsDummySink(sink); });
}

// The default sink when it exists and is not the dummy.
const SoundEndpoint* RealDefaultSink(const SoundServerState& state) {
    const SoundEndpoint* sink = FindByName(state.sinks, state.defaultSink);
    return sink != nullptr && !IsDummySink(*sink) ? sink : nullptr;
}

const SoundPort* ActivePort(const SoundEndpoint& endpoint) {
    for (const SoundPort& port : endpoint.ports) {
        if (port.name == endpoint.activePort) {
            return &port;
        }
    }
    return nullptr;
}

// The port to switch to: one that is plugged in before one that cannot tell (laptop speakers
// have no jack detection), then the one ranked highest; never one that is unplugged.
const SoundPort* BestPluggedPort(const SoundEndpoint& endpoint) {
    auto rank = [](const SoundPort& port) { return port.available == PortAvailable::Yes ? 1 : 0; };
    const SoundPort* best = nullptr;
    for (const SoundPort& port : endpoint.ports) {
        if (port.available == PortAvailable::No || port.name == endpoint.activePort) {
            continue;
        }
        if (best == nullptr || rank(port) > rank(*best) ||
            (rank(port) == rank(*best) && port.priority > best->priority)) {
            best = &port;
        }
    }
    return best;
}

bool Unplugged(const SoundEndpoint& endpoint) {
    const SoundPort* active = ActivePort(endpoint);
    return active != nullptr && active->available == PortAvailable::No &&
           BestPluggedPort(endpoint) != nullptr;
}

const CardProfile* ActiveProfile(const SoundCard& card) {
    for (const CardProfile& profile : card.profiles) {
        if (profile.name == card.activeProfile) {
            return &profile;
        }
    }
    return nullptr;
}

// The available profile with an output that the card ranks highest, or nullptr.
const CardProfile* BestOutputProfile(const SoundCard& card) {
    const CardProfile* best = nullptr;
    for (const CardProfile& profile : card.profiles) {
        if (profile.available && profile.sinks > 0 &&
            (best == nullptr || profile.priority > best->priority)) {
            best = &profile;
        }
    }
    return best;
}

bool CardPlays(const SoundCard& card) {
    const CardProfile* active = ActiveProfile(card);
    return active != nullptr && active->sinks > 0;
}

// A card plays through one of its sinks; while one does, another card that is off was turned
// off on purpose (the unused HDMI output beside the speakers).
bool AnyCardPlays(const SoundServerState& state) {
    return std::any_of(state.sinks.begin(), state.sinks.end(),
                       [](const SoundEndpoint& sink) { return sink.card != kNoIndex; }) ||
           std::any_of(state.cards.begin(), state.cards.end(), CardPlays);
}

// The card to switch on: of those that play nothing, the one whose best output profile ranks
// highest.
const SoundCard* CardToSwitchOn(const SoundServerState& state) {
    if (AnyCardPlays(state)) {
        return nullptr;
    }
    const SoundCard* chosen = nullptr;
    for (const SoundCard& card : state.cards) {
        const CardProfile* best = BestOutputProfile(card);
        if (best != nullptr &&
            (chosen == nullptr || best->priority > BestOutputProfile(*chosen)->priority)) {
            chosen = &card;
        }
    }
    return chosen;
}

// Where sound should go: a card's sink before a virtual one, one with something plugged in
// before one without, then the server's own order.
const SoundEndpoint* BestRealSink(const SoundServerState& state) {
    const SoundEndpoint* best = nullptr;
    auto rank = [](const SoundEndpoint& sink) {
        const SoundPort* active = ActivePort(sink);
        bool plugged = active == nullptr || active->available != PortAvailable::No;
        return (sink.card != kNoIndex ? 2 : 0) + (plugged ? 1 : 0);
    };
    for (const SoundEndpoint& sink : state.sinks) {
        if (!IsDummySink(sink) && (best == nullptr || rank(sink) > rank(*best))) {
            best = &sink;
        }
    }
    return best;
}

// A microphone to record from: a card's source before a virtual one; never a monitor.
const SoundEndpoint* BestRealSource(const SoundServerState& state) {
    const SoundEndpoint* best = nullptr;
    for (const SoundEndpoint& source : state.sources) {
        if (source.monitorOf == kNoIndex &&
            (best == nullptr || (best->card == kNoIndex && source.card != kNoIndex))) {
            best = &source;
        }
    }
    return best;
}

bool SourceNeedsMending(const SoundServerState& state) {
    const SoundEndpoint* source = FindByName(state.sources, state.defaultSource);
    if (source == nullptr) {
        return true;
    }
    const SoundEndpoint* monitored = FindByIndex(state.sinks, source->monitorOf);
    return monitored != nullptr && IsDummySink(*monitored);
}

} // namespace

bool IsDummySink(const SoundEndpoint& sink) {
    return sink.name == "auto_null" &&
           (sink.driver == "module-null-sink.c" || sink.factory == "support.null-audio-sink");
}

TDeviceStatus AssessDeviceStatus(const SoundServerState& state) {
    TDeviceStatus status;
    const bool realSink = HasRealSink(state);
    status.OutputSwitchedOff = CardToSwitchOn(state) != nullptr;
    status.NoOutputDevice = !realSink && !status.OutputSwitchedOff;
    status.OutputToDummy = realSink && RealDefaultSink(state) == nullptr;
    const SoundEndpoint* sink = RealDefaultSink(state);
    status.OutputUnplugged = sink != nullptr && Unplugged(*sink);
    return status;
}

std::vector<SoundChange> PlanCardRepair(const SoundServerState& state) {
    std::vector<SoundChange> changes;
    if (const SoundCard* card = CardToSwitchOn(state)) {
        changes.push_back(
            {SoundChange::Kind::CardProfile, card->name, BestOutputProfile(*card)->name});
    }
    return changes;
}

std::vector<SoundChange> PlanRoutingRepair(const SoundServerState& state) {
    std::vector<SoundChange> changes;
    const SoundEndpoint* sink = RealDefaultSink(state);
    if (sink == nullptr) {
        const SoundEndpoint* best = BestRealSink(state);
        if (best == nullptr) {
            return changes; // nothing to play to: no change can help
        }
        changes.push_back({SoundChange::Kind::DefaultSink, best->name, {}});
        // Streams left on the dummy (or on a sink that is gone) follow; a stream somebody sent
        // to another real sink stays where it is.
        for (const platform::SoundStream& stream : state.streams) {
            const SoundEndpoint* on = FindByIndex(state.sinks, stream.sink);
            if (on == nullptr || IsDummySink(*on)) {
                changes.push_back({SoundChange::Kind::MoveStream, {}, best->name, stream.index});
            }
        }
        if (SourceNeedsMending(state)) {
            if (const SoundEndpoint* source = BestRealSource(state)) {
                changes.push_back({SoundChange::Kind::DefaultSource, source->name, {}});
            }
        }
        sink = best;
    }
    if (Unplugged(*sink)) {
        changes.push_back({SoundChange::Kind::SinkPort, sink->name, BestPluggedPort(*sink)->name});
    }
    return changes;
}
