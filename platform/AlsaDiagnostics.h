#pragma once
// ALSA and its plugins write their own error lines to standard error (a PCM that cannot open,
// a sound server that does not answer). The scan turns those failures into findings, so a
// console front end whose standard error belongs to a script can keep them out of it.

namespace platform {

// From now on, for the whole process, ALSA's library messages are dropped.
void SilenceAlsaDiagnostics();

} // namespace platform
