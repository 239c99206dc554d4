// The registry editor is our own importer, started by absolute path beside the program and
// waited for, so the definition it restores is in place before the repair goes on to start the
// service. Web addresses go to the desktop's browser.

#include "platform/ProcessLaunch.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QThread>
#include <QUrl>
#include <strings.h>

namespace platform {

namespace {

HINSTANCE Failure(UINT_PTR code) {
    return reinterpret_cast<HINSTANCE>(code);
}

bool IsRegistryEditor(const char* file) {
    return strcasecmp(file, "regedit.exe") == 0 || strcasecmp(file, "regedit") == 0;
}

// Only plain web addresses: anything else handed to a desktop opener could be a program or a
// file that it would run.
bool IsWebAddress(const char* file) {
    bool web = strncasecmp(file, "http://", 7) == 0 || strncasecmp(file, "https://", 8) == 0;
    if (!web) {
        return false;
    }
    for (const char* c = file; *c != '\0'; ++c) {
        auto byte = static_cast<unsigned char>(*c);
        if (byte <= 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return QUrl(QString::fromUtf8(file), QUrl::StrictMode).isValid();
}

class LinuxShell : public ShellBackend {
public:
    LinuxShell(std::string programDirectory, std::chrono::milliseconds importerWait)
        : programDirectory_(std::move(programDirectory)), importerWait_(importerWait) {}

    HINSTANCE Execute(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR,
                      INT) override {
        if (file == nullptr || *file == '\0') {
            return Failure(SE_ERR_FNF);
        }
        if (operation != nullptr && *operation != '\0' && strcasecmp(operation, "open") != 0) {
            return Failure(SE_ERR_NOASSOC);
        }
        if (IsRegistryEditor(file)) {
            return Import(parameters);
        }
        if (IsWebAddress(file)) {
            return OpenWebAddress(file);
        }
        return Failure(SE_ERR_NOASSOC);
    }

private:
    HINSTANCE Import(LPCSTR parameters) {
        // Silent import only, and the whole rest is the script's path, spaces, quotes and all:
        // it reaches the importer as one argument, never through a shell.
        if (parameters == nullptr || strncasecmp(parameters, "/s ", 3) != 0 ||
            parameters[3] == '\0') {
            return Failure(SE_ERR_FNF);
        }
        if (programDirectory_.empty()) {
            return Failure(SE_ERR_FNF);
        }
        std::string importer = programDirectory_ + "/" + kRegistryImporterName;
        if (!FindExecutable(importer)) {
            return Failure(SE_ERR_FNF);
        }
        pid_t pid =
            SpawnProcess({importer, std::string(parameters + 3)}, SpawnOptions{false, true});
        if (pid <= 0) {
            return Failure(SE_ERR_ACCESSDENIED);
        }
        // An importer that outlasts the wait is busy with the user manager, whose calls are
        // bounded; stopping it half way would gain nothing, so it finishes and is reaped then.
        if (!WaitForExit(pid, importerWait_)) {
            ReapWhenDone(pid);
        }
        return ShellSuccess();
    }

    static HINSTANCE OpenWebAddress(const char* address) {
        // The desktop's own services know the user's browser best; where they cannot help (no
        // desktop program, another thread, a platform without them) xdg-open is asked.
        auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (gui != nullptr && QThread::currentThread() == gui->thread() &&
            QDesktopServices::openUrl(QUrl(QString::fromUtf8(address)))) {
            return ShellSuccess();
        }
        std::optional<std::string> opener = FindExecutable("xdg-open");
        if (!opener || !SpawnDetached({*opener, address})) {
            return Failure(SE_ERR_NOASSOC);
        }
        return ShellSuccess();
    }

    std::string programDirectory_;
    std::chrono::milliseconds importerWait_;
};

} // namespace

std::unique_ptr<ShellBackend> MakeLinuxShell() {
    return MakeLinuxShell(OwnProgramDirectory(), std::chrono::seconds(5));
}

std::unique_ptr<ShellBackend> MakeLinuxShell(std::string programDirectory,
                                             std::chrono::milliseconds importerWait) {
    return std::make_unique<LinuxShell>(std::move(programDirectory), importerWait);
}

} // namespace platform
