#include "platform/Library.h"

namespace platform {

BackendSlot<LibraryBackend>& LibrarySlot() {
    static BackendSlot<LibraryBackend> slot(&MakeDlopenLibraryBackend);
    return slot;
}

} // namespace platform

HMODULE LoadLibraryA(const char* fileName) {
    return platform::LibrarySlot().Get().Load(fileName);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    return platform::LibrarySlot().Get().Lookup(module, procName);
}

BOOL FreeLibrary(HMODULE module) {
    return platform::LibrarySlot().Get().Free(module);
}
