// The sound operation, dispatched to the installed backend.

#include "platform/Sound.h"

namespace platform {

BackendSlot<SoundBackend>& SoundSlot() {
    static BackendSlot<SoundBackend> slot(
        static_cast<std::unique_ptr<SoundBackend> (*)()>(&MakeAlsaSound));
    return slot;
}

} // namespace platform

BOOL sndPlaySoundA(LPCSTR soundName, UINT flags) {
    return platform::SoundSlot().Get().PlaySystemSound(soundName, flags);
}
