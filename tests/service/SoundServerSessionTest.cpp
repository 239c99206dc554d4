// Which server the session was using, and what a start does about each part of a PipeWire
// session. The user-manager half of these decisions cannot run here (no user manager), so it is
// checked through the same functions the backend calls.
#include "platform/SoundServerSession.h"

#include <gtest/gtest.h>

namespace {

using platform::PartAction;
using platform::PartStep;
using platform::PipeWireFacts;
using platform::PipeWirePart;
using platform::ServerUnitFacts;
using platform::SessionTraces;
using platform::SoundServer;
using platform::UnitFacts;

constexpr auto kPW = SoundServer::PipeWire;
constexpr auto kPA = SoundServer::PulseAudio;

const SessionTraces kNoTraces{};
const SessionTraces kPipeWireRuntime{true, true, false, false}; // its pulse server's folder too
const SessionTraces kPulseRuntime{false, true, false, false};
const SessionTraces kPulseConfig{false, false, true, false};
const SessionTraces kPipeWireConfig{false, false, false, true};
const SessionTraces kBothConfigs{false, false, true, true};
const SessionTraces kPulseRuntimePipeWireConfig{false, true, false, true};

TEST(SoundServerSession, DaemonModeStartsTheServerTheSessionUsed) {
    struct Case {
        const char* name;
        std::optional<SoundServer> answering;
        SessionTraces traces;
        bool pipewireInstalled;
        bool pulseaudioInstalled;
        std::optional<SoundServer> chosen;
    };
    const Case cases[] = {
        {"the answering server", kPA, kPipeWireRuntime, true, true, kPA},
        {"PipeWire's runtime folder", std::nullopt, kPipeWireRuntime, true, true, kPW},
        {"PulseAudio's runtime folder beats installed PipeWire", std::nullopt, kPulseRuntime, true,
         true, kPA},
        {"the runtime folder beats the configuration", std::nullopt, kPulseRuntimePipeWireConfig,
         true, true, kPA},
        {"PulseAudio's configuration", std::nullopt, kPulseConfig, true, true, kPA},
        {"PipeWire's configuration", std::nullopt, kPipeWireConfig, true, true, kPW},
        {"both configurations say nothing", std::nullopt, kBothConfigs, true, true, kPW},
        {"no traces: PipeWire first", std::nullopt, kNoTraces, true, true, kPW},
        {"no traces, only PulseAudio installed", std::nullopt, kNoTraces, false, true, kPA},
        {"a trace of a server that is gone", std::nullopt, kPulseRuntime, true, false, kPW},
        {"nothing installed", std::nullopt, kPulseRuntime, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ChooseDaemonServer(c.answering, c.traces, c.pipewireInstalled,
                                               c.pulseaudioInstalled),
                  c.chosen);
    }
}

const UnitFacts kNotFound{"not-found", "inactive", ""};
const UnitFacts kDisabled{"loaded", "inactive", "disabled"};
const UnitFacts kEnabled{"loaded", "inactive", "enabled"};
const ServerUnitFacts kBothEnabled{kEnabled, kEnabled};
const ServerUnitFacts kBothDisabled{kDisabled, kDisabled};
const ServerUnitFacts kNone{kNotFound, kNotFound};

TEST(SoundServerSession, UnitModeWeighsTheSessionAgainstTheEnabledUnits) {
    struct Case {
        const char* name;
        SessionTraces traces;
        ServerUnitFacts pipewire;
        ServerUnitFacts pulseaudio;
        std::optional<SoundServer> chosen;
    };
    const Case cases[] = {
        {"the runtime folder beats enabled units", kPulseRuntime, kBothEnabled, kBothDisabled, kPA},
        {"a runtime folder of a server without units", kPulseRuntime, kBothEnabled, kNone, kPW},
        {"enabled units beat the configuration", kPulseConfig, kBothEnabled, kBothDisabled, kPW},
        {"both enabled: the configuration decides", kPulseConfig, kBothEnabled, kBothEnabled, kPA},
        {"both enabled, no traces: PipeWire", kNoTraces, kBothEnabled, kBothEnabled, kPW},
        {"neither enabled: the configuration decides", kPulseConfig, kBothDisabled, kBothDisabled,
         kPA},
        {"neither enabled, no traces: installed, PipeWire first", kNoTraces, kBothDisabled,
         kBothDisabled, kPW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ChooseServerUnits(std::nullopt, c.traces, c.pipewire, c.pulseaudio),
                  c.chosen);
    }
}

TEST(SoundServerSession, TheRuntimeFolderAndTheConfigurationNameAServer) {
    EXPECT_EQ(platform::ServerFromRuntimeFolder(kPipeWireRuntime), kPW);
    EXPECT_EQ(platform::ServerFromRuntimeFolder({true, false, false, false}), kPW)
        << "a core without its pulse server yet";
    EXPECT_EQ(platform::ServerFromRuntimeFolder(kPulseRuntime), kPA);
    EXPECT_EQ(platform::ServerFromRuntimeFolder(kPulseConfig), std::nullopt);
    EXPECT_EQ(platform::ServerFromConfiguration(kPulseConfig), kPA);
    EXPECT_EQ(platform::ServerFromConfiguration(kPipeWireConfig), kPW);
    EXPECT_EQ(platform::ServerFromConfiguration(kBothConfigs), std::nullopt);
    EXPECT_EQ(platform::ServerFromConfiguration(kNoTraces), std::nullopt);
}

constexpr PartStep StartCore{PipeWirePart::Core, PartAction::Start};
constexpr PartStep StartManager{PipeWirePart::SessionManager, PartAction::Start};
constexpr PartStep RestartManager{PipeWirePart::SessionManager, PartAction::Restart};
constexpr PartStep StartPulse{PipeWirePart::Pulse, PartAction::Start};
constexpr PartStep RestartPulse{PipeWirePart::Pulse, PartAction::Restart};

TEST(SoundServerSession, AStartTouchesOnlyThePartsThatAreDownOrStale) {
    const std::vector<std::string> wireplumber{"wireplumber", "pipewire-media-session"};
    struct Case {
        const char* name;
        PipeWireFacts facts;
        bool runs;
        std::string sessionManager;
        std::vector<PartStep> steps;
    };
    const Case cases[] = {
        {"everything runs",
         {true, "wireplumber", true, true, wireplumber},
         true,
         "wireplumber",
         {}},
        {"only the pulse server died",
         {true, "wireplumber", false, false, wireplumber},
         false,
         "wireplumber",
         {StartPulse}},
        {"only the session manager died: the pulse server is restarted with it",
         {true, "", true, true, wireplumber},
         false,
         "wireplumber",
         {StartManager, RestartPulse}},
        {"the other session manager runs",
         {true, "pipewire-media-session", false, false, wireplumber},
         false,
         "pipewire-media-session",
         {StartPulse}},
        {"only media-session installed",
         {true, "", true, true, {"pipewire-media-session"}},
         false,
         "pipewire-media-session",
         {StartManager, RestartPulse}},
        {"the core died: its clients still run and are restarted with it",
         {false, "wireplumber", true, true, wireplumber},
         false,
         "wireplumber",
         {StartCore, RestartManager, RestartPulse}},
        {"the core and the pulse server died",
         {false, "wireplumber", false, false, wireplumber},
         false,
         "wireplumber",
         {StartCore, RestartManager, StartPulse}},
        {"all three died",
         {false, "", false, false, wireplumber},
         false,
         "wireplumber",
         {StartCore, StartManager, StartPulse}},
        {"a pulse server that runs but does not answer",
         {true, "wireplumber", false, true, wireplumber},
         false,
         "wireplumber",
         {RestartPulse}},
        {"no session manager installed", {true, "", true, true, {}}, false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::PipeWireRuns(c.facts), c.runs);
        const platform::PipeWirePlan plan = platform::PlanPipeWireStart(c.facts);
        EXPECT_EQ(plan.sessionManager, c.sessionManager);
        EXPECT_EQ(plan.steps, c.steps);
    }
}

TEST(SoundServerSession, EachPartHasItsProgramAndUnit) {
    EXPECT_EQ(platform::PartUnit(PipeWirePart::Core, "wireplumber"), "pipewire.service");
    EXPECT_EQ(platform::PartUnit(PipeWirePart::SessionManager, "wireplumber"),
              "wireplumber.service");
    EXPECT_EQ(platform::PartUnit(PipeWirePart::SessionManager, "pipewire-media-session"),
              "pipewire-media-session.service");
    EXPECT_EQ(platform::PartUnit(PipeWirePart::Pulse, "wireplumber"), "pipewire-pulse.service");
    EXPECT_EQ(platform::PartProgram(PipeWirePart::Pulse, ""), "pipewire-pulse");
}

} // namespace
