// Temporary folder and unique names, dispatched to the installed backend.

#include "platform/TempFiles.h"

#include <cstdio>
#include <cstring>

namespace platform {

BackendSlot<TempFileBackend>& TempFileSlot() {
    static BackendSlot<TempFileBackend> slot(&MakeLinuxTempFiles);
    return slot;
}

} // namespace platform

namespace {

// Enough fresh numbers that only a folder filled on purpose could exhaust them.
constexpr int kCreateAttempts = 100;

std::string FormName(const std::string& folder, const char* prefix, UINT unique) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", unique);
    std::string name = folder;
    if (!name.empty() && name.back() != '/') {
        name += '/';
    }
    name.append(prefix, strnlen(prefix, 3));
    return name + digits + ".tmp";
}

bool CopyName(const std::string& name, char* out) {
    if (name.size() >= MAX_PATH) {
        return false;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

} // namespace

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
    std::string folder = platform::TempFileSlot().Get().TempDirectory();
    if (folder.empty()) {
        return 0;
    }
    if (buffer == nullptr || folder.size() + 1 > bufferLength) {
        return static_cast<DWORD>(folder.size() + 1);
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<DWORD>(folder.size());
}

UINT GetTempFileNameA(const char* pathName, const char* prefix, UINT unique, char* tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) {
        return 0;
    }
    if (prefix == nullptr) {
        prefix = "";
    }
    if (unique != 0) {
        return CopyName(FormName(pathName, prefix, unique), tempFileName) ? unique : 0;
    }
    platform::TempFileBackend& backend = platform::TempFileSlot().Get();
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UINT number = backend.NextUniqueNumber();
        std::string name = FormName(pathName, prefix, number);
        if (name.size() >= MAX_PATH) {
            return 0;
        }
        switch (backend.CreateNewFile(name, nullptr, 0)) {
        case platform::CreateResult::Created:
            CopyName(name, tempFileName);
            return number;
        case platform::CreateResult::AlreadyExists:
            continue;
        case platform::CreateResult::Failed:
            return 0;
        }
    }
    return 0;
}
