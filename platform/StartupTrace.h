#pragma once
// The start-up trace the benchmark report reads: when TONEMENDER_STARTUP_TRACE names a file,
// each phase of start-up records when it ended (CLOCK_BOOTTIME, the clock the kernel's process
// start time is kept on) and the resident set at that moment, and the whole list is written to
// that file once the first frame is painted. Without the variable every call returns at once.
// Window thread only.

namespace platform {

// Whether the variable asked for a trace (read once).
bool StartupTraceEnabled();

// Records the end of a phase; phase must outlive the program (a literal).
void MarkStartupPhase(const char* phase);

// Records the last phase and writes the trace; later marks and writes do nothing. Lines are
// "phase nanoseconds resident-KiB", the first one the process's start as the kernel reports it
// (to its clock tick, without a resident figure).
void FinishStartupTrace(const char* phase);

} // namespace platform
