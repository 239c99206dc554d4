#pragma once
// The Linux mixer backend over ALSA. Device 0 is the sound server's own ALSA control ("pulse",
// opened by that name) whenever PulseAudio or PipeWire is installed or configured - also while
// the server is down, when opening it fails - provided ALSA's pulse plugin is installed, without
// which no such control can exist. The hardware cards (hw:N) follow. On bare hardware without a
// server the cards are the only devices. Which elements become which lines and controls:
// AlsaMixerLayout.h.
//
// Every ALSA call runs on a worker of the open mixer and is given up after a bound, so no
// caller - least of all the scan worker - can hang on a sound server that stopped answering.
// While such a call is still stuck, further calls on the same device fail at once.

#include "platform/Mixer.h"

#include <chrono>
#include <memory>

namespace platform {

inline constexpr std::chrono::milliseconds kAlsaMixerCallBound{2500};

std::unique_ptr<MixerBackend> MakeAlsaMixerBackend(std::chrono::milliseconds callBound);

} // namespace platform
