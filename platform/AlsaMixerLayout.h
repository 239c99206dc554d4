#pragma once
// Which ALSA control elements become which winmm mixer lines and controls. Kept free of ALSA
// itself so the choice can be checked against any card's element list.
//
// Destination 0 is the main playback element: "Master" when it has a playback volume, else the
// first element that has one; its VOLUME control is the element's playback volume and its MUTE
// control the inverted playback switch. Its sources: on a sound server's control, every other
// element with a playback volume or switch; on a hardware card only "PCM". Headphone, Speaker,
// Mic, Line, Beep and loopback elements are never offered on hardware: their muting is
// deliberate (jack switching, feedback), and unmuting them is not a repair. No multiplexer is
// offered on playback; enumerated elements such as "Auto-Mute Mode" are not sources.

#include "platform/MixerDescription.h"

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

// The element a winmm control reads and writes, with what is needed to convert its values.
struct AlsaControlBinding {
    enum class Role { Volume, Mute };
    DWORD controlId = 0;
    Role role = Role::Volume;
    std::string elementName;
    unsigned elementIndex = 0;
    unsigned elementCount = 1;
    long minimum = 0;
    long maximum = 0;
    long step = 0;
    DWORD heldChannels = 1; // values per item the winmm control holds
};

struct AlsaMixerLayout {
    MixerDeviceDescription device;
    std::vector<AlsaControlBinding> bindings;
};

AlsaMixerLayout BuildAlsaMixerLayout(const std::vector<AlsaElement>& elements, bool serverControl,
                                     const std::string& productName, MMVERSION driverVersion);

// The winmm values of a control from the element's raw values, and back. A winmm channel beyond
// the element's own count reads the element's last channel; raw values for element channels
// beyond the held ones repeat the last held value.
std::vector<LONG> HeldFromRaw(const AlsaControlBinding& binding, const std::vector<long>& raw);
std::vector<long> RawFromHeld(const AlsaControlBinding& binding, const std::vector<LONG>& held);

} // namespace platform
