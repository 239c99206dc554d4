// The test sound is played through ALSA as 16-bit PCM: it must be exactly that, short, audible,
// and start and end at silence so the speaker does not click.
#include "ResourceFiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

using namespace artwork_test;

namespace {

struct Wave {
    std::uint16_t format = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bits = 0;
    std::vector<std::int16_t> samples;
};

Wave ParseWave(const Bytes& b) {
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        throw std::runtime_error("not a RIFF/WAVE file");
    }
    if (Le32(b, 4) != b.size() - 8) {
        throw std::runtime_error("RIFF size does not match the file");
    }
    Wave w;
    bool haveFormat = false;
    bool haveData = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t size = Le32(b, at + 4);
        if (at + 8 + size > b.size()) {
            throw std::runtime_error("chunk runs past the end");
        }
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
            w.format = Le16(b, at + 8);
            w.channels = Le16(b, at + 10);
            w.rate = Le32(b, at + 12);
            w.byteRate = Le32(b, at + 16);
            w.blockAlign = Le16(b, at + 20);
            w.bits = Le16(b, at + 22);
            haveFormat = true;
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            for (std::size_t i = 0; i + 1 < size; i += 2) {
                w.samples.push_back(static_cast<std::int16_t>(Le16(b, at + 8 + i)));
            }
            haveData = true;
        }
        at += 8 + size + (size & 1);
    }
    if (!haveFormat || !haveData) {
        throw std::runtime_error("fmt or data chunk missing");
    }
    return w;
}

} // namespace

TEST(Chime, IsShortStereoSixteenBitPcm) {
    const Wave w = ParseWave(ReadResource("DING.WAV"));
    EXPECT_EQ(w.format, 1);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.blockAlign, 4);
    EXPECT_EQ(w.byteRate, 44100u * 4);
    ASSERT_EQ(w.samples.size() % 2, 0u);
    const double seconds = static_cast<double>(w.samples.size() / 2) / 44100;
    EXPECT_GT(seconds, 0.2);
    EXPECT_LT(seconds, 1.0);
}

TEST(Chime, IsAudibleUnclippedAndStartsAndEndsSilent) {
    const Wave w = ParseWave(ReadResource("DING.WAV"));
    ASSERT_GT(w.samples.size(), 64u);
    int peak = 0;
    for (std::int16_t s : w.samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    EXPECT_GT(peak, 4000) << "too quiet to be heard";
    EXPECT_LT(peak, 32767) << "clipped";
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_LT(std::abs(w.samples[i]), 300) << "sample " << i << " clicks at the start";
        EXPECT_LT(std::abs(w.samples[w.samples.size() - 1 - i]), 300) << "clicks at the end";
    }
}
