#include "platform/RegistryImport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kProgram = "tonemender-regimport: ";
constexpr const char* kServicesRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

// The audio service is restored; the two it depends on have no counterpart here and are only
// checked.
constexpr const char* kRestored = "AudioSrv";
constexpr const char* kDependencies[] = {"PlugPlay", "RpcSs"};

bool ReadScript(const std::string& path, std::vector<BYTE>& bytes, std::string& error) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        error = "not a regular file";
        return false;
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxRegistryScriptBytes) {
        close(fd);
        error = "larger than any registry script we write";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            close(fd);
            error = n == 0 ? "the file got shorter while it was read" : std::strerror(errno);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    return true;
}

} // namespace

std::optional<std::vector<std::string>> ServicesNamedBy(const RegistryScript& script,
                                                        std::string* error) {
    std::vector<std::string> named;
    const std::size_t rootLength = std::strlen(kServicesRoot);
    for (const RegistryKey& key : script.keys) {
        std::string service;
        if (key.path.size() > rootLength &&
            strncasecmp(key.path.c_str(), kServicesRoot, rootLength) == 0) {
            std::string rest = key.path.substr(rootLength);
            service = rest.substr(0, rest.find('\\'));
        }
        const char* known = nullptr;
        for (const char* candidate : {kRestored, kDependencies[0], kDependencies[1]}) {
            if (strcasecmp(service.c_str(), candidate) == 0) {
                known = candidate;
            }
        }
        if (known == nullptr) {
            if (error != nullptr) {
                *error = "line " + std::to_string(key.line) + ": key \"" + key.path +
                         "\" is not one of the services this importer restores";
            }
            return std::nullopt;
        }
        bool seen = false;
        for (const std::string& name : named) {
            seen = seen || name == known;
        }
        if (!seen) {
            named.emplace_back(known);
        }
    }
    return named;
}

int RunRegistryImport(const std::vector<std::string>& args, ServiceBackend& services,
                      std::ostream& err) {
    if (args.size() != 1 || args[0].empty()) {
        err << kProgram << "usage: tonemender-regimport SCRIPT\n";
        return kImportUsage;
    }
    const std::string& path = args[0];
    std::vector<BYTE> bytes;
    std::string error;
    if (!ReadScript(path, bytes, error)) {
        err << kProgram << "cannot read \"" << path << "\": " << error << "; nothing changed\n";
        return kImportBadScript;
    }
    std::optional<RegistryScript> script = ParseRegistryScript(bytes, &error);
    if (!script) {
        err << kProgram << "\"" << path << "\" is not a valid registry script: " << error
            << "; nothing changed\n";
        return kImportBadScript;
    }
    std::optional<std::vector<std::string>> named = ServicesNamedBy(*script, &error);
    if (!named) {
        err << kProgram << "\"" << path << "\": " << error << "; nothing changed\n";
        return kImportBadScript;
    }

    int result = kImportDone;
    for (const std::string& service : *named) {
        if (service != kRestored) {
            err << kProgram << service << ": checked; nothing on this system stands for it\n";
            continue;
        }
        ServiceRestoreResult restored = services.RestoreService(service);
        err << kProgram << service << ": " << restored.message << "\n";
        if (!restored.ok) {
            result = kImportRestoreFailed;
        }
    }
    return result;
}

} // namespace platform
