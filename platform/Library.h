#pragma once
// Run-time library loading as the program calls it: LoadLibraryA, GetProcAddress, FreeLibrary.
//
// On Linux a bare Windows library name stands for our own shared object of the same stem
// ("tmaudiomanager.dll" is libtmaudiomanager.so), looked for in the program's own folder first
// and then along the system's usual search. Handles are counted as on Windows: every
// successful LoadLibraryA needs one FreeLibrary.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <cstdint>
#include <memory>
#include <string>

// The address of an exported entry; cast to the entry's real type before calling. (void (*)()
// rather than Windows' INT_PTR (*)(), since compilers accept the cast from it to any function.)
using FARPROC = void (*)();

// The module handle, or nullptr when the library is absent or cannot be loaded.
HMODULE LoadLibraryA(const char* fileName);
// The entry of that name, or nullptr (also for a null module or name).
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Nonzero when the handle was released.
BOOL FreeLibrary(HMODULE module);

namespace platform {

class LibraryBackend {
public:
    virtual ~LibraryBackend() = default;
    virtual HMODULE Load(const char* fileName) = 0;
    virtual FARPROC Lookup(HMODULE module, const char* procName) = 0;
    virtual BOOL Free(HMODULE module) = 0;
};

BackendSlot<LibraryBackend>& LibrarySlot();

// The dlopen backend (platform/LibraryDlopen.cpp).
std::unique_ptr<LibraryBackend> MakeDlopenLibraryBackend();

// What the Linux backend makes of a Windows library name: "tmaudiomanager.dll" gives
// "libtmaudiomanager.so"; names that are not a bare "*.dll" stay as they are.
std::string SharedObjectName(const std::string& fileName);

} // namespace platform
