// A scan as the window sees it: which notifications arrive in which order with which payload,
// what the result record holds, and how cancelling, pausing and a second start behave.
#include "engine/ProblemCatalogue.h"
#include "support/EngineTestSupport.h"

#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace engine_test;
using platform::testing::ScriptedSound;
using testing::ElementsAre;
using testing::ElementsAreArray;

struct CodeOrderCase {
    const char* name;
    bool mixer;
    bool library;
    std::vector<DWORD> codes;
};

class CodeOrder : public testing::TestWithParam<CodeOrderCase> {};

TEST_P(CodeOrder, FollowsTheChecksThatCanRun) {
    const CodeOrderCase& c = GetParam();
    ScriptedWorld world({.mixer = c.mixer, .library = c.library});
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_THAT(log.Codes(), ElementsAreArray(c.codes));
    // The codes after a check carry the engine's own record; the others carry nothing.
    for (const NotificationLog::Note& note : log.Notes()) {
        const bool afterACheck = note.code == 7 || note.code == 8 || note.code == 9 ||
                                 note.code == 10 || note.code == 11;
        EXPECT_EQ(note.carriesResult, afterACheck) << "code " << note.code;
        EXPECT_EQ(note.nullPayload, !afterACheck) << "code " << note.code;
        // Idle turns True just before the last notification, and only then.
        EXPECT_EQ(note.idle, note.code == ScanCode::ScanEnded) << "code " << note.code;
    }
    EXPECT_TRUE(engine.Idle);
    EXPECT_FALSE(engine.CancelRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, CodeOrder,
    testing::Values(CodeOrderCase{"Everything", true, true, {0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 11, 1}},
                    CodeOrderCase{"NoMixer", false, true, {0, 2, 7, 4, 9, 5, 10, 6, 11, 1}},
                    CodeOrderCase{"NoLibrary", true, false, {0, 2, 7, 3, 8, 4, 9, 5, 10, 1}},
                    CodeOrderCase{"NoMixerNoLibrary", false, false, {0, 2, 7, 4, 9, 5, 10, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineScan, RecordsWhatEachCheckFound) {
    ScriptedWorld world;
    world.sound.SetAnswer(ScriptedSound::Answer::Fails);
    world.SetLine(world.masterVolume, world.masterMute, 20000, 1);
    world.SetLine(world.sourceVolume, world.sourceMute, 50000, 0);
    platform::ScriptedService stopped;
    stopped.beforeStart = {platform::StatusOf(SERVICE_STOPPED)};
    world.AudioSrv(stopped);
    ScriptedWorld::SetDevices({{u"Speaker codec", u"HDAUDIO\\FUNC_01&VEN_10EC#PCI\\VEN_8086", 0},
                               {u"Left out", u"HDAUDIO\\FUNC_01&VEN_1234", 8},
                               {u"USB headset", u"USB\\VID_0D8C&PID_0014", 0}});
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);

    ASSERT_TRUE(RunScan(engine, log));

    const TSCANRESULT& r = engine.ScanResult;
    EXPECT_EQ(r.SoundPlayed, 0);
    EXPECT_EQ(r.MasterVolume, 20000);
    EXPECT_EQ(r.MasterMuted, -1);
    EXPECT_EQ(r.MasterHasMute, -1);
    EXPECT_EQ(r.SourceVolume, 50000);
    EXPECT_EQ(r.SourceMuted, 0);
    EXPECT_EQ(r.SourceHasMute, -1);
    EXPECT_EQ(r.MixerChecked, -1);
    EXPECT_EQ(r.ServiceInstalled, -1);
    EXPECT_EQ(r.ServiceState, SERVICE_STOPPED);
    // Every record is kept; only the first, whose first id the driver data knows, matches.
    EXPECT_EQ(engine.Devices.size(), 3u);
    EXPECT_EQ(engine.NextDevice, 4);
    ASSERT_EQ(r.Drivers.size(), 1u);
    EXPECT_EQ(r.Drivers[0].HardwareId, "HDAUDIO\\FUNC_01&VEN_10EC");
    EXPECT_EQ(world.sound.Calls().at(0).name, "Ding");
    EXPECT_EQ(world.sound.Calls().at(0).flags, SND_SYNC);

    // What the handler saw after the sound test was the record as it stood then.
    const auto notes = log.Notes();
    EXPECT_EQ(notes.at(2).code, 7u);
    EXPECT_EQ(notes.at(2).result.SoundPlayed, 0);
}

TEST(EngineScan, ALineTurnedDownOnOneSideIsLowAndTheRepairSetsBothSides) {
    struct Case {
        const char* name;
        std::vector<LONG> volume;
        std::int32_t reads;
        bool low;
    };
    const std::vector<Case> cases = {
        {"left full, right silent", {65535, 0}, 0, true},
        {"left silent, right full", {0, 65535}, 0, true},
        {"right at half", {65535, 32768}, 32768, false},
        {"left just below half", {32767, 65535}, 32767, true},
    };
    for (const Case& c : cases) {
        ScriptedWorld world;
        world.mixer.SetValues(0, world.masterVolume, c.volume);
        NotificationLog log;
        TOEVolumeFixer engine;
        engine.OnStateChange = log.Handler(engine);
        ASSERT_TRUE(RunScan(engine, log)) << c.name;

        EXPECT_EQ(engine.ScanResult.MasterVolume, c.reads) << c.name;
        bool low = false;
        for (const TProblemEntry* problem :
             ProblemsFound(ScanCode::MixerCheckDone, engine.ScanResult)) {
            low = low || problem->OrderKey == ProblemCatalogue()[2].OrderKey;
        }
        EXPECT_EQ(low, c.low) << c.name;

        engine.Repair();
        EXPECT_EQ(world.mixer.Values(0, world.masterVolume), (std::vector<LONG>{32768, 32768}))
            << c.name;
    }
}

TEST(EngineScan, MissingControlsAndAMissingServiceReadAsTheirMarkers) {
    ScriptedWorld world({.service = false});
    // The source line's controls cannot be read: they count as missing.
    world.mixer.Fail(
        platform::ScriptedMixer::Operation::Read, [&](const platform::ScriptedMixer::Call& call) {
            return call.controlId == world.sourceVolume || call.controlId == world.sourceMute;
        });
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);

    ASSERT_TRUE(RunScan(engine, log));

    const TSCANRESULT& r = engine.ScanResult;
    EXPECT_EQ(r.MasterVolume, 40000);
    EXPECT_EQ(r.MasterHasMute, -1);
    EXPECT_EQ(r.SourceVolume, -1);
    EXPECT_EQ(r.SourceMuted, -1);  // a line without a mute control reads muted ...
    EXPECT_EQ(r.SourceHasMute, 0); // ... and says it has none
    EXPECT_EQ(r.ServiceInstalled, 0);
    EXPECT_EQ(r.ServiceState, 0u);
}

TEST(EngineScan, ASecondScanStartsAfreshAndKeepsNoStaleDevices) {
    ScriptedWorld world;
    ScriptedWorld::SetDevices({{u"Codec", u"HDAUDIO\\FUNC_01", 0}});
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);
    ASSERT_TRUE(RunScan(engine, log));
    ASSERT_EQ(engine.ScanResult.Drivers.size(), 1u);
    engine.Repaired = true;

    ScriptedWorld::SetDevices({});
    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_EQ(log.CountOf(ScanCode::ScanStarted), 2);
    EXPECT_TRUE(engine.Devices.empty());
    EXPECT_EQ(engine.NextDevice, 1);
    EXPECT_TRUE(engine.ScanResult.Drivers.empty());
    EXPECT_FALSE(engine.Repaired) << "a new scan clears Repaired";
}

TEST(EngineScan, AMixerDeviceIsReopenedBeforeEveryMixerCheck) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine);
    EXPECT_TRUE(world.mixer.CallsOf(platform::ScriptedMixer::Operation::Open).empty())
        << "the engine opens its mixer when first needed, not when it is made";
    EXPECT_FALSE(engine.Mixer.Opened());
    engine.Mixer.Get();
    const int opensAtCreation =
        static_cast<int>(world.mixer.CallsOf(platform::ScriptedMixer::Operation::Open).size());

    ASSERT_TRUE(RunScan(engine, log));
    ASSERT_TRUE(RunScan(engine, log));

    const auto opens = world.mixer.CallsOf(platform::ScriptedMixer::Operation::Open);
    EXPECT_EQ(static_cast<int>(opens.size()), opensAtCreation + 2);
    EXPECT_EQ(world.mixer.OpenHandles().size(), 1u) << "each reopen closes the previous handle";
}

