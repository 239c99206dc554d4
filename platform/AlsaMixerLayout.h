#pragma once
// Which ALSA control elements become which mixer lines and controls, and how their values
// convert. Kept free of ALSA itself so the choice can be checked against any card's element list.
//
// Destination 0 is the main playback element: "Master" when it has a playback volume, else the
// first element that has one; its volume control is the element's playback volume and its mute
// control the inverted playback switch. Its sources: on a sound server's control, every other
// element with a playback volume or switch; on a hardware card only "PCM". Headphone, Speaker,
// Mic, Line, Beep and loopback elements are never offered on hardware: their muting is
// deliberate (jack switching, feedback), and unmuting them is not a repair. No source list is
// offered on playback; enumerated elements such as "Auto-Mute Mode" are not sources.
//
// Volumes: reading rounds up, volume = ceil((raw - min) * 65535 / (max - min)), clamped to
// 0..65535, so a sound server's Master that runs 0..65536 and on up to 150 % reads 65535 at 65536
// and above. Writing picks the smallest raw value that reads back at least the volume written,
// and full scale is the maximum. With a raw range of 65535 steps or more every volume reads back
// exactly as written; with a coarser one it reads back as the nearest level above, so a volume
// written is never read as lower.

#include "platform/Mixer.h"

#include <string>
#include <vector>

namespace platform {

// One element of an ALSA control device, as enumerated.
struct AlsaElement {
    enum class Kind { Integer, Boolean, Other };
    std::string name;
    unsigned index = 0;
    Kind kind = Kind::Other;
    unsigned count = 1;
    long minimum = 0;
    long maximum = 0;
    long step = 0;
    bool writable = true;
    bool active = true;
};

// The element a mixer control reads and writes, with what is needed to convert its values.
struct AlsaControlBinding {
    enum class Role { Volume, Mute };
    DWORD controlId = 0;
    DWORD lineId = 0; // the line the control belongs to
    Role role = Role::Volume;
    std::string elementName;
    unsigned elementIndex = 0;
    unsigned elementCount = 1;
    long minimum = 0;
    long maximum = 0;
    long step = 0;
    DWORD heldChannels = 1; // values the mixer control holds
};

struct AlsaMixerLayout {
    MixerDevice device;
    std::vector<AlsaControlBinding> bindings;

    const AlsaControlBinding* BindingOf(DWORD controlId) const;
};

AlsaMixerLayout BuildAlsaMixerLayout(const std::vector<AlsaElement>& elements, bool serverControl,
                                     const std::string& productName, DWORD driverVersion);

// The mixer values of a control from the element's raw values, and back. A mixer channel beyond
// the element's own count reads the element's last channel; raw values for element channels
// beyond the held ones repeat the last held value.
std::vector<std::int32_t> HeldFromRaw(const AlsaControlBinding& binding,
                                      const std::vector<long>& raw);
std::vector<long> RawFromHeld(const AlsaControlBinding& binding,
                              const std::vector<std::int32_t>& held);

DWORD MixerVolumeFromRaw(long raw, long minimum, long maximum);
long RawFromMixerVolume(DWORD volume, long minimum, long maximum, long step);

} // namespace platform
