#pragma once
// The mixer seam: one model of a mixer device - its destination lines, the source lines of each
// and the controls of every line - that a backend builds once per open and that the engine's
// TAudioMixer keeps as it is, plus the reads and writes of one control's values. The ALSA
// backend (MixerAlsa.cpp) keeps every ALSA call in one file behind this interface; tests install
// a scripted double (testing/ScriptedMixer.h).
//
// Values: a volume is 0..65535 per channel, a mute 1 (muted) or 0 per channel, a source list
// 1 (selected) or 0 per listed source. A uniform control holds one value for all channels.
//
// Change notifications go to the window passed to Open (a platform::MessageWindow), posted as
// MM_MIXM_LINE_CHANGE and MM_MIXM_CONTROL_CHANGE with the handle as wParam and the line or
// control id as lParam, so they run on the thread that owns that window. They flow only while
// the handle is watched: watching costs a second connection to the device, so it starts when
// someone listens, not at every open.
//
// Threads: every operation may be called from any thread and returns within a bounded time.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HMIXER__;
using HMIXER = HMIXER__*;

inline constexpr UINT MM_MIXM_LINE_CHANGE = 0x3D0;
inline constexpr UINT MM_MIXM_CONTROL_CHANGE = 0x3D1;
inline constexpr WORD MM_MICROSOFT = 1;

namespace platform {

struct MixerControl {
    enum class Type { Volume, Mute, SourceList };
    DWORD id = 0;
    Type type = Type::Volume;
    bool uniform = false; // one value stands for every channel
    bool disabled = false;
    std::vector<DWORD> sourceLineIds; // SourceList: the source line each entry selects

    // How many values the control holds on a line of `channels` channels.
    size_t ValueCount(DWORD channels) const {
        if (type == Type::SourceList) {
            return sourceLineIds.size();
        }
        return uniform ? 1 : channels;
    }
};

struct MixerLine {
    DWORD lineId = 0;
    DWORD channels = 1;
    std::string name;
    std::vector<MixerControl> controls;
};

struct MixerDestination {
    MixerLine line;
    std::vector<MixerLine> sources;
};

struct MixerDevice {
    WORD manufacturerId = 0;
    WORD productId = 0;
    DWORD driverVersion = 0; // major version in the high byte, minor in the low byte
    std::string productName;
    std::vector<MixerDestination> destinations;
};

class MixerBackend {
public:
    virtual ~MixerBackend() = default;

    virtual UINT DeviceCount() = 0;
    // Opens device `id` and describes it. window receives change notifications, or is null for
    // none. False when the device cannot be opened; handle and device are then unchanged.
    virtual bool Open(UINT id, HWND window, HMIXER& handle, MixerDevice& device) = 0;
    virtual void Close(HMIXER handle) = 0;
    // Starts (on) or stops the change notifications of a handle opened with a window; a handle
    // opened without one, or closed, ignores it. A handle is not watched after Open.
    virtual void Watch(HMIXER handle, bool on) = 0;
    // values holds the control's ValueCount numbers; false when the device did not answer.
    virtual bool Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) = 0;
    virtual bool Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) = 0;
};

BackendSlot<MixerBackend>& MixerBackendSlot();

// The Linux backend (MixerAlsa.cpp); the slot's default.
std::unique_ptr<MixerBackend> MakeAlsaMixerBackend();

} // namespace platform