TEST(EngineScan, StartScanWhileRunningIsRefusedAndChangesNothing) {
    ScriptedWorld world;
    NotificationLog log;
    std::atomic<bool> release{false};
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        // Until released, or until the engine goes (a failing test must not hang).
        while (code == ScanCode::SoundTestStarted && !release && engine.HoldWorker(1ms)) {
        }
    });
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    ASSERT_TRUE(log.WaitFor(ScanCode::SoundTestStarted));
    engine.Repaired = true;
    engine.CancelRequested = true;

    EXPECT_EQ(engine.StartScan(), kScanRunning);
    EXPECT_FALSE(engine.Idle);
    EXPECT_TRUE(engine.Repaired);
    EXPECT_TRUE(engine.CancelRequested);

    release = true;
    ASSERT_TRUE(log.WaitFor(ScanCode::ScanEnded));
    EXPECT_EQ(log.CountOf(ScanCode::ScanStarted), 1);
}

TEST(EngineScan, ACancelDuringTheSoundTestIsNoticedOnceTheSoundHasPlayed) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    world.sound.SetDuringPlay([&] { engine.CancelRequested = true; });
    engine.OnStateChange = log.Handler(engine);

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 1));
    EXPECT_EQ(world.sound.CallCount(), 1) << "the sound in progress is not interrupted";
    EXPECT_EQ(engine.ScanResult.SoundPlayed, -1) << "and its result is kept";
    EXPECT_TRUE(engine.Idle);
    EXPECT_TRUE(log.Notes().back().cancelRequested);
}

