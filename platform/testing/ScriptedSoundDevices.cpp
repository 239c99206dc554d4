#include "platform/testing/ScriptedSoundDevices.h"

#include <algorithm>

namespace platform::testing {

namespace {

template <class List, class Pred> auto* Find(List& list, Pred pred) {
    auto found = std::find_if(list.begin(), list.end(), pred);
    return found == list.end() ? nullptr : &*found;
}

bool HasPort(const SoundEndpoint& endpoint, const std::string& port) {
    return std::any_of(endpoint.ports.begin(), endpoint.ports.end(),
                       [&](const SoundPort& p) { return p.name == port; });
}

} // namespace

void ScriptedSoundDevices::SetState(std::optional<SoundServerState> state) {
    std::lock_guard lock(mutex_);
    state_ = std::move(state);
}

std::optional<SoundServerState> ScriptedSoundDevices::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void ScriptedSoundDevices::VanishAfter(int changes) {
    std::lock_guard lock(mutex_);
    vanishAfter_ = changes;
}

std::vector<SoundChange> ScriptedSoundDevices::Applied() const {
    std::lock_guard lock(mutex_);
    return applied_;
}

int ScriptedSoundDevices::ReadCount() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

std::optional<SoundServerState> ScriptedSoundDevices::Read(std::chrono::milliseconds bound) {
    if (!stall_.Pass(bound)) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    ++reads_;
    return state_;
}

std::vector<bool> ScriptedSoundDevices::Apply(const std::vector<SoundChange>& changes,
                                              std::chrono::milliseconds) {
    std::lock_guard lock(mutex_);
    std::vector<bool> accepted;
    for (const SoundChange& change : changes) {
        if (vanishAfter_ == 0) {
            state_.reset();
        }
        if (vanishAfter_ > 0) {
            --vanishAfter_;
        }
        accepted.push_back(state_.has_value() && Carry(change));
        applied_.push_back(change);
    }
    return accepted;
}

bool ScriptedSoundDevices::Carry(const SoundChange& change) {
    SoundServerState& state = *state_;
    auto named = [&](const std::string& name) {
        return [&name](const SoundEndpoint& e) { return e.name == name; };
    };
    switch (change.kind) {
    case SoundChange::Kind::DefaultSink:
        if (Find(state.sinks, named(change.target)) == nullptr) {
            return false;
        }
        state.defaultSink = change.target;
        return true;
    case SoundChange::Kind::DefaultSource:
        if (Find(state.sources, named(change.target)) == nullptr) {
            return false;
        }
        state.defaultSource = change.target;
        return true;
    case SoundChange::Kind::MoveStream: {
        SoundEndpoint* sink = Find(state.sinks, named(change.value));
        SoundStream* stream =
            Find(state.streams, [&](const SoundStream& s) { return s.index == change.stream; });
        if (sink == nullptr || stream == nullptr) {
            return false;
        }
        stream->sink = sink->index;
        return true;
    }
    case SoundChange::Kind::SinkPort: {
        SoundEndpoint* sink = Find(state.sinks, named(change.target));
        if (sink == nullptr || !HasPort(*sink, change.value)) {
            return false;
        }
        sink->activePort = change.value;
        return true;
    }
    case SoundChange::Kind::CardProfile: {
        SoundCard* card =
            Find(state.cards, [&](const SoundCard& c) { return c.name == change.target; });
        if (card == nullptr) {
            return false;
        }
        CardProfile* profile =
            Find(card->profiles, [&](const CardProfile& p) { return p.name == change.value; });
        if (profile == nullptr || !profile->available) {
            return false;
        }
        card->activeProfile = profile->name;
        std::erase_if(state.sinks, [&](const SoundEndpoint& s) { return s.card == card->index; });
        if (profile->sinks > 0) {
            SoundEndpoint sink;
            sink.name = card->name + "." + profile->name;
            sink.driver = "module-alsa-card.c";
            sink.card = card->index;
            sink.index = 1000 + card->index;
            state.sinks.push_back(sink);
        }
        return true;
    }
    }
    return false;
}

} // namespace platform::testing
