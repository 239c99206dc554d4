#include "platform/MixerVolumeScale.h"

namespace platform {

namespace {

constexpr DWORD kFullScale = 65535;

} // namespace

DWORD MixerVolumeFromRaw(long raw, long minimum, long maximum) {
    if (maximum <= minimum) {
        // An element with a single level cannot be turned down: it plays at full volume.
        return kFullScale;
    }
    if (raw <= minimum) {
        return 0;
    }
    // 128 bits: element ranges are longs and may be wide.
    __int128 range = static_cast<__int128>(maximum) - minimum;
    __int128 scaled = (static_cast<__int128>(raw) - minimum) * kFullScale;
    __int128 volume = (scaled + range - 1) / range;
    return volume > kFullScale ? kFullScale : static_cast<DWORD>(volume);
}

long RawFromMixerVolume(DWORD volume, long minimum, long maximum, long step) {
    if (maximum <= minimum || volume == 0) {
        return minimum;
    }
    if (volume >= kFullScale) {
        return maximum;
    }
    __int128 range = static_cast<__int128>(maximum) - minimum;
    __int128 offset = (static_cast<__int128>(volume) - 1) * range / kFullScale + 1;
    if (step > 1) {
        // Elements only take multiples of their step; going up keeps the read-back promise.
        offset = (offset + step - 1) / step * step;
    }
    if (offset > range) {
        offset = range;
    }
    return static_cast<long>(minimum + offset);
}

} // namespace platform
