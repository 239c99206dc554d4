#pragma once
// A sound backend that plays nothing: every call is recorded and answered as scripted - the
// sound plays (after a scripted playing time), fails, or stalls until released or until the
// bound the real backend gives up after (then it counts as not played). A call with a null
// name is a stop, counted apart: the play in progress ends at once as not played.

#include "platform/Sound.h"
#include "platform/testing/ScriptedStall.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::testing {

class ScriptedSound final : public SoundBackend {
public:
    enum class Answer { Plays, Fails, Stalls };

    struct Call {
        std::optional<std::string> name; // nullopt for a null name
        UINT flags = 0;
    };

    void SetAnswer(Answer answer);
    void SetPlayTime(std::chrono::milliseconds playTime);
    void SetStallBound(std::chrono::milliseconds bound);
    // Runs inside every call before it answers, on the caller's thread (a test cancels a scan
    // "while the sound plays" from here).
    void SetDuringPlay(std::function<void()> duringPlay);

    ScriptedStall& Stall() { return stall_; }

    std::vector<Call> Calls() const; // the plays, not the stops
    int CallCount() const;

    BOOL PlaySystemSound(LPCSTR soundName, UINT flags) override;

private:
    mutable std::mutex mutex_;
    Answer answer_ = Answer::Plays;
    std::chrono::milliseconds playTime_{0};
    std::chrono::milliseconds stallBound_{kSoundGrace};
    std::function<void()> duringPlay_;
    std::vector<Call> calls_;
    int stops_ = 0;
    std::condition_variable stopped_;
    ScriptedStall stall_;
};

} // namespace platform::testing
