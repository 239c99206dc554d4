#include "platform/ProgramFile.h"

#include <climits>
#include <cstring>
#include <unistd.h>

namespace platform {

std::string OwnProgramFile() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace platform

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    if (module != nullptr || buffer == nullptr || size == 0) {
        return 0;
    }
    std::string path = platform::OwnProgramFile();
    if (path.empty()) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t copied = path.size() < size - 1 ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
    return static_cast<DWORD>(copied);
}
