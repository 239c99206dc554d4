#pragma once
// A PipeWire session of the test's own: its own HOME, XDG_RUNTIME_DIR (mode 0700) and session
// bus, and pipewire, wireplumber and pipewire-pulse started as its children, each in a process
// group of its own. Everything it kills is found through this session: a pid it started, or a
// process whose /proc/PID/environ carries this session's XDG_RUNTIME_DIR - never anybody
// else's server. Tests that use it hold the CTest resource lock "pulseaudio".
//
// With no sink of its own, pipewire-pulse makes the dummy sink "auto_null" ("Dummy Output",
// factory support.null-audio-sink, node.virtual true). The session can instead have a null sink
// that is not the dummy, named "tm_null", as its default:
//  - Sink::Loaded: loaded through the pulse server (pactl load-module module-null-sink). It
//    belongs to pipewire-pulse and goes away with it (auto_null takes its place).
//  - Sink::Configured: made by the PipeWire core from the session's own configuration
//    (~/.config/pipewire/pipewire.conf.d), so it outlives a restart of the pulse server or of
//    the session manager, and comes back with a restarted core.

#include "support/Command.h"
#include "support/PrivateServer.h"

#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class PrivatePipeWire : public PrivateServer {
public:
    enum class Sink { None, Loaded, Configured };

    // The parts of the session, by their process names.
    static constexpr const char* kCore = "pipewire";
    static constexpr const char* kSessionManager = "wireplumber";
    static constexpr const char* kPulse = "pipewire-pulse";

    explicit PrivatePipeWire(Sink sink = Sink::Configured);
    ~PrivatePipeWire() override; // kills every process of this session and its bus, restores the
                                 // environment

    // Starts the session bus (once) and each part of which no process of this session runs,
    // then waits (up to 15 s, starting again any part that quits meanwhile) until pactl answers
    // and the default sink is the session's own (or the dummy, without one).
    bool Start(std::string* error = nullptr) override;

    // SIGKILL for every part (pipewire, pipewire-media-session, wireplumber, pipewire-pulse) of
    // this session, whoever started it; the bus stays. Waits until they are gone.
    void Kill() override;

    // SIGKILL for this session's processes of one part; waits until they are gone. Returns how
    // many there were.
    int KillPart(const std::string& name);

    // How many live processes of this session have this name.
    int CountPart(const std::string& name) const;

    // The live processes of this session (its runtime folder in their environment), this test
    // process excepted; with a name, only those.
    std::vector<pid_t> Processes(const std::string& name = "") const;
    static std::vector<pid_t> ProcessesIn(const std::string& runtimeDir,
                                          const std::string& name = "");

    // HOME, XDG_RUNTIME_DIR, XDG_CONFIG_HOME, XDG_STATE_HOME, PULSE_RUNTIME_PATH and, once the
    // bus runs, DBUS_SESSION_BUS_ADDRESS.
    std::map<std::string, std::string> Environment() const override;

    std::string Name() const override { return "PipeWire"; }

    const std::string& RuntimeDir() const { return xdgRuntime_; }
    const std::string& Home() const { return home_; }
    const std::string& Log() const { return logPath_; }

private:
    bool StartBus(std::string* error);
    pid_t Spawn(const std::string& program);
    void Reap();
    // Somebody listens at the socket (a stale socket file refuses the connection).
    static bool TakesConnections(const std::string& socketPath);

    Sink sink_;
    std::unique_ptr<ScratchDir> root_;
    std::string home_;
    std::string xdgRuntime_;
    std::string logPath_;
    std::string busAddress_;
    pid_t busPid_ = -1;
    std::map<pid_t, std::string> children_; // by pid, the program started
};

} // namespace testing_support
