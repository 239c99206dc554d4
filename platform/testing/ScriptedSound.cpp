#include "platform/testing/ScriptedSound.h"

#include <thread>

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
    Answer answer;
    std::chrono::milliseconds playTime;
    std::chrono::milliseconds stallBound;
    std::function<void()> duringPlay;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(
            {soundName != nullptr ? std::optional<std::string>(soundName) : std::nullopt, flags});
        answer = answer_;
        playTime = playTime_;
        stallBound = stallBound_;
        duringPlay = duringPlay_;
    }
    if (duringPlay) {
        duringPlay();
    }
    switch (answer) {
    case Answer::Plays:
        if (playTime.count() > 0) {
            std::this_thread::sleep_for(playTime);
        }
        return 1;
    case Answer::Fails:
        return 0;
    case Answer::Stalls:
        // Released: the server woke up and the sound finished after all.
        return stall_.Pass(stallBound) ? 1 : 0;
    }
    return 0;
}

} // namespace platform::testing
