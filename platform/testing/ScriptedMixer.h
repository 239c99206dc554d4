#pragma once
// An in-memory mixer for tests: devices with destination and source lines, controls with any
// flags (uniform, disabled), source lists, failures on demand for each operation, a record of
// every call, and line or control change notifications raised at will. Install it with
// platform::ScopedBackend on platform::MixerBackendSlot().

#include "platform/Mixer.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class ScriptedMixer final : public MixerBackend {
public:
    enum class Operation { DeviceCount, Open, Close, Read, Write };
    // Control flags for AddControl and AddMux.
    static constexpr unsigned kUniform = 1;
    static constexpr unsigned kDisabled = 2;

    struct Call {
        Operation operation = Operation::DeviceCount;
        UINT device = 0;
        HMIXER handle = nullptr;
        bool withWindow = false;          // Open
        DWORD controlId = 0;              // Read, Write
        std::vector<std::int32_t> values; // Write: what was written
    };

    // Building the devices. A destination's line id is 0xFFFF0000 + its index, a source's its
    // index in the high word and its destination's in the low word; control ids count from 1.
    UINT AddDevice(const std::string& productName, WORD manufacturerId = MM_MICROSOFT,
                   WORD productId = 0, DWORD driverVersion = 0x0500);
    DWORD AddDestination(UINT device, const std::string& name, DWORD channels);
    DWORD AddSource(UINT device, DWORD destinationLineId, const std::string& name, DWORD channels);
    // values: what the control holds (see MixerControl::ValueCount); sized to fit.
    DWORD AddControl(UINT device, DWORD lineId, MixerControl::Type type, unsigned flags,
                     std::vector<std::int32_t> values);
    // A single-select source list on a destination: one entry per listed source line.
    DWORD AddMux(UINT device, DWORD destinationLineId, const std::vector<DWORD>& sourceLineIds,
                 std::vector<std::int32_t> values, unsigned flags = kUniform);

    std::vector<std::int32_t> Values(UINT device, DWORD controlId) const;
    void SetValues(UINT device, DWORD controlId, std::vector<std::int32_t> values);

    // The calls of op for which when (if given) holds fail instead; times limits how many
    // (-1: all). Failing calls are recorded like the others.
    void Fail(Operation op, std::function<bool(const Call&)> when = nullptr, int times = -1);
    void ClearFailures();

    std::vector<Call> Calls() const;
    std::vector<Call> CallsOf(Operation op) const;
    void ClearCalls();

    std::vector<HMIXER> OpenHandles() const;
    bool Watched(HMIXER handle) const;

    // Posts the notification to the window the handle was opened with; false when the handle
    // is not open, was opened without one, or is not watched.
    bool RaiseLineChange(HMIXER handle, DWORD lineId);
    bool RaiseControlChange(HMIXER handle, DWORD controlId);

    UINT DeviceCount() override;
    bool Open(UINT id, HWND window, HMIXER& handle, MixerDevice& device) override;
    void Close(HMIXER handle) override;
    void Watch(HMIXER handle, bool on) override;
    bool Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) override;
    bool Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) override;

private:
    struct Failure {
        Operation operation;
        std::function<bool(const Call&)> when;
        int times;
    };
    struct OpenMixer {
        UINT device = 0;
        HWND window = nullptr;
        bool watched = false;
    };
    struct Found {
        MixerLine* line = nullptr;
        MixerControl* control = nullptr;
    };

    MixerLine* FindLineLocked(UINT device, DWORD lineId);
    Found FindControlLocked(UINT device, DWORD controlId);
    DWORD AddControlLocked(UINT device, DWORD lineId, MixerControl control,
                           std::vector<std::int32_t> values);
    // Records the call; true when it is to fail.
    bool RecordLocked(const Call& call);
    bool PostLocked(HMIXER handle, UINT message, DWORD id);

    mutable std::mutex mutex_;
    std::vector<MixerDevice> devices_;
    std::map<std::pair<UINT, DWORD>, std::vector<std::int32_t>> values_;
    std::map<UINT, DWORD> nextControlId_;
    std::map<std::uintptr_t, OpenMixer> open_;
    std::uintptr_t nextHandle_ = 0x20000;
    std::vector<Failure> failures_;
    std::vector<Call> calls_;
};

} // namespace platform
