#pragma once
// What a mixer device looks like through winmm - its capabilities, destination lines, source
// lines and their controls - as plain data, and the rules for answering the line, control and
// detail queries from it. Both mixer backends describe their device this way, so the records
// come out the same whichever backend answers; only where values are kept differs.
//
// Values are held per control as (item count or 1) x (held channels) numbers, item-major:
// value[item * heldChannels + channel]. A uniform control holds one channel.

#include "platform/Mixer.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct MixerListItem {
    DWORD lineId = 0; // dwParam1 of the list text: the source line this item selects
    DWORD componentType = 0;
    std::string name;
};

struct MixerControlDescription {
    DWORD controlId = 0;
    DWORD controlType = 0;
    DWORD flags = 0; // MIXERCONTROL_CONTROLF_*
    std::string shortName;
    std::string name;
    LONG minimum = 0;
    LONG maximum = 0;
    DWORD steps = 0;
    std::vector<MixerListItem> items; // multiple-item controls only
};

struct MixerLineDescription {
    DWORD lineId = 0;
    DWORD destination = 0;
    DWORD source = 0;
    DWORD flags = MIXERLINE_LINEF_ACTIVE;
    DWORD componentType = 0;
    DWORD channels = 1;
    std::string shortName;
    std::string name;
    DWORD targetType = MIXERLINE_TARGETTYPE_UNDEFINED;
    std::vector<MixerControlDescription> controls;
};

struct MixerDestinationDescription {
    MixerLineDescription line;
    std::vector<MixerLineDescription> sources;
};

struct MixerDeviceDescription {
    WORD manufacturerId = 0;
    WORD productId = 0;
    MMVERSION driverVersion = 0;
    std::string productName;
    DWORD support = 0;
    std::vector<MixerDestinationDescription> destinations;
};

// Line ids the way winmm drivers number them: a destination is 0xFFFF0000 + its index, a source
// its index in the high word and its destination's in the low word.
DWORD DestinationLineId(DWORD destination);
DWORD SourceLineId(DWORD destination, DWORD source);

// Values per item a control holds: one for a uniform control, else the line's channel count.
DWORD HeldChannels(const MixerControlDescription& control, const MixerLineDescription& line);
// Number of values a control holds in all.
size_t HeldValueCount(const MixerControlDescription& control, const MixerLineDescription& line);

void FillCaps(const MixerDeviceDescription& device, MIXERCAPSA& caps);

// cbStruct has been checked by the caller; the rest of the record is filled or read here.
MMRESULT FillLineInfo(const MixerDeviceDescription& device, MIXERLINEA& line, DWORD query);
MMRESULT FillLineControls(const MixerDeviceDescription& device, MIXERLINECONTROLSA& request,
                          DWORD query);

struct MixerControlLocation {
    const MixerLineDescription* line = nullptr;
    const MixerControlDescription* control = nullptr;
};
std::optional<MixerControlLocation> FindControl(const MixerDeviceDescription& device,
                                                DWORD controlId);

// Checks a details request against its control: channel count (1, or the line's count), item
// count (the control's for multiple-item controls, 0 otherwise), detail size for the query, and
// a buffer. Returns MMSYSERR_NOERROR when it can be served.
MMRESULT CheckDetailsRequest(const MixerControlLocation& where, const MIXERCONTROLDETAILS& details,
                             bool listText);

// Copies held values into the caller's buffer, shaped as it asked (a one-channel request of a
// several-channel control gets the first channel).
void CopyValuesOut(const MixerControlLocation& where, const std::vector<LONG>& held,
                   MIXERCONTROLDETAILS& details);
// The held values a write request stands for (a one-channel write sets every channel).
std::vector<LONG> ValuesFromRequest(const MixerControlLocation& where,
                                    const MIXERCONTROLDETAILS& details);
// Fills the caller's list-text buffer, one entry per requested channel and item.
void CopyListTextOut(const MixerControlLocation& where, MIXERCONTROLDETAILS& details);

// Copies text into a fixed-size record field, cut to fit and always terminated.
template <size_t N> void CopyName(char (&field)[N], const std::string& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, n);
    for (size_t i = n; i < N; ++i) {
        field[i] = '\0';
    }
}

} // namespace platform
