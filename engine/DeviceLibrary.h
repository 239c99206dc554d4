#pragma once
// Loading the device-diagnosis library and looking up its two entries.

#include "engine/DeviceCheck.h"

inline constexpr const char* kDeviceLibraryName = "tmaudiomanager.dll";

// What the engine keeps of the library: its handle and both entries. All null when the library
// is absent, cannot be loaded, or lacks either entry — a library the check cannot use is freed
// again at once and treated as absent, so its entries are never called and the device check
// (codes 6 and 11) is skipped exactly as without a library: LibraryHandle == nullptr.
struct DeviceLibrary {
    HMODULE LibraryHandle = nullptr;
    CheckDeviceProblemProc CheckDeviceProblem = nullptr;
    QueryDeviceHwidsProc QueryDeviceHwids = nullptr;
};

DeviceLibrary LoadDeviceLibrary();

// Frees a loaded library (once) and leaves all three null.
void UnloadDeviceLibrary(DeviceLibrary& library);
