// Whole scans and repairs with the real backends against a PulseAudio daemon of the test's
// own, and the cases that hold for any server against a private PipeWire session too: the
// findings the catalogue draws from a real scan, what the repair changes as pactl sees it, and
// what the re-check then confirms. Holds are left out (the window makes them).
#include "engine/OEUnitVolumeFixer.h"
#include "engine/ProblemCatalogue.h"
#include "platform/ModuleResources.h"
#include "platform/Sound.h"
#include "platform/WaveFile.h"
#include "support/BusySink.h"
#include "support/PrivatePipeWire.h"
#include "support/PrivatePulse.h"
#include "support/PulseFixture.h"
#include "support/ScopedUnset.h"

#include <QCoreApplication>
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::BusySink;
using testing_support::PrivatePipeWire;
using testing_support::PrivateServer;
using testing_support::ServerKind;

struct Note {
    DWORD code;
    std::optional<TSCANRESULT> result;
};

// The notifications of one scan, and the problems the window would list from them.
class Scan {
public:
    explicit Scan(TOEVolumeFixer& engine) {
        engine.OnStateChange = [this](DWORD code, TSCANRESULT* result) {
            std::lock_guard lock(mutex_);
            notes_.push_back({code, result != nullptr ? std::optional(*result) : std::nullopt});
            changed_.notify_all();
        };
        const auto started = Clock::now();
        EXPECT_EQ(engine.StartScan(), kScanStarted);
        std::unique_lock lock(mutex_);
        ended_ = changed_.wait_for(lock, 60s, [&] {
            return !notes_.empty() && notes_.back().code == ScanCode::ScanEnded;
        });
        took = Clock::now() - started;
    }

    bool Ended() const { return ended_; }

    std::vector<DWORD> Codes() const {
        std::vector<DWORD> codes;
        for (const Note& note : notes_) {
            codes.push_back(note.code);
        }
        return codes;
    }

    std::vector<std::int32_t> Found(DWORD code) const {
        std::vector<std::int32_t> keys;
        for (const Note& note : notes_) {
            if (note.code == code && note.result) {
                for (const TProblemEntry* entry : ProblemsFound(code, *note.result)) {
                    keys.push_back(entry->OrderKey);
                }
            }
        }
        return keys;
    }

    // What the window lists, highest key first.
    std::vector<std::int32_t> Listed() const {
        std::vector<std::int32_t> keys;
        for (DWORD code :
             {ScanCode::SoundTestDone, ScanCode::MixerCheckDone, ScanCode::ServiceCheckDone}) {
            for (std::int32_t key : Found(code)) {
                keys.push_back(key);
            }
        }
        std::sort(keys.rbegin(), keys.rend());
        return keys;
    }

    Clock::duration took{};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Note> notes_;
    bool ended_ = false;
};

using testing_support::ScopedUnset;

std::chrono::milliseconds ChimeLength() {
    HMODULE own = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(own, platform::kChimeResourceName, platform::kChimeResourceType);
    auto sound = platform::ParseWave(
        static_cast<const unsigned char*>(LockResource(LoadResource(own, resource))),
        SizeofResource(own, resource));
    return sound ? sound->Length() : 0ms;
}

class EngineScanPulse : public testing_support::PulseFixture {
protected:
    // No session bus here: the service is the daemon itself, and the user manager of whoever
    // runs the tests is never touched.
    ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
};

// The cases that hold on either server.
class EngineScanOn : public testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override { server->ApplyToProcess(); }

    void StartDaemon() {
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
    }

    // No session bus but PipeWire's own: the service is the server itself, and the user manager
    // of whoever runs the tests is never touched.
    ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
    std::unique_ptr<PrivateServer> server = testing_support::MakePrivateServer(GetParam());
    PrivateServer& pulse = *server;
};

INSTANTIATE_TEST_SUITE_P(Servers, EngineScanOn,
                         testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const auto& info) { return testing_support::KindName(info.param); });

