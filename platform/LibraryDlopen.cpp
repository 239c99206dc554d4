#include "platform/Library.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace platform {

namespace {

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

class DlopenLibraryBackend : public LibraryBackend {
public:
    HMODULE Load(const char* fileName) override {
        if (fileName == nullptr || *fileName == '\0') {
            return nullptr;
        }
        const std::string name = SharedObjectName(fileName);
        constexpr int kMode = RTLD_NOW | RTLD_LOCAL;
        if (name.find('/') == std::string::npos) {
            // The program's own folder first, as Windows searches the application's folder
            // before anything else.
            if (const std::string folder = ProgramFolder(); !folder.empty()) {
                const std::string beside = folder + "/" + name;
                if (access(beside.c_str(), F_OK) == 0) {
                    if (void* handle = dlopen(beside.c_str(), kMode)) {
                        return handle;
                    }
                }
            }
        }
        return dlopen(name.c_str(), kMode);
    }

    FARPROC Lookup(HMODULE module, const char* procName) override {
        if (module == nullptr || procName == nullptr) {
            return nullptr;
        }
        return reinterpret_cast<FARPROC>(dlsym(module, procName));
    }

    BOOL Free(HMODULE module) override { return module != nullptr && dlclose(module) == 0; }
};

} // namespace

std::string SharedObjectName(const std::string& fileName) {
    constexpr std::string_view kSuffix = ".dll";
    if (fileName.find_first_of("/\\") != std::string::npos || fileName.size() <= kSuffix.size()) {
        return fileName;
    }
    std::string stem = fileName.substr(0, fileName.size() - kSuffix.size());
    std::string suffix = fileName.substr(stem.size());
    for (char& c : suffix) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (suffix != kSuffix) {
        return fileName;
    }
    // Windows names ignore letter case; our shared objects are named in lower case.
    for (char& c : stem) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return "lib" + stem + ".so";
}

std::unique_ptr<LibraryBackend> MakeDlopenLibraryBackend() {
    return std::make_unique<DlopenLibraryBackend>();
}

} // namespace platform
