#pragma once
// The registry importer's work: read a registry script, check all of it, and put back the
// services it names through the service backend. Nothing is changed unless the whole script is
// sound and names only services this importer knows.

#include "platform/RegistryScript.h"
#include "platform/Services.h"

#include <ostream>
#include <string>
#include <vector>

namespace platform {

// Exit codes of the importer.
inline constexpr int kImportDone = 0;
inline constexpr int kImportBadScript = 1;
inline constexpr int kImportUsage = 2;
inline constexpr int kImportRestoreFailed = 3;

// The services a script names, in the order of their first key; refuses (nullopt, *error) a
// key outside HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\{AudioSrv,PlugPlay,RpcSs}.
std::optional<std::vector<std::string>> ServicesNamedBy(const RegistryScript& script,
                                                        std::string* error);

// args are the importer's arguments without the program name: exactly the script's path.
// Messages go to err; returns the exit code.
int RunRegistryImport(const std::vector<std::string>& args, ServiceBackend& services,
                      std::ostream& err);

} // namespace platform