TEST_P(EngineScanOn, AMutedQuietSinkIsFoundRepairedAndConfirmed) {
    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    BusySink busy(pulse);
    ASSERT_TRUE(busy.Settled());
    TOEVolumeFixer engine;

    Scan scan(engine);
    ASSERT_TRUE(scan.Ended());

    // The server's control has no source line: its -1 readings are no finding.
    EXPECT_THAT(scan.Found(ScanCode::MixerCheckDone), ElementsAre(2, 1));
    EXPECT_EQ(engine.ScanResult.SourceVolume, -1);
    EXPECT_EQ(engine.ScanResult.SourceHasMute, 0);
    EXPECT_THAT(scan.Listed(), ElementsAre(2, 1)) << "the sound plays and the server runs";

    engine.Repair();
    EXPECT_EQ(pulse.SinkMuted(), false);
    EXPECT_EQ(pulse.SinkVolume(), 32768);

    const std::vector<std::int32_t> listed = scan.Listed();
    TRepairCount count =
        CountFixedProblems(listed, engine.ScanResult, engine.Recheck(ChecksToRepeat(listed)));
    EXPECT_EQ(count.Listed, 2);
    EXPECT_EQ(count.Fixed, 2);
}

TEST_F(EngineScanPulse, AnEngineMadeWhileTheDaemonWasDownReadsTheLiveMixerLater) {
    TOEVolumeFixer engine;
    ASSERT_GE(engine.Mixer->MixerCount(), 1);
    ASSERT_EQ(engine.Mixer->MixerId(), -1);

    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "30%"}).exitCode, 0);
    Scan scan(engine);
    ASSERT_TRUE(scan.Ended());

    ASSERT_TRUE(pulse.SinkVolume().has_value());
    EXPECT_EQ(engine.ScanResult.MixerChecked, -1);
    EXPECT_EQ(engine.ScanResult.MasterVolume, *pulse.SinkVolume());
    EXPECT_EQ(engine.ScanResult.MasterMuted, 0);
    EXPECT_THAT(scan.Found(ScanCode::MixerCheckDone), ElementsAre(1));
}

TEST_P(EngineScanOn, AStoppedServerIsFoundStartedByTheRepairAndConfirmed) {
    StartDaemon();
    TOEVolumeFixer engine;
    {
        BusySink busy(pulse);
        ASSERT_TRUE(busy.Settled());
        Scan running(engine);
        ASSERT_TRUE(running.Ended());
        EXPECT_THAT(running.Found(ScanCode::ServiceCheckDone), IsEmpty());
        EXPECT_EQ(engine.ScanResult.ServiceState, SERVICE_RUNNING);
    }

    pulse.Kill();
    ASSERT_FALSE(pulse.Answers());
    Scan stopped(engine);
    ASSERT_TRUE(stopped.Ended());
    ASSERT_THAT(stopped.Found(ScanCode::ServiceCheckDone), ElementsAre(4));
    EXPECT_STREQ(ProblemByOrderKey(4)->OutcomePath, "form1#frame3#RES#TEXT_VD_03#text");
    // Without a server nothing plays and the mixer cannot be read - which is no mixer finding.
    EXPECT_THAT(stopped.Listed(), ElementsAre(4, 3));

    engine.Repair();
    ASSERT_TRUE(pulse.Answers()) << "pactl info does not reach the started daemon";

    BusySink busy(pulse);
    ASSERT_TRUE(busy.Settled());
    const std::vector<std::int32_t> listed = stopped.Listed();
    TRepairCount count =
        CountFixedProblems(listed, engine.ScanResult, engine.Recheck(ChecksToRepeat(listed)));
    EXPECT_EQ(count.Listed, 2);
    EXPECT_EQ(count.Fixed, 2) << "the server runs, and with it the sound plays again";
}

