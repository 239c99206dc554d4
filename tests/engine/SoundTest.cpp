// The test sound: the chime read from the program's resources, the RIFF reader's refusals, and
// the ALSA backend on PCMs that exist everywhere (ALSA's "null" and "file") or nowhere.
#include "platform/Sound.h"

#include "platform/EmbeddedResources.h"
#include "platform/ModuleResources.h"
#include "platform/WaveFile.h"
#include "platform/testing/ScriptedModuleResources.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

void Append(Bytes& b, const char* tag, const Bytes& body) {
    b.insert(b.end(), tag, tag + 4);
    Bytes size(4);
    Put32(size, 0, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), size.begin(), size.end());
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        b.push_back(0);
    }
}

Bytes Format(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    Bytes fmt(16);
    fmt[0] = static_cast<unsigned char>(format);
    fmt[2] = static_cast<unsigned char>(channels);
    Put32(fmt, 4, rate);
    Put32(fmt, 8, rate * align);
    fmt[12] = static_cast<unsigned char>(align);
    fmt[14] = static_cast<unsigned char>(bits);
    return fmt;
}

// RIFF/WAVE around the given chunks, with a correct RIFF size.
Bytes Wave(const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& [tag, body] : chunks) {
        Append(b, tag, body);
    }
    Put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
    return b;
}

Bytes StereoSixteen(std::size_t frames) {
    return Wave({{"fmt ", Format(1, 2, 8000, 16)}, {"data", Bytes(frames * 4, 0)}});
}

TEST(WaveFile, TheEmbeddedChimeIsAShortPlayableSound) {
    HMODULE own = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(own, "DING", "WAV");
    ASSERT_NE(resource, nullptr);
    auto sound = platform::ParseWave(
        static_cast<const unsigned char*>(LockResource(LoadResource(own, resource))),
        SizeofResource(own, resource));
    ASSERT_TRUE(sound.has_value());
    EXPECT_EQ(sound->channels, 2u);
    EXPECT_EQ(sound->rate, 44100u);
    EXPECT_EQ(sound->bitsPerSample, 16u);
    EXPECT_GT(sound->Length(), 200ms);
    EXPECT_LT(sound->Length(), 1000ms);
}

TEST(WaveFile, ReadsTheSoundPastOtherChunksAndOddPadding) {
    Bytes b = Wave({{"LIST", Bytes(5, 'x')},
                    {"fmt ", Format(1, 1, 11025, 8)},
                    {"data", Bytes(11025 + 1, 128)}});
    auto sound = platform::ParseWave(b.data(), b.size());
    ASSERT_TRUE(sound.has_value());
    EXPECT_EQ(sound->channels, 1u);
    EXPECT_EQ(sound->bitsPerSample, 8u);
    EXPECT_EQ(sound->frames, 11026u);
    EXPECT_EQ(sound->Length(), 1001ms); // rounded up
    EXPECT_EQ(sound->samples[0], 128);

    // A trailing partial frame is left out.
    Bytes partial = Wave({{"fmt ", Format(1, 2, 8000, 16)}, {"data", Bytes(4 * 10 + 3, 0)}});
    EXPECT_EQ(platform::ParseWave(partial.data(), partial.size())->frames, 10u);
}

struct DamageCase {
    const char* name;
    std::function<Bytes()> make;
};

