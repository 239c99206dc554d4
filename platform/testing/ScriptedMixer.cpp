#include "platform/testing/ScriptedMixer.h"

#include "threading/MessageWindow.h"

#include <stdexcept>

namespace platform {

UINT ScriptedMixer::AddDevice(const std::string& productName, WORD manufacturerId, WORD productId,
                              MMVERSION driverVersion) {
    std::lock_guard lock(mutex_);
    MixerDeviceDescription device;
    device.productName = productName;
    device.manufacturerId = manufacturerId;
    device.productId = productId;
    device.driverVersion = driverVersion;
    devices_.push_back(device);
    return static_cast<UINT>(devices_.size() - 1);
}

DWORD ScriptedMixer::AddDestination(UINT device, const std::string& name, DWORD channels,
                                    DWORD componentType) {
    std::lock_guard lock(mutex_);
    auto& destinations = devices_.at(device).destinations;
    DWORD index = static_cast<DWORD>(destinations.size());
    MixerDestinationDescription destination;
    destination.line.lineId = DestinationLineId(index);
    destination.line.destination = index;
    destination.line.componentType = componentType;
    destination.line.channels = channels;
    destination.line.shortName = name;
    destination.line.name = name;
    destination.line.targetType = MIXERLINE_TARGETTYPE_WAVEOUT;
    destinations.push_back(destination);
    return destination.line.lineId;
}

DWORD ScriptedMixer::AddSource(UINT device, DWORD destinationLineId, const std::string& name,
                               DWORD channels, DWORD componentType) {
    std::lock_guard lock(mutex_);
    for (auto& destination : devices_.at(device).destinations) {
        if (destination.line.lineId != destinationLineId) {
            continue;
        }
        DWORD index = static_cast<DWORD>(destination.sources.size());
        MixerLineDescription source;
        source.lineId = SourceLineId(destination.line.destination, index);
        source.destination = destination.line.destination;
        source.source = index;
        source.flags = MIXERLINE_LINEF_ACTIVE | MIXERLINE_LINEF_SOURCE;
        source.componentType = componentType;
        source.channels = channels;
        source.shortName = name;
        source.name = name;
        destination.sources.push_back(source);
        return source.lineId;
    }
    throw std::invalid_argument("ScriptedMixer: no such destination line");
}

MixerLineDescription* ScriptedMixer::FindLineLocked(UINT device, DWORD lineId) {
    for (auto& destination : devices_.at(device).destinations) {
        if (destination.line.lineId == lineId) {
            return &destination.line;
        }
        for (auto& source : destination.sources) {
            if (source.lineId == lineId) {
                return &source;
            }
        }
    }
    throw std::invalid_argument("ScriptedMixer: no such line");
}

DWORD ScriptedMixer::AddControl(UINT device, DWORD lineId, DWORD controlType, DWORD flags,
                                std::vector<LONG> values) {
    std::lock_guard lock(mutex_);
    MixerLineDescription* line = FindLineLocked(device, lineId);
    MixerControlDescription control;
    control.controlId = ++nextControlId_[device];
    control.controlType = controlType;
    control.flags = flags;
    bool isSwitch = (controlType & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_SWITCH;
    control.shortName = isSwitch ? "Mute" : "Volume";
    control.name = line->name + " " + control.shortName;
    control.maximum = isSwitch ? 1 : 65535;
    control.steps = isSwitch ? 0 : 65535;
    line->controls.push_back(control);
    values.resize(HeldValueCount(control, *line), 0);
    values_[{device, control.controlId}] = std::move(values);
    return control.controlId;
}

DWORD ScriptedMixer::AddMux(UINT device, DWORD destinationLineId,
                            const std::vector<DWORD>& sourceLineIds, std::vector<LONG> values,
                            DWORD flags) {
    std::lock_guard lock(mutex_);
    MixerLineDescription* line = FindLineLocked(device, destinationLineId);
    MixerControlDescription control;
    control.controlId = ++nextControlId_[device];
    control.controlType = MIXERCONTROL_CONTROLTYPE_MUX;
    control.flags = flags | MIXERCONTROL_CONTROLF_MULTIPLE;
    control.shortName = "Select";
    control.name = line->name + " Select";
    control.maximum = static_cast<LONG>(sourceLineIds.size());
    for (DWORD id : sourceLineIds) {
        const MixerLineDescription* source = FindLineLocked(device, id);
        control.items.push_back(MixerListItem{id, source->componentType, source->name});
    }
    line->controls.push_back(control);
    values.resize(HeldValueCount(control, *line), 0);
    values_[{device, control.controlId}] = std::move(values);
    return control.controlId;
}

std::vector<LONG> ScriptedMixer::Values(UINT device, DWORD controlId) const {
    std::lock_guard lock(mutex_);
    return values_.at({device, controlId});
}

void ScriptedMixer::SetValues(UINT device, DWORD controlId, std::vector<LONG> values) {
    std::lock_guard lock(mutex_);
    values_.at({device, controlId}) = std::move(values);
}

void ScriptedMixer::Fail(Operation op, MMRESULT result, std::function<bool(const Call&)> when,
                         int times) {
    std::lock_guard lock(mutex_);
    failures_.push_back(Failure{op, result, std::move(when), times});
}

void ScriptedMixer::ClearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

std::vector<ScriptedMixer::Call> ScriptedMixer::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<ScriptedMixer::Call> ScriptedMixer::CallsOf(Operation op) const {
    std::lock_guard lock(mutex_);
    std::vector<Call> matching;
    for (const auto& call : calls_) {
        if (call.operation == op) {
            matching.push_back(call);
        }
    }
    return matching;
}

void ScriptedMixer::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::vector<HMIXER> ScriptedMixer::OpenHandles() const {
    std::lock_guard lock(mutex_);
    std::vector<HMIXER> handles;
    for (const auto& [key, mixer] : open_) {
        handles.push_back(reinterpret_cast<HMIXER>(key));
    }
    return handles;
}

bool ScriptedMixer::PostLocked(HMIXER handle, UINT message, DWORD id) {
    const OpenMixer* mixer = OpenLocked(handle);
    if (mixer == nullptr || mixer->window == nullptr) {
        return false;
    }
    return MessageWindow::Post(mixer->window, message, reinterpret_cast<WPARAM>(handle),
                               static_cast<LPARAM>(id));
}

bool ScriptedMixer::RaiseLineChange(HMIXER handle, DWORD lineId) {
    std::lock_guard lock(mutex_);
    return PostLocked(handle, MM_MIXM_LINE_CHANGE, lineId);
}

bool ScriptedMixer::RaiseControlChange(HMIXER handle, DWORD controlId) {
    std::lock_guard lock(mutex_);
    return PostLocked(handle, MM_MIXM_CONTROL_CHANGE, controlId);
}

std::optional<MMRESULT> ScriptedMixer::RecordLocked(const Call& call) {
    calls_.push_back(call);
    for (auto& failure : failures_) {
        if (failure.operation != call.operation || failure.times == 0) {
            continue;
        }
        if (failure.when && !failure.when(call)) {
            continue;
        }
        if (failure.times > 0) {
            --failure.times;
        }
        return failure.result;
    }
    return std::nullopt;
}

const ScriptedMixer::OpenMixer* ScriptedMixer::OpenLocked(HMIXER handle) const {
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it != open_.end() ? &it->second : nullptr;
}

UINT ScriptedMixer::GetNumDevs() {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::GetNumDevs;
    if (auto failure = RecordLocked(call)) {
        // A failing count is an empty machine.
        return 0;
    }
    return static_cast<UINT>(devices_.size());
}

MMRESULT ScriptedMixer::Open(UINT deviceId, HWND window, HMIXER& handle) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Open;
    call.device = deviceId;
    call.withWindow = window != nullptr;
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (deviceId >= devices_.size()) {
        return MMSYSERR_BADDEVICEID;
    }
    std::uintptr_t key = nextHandle_++;
    open_[key] = OpenMixer{deviceId, window};
    handle = reinterpret_cast<HMIXER>(key);
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedMixer::Close(HMIXER handle) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Close;
    call.handle = handle;
    if (const OpenMixer* mixer = OpenLocked(handle)) {
        call.device = mixer->device;
    }
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    return open_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0 ? MMSYSERR_NOERROR
                                                                      : MMSYSERR_INVALHANDLE;
}

std::optional<UINT> ScriptedMixer::DeviceOf(HMIXER handle) {
    std::lock_guard lock(mutex_);
    if (const OpenMixer* mixer = OpenLocked(handle)) {
        return mixer->device;
    }
    return std::nullopt;
}

MMRESULT ScriptedMixer::GetDevCaps(UINT deviceId, MIXERCAPSA& caps) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::GetDevCaps;
    call.device = deviceId;
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (deviceId >= devices_.size()) {
        return MMSYSERR_BADDEVICEID;
    }
    FillCaps(devices_[deviceId], caps);
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedMixer::GetLineInfo(HMIXER handle, MIXERLINEA& line, DWORD query) {
    std::lock_guard lock(mutex_);
    const OpenMixer* mixer = OpenLocked(handle);
    Call call;
    call.operation = Operation::GetLineInfo;
    call.handle = handle;
    call.device = mixer != nullptr ? mixer->device : 0;
    call.query = query;
    call.destination = line.dwDestination;
    call.source = line.dwSource;
    call.lineId = line.dwLineID;
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (mixer == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return FillLineInfo(devices_[mixer->device], line, query);
}

MMRESULT ScriptedMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA& controls, DWORD query) {
    std::lock_guard lock(mutex_);
    const OpenMixer* mixer = OpenLocked(handle);
    Call call;
    call.operation = Operation::GetLineControls;
    call.handle = handle;
    call.device = mixer != nullptr ? mixer->device : 0;
    call.query = query;
    call.lineId = controls.dwLineID;
    call.controlId = controls.dwControlID;
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (mixer == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return FillLineControls(devices_[mixer->device], controls, query);
}

MMRESULT ScriptedMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details,
                                          DWORD query) {
    std::lock_guard lock(mutex_);
    const OpenMixer* mixer = OpenLocked(handle);
    Call call;
    call.operation = Operation::GetControlDetails;
    call.handle = handle;
    call.device = mixer != nullptr ? mixer->device : 0;
    call.query = query;
    call.controlId = details.dwControlID;
    call.channels = details.cChannels;
    call.items = details.cMultipleItems;
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (mixer == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (query != MIXER_GETCONTROLDETAILSF_VALUE && query != MIXER_GETCONTROLDETAILSF_LISTTEXT) {
        return MMSYSERR_INVALFLAG;
    }
    auto where = FindControl(devices_[mixer->device], details.dwControlID);
    if (!where) {
        return MIXERR_INVALCONTROL;
    }
    bool listText = query == MIXER_GETCONTROLDETAILSF_LISTTEXT;
    MMRESULT check = CheckDetailsRequest(*where, details, listText);
    if (check != MMSYSERR_NOERROR) {
        return check;
    }
    if (listText) {
        CopyListTextOut(*where, details);
    } else {
        CopyValuesOut(*where, values_.at({mixer->device, details.dwControlID}), details);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details,
                                          DWORD query) {
    std::lock_guard lock(mutex_);
    const OpenMixer* mixer = OpenLocked(handle);
    Call call;
    call.operation = Operation::SetControlDetails;
    call.handle = handle;
    call.device = mixer != nullptr ? mixer->device : 0;
    call.query = query;
    call.controlId = details.dwControlID;
    call.channels = details.cChannels;
    call.items = details.cMultipleItems;
    // Recorded only when the buffer's shape is plausible; a bad request is refused below.
    if (details.paDetails != nullptr && details.cbDetails == sizeof(LONG) &&
        details.cChannels <= 32 && details.cMultipleItems <= 1024) {
        DWORD items = details.cMultipleItems == 0 ? 1 : details.cMultipleItems;
        const auto* in = static_cast<const LONG*>(details.paDetails);
        call.values.assign(in, in + static_cast<size_t>(details.cChannels) * items);
    }
    if (auto failure = RecordLocked(call)) {
        return *failure;
    }
    if (mixer == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (query != MIXER_SETCONTROLDETAILSF_VALUE) {
        return MMSYSERR_INVALFLAG;
    }
    auto where = FindControl(devices_[mixer->device], details.dwControlID);
    if (!where) {
        return MIXERR_INVALCONTROL;
    }
    MMRESULT check = CheckDetailsRequest(*where, details, false);
    if (check != MMSYSERR_NOERROR) {
        return check;
    }
    values_.at({mixer->device, details.dwControlID}) = ValuesFromRequest(*where, details);
    return MMSYSERR_NOERROR;
}

} // namespace platform