TEST_F(EngineScanPulse, TheTestSoundPlaysOnTheServerAndFailsWithinItsBoundWithout) {
    const auto bound = ChimeLength() + platform::kSoundGrace;
    ASSERT_GT(ChimeLength(), 0ms);

    StartDaemon();
    std::optional<BusySink> busy(std::in_place, pulse);
    ASSERT_TRUE(busy->Settled());
    auto started = Clock::now();
    EXPECT_NE(sndPlaySoundA("Ding", SND_SYNC), 0);
    const auto played = Clock::now() - started;
    // A null sink plays in real time: all frames were played, not merely handed over.
    EXPECT_GE(played, ChimeLength() - 100ms);
    TOEVolumeFixer engine;
    Scan scan(engine);
    ASSERT_TRUE(scan.Ended());
    EXPECT_EQ(engine.ScanResult.SoundPlayed, -1);

    busy.reset();
    pulse.Kill();
    started = Clock::now();
    EXPECT_EQ(sndPlaySoundA("Ding", SND_SYNC), 0);
    EXPECT_LT(Clock::now() - started, bound);
}

TEST_F(EngineScanPulse, AHungServerCostsTheSoundItsBoundNotAHang) {
    StartDaemon();
    const pid_t daemon = DaemonPid();
    ASSERT_GT(daemon, 0);
    // A player of its own, so the play left stuck in the hung server stays with it.
    auto sound = platform::MakeAlsaSound();

    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    const auto started = Clock::now();
    const BOOL stuck = sound->PlaySystemSound("Ding", SND_SYNC);
    const auto waited = Clock::now() - started;
    const BOOL refused = sound->PlaySystemSound("Ding", SND_SYNC);
    kill(daemon, SIGCONT);

    EXPECT_EQ(stuck, 0);
    EXPECT_EQ(refused, 0) << "while the first play is stuck, the next fails at once";
    EXPECT_LT(waited, ChimeLength() + platform::kSoundGrace + 1s);
    EXPECT_GE(waited, ChimeLength() + platform::kSoundGrace - 100ms);
}

TEST_F(EngineScanPulse, TheRealDeviceLibraryRunsItsCheck) {
    StartDaemon();
    TOEVolumeFixer engine;
    ASSERT_NE(engine.LibraryHandle(), nullptr) << "libtmaudiomanager.so beside the test";

    Scan scan(engine);
    ASSERT_TRUE(scan.Ended());

    EXPECT_THAT(scan.Codes(), ElementsAre(0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 11, 1));
    std::cout << "device check on this machine: " << engine.Devices.size() << " devices, "
              << engine.ScanResult.Drivers.size() << " known drivers\n";
    RecordProperty("devices", static_cast<int>(engine.Devices.size()));
}

// Not a speed check: it records, for the performance table, what a scan costs beyond the
// window's holds and the test sound's own length - on a sink in use, and on the private
// daemon's idle null sink.
TEST_F(EngineScanPulse, RecordsTheTimeAScanTakesBeyondItsSound) {
    StartDaemon();
    TOEVolumeFixer engine;
    auto measure = [&](const char* sink) {
        std::vector<long long> beyond;
        for (int i = 0; i < 5; ++i) {
            Scan scan(engine);
            ASSERT_TRUE(scan.Ended());
            ASSERT_EQ(engine.ScanResult.SoundPlayed, -1);
            beyond.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(scan.took - ChimeLength())
                    .count());
        }
        std::sort(beyond.begin(), beyond.end());
        std::cout << "scan beyond the " << ChimeLength().count() << " ms sound, holds 0, " << sink
                  << ": median " << beyond[beyond.size() / 2] << " ms, min " << beyond.front()
                  << " ms, max " << beyond.back() << " ms\n";
        RecordProperty(std::string("scan_beyond_sound_ms_") + sink,
                       static_cast<int>(beyond[beyond.size() / 2]));
    };
    {
        BusySink busy(pulse);
        ASSERT_TRUE(busy.Settled());
        measure("busy_sink");
    }
}

} // namespace

int main(int argc, char** argv) {
    // The mixer's notifications need an event loop's thread to belong to.
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
