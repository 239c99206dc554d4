// The version block is our own layout: a tag, then the fixed record. Only VerQueryValueA looks
// inside, and it checks both before handing the record out.

#include "platform/Version.h"

#include <cstring>

namespace platform {

namespace {

constexpr char kBlockTag[8] = {'T', 'M', 'V', 'E', 'R', 'S', '1', '\0'};

struct VersionBlock {
    char tag[8];
    VS_FIXEDFILEINFO fixed;
};

} // namespace

BackendSlot<VersionBackend>& VersionSlot() {
    static BackendSlot<VersionBackend> slot([] { return MakeCompiledVersion(); });
    return slot;
}

VS_FIXEDFILEINFO MakeFixedFileInfo(WORD major, WORD minor, WORD release, WORD build) {
    VS_FIXEDFILEINFO info{};
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwStrucVersion = VS_FFI_STRUCVERSION;
    info.dwFileVersionMS = static_cast<DWORD>(major) << 16 | minor;
    info.dwFileVersionLS = static_cast<DWORD>(release) << 16 | build;
    info.dwProductVersionMS = info.dwFileVersionMS;
    info.dwProductVersionLS = info.dwFileVersionLS;
    info.dwFileType = VFT_APP;
    return info;
}

} // namespace platform

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle != nullptr) {
        *handle = 0;
    }
    if (fileName == nullptr) {
        return 0;
    }
    return platform::VersionSlot().Get().FixedFileInfo(fileName) ? sizeof(platform::VersionBlock)
                                                                 : 0;
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
    if (fileName == nullptr || data == nullptr || length < sizeof(platform::VersionBlock)) {
        return 0;
    }
    std::optional<VS_FIXEDFILEINFO> info = platform::VersionSlot().Get().FixedFileInfo(fileName);
    if (!info) {
        return 0;
    }
    platform::VersionBlock block{};
    std::memcpy(block.tag, platform::kBlockTag, sizeof block.tag);
    block.fixed = *info;
    std::memcpy(data, &block, sizeof block);
    return 1;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    if (block == nullptr || subBlock == nullptr || buffer == nullptr ||
        std::strcmp(subBlock, "\\") != 0) {
        return 0;
    }
    const auto* bytes = static_cast<const unsigned char*>(block);
    if (std::memcmp(bytes, platform::kBlockTag, sizeof platform::kBlockTag) != 0) {
        return 0;
    }
    const unsigned char* fixed = bytes + offsetof(platform::VersionBlock, fixed);
    DWORD signature = 0;
    std::memcpy(&signature, fixed, sizeof signature);
    if (signature != VS_FFI_SIGNATURE) {
        return 0;
    }
    *buffer = const_cast<unsigned char*>(fixed);
    if (length != nullptr) {
        *length = sizeof(VS_FIXEDFILEINFO);
    }
    return 1;
}
