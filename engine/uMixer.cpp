#include "engine/uMixer.h"

#include "threading/MessageWindow.h"

#include <algorithm>
#include <optional>

namespace {

using platform::MixerControl;
using platform::MixerLine;

// Product names are cut to the 31 characters the device capability record holds.
constexpr size_t kProductNameChars = 31;

platform::MixerBackend& Backend() {
    return platform::MixerBackendSlot().Get();
}

// A read that answers with fewer values than the control holds counts as failed.
bool ReadValues(HMIXER handle, const MixerControl& control, const MixerLine& line,
                std::vector<std::int32_t>& values) {
    return Backend().Read(handle, control.id, values) &&
           values.size() == control.ValueCount(line.channels) && !values.empty();
}

// What a read or write addresses: the destination (whose source list may stand for a source's
// mute), the source line when one was asked for, and the line whose own controls count - null
// when the source asked for is missing. Nothing when the destination is missing.
struct LineChoice {
    const MixerLine* destination = nullptr;
    const MixerLine* source = nullptr; // null for the destination line itself
    const MixerLine* line = nullptr;
};

std::optional<LineChoice> ChooseLine(const TMixerDestinations* destinations, int destination,
                                     int line) {
    TMixerDestination* target = destinations != nullptr ? destinations->Get(destination) : nullptr;
    if (target == nullptr) {
        return std::nullopt;
    }
    LineChoice choice;
    choice.destination = &target->Line;
    if (line == -1) {
        choice.line = &target->Line;
    } else if (TMixerConnection* connection = target->Connections->Get(line)) {
        choice.source = &connection->Line;
        choice.line = &connection->Line;
    }
    return choice;
}

const std::vector<MixerControl>& NoControls() {
    static const std::vector<MixerControl> none;
    return none;
}

// The entry of a source in a source list, or -1.
int ListEntry(const MixerControl& list, DWORD sourceLineId) {
    auto found = std::find(list.sourceLineIds.begin(), list.sourceLineIds.end(), sourceLineId);
    return found != list.sourceLineIds.end() ? static_cast<int>(found - list.sourceLineIds.begin())
                                             : -1;
}

} // namespace

// ---- lines

TMixerConnections::TMixerConnections(TAudioMixer* AMixer, std::vector<MixerLine> Sources)
    : Mixer(AMixer) {
    for (auto& source : Sources) {
        Items.push_back(std::make_unique<TMixerConnection>(AMixer, std::move(source)));
    }
}

TMixerDestination::TMixerDestination(TAudioMixer* AMixer, platform::MixerDestination ALine)
    : Mixer(AMixer), Line(std::move(ALine.line)),
      Connections(std::make_unique<TMixerConnections>(AMixer, std::move(ALine.sources))) {}

TMixerDestinations::TMixerDestinations(TAudioMixer* AMixer,
                                       std::vector<platform::MixerDestination> Lines) {
    for (auto& line : Lines) {
        Items.push_back(std::make_unique<TMixerDestination>(AMixer, std::move(line)));
    }
}

// ---- TAudioMixer

TAudioMixer::TAudioMixer()
    : FCallbackWindow(std::make_unique<platform::MessageWindow>(
          [this](UINT msg, WPARAM w, LPARAM l) { return WindowProc(msg, w, l); })) {
    FMixerCount = static_cast<std::int32_t>(Backend().DeviceCount());
    FMixerId = -1;
    if (FMixerCount == 0) {
        FDestinations =
            std::make_unique<TMixerDestinations>(this, std::vector<platform::MixerDestination>{});
    } else {
        SetMixerId(0);
    }
}

TAudioMixer::~TAudioMixer() {
    Close();
    FCallbackWindow.reset();
}

HWND TAudioMixer::CallbackWindow() const {
    return FCallbackWindow->Handle();
}

void TAudioMixer::SetMixerId(std::int32_t Id) {
    if (Id < 0 || Id >= FMixerCount) {
        return;
    }
    Close();
    Open(Id);
}

void TAudioMixer::Open(std::int32_t Id) {
    auto& backend = Backend();
    auto id = static_cast<UINT>(Id);
    platform::MixerDevice device;
    // Twice with notifications, then without: both events then stay silent.
    FNotifying = backend.Open(id, FCallbackWindow->Handle(), FHandle, device) ||
                 backend.Open(id, FCallbackWindow->Handle(), FHandle, device);
    bool open = FNotifying || backend.Open(id, nullptr, FHandle, device);
    if (!open) {
        FMixerId = -1;
        FDestinations =
            std::make_unique<TMixerDestinations>(this, std::vector<platform::MixerDestination>{});
        return;
    }
    FMixerId = Id;
    FManufacturer = device.manufacturerId == MM_MICROSOFT
                        ? std::string("Microsoft")
                        : std::to_string(device.manufacturerId) + " = Unknown";
    FDriverVersion = device.driverVersion;
    FProductId = device.productId;
    FProductName = device.productName.substr(0, kProductNameChars);
    FNumberOfLine = static_cast<std::int32_t>(device.destinations.size());
    FDestinations = std::make_unique<TMixerDestinations>(this, std::move(device.destinations));
    UpdateWatch();
}

