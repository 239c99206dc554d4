#include "engine/DeviceLibrary.h"

#include "platform/Library.h"

DeviceLibrary LoadDeviceLibrary() {
    DeviceLibrary library;
    library.LibraryHandle = LoadLibraryA(kDeviceLibraryName);
    if (library.LibraryHandle == nullptr) {
        return library;
    }
    library.CheckDeviceProblem = reinterpret_cast<CheckDeviceProblemProc>(
        GetProcAddress(library.LibraryHandle, "CheckDeviceProblem"));
    library.QueryDeviceHwids = reinterpret_cast<QueryDeviceHwidsProc>(
        GetProcAddress(library.LibraryHandle, "QueryDeviceHwids"));
    if (library.CheckDeviceProblem == nullptr || library.QueryDeviceHwids == nullptr) {
        UnloadDeviceLibrary(library);
    }
    return library;
}

void UnloadDeviceLibrary(DeviceLibrary& library) {
    if (library.LibraryHandle != nullptr) {
        FreeLibrary(library.LibraryHandle);
    }
    library = DeviceLibrary{};
}
