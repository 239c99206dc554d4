// TAudioMixer and its line model over the scripted mixer: how a device is opened and described,
// and what ReadLineVolume and WriteLineVolume read and write.
#include "engine/uMixer.h"
#include "platform/testing/ScriptedMixer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

using platform::ScriptedMixer;
using Op = ScriptedMixer::Operation;

namespace {

using Type = platform::MixerControl::Type;
constexpr unsigned kUniform = ScriptedMixer::kUniform;
constexpr unsigned kDisabled = ScriptedMixer::kDisabled;

class AudioMixer : public ::testing::Test {
protected:
    AudioMixer()
        : installed(platform::MixerBackendSlot(), std::make_unique<ScriptedMixer>()),
          mixer(static_cast<ScriptedMixer&>(*installed)) {}

    // Device 0: "Speakers" (stereo) with a stereo volume and a uniform mute, and the given
    // sources, each a stereo line with the same two controls.
    void SpeakersWithSources(std::vector<std::string> sources) {
        device = mixer.AddDevice("Scripted Audio");
        speakers = mixer.AddDestination(device, "Speakers", 2);
        speakersVolume = mixer.AddControl(device, speakers, Type::Volume, 0, {40000, 20000});
        speakersMute = mixer.AddControl(device, speakers, Type::Mute, kUniform, {1});
        for (const auto& name : sources) {
            DWORD line = mixer.AddSource(device, speakers, name, 2);
            sourceLines.push_back(line);
            sourceVolumes.push_back(mixer.AddControl(device, line, Type::Volume, 0, {1000, 2000}));
            sourceMutes.push_back(mixer.AddControl(device, line, Type::Mute, kUniform, {0}));
        }
    }

    static TLineVolume Read(TAudioMixer& audio, int destination, int line) {
        return audio.ReadLineVolume(destination, line);
    }

    platform::ScopedBackend<platform::MixerBackend> installed;
    ScriptedMixer& mixer;
    UINT device = 0;
    DWORD speakers = 0, speakersVolume = 0, speakersMute = 0;
    std::vector<DWORD> sourceLines, sourceVolumes, sourceMutes;
};

TEST_F(AudioMixer, DescribesTheDeviceFromItsCapabilities) {
    struct Case {
        WORD manufacturer;
        const char* text;
    };
    for (const Case& c :
         {Case{1, "Microsoft"}, Case{0, "0 = Unknown"}, Case{65535, "65535 = Unknown"}}) {
        platform::ScopedBackend<platform::MixerBackend> scoped(platform::MixerBackendSlot(),
                                                               std::make_unique<ScriptedMixer>());
        auto& scripted = static_cast<ScriptedMixer&>(*scoped);
        UINT id = scripted.AddDevice(std::string(40, 'N'), c.manufacturer, 77, 0x0A05);
        scripted.AddDestination(id, "Speakers", 2);
        scripted.AddDestination(id, "Recording", 2);

        TAudioMixer audio;
        EXPECT_EQ(audio.Manufacturer(), c.text);
        EXPECT_EQ(audio.ProductId(), 77);
        EXPECT_EQ(audio.DriverVersion(), 0x0A05u);
        EXPECT_EQ(audio.ProductName(), std::string(31, 'N')) << "cut to the record's 32 bytes";
        EXPECT_EQ(audio.NumberOfLine(), 2);
        EXPECT_EQ(audio.Destinations()->Count(), 2);
    }
}

TEST_F(AudioMixer, WithoutADeviceNothingIsOpenedAndReadsFail) {
    TAudioMixer audio;
    EXPECT_EQ(audio.MixerCount(), 0);
    EXPECT_EQ(audio.MixerId(), -1);
    ASSERT_NE(audio.Destinations(), nullptr);
    EXPECT_EQ(audio.Destinations()->Count(), 0);
    EXPECT_TRUE(mixer.CallsOf(Op::Open).empty());

    TLineVolume r = Read(audio, 0, -1);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.LeftVolume, -1);
    EXPECT_EQ(r.RightVolume, -1);
    EXPECT_EQ(r.Mute, -1);
    EXPECT_FALSE(audio.WriteLineVolume(0, -1, 32768, 32768, 0));
}

