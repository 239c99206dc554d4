// The device status step of a scan and of the repair, through the engine with the scripted
// server: what the scan records, what the repair changes (planned on the state it finds then),
// and what the re-check confirms. The rules themselves are tested on recorded states of real
// machines in DeviceStatusTest.cpp.
#include "engine/ProblemCatalogue.h"
#include "support/EngineTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace engine_test;
using platform::SoundChange;
using platform::SoundServerState;
using testing::ElementsAre;

using Kind = SoundChange::Kind;

SoundServerState WithDummy(SoundServerState state, bool realSinkToo) {
    platform::SoundEndpoint dummy;
    dummy.index = 9;
    dummy.name = "auto_null";
    dummy.driver = "module-null-sink.c";
    if (!realSinkToo) {
        state.sinks.clear();
        state.cards.clear();
        state.streams.clear();
    }
    state.sinks.push_back(dummy);
    state.defaultSink = "auto_null";
    state.streams.push_back({8, 9});
    return state;
}

SoundServerState Unplugged() {
    SoundServerState state = HealthyDevices();
    state.sinks[0].activePort = "analog-output-headphones";
    state.sinks[0].ports[0].available = platform::PortAvailable::Yes;
    return state;
}

SoundServerState CardOff() {
    SoundServerState state = HealthyDevices();
    state.cards[0].activeProfile = "off";
    state.sinks.clear();
    state.streams.clear();
    state.defaultSink = "@DEFAULT_SINK@";
    return state;
}

struct StatusCase {
    const char* name;
    std::optional<SoundServerState> state;
    std::vector<std::int32_t> keys; // order keys the scan lists from code 10
    std::vector<Kind> changes;      // what the repair asks the server for
    bool fixed;                     // the re-check confirms every listed one gone
};

class DeviceStatusStep : public testing::TestWithParam<StatusCase> {};

TEST_P(DeviceStatusStep, IsFoundRepairedAndConfirmed) {
    const StatusCase& c = GetParam();
    ScriptedWorld world;
    world.soundDevices.SetState(c.state);
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);
    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_EQ(engine.ScanResult.DeviceStatusChecked, c.state ? -1 : 0);
    std::vector<std::int32_t> keys;
    for (const TProblemEntry* entry :
         ProblemsFound(ScanCode::DeviceStatusDone, engine.ScanResult)) {
        keys.push_back(entry->OrderKey);
    }
    EXPECT_EQ(keys, c.keys);

    engine.Repair();
    std::vector<Kind> kinds;
    for (const SoundChange& change : world.soundDevices.Applied()) {
        kinds.push_back(change.kind);
    }
    EXPECT_EQ(kinds, c.changes);
    const TSCANRESULT after = engine.Recheck(ChecksToRepeat(keys));
    EXPECT_EQ(CountFixedProblems(keys, engine.ScanResult, after).AllFixed(), c.fixed);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, DeviceStatusStep,
    testing::Values(
        StatusCase{"Healthy", HealthyDevices(), {}, {}, true},
        StatusCase{"NoServerAnswers", std::nullopt, {}, {}, true},
        StatusCase{"NothingButTheDummy", WithDummy(HealthyDevices(), false), {9}, {}, false},
        StatusCase{"DefaultOnTheDummy",
                   WithDummy(HealthyDevices(), true),
                   {7},
                   {Kind::DefaultSink, Kind::MoveStream},
                   true},
        StatusCase{"CardSwitchedOff", CardOff(), {8}, {Kind::CardProfile, Kind::DefaultSink}, true},
        StatusCase{"Unplugged", Unplugged(), {6}, {Kind::SinkPort}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineDeviceStatus, ARepairAfterAHealthyScanChangesNothingEvenIfTheServerChangedSince) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);
    ASSERT_TRUE(RunScan(engine, log));
    world.soundDevices.SetState(WithDummy(HealthyDevices(), true));

    engine.Repair();

    EXPECT_TRUE(world.soundDevices.Applied().empty()) << "only what the scan listed is repaired";
}

TEST(EngineDeviceStatus, AServerThatGoesAwayDuringTheRepairLeavesTheRowNotFixedAndNothingHangs) {
    ScriptedWorld world;
    world.soundDevices.SetState(WithDummy(HealthyDevices(), true));
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);
    ASSERT_TRUE(RunScan(engine, log));
    world.soundDevices.VanishAfter(0);

    engine.Repair();

    const std::vector<std::int32_t> keys{7};
    const TSCANRESULT after = engine.Recheck(ChecksToRepeat(keys));
    EXPECT_EQ(after.DeviceStatusChecked, 0);
    EXPECT_EQ(CountFixedProblems(keys, engine.ScanResult, after).Fixed, 0);
    EXPECT_TRUE(engine.Repaired);
}

} // namespace
