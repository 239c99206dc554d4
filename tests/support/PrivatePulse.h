#pragma once
// A PulseAudio daemon of the test's own: its own HOME, XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH,
// no idle exit, a null sink as its default sink. The test kills only this daemon (by its pid)
// and, at the end, whatever else runs with its runtime folder in its environment - never
// anybody else's. Tests that use it hold the CTest resource lock "pulseaudio".

#include "support/Command.h"
#include "support/PrivateServer.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class PrivatePulse : public PrivateServer {
public:
    PrivatePulse();
    ~PrivatePulse() override; // kills the daemon (and any daemon started in this runtime folder),
                              // restores the environment

    // Starts the daemon and waits (up to 10 s) until it answers. On failure returns false and
    // says why in *error.
    bool Start(std::string* error = nullptr) override;

    // SIGKILL for the daemon this object started, and for a daemon that the code under test
    // started in the same runtime folder (found through its pid file). Waits until it is gone.
    void Kill() override;

    // HOME, XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH of this daemon.
    std::map<std::string, std::string> Environment() const override;

    std::string Name() const override { return "PulseAudio"; }

    // Autospawn off in this daemon's HOME: no client library starts a daemon behind the test's
    // back.
    void TurnOffAutospawn() const;

    const std::string& RuntimeDir() const { return pulseRuntime_; }
    const std::string& Log() const { return logPath_; }

private:
    std::unique_ptr<ScratchDir> root_;
    std::string home_;
    std::string xdgRuntime_;
    std::string pulseRuntime_;
    std::string logPath_;
    pid_t pid_ = -1;
};

} // namespace testing_support
