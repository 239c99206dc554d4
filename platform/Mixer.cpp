// The winmm mixer operations: argument checks shared by every backend, then dispatch.
#include "platform/Mixer.h"

#include "threading/MessageWindow.h"

#include <cstring>

namespace platform {

BackendSlot<MixerBackend>& MixerBackendSlot() {
    static BackendSlot<MixerBackend> slot(&MakeAlsaMixerBackend);
    return slot;
}

} // namespace platform

namespace {

platform::MixerBackend& Backend() {
    return platform::MixerBackendSlot().Get();
}

// Runs op on the open handle an HMIXEROBJ names. Like winmm, a query marked as addressing a
// mixer device id also accepts an open handle; a real device id is served by opening that
// device for the length of the call.
template <class Op> MMRESULT WithMixer(HMIXEROBJ object, DWORD flags, Op op) {
    DWORD type = flags & MIXER_OBJECTF_TYPEMASK;
    if (type != MIXER_OBJECTF_MIXER && type != MIXER_OBJECTF_HMIXER) {
        return MMSYSERR_NOTSUPPORTED;
    }
    auto& backend = Backend();
    auto handle = reinterpret_cast<HMIXER>(object);
    DWORD query = flags & ~MIXER_OBJECTF_TYPEMASK;
    if (backend.DeviceOf(handle)) {
        return op(backend, handle, query);
    }
    if (type == MIXER_OBJECTF_HMIXER) {
        return MMSYSERR_INVALHANDLE;
    }
    auto id = reinterpret_cast<UINT_PTR>(object);
    if (id >= backend.GetNumDevs()) {
        return MMSYSERR_BADDEVICEID;
    }
    HMIXER temporary = nullptr;
    MMRESULT result = backend.Open(static_cast<UINT>(id), nullptr, temporary);
    if (result != MMSYSERR_NOERROR) {
        return result;
    }
    result = op(backend, temporary, query);
    backend.Close(temporary);
    return result;
}

} // namespace

UINT mixerGetNumDevs() {
    return Backend().GetNumDevs();
}

MMRESULT mixerOpen(HMIXER* phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR /*dwInstance*/,
                   DWORD fdwOpen) {
    if (phmx == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *phmx = nullptr;
    if ((fdwOpen & MIXER_OBJECTF_TYPEMASK) != MIXER_OBJECTF_MIXER) {
        // Opening the mixer of a wave or MIDI device by that device's id is not offered.
        return MMSYSERR_NOTSUPPORTED;
    }
    HWND window = nullptr;
    switch (fdwOpen & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        break;
    case CALLBACK_WINDOW:
        window = reinterpret_cast<HWND>(dwCallback);
        if (!platform::MessageWindow::IsWindow(window)) {
            return MMSYSERR_INVALPARAM;
        }
        break;
    default:
        // Callback functions, threads and events are not part of this platform layer.
        return MMSYSERR_NOTSUPPORTED;
    }
    if ((fdwOpen & ~(CALLBACK_TYPEMASK | MIXER_OBJECTF_TYPEMASK)) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    auto& backend = Backend();
    if (uMxId >= backend.GetNumDevs()) {
        return MMSYSERR_BADDEVICEID;
    }
    HMIXER handle = nullptr;
    MMRESULT result = backend.Open(uMxId, window, handle);
    if (result == MMSYSERR_NOERROR) {
        *phmx = handle;
    }
    return result;
}

MMRESULT mixerClose(HMIXER hmx) {
    auto& backend = Backend();
    if (!backend.DeviceOf(hmx)) {
        return MMSYSERR_INVALHANDLE;
    }
    return backend.Close(hmx);
}

MMRESULT mixerGetDevCapsA(UINT_PTR uMxId, MIXERCAPSA* pmxcaps, UINT cbmxcaps) {
    if (pmxcaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (cbmxcaps == 0) {
        return MMSYSERR_NOERROR;
    }
    auto& backend = Backend();
    // An open handle stands for its device here too.
    UINT device = 0;
    if (auto owner = backend.DeviceOf(reinterpret_cast<HMIXER>(uMxId))) {
        device = *owner;
    } else if (uMxId < backend.GetNumDevs()) {
        device = static_cast<UINT>(uMxId);
    } else {
        return MMSYSERR_BADDEVICEID;
    }
    MIXERCAPSA caps{};
    MMRESULT result = backend.GetDevCaps(device, caps);
    if (result == MMSYSERR_NOERROR) {
        std::memcpy(pmxcaps, &caps, cbmxcaps < sizeof caps ? cbmxcaps : sizeof caps);
    }
    return result;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ hmxobj, MIXERLINEA* pmxl, DWORD fdwInfo) {
    if (pmxl == nullptr || pmxl->cbStruct < sizeof(MIXERLINEA)) {
        return MMSYSERR_INVALPARAM;
    }
    return WithMixer(hmxobj, fdwInfo, [&](platform::MixerBackend& b, HMIXER h, DWORD q) {
        return b.GetLineInfo(h, *pmxl, q);
    });
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ hmxobj, MIXERLINECONTROLSA* pmxlc, DWORD fdwControls) {
    if (pmxlc == nullptr || pmxlc->cbStruct < sizeof(MIXERLINECONTROLSA)) {
        return MMSYSERR_INVALPARAM;
    }
    return WithMixer(hmxobj, fdwControls, [&](platform::MixerBackend& b, HMIXER h, DWORD q) {
        return b.GetLineControls(h, *pmxlc, q);
    });
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails) {
    if (pmxcd == nullptr || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS)) {
        return MMSYSERR_INVALPARAM;
    }
    return WithMixer(hmxobj, fdwDetails, [&](platform::MixerBackend& b, HMIXER h, DWORD q) {
        return b.GetControlDetails(h, *pmxcd, q);
    });
}

MMRESULT mixerSetControlDetails(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails) {
    if (pmxcd == nullptr || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS)) {
        return MMSYSERR_INVALPARAM;
    }
    return WithMixer(hmxobj, fdwDetails, [&](platform::MixerBackend& b, HMIXER h, DWORD q) {
        return b.SetControlDetails(h, *pmxcd, q);
    });
}
