#include "platform/testing/ScriptedMixer.h"

#include "threading/MessageWindow.h"

#include <stdexcept>

namespace platform {

UINT ScriptedMixer::AddDevice(const std::string& productName, WORD manufacturerId, WORD productId,
                              DWORD driverVersion) {
    std::lock_guard lock(mutex_);
    MixerDevice device;
    device.productName = productName;
    device.manufacturerId = manufacturerId;
    device.productId = productId;
    device.driverVersion = driverVersion;
    devices_.push_back(std::move(device));
    return static_cast<UINT>(devices_.size() - 1);
}

DWORD ScriptedMixer::AddDestination(UINT device, const std::string& name, DWORD channels) {
    std::lock_guard lock(mutex_);
    auto& destinations = devices_.at(device).destinations;
    MixerDestination destination;
    destination.line.lineId = 0xFFFF0000u + static_cast<DWORD>(destinations.size());
    destination.line.channels = channels;
    destination.line.name = name;
    destinations.push_back(std::move(destination));
    return destinations.back().line.lineId;
}

DWORD ScriptedMixer::AddSource(UINT device, DWORD destinationLineId, const std::string& name,
                               DWORD channels) {
    std::lock_guard lock(mutex_);
    auto& destinations = devices_.at(device).destinations;
    for (DWORD index = 0; index < destinations.size(); ++index) {
        auto& destination = destinations[index];
        if (destination.line.lineId != destinationLineId) {
            continue;
        }
        MixerLine source;
        source.lineId = (static_cast<DWORD>(destination.sources.size()) << 16) | index;
        source.channels = channels;
        source.name = name;
        destination.sources.push_back(std::move(source));
        return destination.sources.back().lineId;
    }
    throw std::invalid_argument("ScriptedMixer: no such destination line");
}

DWORD ScriptedMixer::AddControl(UINT device, DWORD lineId, MixerControl::Type type, unsigned flags,
                                std::vector<std::int32_t> values) {
    std::lock_guard lock(mutex_);
    MixerControl control;
    control.type = type;
    control.uniform = (flags & kUniform) != 0;
    control.disabled = (flags & kDisabled) != 0;
    return AddControlLocked(device, lineId, std::move(control), std::move(values));
}

DWORD ScriptedMixer::AddMux(UINT device, DWORD destinationLineId,
                            const std::vector<DWORD>& sourceLineIds,
                            std::vector<std::int32_t> values, unsigned flags) {
    std::lock_guard lock(mutex_);
    MixerControl control;
    control.type = MixerControl::Type::SourceList;
    control.uniform = (flags & kUniform) != 0;
    control.disabled = (flags & kDisabled) != 0;
    control.sourceLineIds = sourceLineIds;
    return AddControlLocked(device, destinationLineId, std::move(control), std::move(values));
}

DWORD ScriptedMixer::AddControlLocked(UINT device, DWORD lineId, MixerControl control,
                                      std::vector<std::int32_t> values) {
    MixerLine* line = FindLineLocked(device, lineId);
    if (line == nullptr) {
        throw std::invalid_argument("ScriptedMixer: no such line");
    }
    control.id = ++nextControlId_[device];
    values.resize(control.ValueCount(line->channels), 0);
    values_[{device, control.id}] = std::move(values);
    line->controls.push_back(std::move(control));
    return line->controls.back().id;
}

std::vector<std::int32_t> ScriptedMixer::Values(UINT device, DWORD controlId) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find({device, controlId});
    return it != values_.end() ? it->second : std::vector<std::int32_t>{};
}

void ScriptedMixer::SetValues(UINT device, DWORD controlId, std::vector<std::int32_t> values) {
    std::lock_guard lock(mutex_);
    auto& held = values_.at({device, controlId});
    values.resize(held.size(), 0);
    held = std::move(values);
}