TEST_F(AudioMixer, OpensWithNotificationsTwiceThenWithout) {
    struct Case {
        int failingWithWindow;
        int expectedOpens;
        bool lastWithWindow;
    };
    SpeakersWithSources({});
    for (const Case& c : {Case{0, 1, true}, Case{1, 2, true}, Case{2, 3, false}}) {
        mixer.ClearCalls();
        mixer.ClearFailures();
        mixer.Fail(
            Op::Open, [](const ScriptedMixer::Call& call) { return call.withWindow; },
            c.failingWithWindow);
        TAudioMixer audio;
        auto opens = mixer.CallsOf(Op::Open);
        ASSERT_EQ(static_cast<int>(opens.size()), c.expectedOpens);
        EXPECT_EQ(opens.back().withWindow, c.lastWithWindow);
        EXPECT_EQ(audio.MixerId(), 0);
        EXPECT_EQ(Read(audio, 0, -1).LeftVolume, 40000);
    }
}

TEST_F(AudioMixer, ADeviceThatWillNotOpenLeavesTheMixerClosedAndEmpty) {
    SpeakersWithSources({"Wave"});
    mixer.Fail(Op::Open);
    TAudioMixer audio;
    EXPECT_EQ(mixer.CallsOf(Op::Open).size(), 3u);
    EXPECT_EQ(audio.MixerId(), -1);
    ASSERT_NE(audio.Destinations(), nullptr);
    EXPECT_EQ(audio.Destinations()->Count(), 0);
    EXPECT_FALSE(Read(audio, 0, -1).Found);
}

TEST_F(AudioMixer, MixerIdOutsideTheDevicesChangesNothing) {
    SpeakersWithSources({"Wave"});
    TAudioMixer audio;
    TMixerDestinations* before = audio.Destinations();
    HMIXER handle = audio.Handle();
    mixer.ClearCalls();
    for (int id : {audio.MixerCount(), audio.MixerCount() + 5, -1, -100}) {
        audio.SetMixerId(id);
        EXPECT_EQ(audio.MixerId(), 0) << id;
        EXPECT_EQ(audio.Destinations(), before) << id;
        EXPECT_EQ(audio.Handle(), handle) << id;
    }
    EXPECT_TRUE(mixer.Calls().empty());
}

TEST_F(AudioMixer, SettingTheOpenIdAgainClosesAndReopensIt) {
    SpeakersWithSources({"Wave"});
    TAudioMixer audio;
    HMIXER first = audio.Handle();
    mixer.SetValues(device, speakersVolume, {12345, 12345});
    mixer.ClearCalls();

    audio.SetMixerId(0);
    auto closes = mixer.CallsOf(Op::Close);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, first);
    EXPECT_EQ(mixer.CallsOf(Op::Open).size(), 1u);
    EXPECT_NE(audio.Handle(), first);
    EXPECT_EQ(mixer.OpenHandles().size(), 1u);
    EXPECT_EQ(Read(audio, 0, -1).LeftVolume, 12345);
}

TEST_F(AudioMixer, SettingAnotherIdOpensThatDevice) {
    SpeakersWithSources({});
    UINT second = mixer.AddDevice("Second card");
    DWORD line = mixer.AddDestination(second, "Line out", 1);
    mixer.AddControl(second, line, Type::Volume, 0, {777});
    TAudioMixer audio;
    audio.SetMixerId(1);
    EXPECT_EQ(audio.MixerId(), 1);
    EXPECT_EQ(audio.ProductName(), "Second card");
    EXPECT_EQ(Read(audio, 0, -1).LeftVolume, 777);
    EXPECT_EQ(mixer.OpenHandles().size(), 1u);
}

