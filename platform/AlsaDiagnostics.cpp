#include "platform/AlsaDiagnostics.h"

#include <alsa/asoundlib.h>

namespace platform {

namespace {

void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void SilenceAlsaDiagnostics() {
    snd_lib_error_set_handler(DropAlsaMessage);
}

} // namespace platform
