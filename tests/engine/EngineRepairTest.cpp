// The repair: which steps run for which findings, in which order, with what arguments; and the
// re-check after it, which counts a listed problem as fixed only when the check that found it
// now confirms it is gone.
#include "config/Errors.h"
#include "engine/ProblemCatalogue.h"
#include "platform/ModuleResources.h"
#include "platform/testing/ScriptedModuleResources.h"
#include "support/EngineTestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

namespace {

using namespace engine_test;
using platform::ScriptedService;
using platform::StatusOf;
using platform::testing::ScriptedSound;
using testing::ElementsAre;

std::string Set(DWORD control, std::vector<LONG> values) {
    std::string entry = "mixer set " + std::to_string(control);
    for (LONG v : values) {
        entry += " " + std::to_string(v);
    }
    return entry;
}

struct RepairCase {
    const char* name;
    BOOL installed;
    DWORD state;
    bool reinstalls;
    bool starts;
};

class RepairSteps : public testing::TestWithParam<RepairCase> {};

TEST_P(RepairSteps, FollowTheLastScansServiceFindingsThenSetBothLines) {
    const RepairCase& c = GetParam();
    ScriptedWorld world;
    TOEVolumeFixer engine;
    engine.ScanResult.ServiceInstalled = c.installed;
    engine.ScanResult.ServiceState = c.state;
    world.timeline.Add("repair begins");

    engine.Repair();

    const int begin = world.timeline.First("repair begins");
    const int shell = world.timeline.First("shell ");
    const int start = world.timeline.First("service start");
    const int open = world.timeline.Last("mixer open");
    EXPECT_EQ(shell >= 0, c.reinstalls);
    EXPECT_EQ(start >= 0, c.starts);
    EXPECT_GT(open, std::max({begin, shell, start})) << "device 0 is reopened after the service";
    const std::vector<std::string> all = world.timeline.Entries();
    EXPECT_THAT(std::vector<std::string>(all.begin() + open + 1, all.end()),
                ElementsAre(Set(world.masterVolume, {32768, 32768}), Set(world.masterMute, {0}),
                            Set(world.sourceVolume, {32768, 32768}), Set(world.sourceMute, {0})));
    EXPECT_TRUE(engine.Repaired);
    if (c.starts) {
        EXPECT_EQ(world.services.Service("AudioSrv").startType, SERVICE_AUTO_START);
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, RepairSteps,
                         testing::Values(RepairCase{"Running", -1, SERVICE_RUNNING, false, false},
                                         RepairCase{"Stopped", -1, SERVICE_STOPPED, false, true},
                                         RepairCase{"StartPending", -1, SERVICE_START_PENDING,
                                                    false, true},
                                         RepairCase{"NoServiceManager", -1, 1, false, true},
                                         RepairCase{"Missing", 0, 0, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EngineRepair, ReinstallHandsTheUnpackedScriptToTheRegistryEditorThenRemovesIt) {
    ScriptedWorld world;
    TOEVolumeFixer engine;
    // What the registry editor finds while it runs.
    std::string bytes;
    int files = 0;
    world.shell.OnCall([&](const platform::ShellCall& call) {
        ASSERT_TRUE(call.parameters.has_value());
        std::ifstream in(call.parameters->substr(3), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        for (const auto& entry : std::filesystem::directory_iterator(world.tempFolder.Path())) {
            EXPECT_EQ(entry.path().filename().string().rfind("~qv", 0), 0u);
            ++files;
        }
    });

    engine.ReinstallAudioService();

    const auto calls = world.shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, nullptr);
    EXPECT_EQ(calls[0].operation, "Open");
    EXPECT_EQ(calls[0].file, "regedit.exe");
    EXPECT_EQ(calls[0].directory, std::nullopt);
    EXPECT_EQ(calls[0].showCommand, SW_HIDE);
    ASSERT_TRUE(calls[0].parameters.has_value());
    ASSERT_EQ(calls[0].parameters->rfind("/s ", 0), 0u);
    const std::filesystem::path script = calls[0].parameters->substr(3);
    EXPECT_EQ(script.parent_path(), std::filesystem::path(world.tempFolder.Path()));

    // A REGEDIT5 script in UTF-16 with its byte-order mark.
    const std::u16string header = u"\uFEFFWindows Registry Editor Version 5.00";
    ASSERT_GE(bytes.size(), header.size() * 2);
    EXPECT_EQ(std::memcmp(bytes.data(), header.data(), header.size() * 2), 0);
    EXPECT_EQ(files, 2) << "the packed copy and the script, while the editor runs";
    // The editor is waited for: once it has returned, neither file is needed any more.
    EXPECT_TRUE(std::filesystem::is_empty(world.tempFolder.Path()));
}

TEST(EngineRepair, AScriptThatCannotBeUnpackedLeavesNoFileBehind) {
    auto module = std::make_unique<platform::testing::ScriptedModuleResources>();
    module->Add("AUDIOSRV_5X", "ZIP", std::string("not packed"));
    platform::ScopedBackend<platform::ModuleResourceBackend> resources(
        platform::ModuleResourceSlot(), std::move(module));
    ScriptedWorld world;
    TOEVolumeFixer engine;
    EXPECT_THROW(engine.ReinstallAudioService(), InflateError);
    EXPECT_TRUE(world.shell.Calls().empty());
    EXPECT_TRUE(std::filesystem::is_empty(world.tempFolder.Path()));
}

TEST(EngineRepair, DoesNothingWhileAScanRuns) {
    ScriptedWorld world;
    NotificationLog log;
    std::atomic<bool> release{false};
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        while (code == ScanCode::SoundTestDone && !release && engine.HoldWorker(1ms)) {
        }
    });
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    ASSERT_TRUE(log.WaitFor(ScanCode::SoundTestDone));

    engine.Repair();
    const TSCANRESULT recheck = engine.Recheck(CheckSound | CheckMixer | CheckService);

    EXPECT_EQ(world.timeline.First("mixer set"), -1);
    EXPECT_EQ(world.timeline.First("service start"), -1);
    EXPECT_FALSE(engine.Repaired);
    EXPECT_EQ(recheck.MixerChecked, 0);
    EXPECT_EQ(world.sound.CallCount(), 1) << "only the scan's own test sound";
    release = true;
    ASSERT_TRUE(log.WaitFor(ScanCode::ScanEnded));
}

// The window's part, done here the way it does it: collect the problems from the payloads,
// repair, run the checks again and count.
struct Outcome {
    std::vector<std::int32_t> listed;
    TRepairCount count;
    int soundsBeforeRecheck = 0;
    int soundsAfterRecheck = 0;
};

Outcome ScanRepairRecheck(ScriptedWorld& world, NotificationLog& log, TOEVolumeFixer& engine,
                          const std::function<void()>& beforeRepair = {}) {
    engine.OnStateChange = log.Handler(engine);
    Outcome outcome;
    EXPECT_TRUE(RunScan(engine, log));
    for (const NotificationLog::Note& note : log.Notes()) {
        for (const TProblemEntry* problem : ProblemsFound(note.code, note.result)) {
            outcome.listed.push_back(problem->OrderKey);
        }
    }
    if (beforeRepair) {
        beforeRepair();
    }
    engine.Repair();
    outcome.soundsBeforeRecheck = world.sound.CallCount();
    const TSCANRESULT after = engine.Recheck(ChecksToRepeat(outcome.listed));
    outcome.soundsAfterRecheck = world.sound.CallCount();
    outcome.count = CountFixedProblems(outcome.listed, engine.ScanResult, after);
    return outcome;
}

ScriptedService StoppedUntilStarted(bool startAccepted = true) {
    ScriptedService service;
    service.beforeStart = {StatusOf(SERVICE_STOPPED)};
    service.afterStart = {StatusOf(SERVICE_RUNNING)};
    service.startAccepted = startAccepted;
    return service;
}

TEST(EngineRecheck, CountsEveryProblemTheRepairMended) {
    ScriptedWorld world;
    world.SetLine(world.masterVolume, world.masterMute, 20000, 1);
    world.AudioSrv(StoppedUntilStarted());
    NotificationLog log;
    TOEVolumeFixer engine;

    Outcome outcome = ScanRepairRecheck(world, log, engine);

    EXPECT_THAT(outcome.listed, ElementsAre(2, 1, 4));
    EXPECT_EQ(outcome.count.Listed, 3);
    EXPECT_EQ(outcome.count.Fixed, 3);
    EXPECT_TRUE(outcome.count.AllFixed());
    EXPECT_EQ(outcome.soundsAfterRecheck, outcome.soundsBeforeRecheck)
        << "no playback problem was listed, so the sound is not played again";
}

TEST(EngineRecheck, AServiceThatWouldNotStartIsNotCountedFixed) {
    ScriptedWorld world;
    world.SetLine(world.masterVolume, world.masterMute, 20000, 0);
    world.AudioSrv(StoppedUntilStarted(/*startAccepted=*/false));
    NotificationLog log;
    TOEVolumeFixer engine;

    Outcome outcome = ScanRepairRecheck(world, log, engine);

    EXPECT_THAT(outcome.listed, ElementsAre(1, 4));
    EXPECT_EQ(outcome.count.Fixed, 1);
    EXPECT_FALSE(outcome.count.AllFixed());
}

TEST(EngineRecheck, AMuteTheMixerRefusedToClearIsNotCountedFixed) {
    ScriptedWorld world;
    world.SetLine(world.masterVolume, world.masterMute, 50000, 1);
    NotificationLog log;
    TOEVolumeFixer engine;
    const DWORD mute = world.masterMute;

    Outcome outcome = ScanRepairRecheck(world, log, engine, [&] {
        world.mixer.Fail(
            platform::ScriptedMixer::Operation::Write,
            [mute](const platform::ScriptedMixer::Call& call) { return call.controlId == mute; });
    });

    EXPECT_THAT(outcome.listed, ElementsAre(2));
    EXPECT_EQ(outcome.count.Fixed, 0);
    EXPECT_EQ(world.Mute(mute), 1);
}

TEST(EngineRecheck, AMixerThatCannotBeReadBackCountsNothingFixed) {
    ScriptedWorld world;
    world.SetLine(world.masterVolume, world.masterMute, 1000, 1);
    NotificationLog log;
    TOEVolumeFixer engine;

    Outcome outcome = ScanRepairRecheck(world, log, engine, [&] {
        // The repair's writes land, but nothing can be read afterwards.
        world.mixer.Fail(platform::ScriptedMixer::Operation::Read);
    });

    EXPECT_THAT(outcome.listed, ElementsAre(2, 1));
    EXPECT_EQ(world.Volume(world.masterVolume), 32768);
    EXPECT_EQ(outcome.count.Fixed, 0);
}

TEST(EngineRecheck, PlaybackIsCheckedAgainByPlayingTheSoundOnce) {
    for (bool playsAfterRepair : {true, false}) {
        SCOPED_TRACE(playsAfterRepair ? "plays after the repair" : "still silent");
        ScriptedWorld world;
        world.sound.SetAnswer(ScriptedSound::Answer::Fails);
        NotificationLog log;
        TOEVolumeFixer engine;

        Outcome outcome = ScanRepairRecheck(world, log, engine, [&] {
            if (playsAfterRepair) {
                world.sound.SetAnswer(ScriptedSound::Answer::Plays);
            }
        });

        EXPECT_THAT(outcome.listed, ElementsAre(3));
        EXPECT_EQ(outcome.soundsAfterRecheck, outcome.soundsBeforeRecheck + 1);
        EXPECT_EQ(outcome.count.Fixed, playsAfterRepair ? 1 : 0);
    }
}

TEST(EngineRecheck, AMissingServiceRestoredAndStartedIsCountedTwice) {
    ScriptedWorld world({.service = false});
    NotificationLog log;
    TOEVolumeFixer engine;

    Outcome outcome = ScanRepairRecheck(world, log, engine, [&] {
        // What the importer does: the service is back, stopped, and starts when asked.
        world.AudioSrv(StoppedUntilStarted());
    });

    EXPECT_THAT(outcome.listed, ElementsAre(5, 4));
    EXPECT_EQ(outcome.count.Fixed, 2);
    EXPECT_EQ(world.shell.Calls().size(), 1u);
}

} // namespace
