#pragma once
// The winmm audio mixer interface: its records, constants and operations under their Win32
// names, so the mixer wrapper is written exactly as it would be against winmm. Every operation
// checks its arguments here and then dispatches to the current backend: ALSA on Linux
// (MixerAlsa.cpp), or a scripted double that a test installs.
//
// Change notifications: mixerOpen with CALLBACK_WINDOW takes a window handle. Here a window
// is a platform::MessageWindow (MessageWindow.h), a hidden object living on the thread that
// created it; MM_MIXM_LINE_CHANGE and MM_MIXM_CONTROL_CHANGE are posted to it and its procedure
// runs on that thread's event loop, with the mixer handle as wParam and the line or control id
// as lParam, as winmm posts them.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <memory>
#include <optional>

using MMRESULT = UINT;
using MMVERSION = UINT; // major version in the high byte, minor in the low byte

struct HMIXER__;
using HMIXER = HMIXER__*;
struct HMIXEROBJ__;
using HMIXEROBJ = HMIXEROBJ__*;

// Results.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
inline constexpr MMRESULT MIXERR_INVALVALUE = 1026;

inline constexpr int MAXPNAMELEN = 32;
inline constexpr int MIXER_SHORT_NAME_CHARS = 16;
inline constexpr int MIXER_LONG_NAME_CHARS = 64;

inline constexpr WORD MM_MICROSOFT = 1;

// Window messages posted to the callback window.
inline constexpr UINT MM_MIXM_LINE_CHANGE = 0x3D0;
inline constexpr UINT MM_MIXM_CONTROL_CHANGE = 0x3D1;

// mixerOpen flags.
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
inline constexpr DWORD CALLBACK_NULL = 0x00000000;
inline constexpr DWORD CALLBACK_WINDOW = 0x00010000;
inline constexpr DWORD CALLBACK_TASK = 0x00020000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
inline constexpr DWORD CALLBACK_THREAD = CALLBACK_TASK;
inline constexpr DWORD CALLBACK_EVENT = 0x00050000;

// What the HMIXEROBJ of a query is. MIXER_OBJECTF_MIXER is a device id; like winmm we also
// accept an open mixer handle under it.
inline constexpr DWORD MIXER_OBJECTF_TYPEMASK = 0xF0000000;
inline constexpr DWORD MIXER_OBJECTF_HANDLE = 0x80000000;
inline constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
inline constexpr DWORD MIXER_OBJECTF_HMIXER = MIXER_OBJECTF_HANDLE | MIXER_OBJECTF_MIXER;

// MIXERLINEA.fdwLine
inline constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
inline constexpr DWORD MIXERLINE_LINEF_DISCONNECTED = 0x00008000;
inline constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

// MIXERLINEA.dwComponentType
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_DIGITAL = 1;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_LINE = 2;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_MONITOR = 3;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_HEADPHONES = 5;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_TELEPHONE = 6;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_VOICEIN = 8;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = 0x1001;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_LINE = 0x1002;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE = 0x1006;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER = 0x1007;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;

// MIXERLINEA.Target.dwType
inline constexpr DWORD MIXERLINE_TARGETTYPE_UNDEFINED = 0;
inline constexpr DWORD MIXERLINE_TARGETTYPE_WAVEOUT = 1;
inline constexpr DWORD MIXERLINE_TARGETTYPE_WAVEIN = 2;
inline constexpr DWORD MIXERLINE_TARGETTYPE_MIDIOUT = 3;
inline constexpr DWORD MIXERLINE_TARGETTYPE_MIDIIN = 4;
inline constexpr DWORD MIXERLINE_TARGETTYPE_AUX = 5;

// Query flags.
inline constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0x0;
inline constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 0x1;
inline constexpr DWORD MIXER_GETLINEINFOF_LINEID = 0x2;
inline constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 0x3;
inline constexpr DWORD MIXER_GETLINEINFOF_TARGETTYPE = 0x4;
inline constexpr DWORD MIXER_GETLINEINFOF_QUERYMASK = 0xF;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0x0;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYID = 0x1;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x2;
inline constexpr DWORD MIXER_GETLINECONTROLSF_QUERYMASK = 0xF;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x0;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_LISTTEXT = 0x1;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_QUERYMASK = 0xF;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x0;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_CUSTOM = 0x1;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_QUERYMASK = 0xF;

// MIXERCONTROLA.fdwControl
inline constexpr DWORD MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;
inline constexpr DWORD MIXERCONTROL_CONTROLF_MULTIPLE = 0x00000002;
inline constexpr DWORD MIXERCONTROL_CONTROLF_DISABLED = 0x80000000;

// MIXERCONTROLA.dwControlType
inline constexpr DWORD MIXERCONTROL_CT_CLASS_MASK = 0xF0000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_SWITCH = 0x20000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_FADER = 0x50000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_LIST = 0x70000000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BOOLEAN = 0x20010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_ONOFF = 0x20010001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_FADER = 0x50030000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BASS = 0x50030002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_TREBLE = 0x50030003;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_SINGLESELECT = 0x70010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT = 0x71010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;

