#pragma once
// The device status check: what the sound server's own view of its devices says about why
// nothing is heard, and the changes that mend it. Pure functions over what the server reports,
// so every rule can be checked against recorded states of real machines.
//
// The dummy sink. Both servers fall back to a sink named "auto_null" ("Dummy Output") when
// they have no device to play to: PulseAudio's module-always-sink loads it as a null sink
// (driver "module-null-sink.c"), PipeWire's pulse server makes it itself as a null-audio node
// (factory "support.null-audio-sink"). A sink is the dummy when it has that name and is such a
// null sink. Any other null sink was loaded by somebody on purpose (a virtual sink for
// recording or streaming) and is a real output.
//
// Only playback gets rows: silence is what the user came about. A default microphone that is
// gone or the dummy's monitor is put right together with the default sink, and a card switched
// back on gets the profile that the card ranks highest, which keeps its inputs where it has any.

#include "platform/SoundDevices.h"

#include <vector>

struct TDeviceStatus {
    bool NoOutputDevice = false;    // nothing but the dummy, and no card that could be switched on
    bool OutputToDummy = false;     // the default is the dummy, or gone, while a real sink exists
    bool OutputSwitchedOff = false; // no card plays, and one has an output profile it could use
    bool OutputUnplugged = false;   // the default sink's port is unplugged, another may not be
};

bool IsDummySink(const platform::SoundEndpoint& sink);

TDeviceStatus AssessDeviceStatus(const platform::SoundServerState& state);

// The repair comes in two rounds, each planned on a fresh reading: first the cards are switched
// on (which makes their sinks), then sound is routed to the best real sink and its port. Each
// round plans only what is wrong in the state it is given, so it never touches a working setup.
std::vector<platform::SoundChange> PlanCardRepair(const platform::SoundServerState& state);
std::vector<platform::SoundChange> PlanRoutingRepair(const platform::SoundServerState& state);
