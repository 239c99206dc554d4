#include "platform/SoundServerSession.h"

namespace platform {

namespace {

bool Loaded(const ServerUnitFacts& facts) {
    return facts.service.loadState == "loaded" || facts.socket.loadState == "loaded";
}

bool Enabled(const UnitFacts& unit) {
    return unit.loadState == "loaded" &&
           (unit.unitFileState == "enabled" || unit.unitFileState == "enabled-runtime");
}

bool Enabled(const ServerUnitFacts& facts) {
    return Enabled(facts.service) || Enabled(facts.socket);
}

constexpr SoundServer kOrder[] = {SoundServer::PipeWire, SoundServer::PulseAudio};

} // namespace

std::optional<SoundServer> ServerFromRuntimeFolder(const SessionTraces& traces) {
    if (traces.pipewireRuntime) {
        return SoundServer::PipeWire;
    }
    if (traces.pulseRuntime) {
        return SoundServer::PulseAudio;
    }
    return std::nullopt;
}

std::optional<SoundServer> ServerFromConfiguration(const SessionTraces& traces) {
    if (traces.pipewireConfiguration == traces.pulseConfiguration) {
        return std::nullopt;
    }
    return traces.pipewireConfiguration ? SoundServer::PipeWire : SoundServer::PulseAudio;
}

std::optional<SoundServer> ChooseDaemonServer(std::optional<SoundServer> answering,
                                              const SessionTraces& traces, bool pipewireInstalled,
                                              bool pulseaudioInstalled) {
    if (answering) {
        return answering;
    }
    auto installed = [&](SoundServer server) {
        return server == SoundServer::PipeWire ? pipewireInstalled : pulseaudioInstalled;
    };
    for (std::optional<SoundServer> used :
         {ServerFromRuntimeFolder(traces), ServerFromConfiguration(traces)}) {
        if (used && installed(*used)) {
            return used;
        }
    }
    for (SoundServer server : kOrder) {
        if (installed(server)) {
            return server;
        }
    }
    return std::nullopt;
}

std::optional<SoundServer> ChooseServerUnits(std::optional<SoundServer> answering,
                                             const SessionTraces& traces,
                                             const ServerUnitFacts& pipewire,
                                             const ServerUnitFacts& pulseaudio) {
    auto factsOf = [&](SoundServer server) -> const ServerUnitFacts& {
        return server == SoundServer::PipeWire ? pipewire : pulseaudio;
    };
    auto usable = [&](std::optional<SoundServer> server) {
        return server && Loaded(factsOf(*server));
    };
    if (answering && HasUnits(factsOf(*answering))) {
        return answering;
    }
    if (std::optional<SoundServer> used = ServerFromRuntimeFolder(traces); usable(used)) {
        return used;
    }
    // Where both are enabled, PipeWire goes first: a system that has both set up the same way
    // is a current desktop that moved to PipeWire and kept PulseAudio around.
    const bool pipewireEnabled = Enabled(pipewire);
    const bool pulseaudioEnabled = Enabled(pulseaudio);
    if (pipewireEnabled != pulseaudioEnabled) {
        return pipewireEnabled ? SoundServer::PipeWire : SoundServer::PulseAudio;
    }
    if (std::optional<SoundServer> used = ServerFromConfiguration(traces); usable(used)) {
        return used;
    }
    if (pipewireEnabled) {
        return SoundServer::PipeWire;
    }
    for (SoundServer server : kOrder) {
        if (Loaded(factsOf(server))) {
            return server;
        }
    }
    for (SoundServer server : kOrder) {
        if (HasUnits(factsOf(server))) {
            return server;
        }
    }
    return std::nullopt;
}

std::string PartProgram(PipeWirePart part, const std::string& sessionManager) {
    switch (part) {
    case PipeWirePart::Core:
        return "pipewire";
    case PipeWirePart::SessionManager:
        return sessionManager;
    case PipeWirePart::Pulse:
        return "pipewire-pulse";
    }
    return {};
}

std::string PartUnit(PipeWirePart part, const std::string& sessionManager) {
    return PartProgram(part, sessionManager) + ".service";
}

bool PipeWireRuns(const PipeWireFacts& facts) {
    return facts.coreAnswers && !facts.sessionManagerRunning.empty() && facts.pulseAnswers;
}

PipeWirePlan PlanPipeWireStart(const PipeWireFacts& facts) {
    PipeWirePlan plan;
    plan.sessionManager = facts.sessionManagerRunning;
    if (plan.sessionManager.empty() && !facts.sessionManagersInstalled.empty()) {
        plan.sessionManager = facts.sessionManagersInstalled.front();
    }
    const bool coreStarts = !facts.coreAnswers;
    const bool managerStarts = facts.sessionManagerRunning.empty() && !plan.sessionManager.empty();
    if (coreStarts) {
        plan.steps.push_back({PipeWirePart::Core, PartAction::Start});
    }
    if (!facts.sessionManagerRunning.empty()) {
        if (coreStarts) {
            plan.steps.push_back({PipeWirePart::SessionManager, PartAction::Restart});
        }
    } else if (!plan.sessionManager.empty()) {
        plan.steps.push_back({PipeWirePart::SessionManager, PartAction::Start});
    }
    if (facts.pulseProcess && (coreStarts || managerStarts || !facts.pulseAnswers)) {
        plan.steps.push_back({PipeWirePart::Pulse, PartAction::Restart});
    } else if (!facts.pulseAnswers) {
        plan.steps.push_back({PipeWirePart::Pulse, PartAction::Start});
    }
    return plan;
}

} // namespace platform
