#pragma once
// What the Linux service backend reads of this session's sound server besides the pulse probe:
// the runtime folder and the configuration it left, whether PipeWire's core socket accepts a
// connection, and the processes of this user that belong to this session (those whose
// environment has this session's XDG_RUNTIME_DIR). Every wait is bounded.

#include "platform/SoundServerSession.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

SessionTraces ReadSessionTraces();

// $PIPEWIRE_RUNTIME_DIR (else $XDG_RUNTIME_DIR) / ($PIPEWIRE_REMOTE or "pipewire-0"); an
// absolute PIPEWIRE_REMOTE is taken as it is. Empty when there is no runtime folder.
std::string PipeWireSocketPath();

// True when the core's socket accepts a connection (a socket file left by a dead core does not).
bool PipeWireCoreAnswers();

// Processes of this user named name (as the kernel keeps it, 15 characters) whose environment
// has this session's XDG_RUNTIME_DIR (or, in a session without one, none either).
std::vector<pid_t> SessionProcesses(const std::string& name);

// SIGTERM for this session's processes of that name, SIGKILL for those still there after the
// bound; returns once they are gone or a second bound has passed.
void StopSessionProcesses(const std::string& name,
                          std::chrono::milliseconds bound = std::chrono::milliseconds(1000));

// Makes the pulse server's runtime folder (mode 0700) where it is missing. pipewire-pulse makes
// it with a look first and a mkdir after, and gives up when a pulse client polling meanwhile
// (our own probe) made it in between.
void PreparePulseRuntimeFolder();

// Everything but the pulse probe's part: the core, the session manager that runs, the pulse
// server's process, the session managers installed.
PipeWireFacts ReadPipeWireFacts(bool pulseAnswersAsPipeWire);

} // namespace platform
