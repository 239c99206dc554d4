#include "app/VersionText.h"

#include "config/SafeFormat.h"
#include "platform/ProgramFile.h"
#include "platform/Version.h"

#include <vector>

std::string OwnFileVersionText() {
    char fileName[4096];
    if (GetModuleFileNameA(nullptr, fileName, sizeof fileName) == 0) {
        return "0.0.0.0";
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0) {
        return "0.0.0.0";
    }
    std::vector<unsigned char> block(size);
    void* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(fileName, handle, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return "0.0.0.0";
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return SafeFormat("%u.%u.%u.%u",
                      {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)});
}