TEST(EngineScan, ACancelMadeDuringTheFirstNotificationIsForgotten) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == ScanCode::ScanStarted) {
            engine.CancelRequested = true;
        }
    });

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_EQ(log.Codes().size(), 12u) << "the worker clears the request after code 0";
}

// Each row: the code whose handler cancels, and the codes the scan sends in all.
struct CancelCase {
    DWORD cancelAt;
    std::vector<DWORD> codes;
};

class CancelPoints : public testing::TestWithParam<CancelCase> {};

TEST_P(CancelPoints, EndTheScanAtTheNextCheckPoint) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == GetParam().cancelAt) {
            engine.CancelRequested = true;
        }
    });

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_THAT(log.Codes(), ElementsAreArray(GetParam().codes));
    EXPECT_TRUE(engine.Idle);
}

INSTANTIATE_TEST_SUITE_P(Engine, CancelPoints,
                         testing::Values(CancelCase{2, {0, 2, 1}}, CancelCase{7, {0, 2, 7, 1}},
                                         CancelCase{3, {0, 2, 7, 3, 1}},
                                         CancelCase{8, {0, 2, 7, 3, 8, 1}},
                                         CancelCase{4, {0, 2, 7, 3, 8, 4, 1}},
                                         CancelCase{9, {0, 2, 7, 3, 8, 4, 9, 1}},
                                         CancelCase{5, {0, 2, 7, 3, 8, 4, 9, 5, 1}},
                                         CancelCase{10, {0, 2, 7, 3, 8, 4, 9, 5, 10, 1}},
                                         CancelCase{6, {0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 1}}));

TEST(EngineScan, APausedWorkerTakesNoStepAndSendsNothingUntilResumed) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == ScanCode::SoundTestStarted) {
            engine.SetPaused(true); // as the Cancel box does, just before the sound test
        }
    });
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    ASSERT_TRUE(log.WaitFor(ScanCode::SoundTestStarted));

    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(world.sound.CallCount(), 0);
    EXPECT_THAT(log.Codes(), ElementsAre(0, 2));
    EXPECT_FALSE(engine.Idle);

    engine.SetPaused(false);
    ASSERT_TRUE(log.WaitFor(ScanCode::ScanEnded));
    EXPECT_EQ(world.sound.CallCount(), 1);
    EXPECT_EQ(log.Codes().size(), 12u);
}

