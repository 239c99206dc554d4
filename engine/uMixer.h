#pragma once
// The audio mixer as a small object model over the mixer backend: one open mixer device
// (TAudioMixer), its destination lines (TMixerDestinations, TMixerDestination), the source lines
// of each destination (TMixerConnections, TMixerConnection) and the controls of each line
// (TMixerControls), each holding the backend's own line model; plus one operation that reads and
// one that writes the volume and mute state of a line.
//
// Threads: a TAudioMixer is created on a thread with a Qt event loop (the window's); its
// callback window lives there, so OnLineChange and OnControlChange are raised there, also when
// the device was (re)opened from another thread. Reads, writes, MixerId changes and handler
// assignments may run on any one thread at a time; nothing here is locked.

#include "platform/Mixer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class MessageWindow;
}

class TAudioMixer;

// The lines of a collection, owned, in the order the device lists them.
template <class T> class TOwnedList {
public:
    T* Get(int Index) const { // null when Index is not a position in the list
        return Index >= 0 && static_cast<size_t>(Index) < Items.size()
                   ? Items[static_cast<size_t>(Index)].get()
                   : nullptr;
    }
    int Count() const { return static_cast<int>(Items.size()); }

    std::vector<std::unique_ptr<T>> Items;
};

// The controls of one line, as the device reports them.
class TMixerControls {
public:
    explicit TMixerControls(const std::vector<platform::MixerControl>& AItems) : Items(AItems) {}
    // A copy would still look at the line it was copied from.
    TMixerControls(const TMixerControls&) = delete;
    TMixerControls& operator=(const TMixerControls&) = delete;

    const platform::MixerControl* Get(int Index) const {
        return Index >= 0 && static_cast<size_t>(Index) < Items.size()
                   ? &Items[static_cast<size_t>(Index)]
                   : nullptr;
    }
    int Count() const { return static_cast<int>(Items.size()); }

    const std::vector<platform::MixerControl>& Items; // the line's own
};

// One source line of a destination.
class TMixerConnection {
public:
    TMixerConnection(TAudioMixer* AMixer, platform::MixerLine ALine)
        : Mixer(AMixer), Line(std::move(ALine)) {}

    TAudioMixer* Mixer; // not owned
    const platform::MixerLine Line;
    const TMixerControls Controls{Line.controls};
};

// The source lines of one destination.
class TMixerConnections : public TOwnedList<TMixerConnection> {
public:
    TMixerConnections(TAudioMixer* AMixer, std::vector<platform::MixerLine> Sources);

    TAudioMixer* Mixer; // not owned
};

// One destination line with its own controls and its source lines.
class TMixerDestination {
public:
    TMixerDestination(TAudioMixer* AMixer, platform::MixerDestination ALine);

    TAudioMixer* Mixer; // not owned
    const platform::MixerLine Line;
    const TMixerControls Controls{Line.controls};
    std::unique_ptr<TMixerConnections> Connections;
};

// The destination lines of the open mixer; empty when none is open.
class TMixerDestinations : public TOwnedList<TMixerDestination> {
public:
    TMixerDestinations(TAudioMixer* AMixer, std::vector<platform::MixerDestination> Lines);
};

// What ReadLineVolume found on a line. Missing controls read as -1; a flag whose control is
// missing reads as disabled (volume, mute) or not a selection.
struct TLineVolume {
    bool Found = false; // false when no mixer is open or the destination is missing
    std::int32_t LeftVolume = -1;
    std::int32_t RightVolume = -1;
    // The lowest volume of all the line's channels: a line turned down on one side only is
    // still turned down.
    std::int32_t QuietestVolume = -1;
    std::int32_t Mute = -1; // 1 when any channel is muted
    bool Stereo = false;
    bool VolumeDisabled = true;
    bool MuteDisabled = true;
    bool MuteIsSelect = false; // Mute is whether the source is selected in its destination's list
};

// Raised with the mixer, the handle the platform reported and the line or control id.
using TMixerChange = std::function<void(TAudioMixer* Sender, std::int32_t MixerH, std::int32_t ID)>;

// An event of the mixer. Assigning a handler (or clearing it) tells the mixer, which watches the
// device for changes only while one of its events has a handler.
class TMixerEvent {
public:
    explicit TMixerEvent(TAudioMixer* AOwner) : Owner(AOwner) {}
    TMixerEvent(const TMixerEvent&) = delete;
    TMixerEvent& operator=(const TMixerEvent&) = delete;

    TMixerEvent& operator=(TMixerChange AHandler);
    explicit operator bool() const { return static_cast<bool>(Handler); }
    void operator()(TAudioMixer* Sender, std::int32_t MixerH, std::int32_t ID) const {
        Handler(Sender, MixerH, ID);
    }

private:
    TAudioMixer* Owner;
    TMixerChange Handler;
};

class TAudioMixer {
public:
    // Opens mixer device 0 at once when there is one.
    TAudioMixer();
    ~TAudioMixer();
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    // Published properties.
    DWORD DriverVersion() const { return FDriverVersion; }
    WORD ProductId() const { return FProductId; }
    std::int32_t NumberOfLine() const { return FNumberOfLine; }
    const std::string& Manufacturer() const { return FManufacturer; }
    const std::string& ProductName() const { return FProductName; }
    std::int32_t MixerId() const { return FMixerId; }
    // Closes the current device and opens device Id; ignored when Id is negative or not below
    // MixerCount. Setting the id already open reopens it (so a restarted sound server is seen).
    void SetMixerId(std::int32_t Id);

    std::int32_t MixerCount() const { return FMixerCount; }
    TMixerDestinations* Destinations() const { return FDestinations.get(); }
    HMIXER Handle() const { return FHandle; }
    HWND CallbackWindow() const;

    // destination: a position in Destinations; line: -1 for the destination line itself or a
    // position in its Connections. A missing source line is found, with every number -1.
    TLineVolume ReadLineVolume(int destination, int line);
    // -1 as LeftVolume leaves the volume alone, -1 as RightVolume means LeftVolume, -1 as Mute
    // leaves the mute state alone. Every channel is set: on a line with more than two, the
    // even ones (front left, rear left, side left) take LeftVolume and the odd ones RightVolume.
    bool WriteLineVolume(int destination, int line, std::int32_t LeftVolume,
                         std::int32_t RightVolume, std::int32_t Mute);

    TMixerEvent OnLineChange{this};
    TMixerEvent OnControlChange{this};

private:
    friend class TMixerEvent;
    void Open(std::int32_t Id);
    // Watches the open device for changes while an event has a handler, and stops otherwise.
    void UpdateWatch();
    void Close();
    LRESULT WindowProc(UINT Msg, WPARAM wParam, LPARAM lParam);

    std::unique_ptr<platform::MessageWindow> FCallbackWindow;
    std::unique_ptr<TMixerDestinations> FDestinations;
    std::int32_t FMixerCount = 0;
    HMIXER FHandle = nullptr;
    std::int32_t FMixerId = -1;
    bool FNotifying = false; // the device was opened with the callback window
    DWORD FDriverVersion = 0;
    std::string FManufacturer;
    WORD FProductId = 0;
    std::int32_t FNumberOfLine = 0;
    std::string FProductName;
};