void TAudioMixer::UpdateWatch() {
    if (FMixerId >= 0 && FNotifying) {
        Backend().Watch(FHandle, OnLineChange || OnControlChange);
    }
}

TMixerEvent& TMixerEvent::operator=(TMixerChange AHandler) {
    Handler = std::move(AHandler);
    Owner->UpdateWatch();
    return *this;
}

void TAudioMixer::Close() {
    if (FMixerId >= 0) {
        Backend().Close(FHandle);
        FMixerId = -1;
    }
    FDestinations.reset();
}

LRESULT TAudioMixer::WindowProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
    const TMixerEvent* event = Msg == MM_MIXM_LINE_CHANGE      ? &OnLineChange
                               : Msg == MM_MIXM_CONTROL_CHANGE ? &OnControlChange
                                                               : nullptr;
    if (event == nullptr) {
        return DefWindowProcA(FCallbackWindow->Handle(), Msg, wParam, lParam);
    }
    if (*event) {
        (*event)(this, static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam));
    }
    return 0;
}

TLineVolume TAudioMixer::ReadLineVolume(int destination, int line) {
    TLineVolume result;
    std::optional<LineChoice> choice = ChooseLine(FDestinations.get(), destination, line);
    if (!choice) {
        return result;
    }
    result.Found = true;

    // On a destination with a source list, a source's "mute" is whether it is selected.
    const auto& lists = choice->source != nullptr ? choice->destination->controls : NoControls();
    for (const MixerControl& list : lists) {
        std::vector<std::int32_t> values;
        int entry = ListEntry(list, choice->source->lineId);
        if (list.type != MixerControl::Type::SourceList || entry < 0 ||
            !ReadValues(FHandle, list, *choice->destination, values)) {
            continue;
        }
        result.Mute = values[static_cast<size_t>(entry)];
        result.MuteDisabled = list.disabled;
        result.MuteIsSelect = true;
        break;
    }
    if (choice->line == nullptr) {
        return result;
    }

    bool volumeRead = false;
    for (const MixerControl& control : choice->line->controls) {
        bool isVolume = control.type == MixerControl::Type::Volume && !volumeRead;
        bool isMute = control.type == MixerControl::Type::Mute && result.Mute == -1;
        std::vector<std::int32_t> values;
        if ((!isVolume && !isMute) || !ReadValues(FHandle, control, *choice->line, values)) {
            continue;
        }
        if (isVolume) {
            volumeRead = true;
            result.VolumeDisabled = control.disabled;
            result.LeftVolume = values[0];
            result.RightVolume = values.size() < 2 ? values[0] : values[1];
            result.Stereo = values.size() >= 2;
            result.QuietestVolume = *std::min_element(values.begin(), values.end());
        } else {
            result.MuteDisabled = control.disabled;
            result.Mute =
                std::any_of(values.begin(), values.end(), [](std::int32_t v) { return v != 0; })
                    ? 1
                    : 0;
        }
    }
    return result;
}

bool TAudioMixer::WriteLineVolume(int destination, int line, std::int32_t LeftVolume,
                                  std::int32_t RightVolume, std::int32_t Mute) {
    std::optional<LineChoice> choice = ChooseLine(FDestinations.get(), destination, line);
    if (!choice) {
        return false;
    }
    bool volumeDone = LeftVolume == -1;
    bool muteDone = Mute == -1;

    // With a source list, unmuting a source selects it alone and muting it selects none.
    const auto& destinationControls = choice->destination->controls;
    auto list = std::find_if(
        destinationControls.begin(), destinationControls.end(),
        [](const MixerControl& control) { return control.type == MixerControl::Type::SourceList; });
    if (!muteDone && choice->source != nullptr && list != destinationControls.end()) {
        muteDone = true;
        int entry = ListEntry(*list, choice->source->lineId);
        if (entry >= 0) {
            std::vector<std::int32_t> values(list->ValueCount(choice->destination->channels), 0);
            values[static_cast<size_t>(entry)] = Mute;
            Backend().Write(FHandle, list->id, values);
        }
    }
    if (choice->line == nullptr) {
        return true;
    }

    for (const MixerControl& control : choice->line->controls) {
        std::vector<std::int32_t> values(control.ValueCount(choice->line->channels), 0);
        if (control.type == MixerControl::Type::Volume && !volumeDone) {
            // Even channels (front left, rear left, side left) take the left volume.
            const std::int32_t right = RightVolume != -1 ? RightVolume : LeftVolume;
            for (size_t channel = 0; channel < values.size(); ++channel) {
                values[channel] = channel % 2 == 0 ? LeftVolume : right;
            }
            volumeDone = true;
        } else if (control.type == MixerControl::Type::Mute && !muteDone) {
            std::fill(values.begin(), values.end(), Mute);
            muteDone = true;
        } else {
            continue;
        }
        // Write results are not checked: the next read shows what the device took.
        Backend().Write(FHandle, control.id, values);
    }
    return true;
}
