#pragma once
// Reading a RIFF/WAVE sound as the chime is stored: uncompressed PCM, 8 or 16 bits, one to
// eight channels. Anything else - another encoding, a chunk that runs past the end, a header
// that contradicts itself - is refused as a whole rather than played as noise.

#include <chrono>
#include <cstddef>
#include <optional>

namespace platform {

struct WaveSound {
    unsigned channels = 0;
    unsigned rate = 0;                      // frames per second
    unsigned bitsPerSample = 0;             // 8 (unsigned) or 16 (signed little-endian)
    const unsigned char* samples = nullptr; // interleaved frames, inside the parsed bytes
    std::size_t frames = 0;                 // whole frames only

    std::size_t BytesPerFrame() const { return channels * (bitsPerSample / 8); }
    // Rounded up to whole milliseconds.
    std::chrono::milliseconds Length() const;
};

// The sound inside data, pointing into it; nullopt when data is not a sound we can play.
std::optional<WaveSound> ParseWave(const unsigned char* data, std::size_t size);

} // namespace platform
