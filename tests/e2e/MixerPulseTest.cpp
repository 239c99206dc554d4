// The mixer object model over the real ALSA backend, against a PulseAudio daemon of the test's
// own: what the engine reads and writes must be what pactl sees, across the daemon being down,
// killed, restarted or hung.
#include "engine/uMixer.h"
#include "platform/MixerAlsa.h"
#include "support/PrivatePulse.h"
#include "support/PulseFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <regex>
#include <thread>

using testing_support::PrivatePulse;

namespace {

using namespace std::chrono_literals;

// The product's own bound: long enough for a loaded machine, short enough for a scan.
constexpr auto kBound = platform::kAlsaMixerCallBound;

struct LineReading {
    bool ok = false;
    std::int32_t left = -2, right = -2, mute = -2, quietest = -2;
    bool stereo = false, volumeDisabled = false, muteDisabled = false, muteIsSelect = false;
};

LineReading Read(TAudioMixer& mixer, int line) {
    TLineVolume v = mixer.ReadLineVolume(0, line);
    return {v.Found,  v.LeftVolume,     v.RightVolume,  v.Mute,        v.QuietestVolume,
            v.Stereo, v.VolumeDisabled, v.MuteDisabled, v.MuteIsSelect};
}

// Every channel's raw volume of the default sink, as pactl reports them.
std::vector<long> SinkChannelVolumes(const PrivatePulse& pulse) {
    testing_support::CommandResult r = pulse.Pactl({"get-sink-volume", "@DEFAULT_SINK@"});
    std::vector<long> volumes;
    if (r.exitCode != 0) {
        return volumes;
    }
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: 32768 / ..."
    std::string firstLine = r.output.substr(0, r.output.find('\n'));
    const std::regex channel(R"(([a-z-]+):\s*(\d+)\s*/)");
    for (auto it = std::sregex_iterator(firstLine.begin(), firstLine.end(), channel);
         it != std::sregex_iterator(); ++it) {
        volumes.push_back(std::stol((*it)[2].str()));
    }
    return volumes;
}

class MixerPulse : public testing_support::PulseFixture {
protected:
    platform::ScopedBackend<platform::MixerBackend> backend{platform::MixerBackendSlot(),
                                                            platform::MakeAlsaMixerBackend(kBound)};
};

TEST_F(MixerPulse, ReadsTheSinkAsPactlSetItAndWritesWhatPactlThenSees) {
    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);

    TAudioMixer mixer;
    ASSERT_GE(mixer.MixerCount(), 1);
    ASSERT_EQ(mixer.MixerId(), 0);
    EXPECT_EQ(mixer.ProductName(), "PulseAudio");
    EXPECT_EQ(mixer.NumberOfLine(), 1);

    LineReading master = Read(mixer, -1);
    EXPECT_TRUE(master.ok);
    EXPECT_EQ(master.left, 13107);
    EXPECT_EQ(master.right, 13107);
    EXPECT_EQ(master.mute, 1);
    EXPECT_TRUE(master.stereo);
    EXPECT_FALSE(master.volumeDisabled);
    EXPECT_FALSE(master.muteDisabled);

    // The server's control has no playback element besides Master: there is no source line 0.
    LineReading source = Read(mixer, 0);
    EXPECT_TRUE(source.ok);
    EXPECT_EQ(source.left, -1);
    EXPECT_EQ(source.right, -1);
    EXPECT_EQ(source.mute, -1);

    EXPECT_TRUE(mixer.WriteLineVolume(0, -1, 32768, 32768, 0));
    EXPECT_EQ(pulse.SinkVolume(), 32768);
    EXPECT_EQ(pulse.SinkMuted(), false);
    LineReading after = Read(mixer, -1);
    EXPECT_EQ(after.left, 32768);
    EXPECT_EQ(after.right, 32768);
    EXPECT_EQ(after.mute, 0);

