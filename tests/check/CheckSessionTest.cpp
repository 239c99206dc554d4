// One run of the console check on the scripted platform: the lines it shows as the checks run,
// what it finds, what the repair and the re-check then confirm, and how an interrupt, a failing
// scan or a refused repair step end it.
#include "CheckSession.h"

#include "config/Errors.h"
#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "support/EngineTestSupport.h"

#include <atomic>
#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace engine_test;
using platform::ScriptedService;
using platform::StatusOf;
using platform::testing::ScriptedSound;
using testing::ElementsAre;
using Clock = std::chrono::steady_clock;

const std::string kStart = "Start Scan";
const std::string kSound = "Checking default audio device...";
const std::string kVolume = "Checking audio device volume... ";
const std::string kService = "Checking audio service status...";
const std::string kStatus = "Checking audio device status... ";
const std::string kDriver = "Checking audio device driver... ";
const std::string kComplete = "Scan complete";

class CheckRun : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ConfigerInstance().LoadStream(
            ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0001", "CFG")));
    }

    std::unique_ptr<CheckSession> MakeSession(TVolumeFixerSettings settings = {}) {
        settings.ServiceWait.totalBound = 300ms;
        CheckHooks hooks;
        hooks.Progress = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
        hooks.Interrupted = [this] { return interrupted.load(); };
        hooks.Pump = [this] { ++pumps; };
        return std::make_unique<CheckSession>(
            std::make_unique<TOEVolumeFixer>(std::move(settings)),
            [](std::string_view path) { return ConfigerInstance().ReadText(path, '#'); }, hooks);
    }

    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex);
        return lines;
    }

    std::vector<std::string> Titles(const CheckReport& report) {
        std::vector<std::string> titles;
        for (const Finding& f : report.Findings) {
            titles.push_back(f.Title + (f.Fixed ? (*f.Fixed ? " (fixed)" : " (left)") : ""));
        }
        return titles;
    }

    ScriptedWorld world;
    std::mutex mutex;
    std::vector<std::string> lines;
    std::atomic<bool> interrupted{false};
    std::atomic<int> pumps{0};
};

TEST_F(CheckRun, AMutedQuietLineIsFoundRepairedAndConfirmed) {
    world.SetLine(world.masterVolume, world.masterMute, 13107, 1);
    auto session = MakeSession();
    CheckReport report;

    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    EXPECT_THAT(Lines(),
                ElementsAre(kStart, kSound, kVolume, kService, kStatus, kDriver, kComplete));
    EXPECT_THAT(Titles(report), ElementsAre("Audio device muted", "Low audio device volume"));
    EXPECT_EQ(report.Scan.MasterVolume, 13107);

    ASSERT_EQ(session->Repair(report), RunEnd::Completed);
    EXPECT_EQ(world.Volume(world.masterVolume), 32768);
    EXPECT_EQ(world.Mute(world.masterMute), 0);
    EXPECT_THAT(Lines(), ElementsAre(kStart, kSound, kVolume, kService, kStatus, kDriver, kComplete,
                                     kVolume))
        << "only the mixer is checked again";
    ASSERT_TRUE(report.Repair);
    EXPECT_TRUE(report.Repair->Performed);
    EXPECT_EQ(report.Repair->Count.Listed, 2);
    EXPECT_EQ(report.Repair->Count.Fixed, 2);
    EXPECT_THAT(Titles(report),
                ElementsAre("Audio device muted (fixed)", "Low audio device volume (fixed)"));
    EXPECT_EQ(CheckExitCode(report), 0);
}

TEST_F(CheckRun, WhatTheRecheckStillFindsIsReportedAsLeft) {
    ScriptedService stuck;
    stuck.beforeStart = {StatusOf(SERVICE_STOPPED)};
    stuck.startAccepted = false;
    world.AudioSrv(stuck);
    world.SetLine(world.sourceVolume, world.sourceMute, 40000, 1);
    auto session = MakeSession();
    CheckReport report;

    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    ASSERT_EQ(session->Repair(report), RunEnd::Completed);

    EXPECT_THAT(Titles(report), ElementsAre("One or more audio service isn't running (left)",
                                            "Audio device muted (fixed)"));
    EXPECT_EQ(report.Repair->Count.Listed, 2);
    EXPECT_EQ(report.Repair->Count.Fixed, 1);
    EXPECT_EQ(CheckExitCode(report), 1);
    const std::vector<std::string> all = Lines();
    EXPECT_THAT(std::vector<std::string>(all.end() - 2, all.end()), ElementsAre(kVolume, kService));
}

