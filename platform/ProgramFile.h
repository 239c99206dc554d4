#pragma once
// The full path of the running program's own file, as the program's units ask the platform
// for it (the version query and the one-instance rule are keyed by it).

#include "platform/Win32Types.h"

#include <string>

// Copies the full path of the module's file into buffer, cut to size - 1 characters and always
// terminated, and returns the number of characters copied. Only the program's own module (a
// null handle) is known; anything else, or a path that cannot be found, gives 0.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

namespace platform {

// The absolute path of the running program's file; empty when the system does not tell.
std::string OwnProgramFile();

} // namespace platform
