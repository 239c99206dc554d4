#include "platform/testing/ScriptedSound.h"

namespace platform::testing {

void ScriptedSound::SetAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    answer_ = answer;
    stall_.Arm(answer == Answer::Stalls);
}

void ScriptedSound::SetPlayTime(std::chrono::milliseconds playTime) {
    std::lock_guard lock(mutex_);
    playTime_ = playTime;
}

void ScriptedSound::SetStallBound(std::chrono::milliseconds bound) {
    std::lock_guard lock(mutex_);
    stallBound_ = bound;
}

void ScriptedSound::SetDuringPlay(std::function<void()> duringPlay) {
    std::lock_guard lock(mutex_);
    duringPlay_ = std::move(duringPlay);
}

std::vector<ScriptedSound::Call> ScriptedSound::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

int ScriptedSound::CallCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(calls_.size());
}

BOOL ScriptedSound::PlaySystemSound(LPCSTR soundName, UINT flags) {
    if (soundName == nullptr) {
        {
            std::lock_guard lock(mutex_);
            ++stops_;
        }
        stopped_.notify_all();
        stall_.Release();
        return 1;
    }
    Answer answer;
    std::chrono::milliseconds playTime;
    std::chrono::milliseconds stallBound;
    std::function<void()> duringPlay;
    int stopsBefore = 0;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({std::string(soundName), flags});
        stopsBefore = stops_;
        answer = answer_;
        playTime = playTime_;
        stallBound = stallBound_;
        duringPlay = duringPlay_;
    }
    if (duringPlay) {
        duringPlay();
    }
    const auto stoppedSince = [&] {
        std::lock_guard lock(mutex_);
        return stops_ != stopsBefore;
    };
    switch (answer) {
    case Answer::Plays: {
        std::unique_lock lock(mutex_);
        return stopped_.wait_for(lock, playTime, [&] { return stops_ != stopsBefore; }) ? 0 : 1;
    }
    case Answer::Fails:
        return 0;
    case Answer::Stalls:
        // Released: the server woke up and the sound finished after all - unless a stop was
        // what released it.
        return stall_.Pass(stallBound) && !stoppedSince() ? 1 : 0;
    }
    return 0;
}

} // namespace platform::testing
