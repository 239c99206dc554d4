#pragma once
// Playing a system sound, as the program's units ask the platform for it: sndPlaySoundA with
// the name of a sound and the SND_ flags. The only sound there is is the embedded chime
// (resource "DING" of type "WAV"): "Ding" names it, and any other name falls back to it as the
// platform's default sound unless SND_NODEFAULT forbids that.
//
// Only synchronous playing is offered: the call returns when the sound has been played and
// drained, or has failed. It never blocks longer than the sound's own length plus a grace
// period, whatever the sound server does; a sound that has not finished by then counts as not
// played.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <chrono>
#include <memory>
#include <string>

using LPCSTR = const char*;

constexpr UINT SND_SYNC = 0x0000;
constexpr UINT SND_ASYNC = 0x0001;
constexpr UINT SND_NODEFAULT = 0x0002;
constexpr UINT SND_MEMORY = 0x0004;
constexpr UINT SND_LOOP = 0x0008;
constexpr UINT SND_NOSTOP = 0x0010;

// Nonzero when every frame of the sound was played and drained. A null name stops the sound
// another thread of this process is playing: that call returns at once, with zero (not
// played); the stop itself succeeds, also when nothing plays. SND_ASYNC, SND_LOOP and
// SND_MEMORY are not offered and fail.
BOOL sndPlaySoundA(LPCSTR soundName, UINT flags);

namespace platform {

class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Gets the caller's arguments unchanged; must return within a bounded time.
    virtual BOOL PlaySystemSound(LPCSTR soundName, UINT flags) = 0;
};

BackendSlot<SoundBackend>& SoundSlot();

// How much longer than the sound itself a play may take before it counts as failed.
inline constexpr std::chrono::milliseconds kSoundGrace{2000};

// The Linux backend: the chime on ALSA's PCM "default", as the ALSA configuration defines it at
// the moment of playing (so a sound server started after the program is reached).
std::unique_ptr<SoundBackend> MakeAlsaSound();
std::unique_ptr<SoundBackend> MakeAlsaSound(std::string pcmName, std::chrono::milliseconds grace);

// The name the chime is known by, and the resource it is played from.
inline constexpr const char* kChimeSoundName = "Ding";
inline constexpr const char* kChimeResourceName = "DING";
inline constexpr const char* kChimeResourceType = "WAV";

} // namespace platform
