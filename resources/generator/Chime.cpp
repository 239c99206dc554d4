// The test sound: one soft bell stroke with a quieter fifth above it, 0.7 s, faded in over a
// few milliseconds and out over the last 80 so neither end clicks.

#include "Products.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace art {
namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kSeconds = 0.7;
constexpr double kAttack = 0.004;
constexpr double kFadeOut = 0.08;
constexpr double kPeak = 0.45; // of full scale: pleasant, and never clipping

struct Partial {
    double frequency;
    double amplitude;
    double decay; // seconds for the partial to fall to 1/e
    double delay; // the fifth rings in slightly later, like a second bell
};

// C6 with its octave and a touch of bell inharmonicity, then G6 as the second voice.
const Partial kPartials[] = {{1046.5, 1.00, 0.22, 0.0},
                             {2093.0, 0.30, 0.10, 0.0},
                             {2888.3, 0.10, 0.05, 0.0},
                             {1568.0, 0.55, 0.20, 0.045},
                             {3136.0, 0.14, 0.08, 0.045}};

void PutLe(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutTag(Bytes& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

} // namespace

Bytes MakeChimeWav() {
    const int frames = static_cast<int>(kSeconds * kRate);
    std::vector<double> signal(static_cast<size_t>(frames));
    double loudest = 0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0;
        for (const Partial& p : kPartials) {
            if (t < p.delay) {
                continue;
            }
            const double local = t - p.delay;
            const double attack = std::min(1.0, local / kAttack);
            v += p.amplitude * attack * std::exp(-local / p.decay) *
                 std::sin(2 * M_PI * p.frequency * local);
        }
        const double remaining = kSeconds - t;
        if (remaining < kFadeOut) {
            v *= 0.5 - 0.5 * std::cos(M_PI * remaining / kFadeOut);
        }
        signal[static_cast<size_t>(i)] = v;
        loudest = std::max(loudest, std::abs(v));
    }

    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * kChannels * 2);
    Bytes out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutLe(out, 36 + dataBytes, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, kChannels, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * kChannels * 2, 4);
    PutLe(out, kChannels * 2, 2);
    PutLe(out, 16, 2);
    PutTag(out, "data");
    PutLe(out, dataBytes, 4);
    for (double v : signal) {
        const auto sample = static_cast<std::int16_t>(std::lround(v / loudest * kPeak * 32767));
        for (int c = 0; c < kChannels; ++c) {
            PutLe(out, static_cast<std::uint16_t>(sample), 2);
        }
    }
    return out;
}

} // namespace art
