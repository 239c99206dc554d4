#pragma once
// An in-memory mixer for tests: devices with destination and source lines, controls with any
// flags (uniform, multiple, disabled), source lists with their texts, failures on demand for
// each operation, a record of every call, and line or control change notifications raised at
// will. Install it with platform::ScopedBackend on platform::MixerBackendSlot().

#include "platform/Mixer.h"
#include "platform/MixerDescription.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class ScriptedMixer final : public MixerBackend {
public:
    enum class Operation {
        GetNumDevs,
        Open,
        Close,
        GetDevCaps,
        GetLineInfo,
        GetLineControls,
        GetControlDetails,
        SetControlDetails,
    };

    struct Call {
        Operation operation = Operation::GetNumDevs;
        UINT device = 0;
        HMIXER handle = nullptr;
        DWORD query = 0;
        bool withWindow = false;  // Open
        DWORD destination = 0;    // GetLineInfo
        DWORD source = 0;         // GetLineInfo
        DWORD lineId = 0;         // GetLineInfo, GetLineControls
        DWORD controlId = 0;      // details
        DWORD channels = 0;       // details
        DWORD items = 0;          // details
        std::vector<LONG> values; // SetControlDetails: what was written, as passed
    };

    // Building the devices. Line and control ids follow the winmm numbering; the returned ids
    // are what the operations report.
    UINT AddDevice(const std::string& productName, WORD manufacturerId = MM_MICROSOFT,
                   WORD productId = 0, MMVERSION driverVersion = 0x0500);
    DWORD AddDestination(UINT device, const std::string& name, DWORD channels,
                         DWORD componentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    DWORD AddSource(UINT device, DWORD destinationLineId, const std::string& name, DWORD channels,
                    DWORD componentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
    // values: what the control holds, item-major (see MixerDescription.h); sized to fit.
    DWORD AddControl(UINT device, DWORD lineId, DWORD controlType, DWORD flags,
                     std::vector<LONG> values);
    // A single-select source list on a destination: one item per listed source line.
    DWORD AddMux(UINT device, DWORD destinationLineId, const std::vector<DWORD>& sourceLineIds,
                 std::vector<LONG> values, DWORD flags = MIXERCONTROL_CONTROLF_UNIFORM);

    std::vector<LONG> Values(UINT device, DWORD controlId) const;
    void SetValues(UINT device, DWORD controlId, std::vector<LONG> values);

    // The calls of op for which when (if given) holds answer result instead; times limits how
    // many (-1: all). Failing calls are recorded like the others.
    void Fail(Operation op, MMRESULT result, std::function<bool(const Call&)> when = nullptr,
              int times = -1);
    void ClearFailures();

    std::vector<Call> Calls() const;
    std::vector<Call> CallsOf(Operation op) const;
    void ClearCalls();

    std::vector<HMIXER> OpenHandles() const;

    // Posts the notification to the window the handle was opened with; false when the handle
    // is not open or was opened without one.
    bool RaiseLineChange(HMIXER handle, DWORD lineId);
    bool RaiseControlChange(HMIXER handle, DWORD controlId);

    UINT GetNumDevs() override;
    MMRESULT Open(UINT deviceId, HWND window, HMIXER& handle) override;
    MMRESULT Close(HMIXER handle) override;
    std::optional<UINT> DeviceOf(HMIXER handle) override;
    MMRESULT GetDevCaps(UINT deviceId, MIXERCAPSA& caps) override;
    MMRESULT GetLineInfo(HMIXER handle, MIXERLINEA& line, DWORD query) override;
    MMRESULT GetLineControls(HMIXER handle, MIXERLINECONTROLSA& controls, DWORD query) override;
    MMRESULT GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details, DWORD query) override;
    MMRESULT SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details, DWORD query) override;

private:
    struct Failure {
        Operation operation;
        MMRESULT result;
        std::function<bool(const Call&)> when;
        int times;
    };
    struct OpenMixer {
        UINT device = 0;
        HWND window = nullptr;
    };

    MixerLineDescription* FindLineLocked(UINT device, DWORD lineId);
    // Records the call and returns the scripted failure for it, if any.
    std::optional<MMRESULT> RecordLocked(const Call& call);
    const OpenMixer* OpenLocked(HMIXER handle) const;
    bool PostLocked(HMIXER handle, UINT message, DWORD id);

    mutable std::mutex mutex_;
    std::vector<MixerDeviceDescription> devices_;
    std::map<std::pair<UINT, DWORD>, std::vector<LONG>> values_;
    std::map<UINT, DWORD> nextControlId_;
    std::map<std::uintptr_t, OpenMixer> open_;
    std::uintptr_t nextHandle_ = 0x20000;
    std::vector<Failure> failures_;
    std::vector<Call> calls_;
};

} // namespace platform