// The window's usual case: the Cancel box opens during the hold after a result.
TEST(EngineScan, CancelConfirmedDuringAHoldEndsTheScanOnceTheHoldIsOver) {
    ScriptedWorld world;
    NotificationLog log;
    std::atomic<bool> boxAnswered{false};
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == ScanCode::SoundTestDone) {
            engine.HoldWorker(300ms);
            EXPECT_TRUE(boxAnswered) << "the hold was not shortened";
        }
    });
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    ASSERT_TRUE(log.WaitFor(ScanCode::SoundTestDone));
    engine.SetPaused(true);
    engine.CancelRequested = true; // "Yes"
    engine.SetPaused(false);
    boxAnswered = true;

    ASSERT_TRUE(log.WaitFor(ScanCode::ScanEnded));
    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 7, 1));
}

// Paused at a notification, the worker sends it once resumed; the cancel confirmed meanwhile
// is noticed at the check point after it.
TEST(EngineScan, CancelConfirmedWhilePausedIsNoticedAtTheNextCheckPoint) {
    ScriptedWorld world;
    NotificationLog log;
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == ScanCode::SoundTestDone) {
            engine.SetPaused(true);
        }
    });
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    ASSERT_TRUE(log.WaitFor(ScanCode::SoundTestDone));
    std::this_thread::sleep_for(50ms);
    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 7));
    engine.CancelRequested = true;
    engine.SetPaused(false);

    ASSERT_TRUE(log.WaitFor(ScanCode::ScanEnded));
    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 7, 3, 1));
}

TEST(EngineScan, AHoldRunsItsFullSpanWhateverTheCancel) {
    ScriptedWorld world;
    NotificationLog log;
    std::atomic<int> holdResult{-1};
    TOEVolumeFixer engine;
    engine.OnStateChange = log.Handler(engine, [&](DWORD code) {
        if (code == ScanCode::SoundTestDone) {
            engine.CancelRequested = true;
            holdResult = engine.HoldWorker(150ms) ? 1 : 0;
        }
    });

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_EQ(holdResult, 1);
    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 7, 1));
}

TEST(EngineScan, AWorkerThatCannotBeCreatedLeavesTheEngineIdle) {
    ScriptedWorld world;
    int attempts = 0;
    TVolumeFixerSettings settings;
    settings.StartWorker = [&](std::function<void()> body) {
        if (++attempts == 1) {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return std::thread(std::move(body));
    };
    NotificationLog log;
    TOEVolumeFixer engine(settings);
    engine.OnStateChange = log.Handler(engine);

    EXPECT_EQ(engine.StartScan(), kScanWorkerFailed);
    EXPECT_TRUE(engine.Idle);
    EXPECT_EQ(log.Count(), 0);

    // Nothing is left behind that would refuse the next start.
    EXPECT_TRUE(RunScan(engine, log));
    EXPECT_EQ(log.Codes().size(), 12u);
}

TEST(EngineScan, AFactoryHandingBackNoThreadCountsAsAFailure) {
    ScriptedWorld world;
    TVolumeFixerSettings settings;
    settings.StartWorker = [](std::function<void()>) { return std::thread(); };
    TOEVolumeFixer engine(settings);

    EXPECT_EQ(engine.StartScan(), kScanWorkerFailed);
    EXPECT_TRUE(engine.Idle);
}

TEST(EngineScan, AnErrorInTheHandlerEndsTheScanAsACancelAndIsReported) {
    ScriptedWorld world;
    NotificationLog log;
    std::atomic<int> reported{0};
    std::string message;
    TOEVolumeFixer engine;
    engine.OnWorkerError = [&](std::exception_ptr error) {
        ++reported;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            message = e.what();
        }
    };
    engine.OnStateChange = log.Handler(engine, [](DWORD code) {
        if (code == ScanCode::MixerCheckDone) {
            throw std::runtime_error("'x' is not a valid integer value");
        }
    });

    ASSERT_TRUE(RunScan(engine, log));

    EXPECT_THAT(log.Codes(), ElementsAre(0, 2, 7, 3, 8, 1));
    EXPECT_TRUE(log.Notes().back().cancelRequested) << "so the window returns to its start page";
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(message, "'x' is not a valid integer value");
    EXPECT_TRUE(engine.Idle);
}

TEST(EngineScan, RunsToTheEndWithoutAHandler) {
    ScriptedWorld world;
    TOEVolumeFixer engine;
    ASSERT_EQ(engine.StartScan(), kScanStarted);
    for (int i = 0; i < 1000 && !engine.Idle; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(engine.Idle);
    EXPECT_EQ(world.sound.CallCount(), 1);
}

} // namespace
