#pragma once
// The audio mixer as a small object model over the winmm mixer operations: one open mixer
// device (TAudioMixer), its destination lines (TMixerDestinations, TMixerDestination), the source
// lines of each destination (TMixerConnections, TMixerConnection) and the controls of each line
// (TMixerControls); plus one operation that reads and one that writes the volume and mute state
// of a line.
//
// Threads: a TAudioMixer is created on a thread with a Qt event loop (the window's); its
// callback window lives there, so OnLineChange and OnControlChange are raised there, also when
// the device was (re)opened from another thread. Reads, writes and MixerId changes may run on
// any one thread at a time; nothing here is locked.

#include "platform/Mixer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class MessageWindow;
}

class TAudioMixer;

// An ordered list of untyped pointers; owns its items only when OnFreeItem is set.
class TPointerList {
public:
    using TFreeItem = std::function<void(TPointerList* Owner, void* Item)>;

    TPointerList() = default;
    ~TPointerList();
    TPointerList(const TPointerList&) = delete;
    TPointerList& operator=(const TPointerList&) = delete;

    int Add(void* Item);
    void* Get(int Index) const; // null when Index is not a position in the list
    int Count() const { return static_cast<int>(List.size()); }
    void Clear(); // OnFreeItem for every item in order, then empty

    TFreeItem OnFreeItem;
    std::vector<void*> List;
};

// The controls of one line, as the platform reports them.
class TMixerControls {
public:
    TMixerControls(HMIXER Handle, const MIXERLINEA& Line);
    ~TMixerControls();
    TMixerControls(const TMixerControls&) = delete;
    TMixerControls& operator=(const TMixerControls&) = delete;

    MIXERCONTROLA* Get(int Index) const { return static_cast<MIXERCONTROLA*>(Items.Get(Index)); }
    int Count() const { return Items.Count(); }

    std::unique_ptr<MIXERCONTROLA[]> Block;
    TPointerList Items; // into Block
};

// One source line of a destination.
class TMixerConnection {
public:
    TMixerConnection(TAudioMixer* AMixer, const MIXERLINEA& ALine);

    TAudioMixer* Mixer; // not owned
    MIXERLINEA Line;
    std::unique_ptr<TMixerControls> Controls;
};

// The source lines of one destination; a source whose query fails is left out.
class TMixerConnections {
public:
    TMixerConnections(TAudioMixer* AMixer, const MIXERLINEA& Destination);

    TMixerConnection* Get(int Index) const {
        return static_cast<TMixerConnection*>(Items.Get(Index));
    }
    int Count() const { return Items.Count(); }

    TAudioMixer* Mixer; // not owned
    TPointerList Items;
};

// One destination line with its own controls and its source lines.
class TMixerDestination {
public:
    TMixerDestination(TAudioMixer* AMixer, const MIXERLINEA& ALine);

    TAudioMixer* Mixer; // not owned
    MIXERLINEA Line;
    // Declared in this order: built sources first, destroyed controls first.
    std::unique_ptr<TMixerConnections> Connections;
    std::unique_ptr<TMixerControls> Controls;
};

// The destination lines of the open mixer; empty when built without one.
class TMixerDestinations {
public:
    explicit TMixerDestinations(TAudioMixer* AMixer);

    TMixerDestination* Get(int Index) const {
        return static_cast<TMixerDestination*>(Items.Get(Index));
    }
    int Count() const { return Items.Count(); }

    TPointerList Items;
};

// Raised with the mixer, the handle the platform reported and the line or control id.
using TMixerChange = std::function<void(TAudioMixer* Sender, std::int32_t MixerH, std::int32_t ID)>;

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
    const MIXERCAPSA& Caps() const { return FCaps; }
    HWND CallbackWindow() const;

    // destination: a position in Destinations; line: -1 for the destination line itself or a
    // position in its Connections. Missing controls read as -1. Mute is 1 when any channel is
    // muted. QuietestVolume, when given, receives the lowest volume of all the line's channels
    // (a line turned down on one side only is still turned down), -1 without a volume control.
    bool ReadLineVolume(int destination, int line, std::int32_t& LeftVolume,
                        std::int32_t& RightVolume, std::int32_t& Mute, bool& Stereo,
                        bool& VolumeDisabled, bool& MuteDisabled, bool& MuteIsSelect,
                        std::int32_t* QuietestVolume = nullptr);
    // -1 as LeftVolume leaves the volume alone, -1 as RightVolume means LeftVolume, -1 as Mute
    // leaves the mute state alone. Every channel is set: on a line with more than two, the
    // even ones (front left, rear left, side left) take LeftVolume and the odd ones RightVolume.
    bool WriteLineVolume(int destination, int line, std::int32_t LeftVolume,
                         std::int32_t RightVolume, std::int32_t Mute);

    TMixerChange OnLineChange;
    TMixerChange OnControlChange;

private:
    void Open(std::int32_t Id);
    void Close();
    LRESULT WindowProc(UINT Msg, WPARAM wParam, LPARAM lParam);

    std::unique_ptr<platform::MessageWindow> FCallbackWindow;
    std::unique_ptr<TMixerDestinations> FDestinations;
    std::int32_t FMixerCount = 0;
    HMIXER FHandle = nullptr;
    std::int32_t FMixerId = -1;
    MIXERCAPSA FCaps{};
    DWORD FDriverVersion = 0;
    std::string FManufacturer;
    WORD FProductId = 0;
    std::int32_t FNumberOfLine = 0;
    std::string FProductName;
};
