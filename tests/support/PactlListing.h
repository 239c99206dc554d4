#pragma once
// Recorded sound-server states for tests: the text `pactl list` (cards, sinks, sources, sink
// inputs) and `pactl info` / `pactl stat` print, read back into the model the device status
// check works on. Machines with sound hardware are only available to us as such recordings.
//
// Tolerant of what different servers and versions print: tabs, spaces or no indentation at
// all; "(priority: 9000, not available)", "(priority 9000, available)", "(type: Speaker,
// priority: 100, availability unknown)" and "available: yes" for ports; "(sinks: 1, sources: 0,
// priority: 6000, available: yes)" and PulseAudio 4's "priority. 6000" without availability for
// profiles. A line it cannot read is skipped. Lines starting with '#' are comments.
//
// pactl does not print which card a sink belongs to; libpulse does. Where the listing has no
// "Card:" line, a sink or source is given to the listed card with the same "alsa.card"
// property, as the server itself would report it.

#include "platform/SoundDevices.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

// A source monitoring a sink the listing does not show.
inline constexpr std::uint32_t kUnlistedSink = platform::kNoIndex - 1;

platform::SoundServerState ParsePactlListing(std::string_view text);

// tests/fixtures/pactl/<name> under $TONEMENDER_SOURCE_DIR, parsed; throws when unreadable.
platform::SoundServerState LoadPactlFixture(const std::string& name);

} // namespace testing_support
