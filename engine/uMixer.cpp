#include "engine/uMixer.h"

#include "threading/MessageWindow.h"

#include <algorithm>
#include <cstring>

namespace {

HMIXEROBJ Object(HMIXER handle) {
    return reinterpret_cast<HMIXEROBJ>(handle);
}

bool Has(DWORD flags, DWORD flag) {
    return (flags & flag) != 0;
}

// More entries than any real multiplexer has; a control claiming more is not read.
constexpr DWORD kMaxDetailEntries = 4096;

// The shape of a details request for a control on a line: one channel for a uniform control,
// else the line's; the item count for a multiple-item control, else none.
struct DetailsShape {
    DWORD channels = 0;
    DWORD items = 0;
    bool Usable() const {
        return channels != 0 &&
               static_cast<std::uint64_t>(channels) * (items == 0 ? 1 : items) <= kMaxDetailEntries;
    }
    size_t Entries() const { return static_cast<size_t>(channels) * (items == 0 ? 1 : items); }
};

DetailsShape ShapeOf(const MIXERCONTROLA& control, const MIXERLINEA& line, bool withItems) {
    DetailsShape shape;
    shape.channels = Has(control.fdwControl, MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : line.cChannels;
    shape.items = withItems && Has(control.fdwControl, MIXERCONTROL_CONTROLF_MULTIPLE)
                      ? control.cMultipleItems
                      : 0;
    return shape;
}

MIXERCONTROLDETAILS Details(const MIXERCONTROLA& control, const DetailsShape& shape,
                            DWORD detailSize, void* buffer) {
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = control.dwControlID;
    details.cChannels = shape.channels;
    details.cMultipleItems = shape.items;
    details.cbDetails = detailSize;
    details.paDetails = buffer;
    return details;
}

bool ReadValues(HMIXER handle, const MIXERCONTROLA& control, const DetailsShape& shape,
                std::vector<std::int32_t>& values) {
    values.assign(shape.Entries(), 0);
    MIXERCONTROLDETAILS details = Details(control, shape, sizeof(std::int32_t), values.data());
    return mixerGetControlDetailsA(Object(handle), &details, MIXER_GETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

bool WriteValues(HMIXER handle, const MIXERCONTROLA& control, const DetailsShape& shape,
                 std::vector<std::int32_t>& values) {
    MIXERCONTROLDETAILS details = Details(control, shape, sizeof(std::int32_t), values.data());
    return mixerSetControlDetails(Object(handle), &details, MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

// Position of the source line among a multiplexer's entries, or -1. The entries are searched
// from (channels - 1) in steps of the channel count while below the item count.
int FindListEntry(HMIXER handle, const MIXERCONTROLA& control, const DetailsShape& shape,
                  DWORD sourceLineId) {
    std::vector<MIXERCONTROLDETAILS_LISTTEXTA> texts(shape.Entries());
    MIXERCONTROLDETAILS details =
        Details(control, shape, sizeof(MIXERCONTROLDETAILS_LISTTEXTA), texts.data());
    if (mixerGetControlDetailsA(Object(handle), &details, MIXER_GETCONTROLDETAILSF_LISTTEXT) !=
        MMSYSERR_NOERROR) {
        return -1;
    }
    for (DWORD i = shape.channels - 1; i < shape.items; i += shape.channels) {
        if (texts[i].dwParam1 == sourceLineId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

// ---- TPointerList

TPointerList::~TPointerList() {
    Clear();
}

int TPointerList::Add(void* Item) {
    List.push_back(Item);
    return static_cast<int>(List.size() - 1);
}

void* TPointerList::Get(int Index) const {
    if (Index < 0 || static_cast<size_t>(Index) >= List.size()) {
        return nullptr;
    }
    return List[static_cast<size_t>(Index)];
}

void TPointerList::Clear() {
    if (OnFreeItem) {
        for (void* item : List) {
            OnFreeItem(this, item);
        }
    }
    List.clear();
}

// ---- TMixerControls

TMixerControls::TMixerControls(HMIXER Handle, const MIXERLINEA& Line) {
    DWORD count = Line.cControls;
    if (count == 0 || count > kMaxDetailEntries) {
        return;
    }
    Block = std::make_unique<MIXERCONTROLA[]>(count);
    MIXERLINECONTROLSA request;
    std::memset(&request, 0, sizeof request);
    request.cbStruct = sizeof(MIXERLINECONTROLSA);
    request.dwLineID = Line.dwLineID;
    request.cControls = count;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = Block.get();
    if (mixerGetLineControlsA(Object(Handle), &request, MIXER_GETLINECONTROLSF_ALL) !=
        MMSYSERR_NOERROR) {
        return;
    }
    for (DWORD i = 0; i < count; ++i) {
        Items.Add(&Block[i]);
    }
}

TMixerControls::~TMixerControls() {
    Items.Clear();
}

// ---- lines

TMixerConnection::TMixerConnection(TAudioMixer* AMixer, const MIXERLINEA& ALine)
    : Mixer(AMixer), Line(ALine),
      Controls(std::make_unique<TMixerControls>(AMixer->Handle(), ALine)) {}

TMixerConnections::TMixerConnections(TAudioMixer* AMixer, const MIXERLINEA& Destination)
    : Mixer(AMixer) {
    Items.OnFreeItem = [](TPointerList*, void* item) {
        delete static_cast<TMixerConnection*>(item);
    };
    for (DWORD source = 0; source < Destination.cConnections; ++source) {
        MIXERLINEA line;
        std::memset(&line, 0, sizeof line);
        line.cbStruct = sizeof(MIXERLINEA);
        line.dwDestination = Destination.dwDestination;
        line.dwSource = source;
        if (mixerGetLineInfoA(Object(AMixer->Handle()), &line, MIXER_GETLINEINFOF_SOURCE) ==
            MMSYSERR_NOERROR) {
            auto connection = std::make_unique<TMixerConnection>(AMixer, line);
            Items.Add(connection.release());
        }
    }
}

TMixerDestination::TMixerDestination(TAudioMixer* AMixer, const MIXERLINEA& ALine)
    : Mixer(AMixer), Line(ALine), Connections(std::make_unique<TMixerConnections>(AMixer, ALine)),
      Controls(std::make_unique<TMixerControls>(AMixer->Handle(), ALine)) {}

TMixerDestinations::TMixerDestinations(TAudioMixer* AMixer) {
    Items.OnFreeItem = [](TPointerList*, void* item) {
        delete static_cast<TMixerDestination*>(item);
    };
    if (AMixer == nullptr) {
        return;
    }
    for (std::int32_t index = 0; index < AMixer->NumberOfLine(); ++index) {
        MIXERLINEA line;
        std::memset(&line, 0, sizeof line);
        line.cbStruct = sizeof(MIXERLINEA);
        line.dwDestination = static_cast<DWORD>(index);
        if (mixerGetLineInfoA(Object(AMixer->Handle()), &line, MIXER_GETLINEINFOF_DESTINATION) ==
            MMSYSERR_NOERROR) {
            auto destination = std::make_unique<TMixerDestination>(AMixer, line);
            Items.Add(destination.release());
        }
    }
}

// ---- TAudioMixer

TAudioMixer::TAudioMixer()
    : FCallbackWindow(std::make_unique<platform::MessageWindow>(
          [this](UINT msg, WPARAM w, LPARAM l) { return WindowProc(msg, w, l); })) {
    FMixerCount = static_cast<std::int32_t>(mixerGetNumDevs());
    FMixerId = -1;
    if (FMixerCount == 0) {
        FDestinations = std::make_unique<TMixerDestinations>(nullptr);
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
    auto window = reinterpret_cast<DWORD_PTR>(FCallbackWindow->Handle());
    auto device = static_cast<UINT>(Id);
    MMRESULT result = mixerOpen(&FHandle, device, window, 0, CALLBACK_WINDOW);
    if (result != MMSYSERR_NOERROR) {
        result = mixerOpen(&FHandle, device, window, 0, CALLBACK_WINDOW);
    }
    if (result != MMSYSERR_NOERROR) {
        // Without notifications: both events then stay silent.
        result = mixerOpen(&FHandle, device, 0, 0, CALLBACK_NULL);
    }
    if (result != MMSYSERR_NOERROR) {
        FMixerId = -1;
        FDestinations = std::make_unique<TMixerDestinations>(nullptr);
        return;
    }
    FMixerId = Id;

    // A failed capability query leaves the capabilities empty: no lines, maker id 0.
    std::memset(&FCaps, 0, sizeof FCaps);
    mixerGetDevCapsA(device, &FCaps, sizeof(MIXERCAPSA));
    FManufacturer = FCaps.wMid == MM_MICROSOFT ? std::string("Microsoft")
                                               : std::to_string(FCaps.wMid) + " = Unknown";
    FDriverVersion = FCaps.vDriverVersion;
    FProductId = FCaps.wPid;
    FProductName.assign(FCaps.szPname, strnlen(FCaps.szPname, sizeof FCaps.szPname));
    FNumberOfLine = static_cast<std::int32_t>(FCaps.cDestinations);
    FDestinations = std::make_unique<TMixerDestinations>(this);
}

void TAudioMixer::Close() {
    if (FMixerId >= 0) {
        mixerClose(FHandle);
        FMixerId = -1;
    }
    FDestinations.reset();
}

LRESULT TAudioMixer::WindowProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case MM_MIXM_LINE_CHANGE:
        if (OnLineChange) {
            OnLineChange(this, static_cast<std::int32_t>(wParam),
                         static_cast<std::int32_t>(lParam));
        }
        return 0;
    case MM_MIXM_CONTROL_CHANGE:
        if (OnControlChange) {
            OnControlChange(this, static_cast<std::int32_t>(wParam),
                            static_cast<std::int32_t>(lParam));
        }
        return 0;
    default:
        return DefWindowProcA(FCallbackWindow->Handle(), Msg, wParam, lParam);
    }
}

bool TAudioMixer::ReadLineVolume(int destination, int line, std::int32_t& LeftVolume,
                                 std::int32_t& RightVolume, std::int32_t& Mute, bool& Stereo,
                                 bool& VolumeDisabled, bool& MuteDisabled, bool& MuteIsSelect,
                                 std::int32_t* QuietestVolume) {
    if (!FDestinations) {
        return false;
    }
    std::int32_t unused = -1;
    std::int32_t& quietest = QuietestVolume != nullptr ? *QuietestVolume : unused;
    quietest = -1;
    MuteIsSelect = false;
    MuteDisabled = true;
    VolumeDisabled = true;
    Stereo = false;
    LeftVolume = -1;
    RightVolume = -1;
    Mute = -1;

    TMixerDestination* target = FDestinations->Get(destination);
    if (target == nullptr) {
        return false;
    }
    TMixerConnection* source = line != -1 ? target->Connections->Get(line) : nullptr;

    // On a destination with a source list, a source's "mute" is whether it is selected.
    if (line != -1 && source != nullptr) {
        for (int i = 0; i < target->Controls->Count() && Mute == -1; ++i) {
            MIXERCONTROLA* control = target->Controls->Get(i);
            if (control == nullptr || control->dwControlType != MIXERCONTROL_CONTROLTYPE_MUX) {
                continue;
            }
            DetailsShape shape = ShapeOf(*control, target->Line, true);
            std::vector<std::int32_t> values;
            if (!shape.Usable() || !ReadValues(FHandle, *control, shape, values)) {
                continue;
            }
            int entry = FindListEntry(FHandle, *control, shape, source->Line.dwLineID);
            if (entry >= 0) {
                Mute = values[static_cast<size_t>(entry)];
                MuteDisabled = Has(control->fdwControl, MIXERCONTROL_CONTROLF_DISABLED);
                MuteIsSelect = true;
            }
        }
    }

    const MIXERLINEA* lineRecord = nullptr;
    TMixerControls* controls = nullptr;
    if (line == -1) {
        lineRecord = &target->Line;
        controls = target->Controls.get();
    } else if (source != nullptr) {
        lineRecord = &source->Line;
        controls = source->Controls.get();
    } else {
        return true;
    }

    for (int i = 0; i < controls->Count() && (LeftVolume == -1 || Mute == -1); ++i) {
        MIXERCONTROLA* control = controls->Get(i);
        if (control == nullptr || Has(control->fdwControl, MIXERCONTROL_CONTROLF_MULTIPLE)) {
            continue;
        }
        bool isVolume = control->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME;
        bool isMute = control->dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE;
        if (!(isVolume && LeftVolume == -1) && !(isMute && Mute == -1)) {
            continue;
        }
        DetailsShape shape = ShapeOf(*control, *lineRecord, false);
        std::vector<std::int32_t> values;
        if (!shape.Usable() || !ReadValues(FHandle, *control, shape, values)) {
            continue;
        }
        bool disabled = Has(control->fdwControl, MIXERCONTROL_CONTROLF_DISABLED);
        if (isVolume) {
            VolumeDisabled = disabled;
            LeftVolume = values[0];
            if (shape.channels < 2) {
                RightVolume = values[0];
            } else {
                RightVolume = values[1];
                Stereo = true;
            }
            quietest = *std::min_element(values.begin(), values.end());
        } else {
            MuteDisabled = disabled;
            const bool anyMuted =
                std::any_of(values.begin(), values.end(), [](std::int32_t v) { return v != 0; });
            Mute = anyMuted ? 1 : 0;
        }
    }
    return true;
}

bool TAudioMixer::WriteLineVolume(int destination, int line, std::int32_t LeftVolume,
                                  std::int32_t RightVolume, std::int32_t Mute) {
    if (!FDestinations) {
        return false;
    }
    TMixerDestination* target = FDestinations->Get(destination);
    if (target == nullptr) {
        return false;
    }
    TMixerConnection* source = line != -1 ? target->Connections->Get(line) : nullptr;

    bool volumeDone = LeftVolume == -1;
    bool muteDone = Mute == -1;

    // With a source list, unmuting a source selects it alone and muting it selects none.
    if (Mute != -1 && line != -1 && source != nullptr) {
        for (int i = 0; i < target->Controls->Count(); ++i) {
            MIXERCONTROLA* control = target->Controls->Get(i);
            if (control == nullptr || control->dwControlType != MIXERCONTROL_CONTROLTYPE_MUX) {
                continue;
            }
            muteDone = true;
            DetailsShape shape = ShapeOf(*control, target->Line, true);
            if (!shape.Usable()) {
                break;
            }
            std::vector<std::int32_t> values;
            ReadValues(FHandle, *control, shape, values);
            for (DWORD item = 0; item < shape.items && item < values.size(); ++item) {
                values[item] = 0;
            }
            int entry = FindListEntry(FHandle, *control, shape, source->Line.dwLineID);
            if (entry >= 0) {
                values[static_cast<size_t>(entry)] = Mute;
                WriteValues(FHandle, *control, shape, values);
            }
            break;
        }
    }

    const MIXERLINEA* lineRecord = nullptr;
    TMixerControls* controls = nullptr;
    if (line == -1) {
        lineRecord = &target->Line;
        controls = target->Controls.get();
    } else if (source != nullptr) {
        lineRecord = &source->Line;
        controls = source->Controls.get();
    } else {
        return true;
    }

    for (int i = 0; i < controls->Count() && (!volumeDone || !muteDone); ++i) {
        MIXERCONTROLA* control = controls->Get(i);
        if (control == nullptr || Has(control->fdwControl, MIXERCONTROL_CONTROLF_MULTIPLE)) {
            continue;
        }
        DetailsShape shape = ShapeOf(*control, *lineRecord, false);
        if (!shape.Usable()) {
            continue;
        }
        std::vector<std::int32_t> values(shape.Entries(), 0);
        if (control->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME && !volumeDone) {
            const std::int32_t right = RightVolume != -1 ? RightVolume : LeftVolume;
            for (size_t channel = 0; channel < values.size(); ++channel) {
                values[channel] = channel % 2 == 0 ? LeftVolume : right;
            }
            volumeDone = true;
            WriteValues(FHandle, *control, shape, values);
        } else if (control->dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE && !muteDone) {
            for (auto& value : values) {
                value = Mute;
            }
            muteDone = true;
            WriteValues(FHandle, *control, shape, values);
        }
    }
    return true;
}
