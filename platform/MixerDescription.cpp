#include "platform/MixerDescription.h"

#include <cstring>

namespace platform {

DWORD DestinationLineId(DWORD destination) {
    return 0xFFFF0000u + (destination & 0xFFFFu);
}

DWORD SourceLineId(DWORD destination, DWORD source) {
    return ((source & 0xFFFFu) << 16) | (destination & 0xFFFFu);
}

DWORD HeldChannels(const MixerControlDescription& control, const MixerLineDescription& line) {
    if ((control.flags & MIXERCONTROL_CONTROLF_UNIFORM) != 0 || line.channels == 0) {
        return 1;
    }
    return line.channels;
}

static DWORD HeldItems(const MixerControlDescription& control) {
    if ((control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) != 0 && !control.items.empty()) {
        return static_cast<DWORD>(control.items.size());
    }
    return 1;
}

size_t HeldValueCount(const MixerControlDescription& control, const MixerLineDescription& line) {
    return static_cast<size_t>(HeldChannels(control, line)) * HeldItems(control);
}

void FillCaps(const MixerDeviceDescription& device, MIXERCAPSA& caps) {
    std::memset(&caps, 0, sizeof caps);
    caps.wMid = device.manufacturerId;
    caps.wPid = device.productId;
    caps.vDriverVersion = device.driverVersion;
    CopyName(caps.szPname, device.productName);
    caps.fdwSupport = device.support;
    caps.cDestinations = static_cast<DWORD>(device.destinations.size());
}

static void FillLine(const MixerDeviceDescription& device, const MixerLineDescription& line,
                     DWORD connections, MIXERLINEA& out) {
    DWORD cbStruct = out.cbStruct;
    std::memset(&out, 0, sizeof out);
    out.cbStruct = cbStruct;
    out.dwDestination = line.destination;
    out.dwSource = line.source;
    out.dwLineID = line.lineId;
    out.fdwLine = line.flags;
    out.dwComponentType = line.componentType;
    out.cChannels = line.channels;
    out.cConnections = connections;
    out.cControls = static_cast<DWORD>(line.controls.size());
    CopyName(out.szShortName, line.shortName);
    CopyName(out.szName, line.name);
    out.Target.dwType = line.targetType;
    out.Target.dwDeviceID = 0;
    out.Target.wMid = device.manufacturerId;
    out.Target.wPid = device.productId;
    out.Target.vDriverVersion = device.driverVersion;
    CopyName(out.Target.szPname, device.productName);
}

namespace {

// Visits every line of the device with its connection count until visit returns true.
template <class Visit> bool ForEachLine(const MixerDeviceDescription& device, Visit visit) {
    for (const auto& destination : device.destinations) {
        if (visit(destination.line, static_cast<DWORD>(destination.sources.size()))) {
            return true;
        }
        for (const auto& source : destination.sources) {
            if (visit(source, DWORD{0})) {
                return true;
            }
        }
    }
    return false;
}

const MixerLineDescription* FindLine(const MixerDeviceDescription& device, DWORD lineId) {
    const MixerLineDescription* found = nullptr;
    ForEachLine(device, [&](const MixerLineDescription& line, DWORD) {
        if (line.lineId == lineId) {
            found = &line;
        }
        return found != nullptr;
    });
    return found;
}

void FillControl(const MixerControlDescription& control, MIXERCONTROLA& out) {
    std::memset(&out, 0, sizeof out);
    out.cbStruct = sizeof(MIXERCONTROLA);
    out.dwControlID = control.controlId;
    out.dwControlType = control.controlType;
    out.fdwControl = control.flags;
    out.cMultipleItems = (control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) != 0
                             ? static_cast<DWORD>(control.items.size())
                             : 0;
    CopyName(out.szShortName, control.shortName);
    CopyName(out.szName, control.name);
    out.Bounds.lMinimum = control.minimum;
    out.Bounds.lMaximum = control.maximum;
    out.Metrics.cSteps = control.steps;
}

} // namespace

MMRESULT FillLineInfo(const MixerDeviceDescription& device, MIXERLINEA& line, DWORD query) {
    switch (query) {
    case MIXER_GETLINEINFOF_DESTINATION: {
        if (line.dwDestination >= device.destinations.size()) {
            return MMSYSERR_INVALPARAM;
        }
        const auto& destination = device.destinations[line.dwDestination];
        FillLine(device, destination.line, static_cast<DWORD>(destination.sources.size()), line);
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINEINFOF_SOURCE: {
        if (line.dwDestination >= device.destinations.size()) {
            return MMSYSERR_INVALPARAM;
        }
        const auto& destination = device.destinations[line.dwDestination];
        if (line.dwSource >= destination.sources.size()) {
            return MMSYSERR_INVALPARAM;
        }
        FillLine(device, destination.sources[line.dwSource], 0, line);
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINEINFOF_LINEID:
    case MIXER_GETLINEINFOF_COMPONENTTYPE: {
        DWORD wantedId = line.dwLineID;
        DWORD wantedType = line.dwComponentType;
        bool byId = query == MIXER_GETLINEINFOF_LINEID;
        bool found = ForEachLine(device, [&](const MixerLineDescription& candidate, DWORD n) {
            if (byId ? candidate.lineId == wantedId : candidate.componentType == wantedType) {
                FillLine(device, candidate, n, line);
                return true;
            }
            return false;
        });
        return found ? MMSYSERR_NOERROR : MIXERR_INVALLINE;
    }
    case MIXER_GETLINEINFOF_TARGETTYPE:
        return MMSYSERR_NOTSUPPORTED;
    default:
        return MMSYSERR_INVALFLAG;
    }
}

MMRESULT FillLineControls(const MixerDeviceDescription& device, MIXERLINECONTROLSA& request,
                          DWORD query) {
    if (request.cbmxctrl < sizeof(MIXERCONTROLA) || request.pamxctrl == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    switch (query) {
    case MIXER_GETLINECONTROLSF_ALL: {
        const MixerLineDescription* line = FindLine(device, request.dwLineID);
        if (line == nullptr) {
            return MIXERR_INVALLINE;
        }
        // The caller sizes its block from the line's control count; a different count means
        // the block does not fit what we would write.
        if (request.cControls != line->controls.size() || request.cControls == 0) {
            return MMSYSERR_INVALPARAM;
        }
        auto* out = reinterpret_cast<unsigned char*>(request.pamxctrl);
        for (const auto& control : line->controls) {
            MIXERCONTROLA record;
            FillControl(control, record);
            std::memcpy(out, &record, sizeof record);
            out += request.cbmxctrl;
        }
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYID: {
        auto where = FindControl(device, request.dwControlID);
        if (!where) {
            return MIXERR_INVALCONTROL;
        }
        MIXERCONTROLA record;
        FillControl(*where->control, record);
        std::memcpy(request.pamxctrl, &record, sizeof record);
        request.dwLineID = where->line->lineId;
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYTYPE: {
        const MixerLineDescription* line = FindLine(device, request.dwLineID);
        if (line == nullptr) {
            return MIXERR_INVALLINE;
        }
        for (const auto& control : line->controls) {
            if (control.controlType == request.dwControlType) {
                MIXERCONTROLA record;
                FillControl(control, record);
                std::memcpy(request.pamxctrl, &record, sizeof record);
                return MMSYSERR_NOERROR;
            }
        }
        return MIXERR_INVALCONTROL;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

std::optional<MixerControlLocation> FindControl(const MixerDeviceDescription& device,
                                                DWORD controlId) {
    std::optional<MixerControlLocation> found;
    ForEachLine(device, [&](const MixerLineDescription& line, DWORD) {
        for (const auto& control : line.controls) {
            if (control.controlId == controlId) {
                found = MixerControlLocation{&line, &control};
                return true;
            }
        }
        return false;
    });
    return found;
}

static DWORD RequestItems(const MixerControlDescription& control) {
    return (control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) != 0
               ? static_cast<DWORD>(control.items.size())
               : 0;
}

MMRESULT CheckDetailsRequest(const MixerControlLocation& where, const MIXERCONTROLDETAILS& details,
                             bool listText) {
    const auto& control = *where.control;
    const auto& line = *where.line;
    if (details.paDetails == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (details.cChannels != 1 && details.cChannels != line.channels) {
        return MMSYSERR_INVALPARAM;
    }
    if (details.cMultipleItems != RequestItems(control)) {
        return MMSYSERR_INVALPARAM;
    }
    if (listText) {
        if ((control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) == 0 || control.items.empty()) {
            return MMSYSERR_INVALPARAM;
        }
        return details.cbDetails == sizeof(MIXERCONTROLDETAILS_LISTTEXTA) ? MMSYSERR_NOERROR
                                                                          : MMSYSERR_INVALPARAM;
    }
    return details.cbDetails == sizeof(MIXERCONTROLDETAILS_UNSIGNED) ? MMSYSERR_NOERROR
                                                                     : MMSYSERR_INVALPARAM;
}

void CopyValuesOut(const MixerControlLocation& where, const std::vector<LONG>& held,
                   MIXERCONTROLDETAILS& details) {
    DWORD heldChannels = HeldChannels(*where.control, *where.line);
    DWORD items = HeldItems(*where.control);
    auto* out = static_cast<LONG*>(details.paDetails);
    for (DWORD item = 0; item < items; ++item) {
        for (DWORD channel = 0; channel < details.cChannels; ++channel) {
            size_t from =
                static_cast<size_t>(item) * heldChannels + (channel < heldChannels ? channel : 0);
            out[static_cast<size_t>(item) * details.cChannels + channel] =
                from < held.size() ? held[from] : 0;
        }
    }
}

std::vector<LONG> ValuesFromRequest(const MixerControlLocation& where,
                                    const MIXERCONTROLDETAILS& details) {
    DWORD heldChannels = HeldChannels(*where.control, *where.line);
    DWORD items = HeldItems(*where.control);
    const auto* in = static_cast<const LONG*>(details.paDetails);
    std::vector<LONG> held(static_cast<size_t>(heldChannels) * items);
    for (DWORD item = 0; item < items; ++item) {
        for (DWORD channel = 0; channel < heldChannels; ++channel) {
            DWORD from = channel < details.cChannels ? channel : 0;
            held[static_cast<size_t>(item) * heldChannels + channel] =
                in[static_cast<size_t>(item) * details.cChannels + from];
        }
    }
    return held;
}

void CopyListTextOut(const MixerControlLocation& where, MIXERCONTROLDETAILS& details) {
    const auto& items = where.control->items;
    auto* out = static_cast<MIXERCONTROLDETAILS_LISTTEXTA*>(details.paDetails);
    for (size_t item = 0; item < items.size(); ++item) {
        for (DWORD channel = 0; channel < details.cChannels; ++channel) {
            auto& entry = out[item * details.cChannels + channel];
            std::memset(&entry, 0, sizeof entry);
            entry.dwParam1 = items[item].lineId;
            entry.dwParam2 = items[item].componentType;
            CopyName(entry.szName, items[item].name);
        }
    }
}

} // namespace platform