struct MIXERCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD fdwSupport;
    DWORD cDestinations;
};

struct MIXERLINEA {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    // A DWORD_PTR in the platform's headers, 32 bits wide in the 32-bit program this layout
    // belongs to. It carries a driver-private value nobody here reads, so it keeps those 32 bits
    // and the record keeps the 168 bytes its callers pass as cbStruct.
    DWORD dwUser;
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    struct {
        DWORD dwType;
        DWORD dwDeviceID;
        WORD wMid;
        WORD wPid;
        MMVERSION vDriverVersion;
        char szPname[MAXPNAMELEN];
    } Target;
};

struct MIXERCONTROLA {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD dwControlType;
    DWORD fdwControl;
    DWORD cMultipleItems;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    union {
        struct {
            LONG lMinimum;
            LONG lMaximum;
        };
        struct {
            DWORD dwMinimum;
            DWORD dwMaximum;
        };
        DWORD dwReserved[6];
    } Bounds;
    union {
        DWORD cSteps;
        DWORD cbCustomData;
        DWORD dwReserved[6];
    } Metrics;
};

// The two records below carry a pointer, so on this 64-bit platform they have their natural
// 64-bit size (32 and 40 bytes); the 24 bytes the mixer design names are their 32-bit size.
// Callers fill cbStruct with sizeof, and the operations insist on at least that.
struct MIXERLINECONTROLSA {
    DWORD cbStruct;
    DWORD dwLineID;
    union {
        DWORD dwControlID;
        DWORD dwControlType;
    };
    DWORD cControls;
    DWORD cbmxctrl;
    MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD cChannels;
    union {
        HWND hwndOwner;
        DWORD cMultipleItems;
    };
    DWORD cbDetails;
    void* paDetails;
};

struct MIXERCONTROLDETAILS_LISTTEXTA {
    DWORD dwParam1; // for a source list: the line id of the source this entry stands for
    DWORD dwParam2; // ... and its component type
    char szName[MIXER_LONG_NAME_CHARS];
};

// The value records: every control value travels as one 32-bit number per channel and item.
struct MIXERCONTROLDETAILS_UNSIGNED {
    DWORD dwValue;
};
struct MIXERCONTROLDETAILS_SIGNED {
    LONG lValue;
};
struct MIXERCONTROLDETAILS_BOOLEAN {
    LONG fValue;
};

static_assert(sizeof(MIXERCAPSA) == 48);
static_assert(sizeof(MIXERLINEA) == 168);
static_assert(sizeof(MIXERCONTROLA) == 148);
static_assert(sizeof(MIXERCONTROLDETAILS_LISTTEXTA) == 72);
static_assert(sizeof(MIXERCONTROLDETAILS_UNSIGNED) == 4);

UINT mixerGetNumDevs();
MMRESULT mixerOpen(HMIXER* phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                   DWORD fdwOpen);
MMRESULT mixerClose(HMIXER hmx);
MMRESULT mixerGetDevCapsA(UINT_PTR uMxId, MIXERCAPSA* pmxcaps, UINT cbmxcaps);
MMRESULT mixerGetLineInfoA(HMIXEROBJ hmxobj, MIXERLINEA* pmxl, DWORD fdwInfo);
MMRESULT mixerGetLineControlsA(HMIXEROBJ hmxobj, MIXERLINECONTROLSA* pmxlc, DWORD fdwControls);
MMRESULT mixerGetControlDetailsA(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails);
MMRESULT mixerSetControlDetails(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails);

namespace platform {

// One mixer implementation. The global operations have already checked pointers and record
// sizes and resolved the HMIXEROBJ to an open handle; the query part of the flags (without the
// object type bits) is passed on. Handles are opaque numbers the backend hands out; it never
// dereferences them. Every operation may be called from any thread and must return within a
// bounded time.
class MixerBackend {
public:
    virtual ~MixerBackend() = default;

    virtual UINT GetNumDevs() = 0;
    // window is where change notifications go, or null for none.
    virtual MMRESULT Open(UINT deviceId, HWND window, HMIXER& handle) = 0;
    virtual MMRESULT Close(HMIXER handle) = 0;
    // The device an open handle belongs to; nullopt for anything that is not an open handle.
    virtual std::optional<UINT> DeviceOf(HMIXER handle) = 0;
    virtual MMRESULT GetDevCaps(UINT deviceId, MIXERCAPSA& caps) = 0;
    virtual MMRESULT GetLineInfo(HMIXER handle, MIXERLINEA& line, DWORD query) = 0;
    virtual MMRESULT GetLineControls(HMIXER handle, MIXERLINECONTROLSA& controls, DWORD query) = 0;
    virtual MMRESULT GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details,
                                       DWORD query) = 0;
    virtual MMRESULT SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS& details,
                                       DWORD query) = 0;
};

BackendSlot<MixerBackend>& MixerBackendSlot();

// The Linux backend (MixerAlsa.cpp); the slot's default.
std::unique_ptr<MixerBackend> MakeAlsaMixerBackend();

} // namespace platform