TEST_F(AudioMixer, ReadsVolumeMuteAndFlagsOfLines) {
    SpeakersWithSources({"Wave"});
    TAudioMixer audio;
    TLineVolume master = Read(audio, 0, -1);
    EXPECT_TRUE(master.Found);
    EXPECT_EQ(master.LeftVolume, 40000);
    EXPECT_EQ(master.RightVolume, 20000);
    EXPECT_TRUE(master.Stereo);
    EXPECT_EQ(master.Mute, 1);
    EXPECT_FALSE(master.VolumeDisabled);
    EXPECT_FALSE(master.MuteDisabled);
    EXPECT_FALSE(master.MuteIsSelect);

    TLineVolume wave = Read(audio, 0, 0);
    EXPECT_TRUE(wave.Found);
    EXPECT_EQ(wave.LeftVolume, 1000);
    EXPECT_EQ(wave.RightVolume, 2000);
    EXPECT_EQ(wave.Mute, 0);
}

TEST_F(AudioMixer, MissingLinesAndControlsReadAsMinusOne) {
    SpeakersWithSources({});
    DWORD bare = mixer.AddDestination(device, "Bare", 2);
    (void)bare;
    TAudioMixer audio;

    struct Case {
        int destination, line;
        bool ok;
    };
    // Source 0 of a destination without sources; a line without controls; no destination 5.
    for (const Case& c : {Case{0, 0, true}, Case{1, -1, true}, Case{5, -1, false}}) {
        TLineVolume r = Read(audio, c.destination, c.line);
        EXPECT_EQ(r.Found, c.ok) << c.destination << "/" << c.line;
        EXPECT_EQ(r.LeftVolume, -1);
        EXPECT_EQ(r.RightVolume, -1);
        EXPECT_EQ(r.Mute, -1);
        EXPECT_FALSE(r.Stereo);
        EXPECT_TRUE(r.VolumeDisabled);
        EXPECT_TRUE(r.MuteDisabled);
        EXPECT_FALSE(r.MuteIsSelect);
    }
}

TEST_F(AudioMixer, ChannelLayoutDecidesStereo) {
    device = mixer.AddDevice("Scripted");
    DWORD mono = mixer.AddDestination(device, "Mono", 1);
    mixer.AddControl(device, mono, Type::Volume, 0, {3000});
    DWORD joined = mixer.AddDestination(device, "Joined", 2);
    mixer.AddControl(device, joined, Type::Volume, kUniform, {5000});
    TAudioMixer audio;

    for (int destination : {0, 1}) {
        TLineVolume r = Read(audio, destination, -1);
        EXPECT_EQ(r.LeftVolume, r.RightVolume) << destination;
        EXPECT_FALSE(r.Stereo) << destination;
    }
    EXPECT_EQ(Read(audio, 0, -1).LeftVolume, 3000);
    EXPECT_EQ(Read(audio, 1, -1).LeftVolume, 5000);
}

TEST_F(AudioMixer, DisabledFlagsAndNonZeroMuteValuesAreReported) {
    device = mixer.AddDevice("Scripted");
    DWORD line = mixer.AddDestination(device, "Speakers", 2);
    mixer.AddControl(device, line, Type::Volume, kDisabled, {1, 2});
    mixer.AddControl(device, line, Type::Mute, kUniform | kDisabled, {7});
    TAudioMixer audio;
    TLineVolume r = Read(audio, 0, -1);
    EXPECT_TRUE(r.VolumeDisabled);
    EXPECT_TRUE(r.MuteDisabled);
    EXPECT_EQ(r.Mute, 1);
}

TEST_F(AudioMixer, OnlyTheFirstVolumeAndMuteCountAndMultipleItemControlsAreSkipped) {
    device = mixer.AddDevice("Scripted");
    DWORD line = mixer.AddDestination(device, "Speakers", 1);
    DWORD other = mixer.AddSource(device, line, "Wave", 1);
    // A multiple-item volume comes first and must be passed over.
    mixer.AddMux(device, line, {other}, {1}, kUniform);
    mixer.AddControl(device, line, Type::Volume, 0, {100});
    mixer.AddControl(device, line, Type::Volume, 0, {200});
    mixer.AddControl(device, line, Type::Mute, 0, {0});
    mixer.AddControl(device, line, Type::Mute, 0, {1});
    TAudioMixer audio;
    TLineVolume r = Read(audio, 0, -1);
    EXPECT_EQ(r.LeftVolume, 100);
    EXPECT_EQ(r.Mute, 0);
}

