#include "platform/WaveFile.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint16_t kPcm = 1;
constexpr unsigned kLowestRate = 1000;
constexpr unsigned kHighestRate = 384000;
constexpr unsigned kMostChannels = 8;

} // namespace

std::chrono::milliseconds WaveSound::Length() const {
    if (rate == 0) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds((frames * 1000 + rate - 1) / rate);
}

std::optional<WaveSound> ParseWave(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < 12 || std::memcmp(data, "RIFF", 4) != 0 ||
        std::memcmp(data + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    // A RIFF size beyond the bytes we hold means the sound was cut short.
    const std::uint64_t riffEnd = std::uint64_t{Le32(data + 4)} + 8;
    if (riffEnd > size) {
        return std::nullopt;
    }
    const std::size_t end = static_cast<std::size_t>(riffEnd);

    WaveSound sound;
    bool haveFormat = false;
    const unsigned char* samples = nullptr;
    std::size_t sampleBytes = 0;
    for (std::size_t at = 12; at + 8 <= end;) {
        const std::uint64_t chunkSize = Le32(data + at + 4);
        const std::uint64_t bodyEnd = at + 8 + chunkSize;
        if (bodyEnd > end) {
            return std::nullopt;
        }
        const unsigned char* body = data + at + 8;
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (chunkSize < 16 || haveFormat) {
                return std::nullopt;
            }
            const std::uint16_t format = Le16(body);
            sound.channels = Le16(body + 2);
            sound.rate = Le32(body + 4);
            const std::uint32_t byteRate = Le32(body + 8);
            const std::uint16_t blockAlign = Le16(body + 12);
            sound.bitsPerSample = Le16(body + 14);
            if (format != kPcm || (sound.bitsPerSample != 8 && sound.bitsPerSample != 16) ||
                sound.channels == 0 || sound.channels > kMostChannels || sound.rate < kLowestRate ||
                sound.rate > kHighestRate || blockAlign != sound.BytesPerFrame() ||
                byteRate != std::uint64_t{sound.rate} * blockAlign) {
                return std::nullopt;
            }
            haveFormat = true;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (samples != nullptr) {
                return std::nullopt;
            }
            samples = body;
            sampleBytes = static_cast<std::size_t>(chunkSize);
        }
        // Chunks are padded to an even length; the pad of the last one may be missing.
        at = static_cast<std::size_t>(bodyEnd + (chunkSize & 1));
    }
    if (!haveFormat || samples == nullptr) {
        return std::nullopt;
    }
    sound.samples = samples;
    sound.frames = sampleBytes / sound.BytesPerFrame();
    if (sound.frames == 0) {
        return std::nullopt;
    }
    return sound;
}

} // namespace platform
