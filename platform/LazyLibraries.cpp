#include "platform/LazyLibraries.h"

#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

const char* Soname(long id) {
    switch (id) {
#define LAZY_LIBRARY(lib, soname)                                                                  \
    case LAZY_ID_##lib:                                                                            \
        return soname;
#define LAZY_FUNCTION(lib, name)
#include "platform/LazyLibraries.def"
#undef LAZY_LIBRARY
#undef LAZY_FUNCTION
    default:
        return "?";
    }
}

std::mutex& BindMutex() {
    static std::mutex mutex;
    return mutex;
}

void* handles[LAZY_LIBRARY_COUNT]; // under BindMutex

[[noreturn]] void CannotBind(const char* what, const char* name) {
    const char* reason = dlerror();
    std::fprintf(stderr, "tonemender: cannot load %s %s: %s\n", what, name,
                 reason != nullptr ? reason : "not found");
    std::fflush(stderr);
    _exit(127);
}

} // namespace

// A stub's entry, as LazyLibrariesX86_64.S lays it out.
struct LazyEntry {
    void* address; // zero until bound
    const char* name;
    long library;
};

extern "C" void* TmLazyBind(LazyEntry* entry) {
    std::lock_guard lock(BindMutex());
    void* address = __atomic_load_n(&entry->address, __ATOMIC_ACQUIRE);
    if (address != nullptr) {
        return address; // another thread bound it meanwhile
    }
    const long id = entry->library;
    void* handle = handles[id];
    if (handle == nullptr) {
        handle = dlopen(Soname(id), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            CannotBind("library", Soname(id));
        }
        handles[id] = handle;
    }
    address = dlsym(handle, entry->name);
    if (address == nullptr) {
        CannotBind("function", entry->name);
    }
    __atomic_store_n(&entry->address, address, __ATOMIC_RELEASE);
    return address;
}