TEST_F(AudioMixer, AFailingValueReadLeavesThatNumberAtMinusOne) {
    SpeakersWithSources({});
    TAudioMixer audio;
    mixer.Fail(Op::Read,
               [&](const ScriptedMixer::Call& call) { return call.controlId == speakersVolume; });
    TLineVolume r = Read(audio, 0, -1);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.LeftVolume, -1);
    EXPECT_TRUE(r.VolumeDisabled);
    EXPECT_EQ(r.Mute, 1);
}

TEST_F(AudioMixer, WritesVolumeAndMuteOfALine) {
    SpeakersWithSources({"Wave"});
    TAudioMixer audio;
    struct Case {
        int line;
        std::int32_t left, right, mute;
        std::vector<LONG> volume, muteValue;
    };
    std::vector<Case> cases = {
        {-1, 32768, 16000, 0, {32768, 16000}, {0}},
        {-1, 30000, -1, -1, {30000, 30000}, {0}}, // right -1: both channels; mute untouched
        {-1, -1, -1, 1, {30000, 30000}, {1}},     // volume untouched
        {0, 32768, 32768, 1, {32768, 32768}, {1}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(audio.WriteLineVolume(0, c.line, c.left, c.right, c.mute));
        DWORD volume = c.line == -1 ? speakersVolume : sourceVolumes[0];
        DWORD mute = c.line == -1 ? speakersMute : sourceMutes[0];
        EXPECT_EQ(mixer.Values(device, volume), c.volume) << c.line << " " << c.left;
        EXPECT_EQ(mixer.Values(device, mute), c.muteValue) << c.line << " " << c.mute;
    }
}

TEST_F(AudioMixer, ALineIsAsLoudAsItsQuietestChannelAndMutedWhenAnyChannelIs) {
    struct Case {
        const char* name;
        DWORD channels;
        DWORD volumeFlags;
        std::vector<LONG> volume; // empty: the line has no volume control
        DWORD muteFlags;
        std::vector<LONG> mute;
        std::int32_t quietest, left, right, muted;
    };
    const std::vector<Case> cases = {
        {"left full, right silent", 2, 0, {65535, 0}, kUniform, {0}, 0, 65535, 0, 0},
        {"left silent, right full", 2, 0, {0, 65535}, kUniform, {0}, 0, 0, 65535, 0},
        {"both the same", 2, 0, {40000, 40000}, kUniform, {0}, 40000, 40000, 40000, 0},
        {"mono", 1, 0, {3000}, kUniform, {0}, 3000, 3000, 3000, 0},
        {"one value for both", 2, kUniform, {5000}, kUniform, {0}, 5000, 5000, 5000, 0},
        {"5.1, the rear right silent",
         6,
         0,
         {65535, 65535, 65535, 65535, 65535, 100},
         0,
         {0, 0, 0, 0, 0, 0},
         100,
         65535,
         65535,
         0},
        {"right channel muted", 2, 0, {40000, 40000}, 0, {0, 1}, 40000, 40000, 40000, 1},
        {"left channel muted", 2, 0, {40000, 40000}, 0, {1, 0}, 40000, 40000, 40000, 1},
        {"no channel muted", 2, 0, {40000, 40000}, 0, {0, 0}, 40000, 40000, 40000, 0},
        {"no volume control", 2, 0, {}, kUniform, {1}, -1, -1, -1, 1},
    };
    for (const Case& c : cases) {
        platform::ScopedBackend<platform::MixerBackend> scoped(platform::MixerBackendSlot(),
                                                               std::make_unique<ScriptedMixer>());
        auto& scripted = static_cast<ScriptedMixer&>(*scoped);
        UINT id = scripted.AddDevice("Scripted");
        DWORD line = scripted.AddDestination(id, "Speakers", c.channels);
        if (!c.volume.empty()) {
            scripted.AddControl(id, line, Type::Volume, c.volumeFlags, c.volume);
        }
        scripted.AddControl(id, line, Type::Mute, c.muteFlags, c.mute);
        TAudioMixer audio;

        TLineVolume r = audio.ReadLineVolume(0, -1);
        EXPECT_TRUE(r.Found) << c.name;
        EXPECT_EQ(r.QuietestVolume, c.quietest) << c.name;
        EXPECT_EQ(r.LeftVolume, c.left) << c.name;
        EXPECT_EQ(r.RightVolume, c.right) << c.name;
        EXPECT_EQ(r.Mute, c.muted) << c.name;
    }
}

TEST_F(AudioMixer, WritingAVolumeSetsEveryChannel) {
    device = mixer.AddDevice("Scripted");
    DWORD line = mixer.AddDestination(device, "Speakers", 6);
    DWORD volume = mixer.AddControl(device, line, Type::Volume, 0, {65535, 0, 65535, 0, 65535, 0});
    DWORD mute = mixer.AddControl(device, line, Type::Mute, 0, {1, 0, 1, 0, 1, 0});
    TAudioMixer audio;

    EXPECT_TRUE(audio.WriteLineVolume(0, -1, 32768, 32768, 0));
    EXPECT_EQ(mixer.Values(device, volume), std::vector<LONG>(6, 32768));
    EXPECT_EQ(mixer.Values(device, mute), std::vector<LONG>(6, 0));

    // Left and right apart: the left-hand channels take the left value, the right-hand ones
    // the right.
    EXPECT_TRUE(audio.WriteLineVolume(0, -1, 100, 200, -1));
    EXPECT_EQ(mixer.Values(device, volume), (std::vector<LONG>{100, 200, 100, 200, 100, 200}));
}

TEST_F(AudioMixer, WritingAMissingLineChangesNothingButAMissingSourceStillSucceeds) {
    SpeakersWithSources({});
    TAudioMixer audio;
    mixer.ClearCalls();
    EXPECT_FALSE(audio.WriteLineVolume(3, -1, 1, 1, 0));
    EXPECT_TRUE(audio.WriteLineVolume(0, 0, 1, 1, 0));
    EXPECT_TRUE(mixer.CallsOf(Op::Write).empty());
}

class AudioMixerWithSourceList : public AudioMixer {
protected:
    void SetUp() override {
        device = mixer.AddDevice("Recorder");
        speakers = mixer.AddDestination(device, "Recording", 1);
        for (const char* name : {"Mic", "Line", "CD"}) {
            DWORD line = mixer.AddSource(device, speakers, name, 1);
            sourceLines.push_back(line);
            sourceMutes.push_back(mixer.AddControl(device, line, Type::Mute, 0, {0}));
        }
        mux = mixer.AddMux(device, speakers, sourceLines, {0, 1, 0});
    }
    DWORD mux = 0;
};

TEST_F(AudioMixerWithSourceList, ASourcesMuteIsWhetherItIsSelected) {
    TAudioMixer audio;
    std::vector<std::int32_t> expected = {0, 1, 0};
    for (int source = 0; source < 3; ++source) {
        TLineVolume r = Read(audio, 0, source);
        EXPECT_TRUE(r.Found);
        EXPECT_EQ(r.Mute, expected[static_cast<size_t>(source)]) << source;
        EXPECT_TRUE(r.MuteIsSelect);
        EXPECT_FALSE(r.MuteDisabled);
    }
}

TEST_F(AudioMixerWithSourceList, WritingSelectsTheSourceAloneOrNone) {
    TAudioMixer audio;
    EXPECT_TRUE(audio.WriteLineVolume(0, 2, -1, -1, 1));
    EXPECT_EQ(mixer.Values(device, mux), (std::vector<LONG>{0, 0, 1}));
    EXPECT_TRUE(audio.WriteLineVolume(0, 2, -1, -1, 0));
    EXPECT_EQ(mixer.Values(device, mux), (std::vector<LONG>{0, 0, 0}));
    // The list answered for the mute; the source's own mute control is left alone.
    EXPECT_EQ(mixer.Values(device, sourceMutes[2]), (std::vector<LONG>{0}));
}

TEST_F(AudioMixerWithSourceList, AnUnreadableListFallsBackToTheSourcesOwnMute) {
    mixer.SetValues(device, sourceMutes[1], {1});
    TAudioMixer audio;
    mixer.Fail(Op::Read, [&](const ScriptedMixer::Call& call) { return call.controlId == mux; });
    TLineVolume r = Read(audio, 0, 1);
    EXPECT_FALSE(r.MuteIsSelect);
    EXPECT_EQ(r.Mute, 1);
}

TEST_F(AudioMixer, ChangeNotificationsReachTheirEventsOnTheOwningThread) {
    SpeakersWithSources({"Wave"});
    int argc = 1;
    char name[] = "mixer-tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    TAudioMixer audio;
    // Watching the device waits for someone to listen.
    EXPECT_FALSE(mixer.Watched(audio.Handle()));
    std::vector<std::pair<std::string, std::int32_t>> raised;
    std::thread::id raisedOn;
    audio.OnControlChange = [&](TAudioMixer* sender, std::int32_t handle, std::int32_t id) {
        EXPECT_EQ(sender, &audio);
        EXPECT_EQ(handle,
                  static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(audio.Handle())));
        raisedOn = std::this_thread::get_id();
        raised.emplace_back("control", id);
    };

    // Raised from another thread, as a platform's notification source would.
    std::thread([&] {
        EXPECT_TRUE(mixer.RaiseControlChange(audio.Handle(), speakersVolume));
        EXPECT_TRUE(mixer.RaiseLineChange(audio.Handle(), sourceLines[0]));
    }).join();
    QCoreApplication::sendPostedEvents();
    // OnLineChange is not assigned: its message passes unnoticed.
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].second, static_cast<std::int32_t>(speakersVolume));
    EXPECT_EQ(raisedOn, std::this_thread::get_id());

    audio.OnLineChange = [&](TAudioMixer*, std::int32_t, std::int32_t id) {
        raised.emplace_back("line", id);
    };
    EXPECT_TRUE(mixer.RaiseLineChange(audio.Handle(), sourceLines[0]));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(raised.size(), 2u);
    EXPECT_EQ(raised[1],
              std::make_pair(std::string("line"), static_cast<std::int32_t>(sourceLines[0])));

    // A reopened device is watched again; with both handlers cleared it is not.
    audio.SetMixerId(0);
    EXPECT_TRUE(mixer.Watched(audio.Handle()));
    audio.OnControlChange = nullptr;
    EXPECT_TRUE(mixer.Watched(audio.Handle()));
    audio.OnLineChange = nullptr;
    EXPECT_FALSE(mixer.Watched(audio.Handle()));
}

TEST_F(AudioMixer, AMixerOpenedWithoutNotificationsNeverRaisesThem) {
    SpeakersWithSources({});
    mixer.Fail(Op::Open, [](const ScriptedMixer::Call& call) { return call.withWindow; });
    TAudioMixer audio;
    ASSERT_EQ(audio.MixerId(), 0);
    audio.OnControlChange = [](TAudioMixer*, std::int32_t, std::int32_t) {};
    EXPECT_FALSE(mixer.RaiseControlChange(audio.Handle(), speakersVolume));
}

TEST_F(AudioMixer, DestroyingTheMixerClosesItsDevice) {
    SpeakersWithSources({});
    HMIXER handle = nullptr;
    {
        TAudioMixer audio;
        handle = audio.Handle();
        mixer.ClearCalls();
    }
    auto closes = mixer.CallsOf(Op::Close);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, handle);
    EXPECT_TRUE(mixer.OpenHandles().empty());
}

} // namespace
