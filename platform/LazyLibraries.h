#pragma once
// The sound libraries (ALSA, PulseAudio's client library, libsystemd) are not linked into the
// program: each function of theirs it calls is a small stub of ours (LazyLibraries.def) that,
// on its first call, loads the library and looks the function up, and from then on jumps
// straight to it. An idle window so never maps them, nor what they pull in (libsndfile and its
// codecs, libgcrypt, ...), and tests and product take the same way into them.
//
// A library or function that cannot be found when first called ends the program with a
// message on standard error and exit status 127, as the dynamic linker would have at start.

// The libraries' numbers, shared by the stubs (assembly) and the binder (C++).
#define LAZY_ID_ALSA 0
#define LAZY_ID_PULSE 1
#define LAZY_ID_SYSTEMD 2
#define LAZY_LIBRARY_COUNT 3
