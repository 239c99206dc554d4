// The build hands the project version in as TONEMENDER_FILE_VERSION_{MAJOR,MINOR,PATCH,TWEAK}.

#include "platform/ProgramFile.h"
#include "platform/Version.h"

#include <sys/stat.h>

#ifndef TONEMENDER_FILE_VERSION_MAJOR
#error "the build must define the file version"
#endif

namespace platform {

namespace {

// The same file, not merely the same spelling: a link or a relative name to the program counts.
bool IsOwnProgram(const std::string& fileName) {
    struct stat asked {};
    struct stat own {};
    if (stat(fileName.c_str(), &asked) != 0 || stat("/proc/self/exe", &own) != 0) {
        return false;
    }
    return asked.st_dev == own.st_dev && asked.st_ino == own.st_ino;
}

class CompiledVersion : public VersionBackend {
public:
    std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::string& fileName) override {
        if (!IsOwnProgram(fileName)) {
            return std::nullopt;
        }
        return MakeFixedFileInfo(TONEMENDER_FILE_VERSION_MAJOR, TONEMENDER_FILE_VERSION_MINOR,
                                 TONEMENDER_FILE_VERSION_PATCH, TONEMENDER_FILE_VERSION_TWEAK);
    }
};

} // namespace

std::unique_ptr<VersionBackend> MakeCompiledVersion() {
    return std::make_unique<CompiledVersion>();
}

} // namespace platform