void ScriptedMixer::Fail(Operation op, std::function<bool(const Call&)> when, int times) {
    std::lock_guard lock(mutex_);
    failures_.push_back(Failure{op, std::move(when), times});
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

bool ScriptedMixer::Watched(HMIXER handle) const {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it != open_.end() && it->second.watched;
}

bool ScriptedMixer::PostLocked(HMIXER handle, UINT message, DWORD id) {
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == open_.end() || it->second.window == nullptr || !it->second.watched) {
        return false;
    }
    return MessageWindow::Post(it->second.window, message, reinterpret_cast<WPARAM>(handle),
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

bool ScriptedMixer::RecordLocked(const Call& call) {
    calls_.push_back(call);
    for (auto& failure : failures_) {
        if (failure.operation != call.operation || failure.times == 0 ||
            (failure.when && !failure.when(call))) {
            continue;
        }
        if (failure.times > 0) {
            --failure.times;
        }
        return true;
    }
    return false;
}

MixerLine* ScriptedMixer::FindLineLocked(UINT device, DWORD lineId) {
    if (device >= devices_.size()) {
        return nullptr;
    }
    for (auto& destination : devices_[device].destinations) {
        if (destination.line.lineId == lineId) {
            return &destination.line;
        }
        for (auto& source : destination.sources) {
            if (source.lineId == lineId) {
                return &source;
            }
        }
    }
    return nullptr;
}

ScriptedMixer::Found ScriptedMixer::FindControlLocked(UINT device, DWORD controlId) {
    if (device >= devices_.size()) {
        return {};
    }
    auto search = [&](MixerLine& line) -> Found {
        for (auto& control : line.controls) {
            if (control.id == controlId) {
                return {&line, &control};
            }
        }
        return {};
    };
    for (auto& destination : devices_[device].destinations) {
        if (Found found = search(destination.line); found.control != nullptr) {
            return found;
        }
        for (auto& source : destination.sources) {
            if (Found found = search(source); found.control != nullptr) {
                return found;
            }
        }
    }
    return {};
}

UINT ScriptedMixer::DeviceCount() {
    std::lock_guard lock(mutex_);
    // A failing count is an empty machine.
    return RecordLocked(Call{}) ? 0 : static_cast<UINT>(devices_.size());
}

bool ScriptedMixer::Open(UINT id, HWND window, HMIXER& handle, MixerDevice& device) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Open;
    call.device = id;
    call.withWindow = window != nullptr;
    if (RecordLocked(call) || id >= devices_.size()) {
        return false;
    }
    handle = reinterpret_cast<HMIXER>(nextHandle_++);
    open_[reinterpret_cast<std::uintptr_t>(handle)] = OpenMixer{id, window};
    device = devices_[id];
    return true;
}

void ScriptedMixer::Close(HMIXER handle) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Close;
    call.handle = handle;
    RecordLocked(call);
    open_.erase(reinterpret_cast<std::uintptr_t>(handle));
}

void ScriptedMixer::Watch(HMIXER handle, bool on) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it != open_.end() && it->second.window != nullptr) {
        it->second.watched = on;
    }
}

bool ScriptedMixer::Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Read;
    call.handle = handle;
    call.controlId = controlId;
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (RecordLocked(call) || it == open_.end()) {
        return false;
    }
    auto held = values_.find({it->second.device, controlId});
    if (held == values_.end()) {
        return false;
    }
    values = held->second;
    return true;
}

bool ScriptedMixer::Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) {
    std::lock_guard lock(mutex_);
    Call call;
    call.operation = Operation::Write;
    call.handle = handle;
    call.controlId = controlId;
    call.values = values;
    auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (RecordLocked(call) || it == open_.end()) {
        return false;
    }
    Found found = FindControlLocked(it->second.device, controlId);
    if (found.control == nullptr ||
        values.size() != found.control->ValueCount(found.line->channels)) {
        return false;
    }
    values_[{it->second.device, controlId}] = values;
    return true;
}

} // namespace platform