TEST_F(CheckRun, ASoundThatStillDoesNotPlayIsNotCountedFixed) {
    world.sound.SetAnswer(ScriptedSound::Answer::Fails);
    auto session = MakeSession();
    CheckReport report;

    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    ASSERT_EQ(session->Repair(report), RunEnd::Completed);

    EXPECT_THAT(Titles(report), ElementsAre("Sound playing not functioning (left)"));
    EXPECT_EQ(world.sound.CallCount(), 2) << "played by the scan and by the re-check";
    EXPECT_EQ(CheckExitCode(report), 1);
}

TEST_F(CheckRun, NothingFoundMeansNothingIsTouched) {
    auto session = MakeSession();
    CheckReport report;
    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    EXPECT_TRUE(report.Findings.empty());
    world.mixer.ClearCalls();

    ASSERT_EQ(session->Repair(report), RunEnd::Completed);

    ASSERT_TRUE(report.Repair);
    EXPECT_FALSE(report.Repair->Performed);
    EXPECT_TRUE(world.mixer.CallsOf(platform::ScriptedMixer::Operation::Write).empty())
        << "a louder line is not turned down to half";
    EXPECT_EQ(world.Volume(world.masterVolume), 40000);
    EXPECT_EQ(CheckExitCode(report), 0);
}

TEST_F(CheckRun, AnInterruptDuringACheckEndsTheScanAtOnce) {
    world.sound.SetPlayTime(300ms);
    world.sound.SetDuringPlay([this] { interrupted = true; });
    auto session = MakeSession();
    CheckReport report;

    const auto started = Clock::now();
    EXPECT_EQ(session->Scan(report), RunEnd::Interrupted);
    session.reset();
    EXPECT_LT(Clock::now() - started, 2s) << "the sound in progress ends, nothing else runs";

    EXPECT_THAT(Lines(), ElementsAre(kStart, kSound));
    EXPECT_EQ(world.timeline.First("service"), -1);
    EXPECT_EQ(world.sound.CallCount(), 1);
}

TEST_F(CheckRun, AnInterruptBeforeTheRepairTouchesNothing) {
    world.SetLine(world.masterVolume, world.masterMute, 40000, 1);
    auto session = MakeSession();
    CheckReport report;
    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    interrupted = true;
    world.mixer.ClearCalls();

    EXPECT_EQ(session->Repair(report), RunEnd::Interrupted);
    EXPECT_TRUE(world.mixer.CallsOf(platform::ScriptedMixer::Operation::Write).empty());
    EXPECT_EQ(world.Mute(world.masterMute), 1);
}

TEST_F(CheckRun, TheCallingThreadKeepsItsEventLoopGoingWhileTheScanRuns) {
    world.sound.SetPlayTime(200ms);
    auto session = MakeSession();
    CheckReport report;
    ASSERT_EQ(session->Scan(report), RunEnd::Completed);
    EXPECT_GE(pumps.load(), 3);
}

TEST_F(CheckRun, AScanThatFailsIsAnErrorWithItsReason) {
    // The line printer failing (a closed terminal, say) on the worker ends the scan.
    std::atomic<int> calls{0};
    CheckHooks hooks;
    hooks.Progress = [&](const std::string&) {
        if (++calls == 2) {
            throw std::runtime_error("standard output is closed");
        }
    };
    CheckSession failing(
        std::make_unique<TOEVolumeFixer>(),
        [](std::string_view path) { return ConfigerInstance().ReadText(path, '#'); }, hooks);
    CheckReport report;
    try {
        failing.Scan(report);
        FAIL() << "no error";
    } catch (const ProgramError& e) {
        EXPECT_STREQ(e.what(), "the scan failed: standard output is closed");
    }
    EXPECT_EQ(world.sound.CallCount(), 0);
}

TEST_F(CheckRun, AScanThatCannotStartIsAnError) {
    TVolumeFixerSettings settings;
    settings.StartWorker = [](std::function<void()>) { return std::thread(); };
    auto session = MakeSession(std::move(settings));
    CheckReport report;
    EXPECT_THROW(session->Scan(report), ProgramError);
    EXPECT_TRUE(session->Engine().Idle);
}

TEST_F(CheckRun, ASecondScanStartsAfresh) {
    world.SetLine(world.masterVolume, world.masterMute, 40000, 1);
    auto session = MakeSession();
    CheckReport first;
    ASSERT_EQ(session->Scan(first), RunEnd::Completed);
    ASSERT_EQ(first.Findings.size(), 1u);

    world.SetLine(world.masterVolume, world.masterMute, 40000, 0);
    CheckReport second;
    ASSERT_EQ(session->Scan(second), RunEnd::Completed);
    EXPECT_TRUE(second.Findings.empty());
}

} // namespace
