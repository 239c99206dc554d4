// The module-resource operations, dispatched to the installed backend.

#include "platform/ModuleResources.h"

#include "platform/EmbeddedResources.h"

namespace platform {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

BackendSlot<ModuleResourceBackend>& ModuleResourceSlot() {
    static BackendSlot<ModuleResourceBackend> slot(
        static_cast<std::unique_ptr<ModuleResourceBackend> (*)()>(&MakeEmbeddedModuleResources));
    return slot;
}

bool SameResourceName(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

} // namespace platform

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    return moduleName == nullptr ? platform::ModuleResourceSlot().Get().OwnModule() : nullptr;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (name == nullptr || type == nullptr) {
        return nullptr;
    }
    return platform::ModuleResourceSlot().Get().Find(module, name, type);
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource == nullptr
               ? 0
               : static_cast<DWORD>(static_cast<const EmbeddedResource*>(resource)->size);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return resource;
}

const void* LockResource(HGLOBAL data) {
    return data == nullptr ? nullptr : static_cast<const EmbeddedResource*>(data)->data;
}