    // Above 100 % the server's raw value passes the element's maximum; it reads as full scale.
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "150%"}).exitCode, 0);
    EXPECT_EQ(Read(mixer, -1).left, 65535);

    // One side turned down, either side: the line is as loud as its quieter side, and the
    // repair's write sets both sides again.
    struct Sides {
        const char* left;
        const char* right;
        std::int32_t leftReads, rightReads;
    };
    for (const Sides& s : {Sides{"100%", "0%", 65535, 0}, Sides{"0%", "100%", 0, 65535}}) {
        ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", s.left, s.right}).exitCode, 0);
        LineReading sides = Read(mixer, -1);
        ASSERT_TRUE(sides.ok);
        EXPECT_EQ(sides.left, s.leftReads) << s.left << " " << s.right;
        EXPECT_EQ(sides.right, s.rightReads) << s.left << " " << s.right;
        EXPECT_EQ(sides.quietest, 0) << s.left << " " << s.right;

        EXPECT_TRUE(mixer.WriteLineVolume(0, -1, 32768, 32768, 0));
        EXPECT_EQ(SinkChannelVolumes(pulse), (std::vector<long>{32768, 32768}))
            << s.left << " " << s.right;
    }
}

TEST_F(MixerPulse, AMixerMadeWhileTheDaemonIsDownReadsTheLiveMixerOnceReopened) {
    TAudioMixer mixer;
    ASSERT_GE(mixer.MixerCount(), 1) << "the installed server counts as device 0 while down";
    EXPECT_EQ(mixer.MixerId(), -1);
    ASSERT_NE(mixer.Destinations(), nullptr);
    EXPECT_EQ(mixer.Destinations()->Count(), 0);
    LineReading down = Read(mixer, -1);
    EXPECT_FALSE(down.ok);
    EXPECT_EQ(down.left, -1);
    EXPECT_EQ(down.mute, -1);

    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "30%"}).exitCode, 0);
    mixer.SetMixerId(0);
    EXPECT_EQ(mixer.MixerId(), 0);
    LineReading live = Read(mixer, -1);
    EXPECT_TRUE(live.ok);
    ASSERT_TRUE(pulse.SinkVolume().has_value());
    EXPECT_EQ(live.left, *pulse.SinkVolume()); // below 100 % the raw value reads unchanged
    EXPECT_EQ(live.mute, 0);
}

TEST_F(MixerPulse, ADaemonRestartedUnderAnOpenMixerIsReachedAgain) {
    StartDaemon();
    TAudioMixer mixer;
    ASSERT_EQ(mixer.MixerId(), 0);
    ASSERT_EQ(Read(mixer, -1).left, 65535);

    // Killed and started again before the next read: the old handle answers EIO, and the read
    // goes through a fresh handle to the new daemon.
    pulse.Kill();
    StartDaemon();
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "40%"}).exitCode, 0);
    LineReading restarted = Read(mixer, -1);
    EXPECT_TRUE(restarted.ok);
    ASSERT_TRUE(pulse.SinkVolume().has_value());
    EXPECT_EQ(restarted.left, *pulse.SinkVolume());

    // Killed and left down: the read finds no control and says so with -1.
    pulse.Kill();
    LineReading gone = Read(mixer, -1);
    EXPECT_TRUE(gone.ok);
    EXPECT_EQ(gone.left, -1);
    EXPECT_EQ(gone.mute, -1);

    // Back again: the same open mixer reads it, and writes reach it.
    StartDaemon();
    EXPECT_EQ(Read(mixer, -1).left, 65535);
    EXPECT_TRUE(mixer.WriteLineVolume(0, -1, 32768, -1, 1));
    EXPECT_EQ(pulse.SinkVolume(), 32768);
    EXPECT_EQ(pulse.SinkMuted(), true);
}

TEST_F(MixerPulse, AHungDaemonCostsABoundedWaitNotAHang) {
    StartDaemon();
    TAudioMixer mixer;
    ASSERT_EQ(mixer.MixerId(), 0);
    pid_t daemon = DaemonPid();
    ASSERT_GT(daemon, 0);

    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    auto start = std::chrono::steady_clock::now();
    LineReading stuck = Read(mixer, -1);
    mixer.SetMixerId(0); // reopening while it hangs is bounded too
    LineReading reopened = Read(mixer, -1);
    auto waited = std::chrono::steady_clock::now() - start;
    kill(daemon, SIGCONT);

    EXPECT_EQ(stuck.left, -1);
    EXPECT_EQ(reopened.ok, false);
    // One bound for the first call; the rest fail at once while it is stuck. Generous slack for
    // a loaded machine, far below "forever".
    EXPECT_LT(waited, kBound * 6);

    // Once the daemon answers again the stuck call returns and the mixer works again.
    bool recovered = false;
    for (int i = 0; i < 50 && !recovered; ++i) {
        mixer.SetMixerId(0);
        recovered = Read(mixer, -1).left == 65535;
        if (!recovered) {
            std::this_thread::sleep_for(100ms);
        }
    }
    EXPECT_TRUE(recovered);
}

