// Which sound server "AudioSrv" stands for under a systemd user manager, what state that gives,
// and the check points made up for a start. These decisions run without a user manager here.
#include "platform/SoundServerUnits.h"

#include "platform/ServiceStartJob.h"
#include "platform/SoundServerSession.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using platform::ServerUnitFacts;
using platform::SoundServer;
using platform::UnitFacts;

const UnitFacts kNotFound{"not-found", "inactive", ""};
const UnitFacts kMasked{"masked", "inactive", "masked"};
const UnitFacts kDisabled{"loaded", "inactive", "disabled"};
const UnitFacts kEnabled{"loaded", "inactive", "enabled"};
const UnitFacts kEnabledActive{"loaded", "active", "enabled"};
const UnitFacts kStatic{"loaded", "inactive", "static"};
const UnitFacts kUnknown{"", "", ""};

TEST(SoundServerUnits, ChoosesAnsweringThenEnabledThenInstalledThenMasked) {
    struct Case {
        const char* name;
        std::optional<SoundServer> answering;
        ServerUnitFacts pipewire;
        ServerUnitFacts pulseaudio;
        std::optional<SoundServer> chosen;
    };
    const Case cases[] = {
        {"the answering server wins over an enabled one",
         SoundServer::PulseAudio,
         {kEnabled, kEnabled},
         {kDisabled, kDisabled},
         SoundServer::PulseAudio},
        {"PipeWire answering",
         SoundServer::PipeWire,
         {kDisabled, kDisabled},
         {kEnabled, kEnabled},
         SoundServer::PipeWire},
        {"an answering server without units does not count",
         SoundServer::PipeWire,
         {kNotFound, kNotFound},
         {kEnabled, kDisabled},
         SoundServer::PulseAudio},
        {"enabled beats installed",
         std::nullopt,
         {kDisabled, kDisabled},
         {kEnabled, kDisabled},
         SoundServer::PulseAudio},
        {"an enabled socket is enough",
         std::nullopt,
         {kDisabled, kDisabled},
         {kStatic, kEnabled},
         SoundServer::PulseAudio},
        {"both enabled: PipeWire",
         std::nullopt,
         {kEnabled, kEnabled},
         {kEnabled, kEnabled},
         SoundServer::PipeWire},
        {"installed beats masked",
         std::nullopt,
         {kMasked, kMasked},
         {kDisabled, kNotFound},
         SoundServer::PulseAudio},
        {"a masked server is still chosen, to be unmasked",
         std::nullopt,
         {kNotFound, kNotFound},
         {kMasked, kMasked},
         SoundServer::PulseAudio},
        {"a masked enabled-looking unit is not enabled",
         std::nullopt,
         {{"masked", "inactive", "enabled"}, kNotFound},
         {kDisabled, kNotFound},
         SoundServer::PulseAudio},
        {"no units at all",
         std::nullopt,
         {kNotFound, kNotFound},
         {kNotFound, kNotFound},
         std::nullopt},
        {"a manager that told nothing",
         SoundServer::PulseAudio,
         {kUnknown, kUnknown},
         {kUnknown, kUnknown},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ChooseServerUnits(c.answering, {}, c.pipewire, c.pulseaudio), c.chosen);
    }
}

TEST(SoundServerUnits, ServiceOpensOnlyWhenItsUnitIsLoaded) {
    EXPECT_TRUE(platform::ServiceUnitOpens({kDisabled, kNotFound}));
    EXPECT_TRUE(platform::ServiceUnitOpens({kEnabledActive, kMasked}));
    EXPECT_FALSE(platform::ServiceUnitOpens({kMasked, kEnabled}));
    EXPECT_FALSE(platform::ServiceUnitOpens({kNotFound, kEnabled}));
    EXPECT_FALSE(platform::ServiceUnitOpens({{"bad-setting", "inactive", ""}, kEnabled}));
    EXPECT_FALSE(platform::ServiceUnitOpens({kUnknown, kUnknown}));
}

