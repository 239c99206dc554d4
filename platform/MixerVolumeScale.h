#pragma once
// How a mixer volume (0..65535, the winmm range) maps onto a control element's own raw range.
//
// Reading rounds up: volume = ceil((raw - min) * 65535 / (max - min)), clamped to 0..65535, so
// a sound server's Master that runs 0..65536 and on up to 150 % reads 65535 at 65536 and above.
// Writing picks the smallest raw value that reads back at least the volume written, and full
// scale is the maximum. With a raw range of 65535 steps or more every volume reads back exactly
// as written (32768 is raw 32768 on a 0..65536 range and reads 32768 again); with a coarser range
// it reads back as the nearest level above, so a volume written is never read as lower.

#include "platform/Win32Types.h"

namespace platform {

DWORD MixerVolumeFromRaw(long raw, long minimum, long maximum);
long RawFromMixerVolume(DWORD volume, long minimum, long maximum, long step);

} // namespace platform
