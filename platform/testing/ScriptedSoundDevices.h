#pragma once
// A sound server's devices as a test scripts them. Read hands out the scripted state (or
// nothing, as a server that does not answer); Apply records each change and carries it out on
// that state the way a server would, so a re-check sees the repair: a default that names an
// existing sink or source is taken, a stream moves, a port is chosen, and a card switched to a
// profile with an output gets a sink of its own.

#include "platform/SoundDevices.h"
#include "platform/testing/ScriptedStall.h"

#include <mutex>
#include <optional>
#include <vector>

namespace platform::testing {

class ScriptedSoundDevices final : public SoundDevicesBackend {
public:
    // nullopt: no server answers.
    void SetState(std::optional<SoundServerState> state);
    std::optional<SoundServerState> State() const;
    // The server goes away after this many more changes (the rest are refused, and it no
    // longer answers).
    void VanishAfter(int changes);

    // Armed, a Read hangs as a frozen server makes it hang: until released, or until its bound
    // (then nothing was read).
    ScriptedStall& Stall() { return stall_; }

    std::vector<SoundChange> Applied() const;
    int ReadCount() const;

    std::optional<SoundServerState> Read(std::chrono::milliseconds bound) override;
    std::vector<bool> Apply(const std::vector<SoundChange>& changes,
                            std::chrono::milliseconds bound) override;

private:
    bool Carry(const SoundChange& change);

    ScriptedStall stall_;
    mutable std::mutex mutex_;
    std::optional<SoundServerState> state_;
    std::vector<SoundChange> applied_;
    int reads_ = 0;
    int vanishAfter_ = -1;
};

} // namespace platform::testing