// Sets environment variables for one scope and restores them after.
class ScopedEnvironment {
public:
    void Set(const char* name, const char* value) {
        if (saved_.find(name) == saved_.end()) {
            const char* old = std::getenv(name);
            saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(MixerDevices, TheServersControlIsADeviceWhenTheServerIsInstalledOrConfigured) {
    auto backend = platform::MakeAlsaMixerBackend(kBound);
    ScopedEnvironment env;
    env.Set("PULSE_SERVER", nullptr);
    env.Set("PULSE_RUNTIME_PATH", "/nonexistent");
    env.Set("XDG_RUNTIME_DIR", "/nonexistent");
    env.Set("PATH", "/nonexistent");
    UINT cardsOnly = backend->DeviceCount();

    env.Set("PATH", "/usr/bin:/bin");
    EXPECT_EQ(backend->DeviceCount(), cardsOnly + 1) << "installed";
    env.Set("PATH", "/nonexistent");
    env.Set("PULSE_SERVER", "unix:/nonexistent/native");
    EXPECT_EQ(backend->DeviceCount(), cardsOnly + 1) << "configured";

    // Device 0 is then the server's control, which cannot be opened while no server answers.
    // (A named server is never spawned by the client library.)
    HMIXER handle = nullptr;
    platform::MixerDevice device;
    EXPECT_FALSE(backend->Open(0, nullptr, handle, device));
    EXPECT_EQ(handle, nullptr);
}

TEST_F(MixerPulse, SinkChangesRaiseOnControlChangeOnTheOwningThread) {
    StartDaemon();
    int argc = 1;
    char name[] = "mixer-e2e";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    TAudioMixer mixer;
    ASSERT_EQ(mixer.MixerId(), 0);
    // The engine reopens device 0 from its scan worker; notifications must still come here.
    std::thread([&] { mixer.SetMixerId(0); }).join();
    ASSERT_EQ(mixer.MixerId(), 0);

    TMixerDestination* master = mixer.Destinations()->Get(0);
    ASSERT_NE(master, nullptr);
    ASSERT_GE(master->Controls.Count(), 1);
    DWORD volumeId = master->Controls.Get(0)->id;
    ASSERT_EQ(master->Controls.Get(0)->type, platform::MixerControl::Type::Volume);

    std::atomic<int> changes{0};
    std::thread::id raisedOn;
    std::int32_t reportedHandle = 0;
    std::int32_t reportedId = 0;
    mixer.OnControlChange = [&](TAudioMixer* sender, std::int32_t handle, std::int32_t id) {
        EXPECT_EQ(sender, &mixer);
        raisedOn = std::this_thread::get_id();
        reportedHandle = handle;
        reportedId = id;
        ++changes;
    };

    // The second handle is opened in the background; keep changing the volume until its first
    // change arrives.
    QElapsedTimer timer;
    timer.start();
    int step = 0;
    while (changes == 0 && timer.elapsed() < 10000) {
        std::string level = std::to_string(30 + (step++ % 2) * 10) + "%";
        ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", level}).exitCode, 0);
        QElapsedTimer slice;
        slice.start();
        while (changes == 0 && slice.elapsed() < 300) {
            app.processEvents(QEventLoop::AllEvents, 50);
        }
    }
    ASSERT_GT(changes.load(), 0);
    EXPECT_EQ(raisedOn, std::this_thread::get_id());
    EXPECT_EQ(reportedHandle,
              static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(mixer.Handle())));
    EXPECT_EQ(reportedId, static_cast<std::int32_t>(volumeId));
}

} // namespace
