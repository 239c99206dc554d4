#pragma once
// Which sound server this session was using, which parts of a PipeWire session are down, and
// what a start does about them, decided from facts the Linux service backend gathers (the
// probe, the runtime folder, the processes, the user units). Pure functions, so the decisions
// can be checked without the servers or a user manager.
//
// A PipeWire session has three parts: the core (`pipewire`), a session manager (`wireplumber`
// or `pipewire-media-session`) and the pulse server (`pipewire-pulse`). The session manager and
// the pulse server are clients of the core: when the core is started again, they are restarted
// with it, since the ones still running hold a connection to a core that is gone. PulseAudio is
// one part, its daemon.

#include "platform/SoundServerUnits.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the session's folders show of the server it was using.
struct SessionTraces {
    // The runtime folder: a pipewire-0 socket or its lock file; PulseAudio's pid file or native
    // socket in the pulse runtime folder.
    bool pipewireRuntime = false;
    bool pulseRuntime = false;
    // The user's configuration and state: PulseAudio's own (default.pa, daemon.conf, its
    // databases and saved default devices), PipeWire's and its session manager's.
    bool pulseConfiguration = false;
    bool pipewireConfiguration = false;
};

// PipeWire when its socket or lock is in the runtime folder (its pulse server leaves a pulse
// folder there too); PulseAudio when only the pulse folder shows one; else nullopt.
std::optional<SoundServer> ServerFromRuntimeFolder(const SessionTraces& traces);

// The one server whose configuration or state the user has; nullopt when neither or both.
std::optional<SoundServer> ServerFromConfiguration(const SessionTraces& traces);

// The server to look after without a user manager: the answering one, else what the runtime
// folder shows, else the configuration, else the installed one (PipeWire first). A server that
// the session shows but that is not installed is not chosen over one that is.
std::optional<SoundServer> ChooseDaemonServer(std::optional<SoundServer> answering,
                                              const SessionTraces& traces, bool pipewireInstalled,
                                              bool pulseaudioInstalled);

// The server whose units "AudioSrv" maps to under a user manager: the answering one, else what
// the runtime folder shows, else the one whose units are enabled, else the configuration, else
// one that is installed, else a masked one (so the importer can unmask it). Only a server with
// units counts. nullopt when neither server has a unit at all.
std::optional<SoundServer> ChooseServerUnits(std::optional<SoundServer> answering,
                                             const SessionTraces& traces,
                                             const ServerUnitFacts& pipewire,
                                             const ServerUnitFacts& pulseaudio);

enum class PipeWirePart { Core, SessionManager, Pulse };

// The part's process name (daemon mode) and unit (under a user manager). sessionManager is the
// session manager's program name.
std::string PartProgram(PipeWirePart part, const std::string& sessionManager);
std::string PartUnit(PipeWirePart part, const std::string& sessionManager);

// What is known of each part of a PipeWire session right now.
struct PipeWireFacts {
    bool coreAnswers = false;          // its socket accepts a connection
    std::string sessionManagerRunning; // the name of the one that runs; empty when none does
    bool pulseAnswers = false;         // the pulse probe answers as PipeWire
    bool pulseProcess = false;         // a pipewire-pulse of this session runs (answering or not)
    // Session managers installed, in the order they are preferred.
    std::vector<std::string> sessionManagersInstalled;
};

// True when every part is up.
bool PipeWireRuns(const PipeWireFacts& facts);

// What a start does, part by part in order (core, session manager, pulse server). A part that
// runs is never started a second time. A part that runs but is stale is restarted (its process
// of this session stopped, then started; under a user manager its unit restarted): the session
// manager and the pulse server when the core is started again, the pulse server when the session
// manager is (a pulse server that outlived its session manager can stop answering new clients
// once a new one comes up and a stream is opened: seen with PipeWire 0.3.65 and WirePlumber
// 0.4.13, for seconds on end, until its older clients go), and a pulse server whose process runs
// but does not answer. Empty when everything runs.
enum class PartAction { Start, Restart };
struct PartStep {
    PipeWirePart part;
    PartAction action;
    bool operator==(const PartStep&) const = default;
};
struct PipeWirePlan {
    std::string sessionManager; // the running one, else the first installed; empty when none
    std::vector<PartStep> steps;
};
PipeWirePlan PlanPipeWireStart(const PipeWireFacts& facts);

} // namespace platform
