#pragma once
// Resources of a module, found by name and type, as the program's units ask the platform for
// them. Names and types are texts, compared without regard to letter case. A module handle
// names whose resources are meant; GetModuleHandleA(nullptr) is the program's own module,
// whose resources are the table built into the executable.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <memory>
#include <span>

struct EmbeddedResource;

using HRSRC = const void*;
using HGLOBAL = const void*;
using LPCSTR = const char*;

// nullptr gives the program's own module; any other name finds no module here (the program
// loads no resource-only libraries), so the result is nullptr.
HMODULE GetModuleHandleA(LPCSTR moduleName);

// nullptr when the module has no resource of that name and type. A null module means the
// program's own module, as on the original platform.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);

namespace platform {

class ModuleResourceBackend {
public:
    virtual ~ModuleResourceBackend() = default;
    virtual HMODULE OwnModule() = 0;
    // The resource's entry, or nullptr. The entry and its bytes live as long as the backend.
    virtual const EmbeddedResource* Find(HMODULE module, const char* name, const char* type) = 0;
};

BackendSlot<ModuleResourceBackend>& ModuleResourceSlot();

// The program's own module, serving a table built into the executable: the program's own
// unless a test names a table of fixtures.
using ResourceTableFunction = std::span<const EmbeddedResource> (*)();
std::unique_ptr<ModuleResourceBackend> MakeEmbeddedModuleResources();
std::unique_ptr<ModuleResourceBackend> MakeEmbeddedModuleResources(ResourceTableFunction table);

// Compares two resource names or types the way the lookup does: ASCII letters without regard
// to case, everything else exactly.
bool SameResourceName(const char* a, const char* b);

} // namespace platform