class DamagedWave : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedWave, IsRefusedWhole) {
    Bytes b = GetParam().make();
    EXPECT_FALSE(platform::ParseWave(b.data(), b.size()).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Sound, DamagedWave,
    testing::Values(
        DamageCase{"Empty", [] { return Bytes{}; }},
        DamageCase{"NotRiff",
                   [] {
                       Bytes b = StereoSixteen(10);
                       b[0] = 'X';
                       return b;
                   }},
        DamageCase{"NotWave",
                   [] {
                       Bytes b = StereoSixteen(10);
                       b[8] = 'A';
                       return b;
                   }},
        DamageCase{"CutShort",
                   [] {
                       Bytes b = StereoSixteen(10);
                       b.resize(b.size() - 1);
                       return b;
                   }},
        DamageCase{"DataRunsPastTheEnd",
                   [] {
                       Bytes b = StereoSixteen(10);
                       Put32(b, b.size() - 40 - 4, 4000);
                       return b;
                   }},
        DamageCase{"NoFormat",
                   [] {
                       return Wave({{"data", Bytes(40, 0)}});
                   }},
        DamageCase{"NoData",
                   [] {
                       return Wave({{"fmt ", Format(1, 2, 8000, 16)}});
                   }},
        DamageCase{"NoFrames",
                   [] {
                       return Wave({{"fmt ", Format(1, 2, 8000, 16)}, {"data", Bytes(3, 0)}});
                   }},
        DamageCase{"FloatingPoint",
                   [] {
                       return Wave({{"fmt ", Format(3, 2, 8000, 32)}, {"data", Bytes(8, 0)}});
                   }},
        DamageCase{"TwentyFourBits",
                   [] {
                       return Wave({{"fmt ", Format(1, 2, 8000, 24)}, {"data", Bytes(6, 0)}});
                   }},
        DamageCase{"NoChannels",
                   [] {
                       return Wave({{"fmt ", Format(1, 0, 8000, 16)}, {"data", Bytes(4, 0)}});
                   }},
        DamageCase{"ImplausibleRate",
                   [] {
                       return Wave({{"fmt ", Format(1, 2, 10, 16)}, {"data", Bytes(4, 0)}});
                   }},
        DamageCase{"BlockAlignContradicts",
                   [] {
                       Bytes fmt = Format(1, 2, 8000, 16);
                       fmt[12] = 3;
                       return Wave({{"fmt ", fmt}, {"data", Bytes(4, 0)}});
                   }},
        DamageCase{"ShortFormatChunk",
                   [] {
                       return Wave({{"fmt ", Bytes(12, 1)}, {"data", Bytes(4, 0)}});
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// ALSA's "null" PCM takes any sound and discards it: the whole play path, without hardware.
class AlsaSound : public testing::Test {
protected:
    static BOOL Play(const char* pcm, LPCSTR name, UINT flags) {
        return platform::MakeAlsaSound(pcm, platform::kSoundGrace)->PlaySystemSound(name, flags);
    }
};

TEST_F(AlsaSound, PlaysTheChimeToTheEnd) {
    EXPECT_NE(Play("null", "Ding", SND_SYNC), 0);
    EXPECT_NE(Play("null", "ding", SND_SYNC | SND_NODEFAULT), 0) << "names ignore letter case";
    EXPECT_NE(Play("null", "SystemAsterisk", SND_SYNC), 0) << "the default sound is the chime";
}

TEST_F(AlsaSound, FailsWhereNothingCanPlay) {
    EXPECT_EQ(Play("tonemender_no_such_pcm", "Ding", SND_SYNC), 0);
}

TEST_F(AlsaSound, AnswersTheFlagsItDoesNotOfferAndTheNullNameAtOnce) {
    EXPECT_EQ(Play("null", "Ding", SND_ASYNC), 0);
    EXPECT_EQ(Play("null", "Ding", SND_SYNC | SND_LOOP), 0);
    EXPECT_EQ(Play("null", "Ding", SND_MEMORY), 0);
    EXPECT_EQ(Play("null", "SystemAsterisk", SND_SYNC | SND_NODEFAULT), 0);
    EXPECT_NE(Play("tonemender_no_such_pcm", nullptr, SND_SYNC), 0) << "nothing to stop";
}

// ALSA's "file" PCM writes what it plays into a pipe the test holds. With the pipe's buffer at
// one page and nobody reading, the play is stuck in its second write: a stop lands for certain,
// however loaded the machine.
TEST_F(AlsaSound, AStopFromAnotherThreadEndsThePlayAsNotPlayed) {
    char folder[] = "/tmp/tm-sound-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string pipePath = std::string(folder) + "/pcm";
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    const int reader = open(pipePath.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);
    // A grace of an hour: only the stop can end this play's wait.
    auto sound = platform::MakeAlsaSound("file:'" + pipePath + "',raw", std::chrono::hours(1));

    BOOL played = -1;
    std::atomic<bool> returned{false};
    std::thread player([&] {
        played = sound->PlaySystemSound("Ding", SND_SYNC);
        returned = true;
    });
    int pending = 0;
    for (int wait = 0; wait < 1000 && pending == 0; ++wait) {
        std::this_thread::sleep_for(10ms);
        ioctl(reader, FIONREAD, &pending);
    }
    EXPECT_GT(pending, 0) << "the play never reached the pipe";
    EXPECT_NE(sound->PlaySystemSound(nullptr, SND_SYNC), 0);
    for (int wait = 0; wait < 1000 && !returned; ++wait) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(returned) << "the stop did not end the play";

    // Emptied from here on, so the stopped play lets go of the pipe and the next one can run.
    std::atomic<bool> draining{true};
    std::thread drain([&] {
        char buffer[4096];
        while (draining) {
            if (read(reader, buffer, sizeof buffer) <= 0) {
                std::this_thread::sleep_for(1ms);
            }
        }
    });
    player.join();
    EXPECT_EQ(played, 0) << "a stopped play counts as not played";
    // The backend is not left stopped: once the stopped play has let go of the pipe, the next
    // chime plays to its end.
    BOOL again = 0;
    for (int attempt = 0; attempt < 100 && again == 0; ++attempt) {
        std::this_thread::sleep_for(20ms);
        again = sound->PlaySystemSound("Ding", SND_SYNC);
    }
    EXPECT_NE(again, 0);
    draining = false;
    drain.join();
    close(reader);
    unlink(pipePath.c_str());
    rmdir(folder);
}

TEST_F(AlsaSound, AMissingOrDamagedChimePlaysNothing) {
    for (bool damaged : {false, true}) {
        auto resources = std::make_unique<platform::testing::ScriptedModuleResources>();
        if (damaged) {
            resources->Add("DING", "WAV", std::string("RIFF\x04\0\0\0WAVE", 12));
        }
        platform::ScopedBackend<platform::ModuleResourceBackend> scope(
            platform::ModuleResourceSlot(), std::move(resources));
        EXPECT_EQ(Play("null", "Ding", SND_SYNC), 0) << (damaged ? "damaged" : "missing");
    }
}

TEST_F(AlsaSound, IsWhatTheGlobalOperationPlays) {
    platform::ScopedBackend<platform::SoundBackend> scope(
        platform::SoundSlot(), platform::MakeAlsaSound("null", platform::kSoundGrace));
    EXPECT_NE(sndPlaySoundA("Ding", SND_SYNC), 0);
}

} // namespace