TEST(SoundServerUnits, StateComesFromTheProbeTheSocketAndTheService) {
    struct Case {
        bool answers;
        const char* socket;
        const char* service;
        DWORD state;
    };
    const Case cases[] = {
        {true, "inactive", "inactive", SERVICE_RUNNING},
        {false, "active", "inactive", SERVICE_RUNNING},
        {false, "inactive", "active", SERVICE_RUNNING},
        {false, "inactive", "reloading", SERVICE_RUNNING},
        {false, "inactive", "activating", SERVICE_START_PENDING},
        {false, "inactive", "deactivating", SERVICE_STOP_PENDING},
        {false, "failed", "failed", SERVICE_STOPPED},
        {false, "inactive", "inactive", SERVICE_STOPPED},
        {false, "", "", SERVICE_STOPPED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.socket) + "/" + c.service);
        ServerUnitFacts facts{{"loaded", c.service, "enabled"}, {"loaded", c.socket, "enabled"}};
        EXPECT_EQ(platform::ServiceStateFromUnits(c.answers, facts), c.state);
    }
}

TEST(SoundServerUnits, ServerIsToldApartByTheNameItReports) {
    EXPECT_EQ(platform::ServerFromName("pulseaudio"), SoundServer::PulseAudio);
    EXPECT_EQ(platform::ServerFromName("PulseAudio (on PipeWire 1.0.5)"), SoundServer::PipeWire);
    EXPECT_EQ(platform::ServerFromName("PULSEAUDIO"), SoundServer::PulseAudio);
    EXPECT_EQ(platform::ServerFromName(""), std::nullopt);
    EXPECT_EQ(platform::ServerFromName("some other server"), std::nullopt);
}

TEST(SoundServerUnits, NeitherServerOwnsAUnitOfTheOther) {
    for (const std::string& unit : platform::AllUnitsOf(SoundServer::PulseAudio)) {
        EXPECT_EQ(unit.find("pipewire"), std::string::npos) << unit;
        EXPECT_EQ(unit.find("wireplumber"), std::string::npos) << unit;
    }
    for (const std::string& unit : platform::AllUnitsOf(SoundServer::PipeWire)) {
        EXPECT_EQ(unit.find("pulseaudio"), std::string::npos) << unit;
    }
}

// One query of a start job: what the server is doing and whether the start's work is over,
// and what the waiting caller is told.
struct Step {
    DWORD observed;
    bool ended;
    std::chrono::milliseconds after; // since the start
    DWORD state;
    DWORD checkPoint;
};

TEST(ServiceStartJob, ReportsRisingCheckPointsThenRunningOrADrop) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"starts and runs",
         {{SERVICE_STOPPED, false, 0ms, SERVICE_START_PENDING, 1},
          {SERVICE_START_PENDING, false, 250ms, SERVICE_START_PENDING, 2},
          {SERVICE_RUNNING, false, 500ms, SERVICE_RUNNING, 0},
          {SERVICE_STOPPED, false, 750ms, SERVICE_STOPPED, 0}}},
        {"the start ends without the server",
         {{SERVICE_STOPPED, false, 0ms, SERVICE_START_PENDING, 1},
          {SERVICE_STOPPED, true, 250ms, SERVICE_STOPPED, 0},
          {SERVICE_STOPPED, false, 500ms, SERVICE_STOPPED, 0}}},
        {"a start over before the first query still shows the drop",
         {{SERVICE_STOPPED, true, 0ms, SERVICE_START_PENDING, 1},
          {SERVICE_STOPPED, true, 250ms, SERVICE_STOPPED, 0}}},
        {"a unit stuck activating after its job ended is not progress",
         {{SERVICE_START_PENDING, false, 0ms, SERVICE_START_PENDING, 1},
          {SERVICE_START_PENDING, true, 250ms, SERVICE_STOPPED, 0}}},
        {"the limit passes",
         {{SERVICE_STOPPED, false, 0ms, SERVICE_START_PENDING, 1},
          {SERVICE_STOPPED, false, 9999ms, SERVICE_START_PENDING, 2},
          {SERVICE_STOPPED, false, 10000ms, SERVICE_STOPPED, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ServiceStartJob job;
        const auto start = platform::ServiceStartJob::Clock::time_point{} + 1h;
        job.Begin(start, 10s);
        for (const Step& step : c.steps) {
            SERVICE_STATUS status = job.Report(step.observed, step.ended, start + step.after);
            EXPECT_EQ(status.dwCurrentState, step.state);
            EXPECT_EQ(status.dwCheckPoint, step.checkPoint);
            EXPECT_EQ(status.dwWaitHint, step.state == SERVICE_START_PENDING
                                             ? platform::ServiceStartJob::kWaitHintMs
                                             : 0u);
        }
    }
}

} // namespace
