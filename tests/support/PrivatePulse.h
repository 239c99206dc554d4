#pragma once
// A PulseAudio daemon of the test's own: its own HOME, XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH,
// no idle exit, a null sink as its default sink. The test kills only this daemon (by its pid),
// never anybody else's. Tests that use it hold the CTest resource lock "pulseaudio".

#include "support/Command.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class PrivatePulse {
public:
    PrivatePulse();
    ~PrivatePulse(); // kills the daemon (and any daemon started in this runtime folder), restores
                     // the environment
    PrivatePulse(const PrivatePulse&) = delete;
    PrivatePulse& operator=(const PrivatePulse&) = delete;

    // Starts the daemon and waits (up to 10 s) until it answers. On failure returns false and
    // says why in *error.
    bool Start(std::string* error = nullptr);

    // SIGKILL for the daemon this object started, and for a daemon that the code under test
    // started in the same runtime folder (found through its pid file). Waits until it is gone.
    void Kill();

    // True while a daemon answers in this runtime folder.
    bool Answers() const;

    // HOME, XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH of this daemon.
    std::map<std::string, std::string> Environment() const;

    // Puts Environment() into this process's environment, so libpulse and the ALSA pulse plugin
    // of the code under test reach this daemon. The destructor restores the previous values.
    void ApplyToProcess();

    // pactl with this daemon's environment.
    CommandResult Pactl(const std::vector<std::string>& args) const;

    // The default sink's volume of its first channel (0..65536 and above) and its mute state,
    // read with pactl; nullopt when they cannot be read.
    std::optional<long> SinkVolume() const;
    std::optional<bool> SinkMuted() const;

    const std::string& RuntimeDir() const { return pulseRuntime_; }
    const std::string& Log() const { return logPath_; }

private:
    std::unique_ptr<ScratchDir> root_;
    std::string home_;
    std::string xdgRuntime_;
    std::string pulseRuntime_;
    std::string logPath_;
    pid_t pid_ = -1;
    bool applied_ = false;
    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace testing_support
