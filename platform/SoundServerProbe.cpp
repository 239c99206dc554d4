#include "platform/SoundServerProbe.h"

#include "platform/ProcessLaunch.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

fs::path ConfigHome() {
    std::string config = Env("XDG_CONFIG_HOME");
    if (!config.empty()) {
        return config;
    }
    std::string home = Env("HOME");
    return home.empty() ? fs::path() : fs::path(home) / ".config";
}

fs::path StateHome() {
    std::string state = Env("XDG_STATE_HOME");
    if (!state.empty()) {
        return state;
    }
    std::string home = Env("HOME");
    return home.empty() ? fs::path() : fs::path(home) / ".local/state";
}

// PulseAudio's own files in its configuration folder: a user's daemon setup, or what the daemon
// saves (its databases, the default devices it remembers). client.conf is left out: any pulse
// client reads it, PipeWire's included.
bool HasPulseAudioFiles(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        return false;
    }
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        auto endsWith = [&](const std::string& tail) {
            return name.size() >= tail.size() &&
                   name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
        };
        if (name == "default.pa" || name == "daemon.conf" || endsWith(".tdb") ||
            endsWith("-default-sink") || endsWith("-default-source")) {
            return true;
        }
    }
    return false;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool HasEntry(const std::string& environ, const std::string& entry) {
    for (std::size_t at = 0; at < environ.size();) {
        const std::size_t next = environ.find('\0', at);
        const std::size_t stop = next == std::string::npos ? environ.size() : next;
        if (environ.compare(at, stop - at, entry) == 0) {
            return true;
        }
        at = stop + 1;
    }
    return false;
}

bool HasVariable(const std::string& environ, const std::string& prefix) {
    for (std::size_t at = 0; at < environ.size();) {
        const std::size_t next = environ.find('\0', at);
        const std::size_t stop = next == std::string::npos ? environ.size() : next;
        if (environ.compare(at, prefix.size(), prefix) == 0) {
            return true;
        }
        at = stop + 1;
    }
    return false;
}

bool Gone(pid_t pid) {
    const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return true;
    }
    return stat[close + 2] == 'Z' || stat[close + 2] == 'X';
}

bool WaitGone(const std::vector<pid_t>& pids, std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    for (;;) {
        bool gone = true;
        for (pid_t pid : pids) {
            gone = gone && Gone(pid);
        }
        if (gone || Clock::now() >= deadline) {
            return gone;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

SessionTraces ReadSessionTraces() {
    SessionTraces traces;
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    std::string pipewireRuntime = Env("PIPEWIRE_RUNTIME_DIR");
    if (pipewireRuntime.empty()) {
        pipewireRuntime = runtime;
    }
    if (!pipewireRuntime.empty()) {
        traces.pipewireRuntime = Exists(fs::path(pipewireRuntime) / "pipewire-0") ||
                                 Exists(fs::path(pipewireRuntime) / "pipewire-0.lock");
    }
    std::string pulseRuntime = Env("PULSE_RUNTIME_PATH");
    if (pulseRuntime.empty() && !runtime.empty()) {
        pulseRuntime = runtime + "/pulse";
    }
    if (!pulseRuntime.empty()) {
        traces.pulseRuntime =
            Exists(fs::path(pulseRuntime) / "pid") || Exists(fs::path(pulseRuntime) / "native");
    }

    const fs::path config = ConfigHome();
    const fs::path state = StateHome();
    traces.pulseConfiguration = HasPulseAudioFiles(config.empty() ? config : config / "pulse");
    if (!config.empty()) {
        traces.pipewireConfiguration = Exists(config / "pipewire") ||
                                       Exists(config / "wireplumber") ||
                                       Exists(config / "pipewire-media-session");
    }
    if (!state.empty()) {
        traces.pipewireConfiguration =
            traces.pipewireConfiguration || Exists(state / "wireplumber");
    }
    return traces;
}

std::string PipeWireSocketPath() {
    std::string remote = Env("PIPEWIRE_REMOTE");
    if (remote.empty()) {
        remote = "pipewire-0";
    }
    if (remote.front() == '/') {
        return remote;
    }
    std::string folder = Env("PIPEWIRE_RUNTIME_DIR");
    if (folder.empty()) {
        folder = Env("XDG_RUNTIME_DIR");
    }
    return folder.empty() ? std::string() : folder + "/" + remote;
}

bool PipeWireCoreAnswers() {
    const std::string path = PipeWireSocketPath();
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    // A listening unix socket takes the connection at once (or says EAGAIN when its backlog is
    // full, which still means somebody listens); a stale one refuses it.
    const int result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const bool answers = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    close(fd);
    return answers;
}

std::vector<pid_t> SessionProcesses(const std::string& name) {
    std::vector<pid_t> found;
    if (name.empty()) {
        return found;
    }
    const std::string comm = name.substr(0, 15);
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    const uid_t uid = getuid();
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == getpid()) {
            continue;
        }
        const std::string dir = std::string("/proc/") + entry->d_name;
        struct stat info {};
        if (stat(dir.c_str(), &info) != 0 || info.st_uid != uid) {
            continue;
        }
        std::string own = ReadSmallFile(dir + "/comm");
        if (!own.empty() && own.back() == '\n') {
            own.pop_back();
        }
        if (own != comm) {
            continue;
        }
        const std::string environ = ReadSmallFile(dir + "/environ");
        const bool ours = runtime.empty() ? !HasVariable(environ, "XDG_RUNTIME_DIR=")
                                          : HasEntry(environ, "XDG_RUNTIME_DIR=" + runtime);
        if (ours && !Gone(static_cast<pid_t>(pid))) {
            found.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    return found;
}

void StopSessionProcesses(const std::string& name, std::chrono::milliseconds bound) {
    const std::vector<pid_t> stale = SessionProcesses(name);
    if (stale.empty()) {
        return;
    }
    for (pid_t pid : stale) {
        kill(pid, SIGTERM);
    }
    if (WaitGone(stale, bound)) {
        return;
    }
    for (pid_t pid : stale) {
        if (!Gone(pid)) {
            kill(pid, SIGKILL);
        }
    }
    WaitGone(stale, bound);
}

void PreparePulseRuntimeFolder() {
    std::string folder = Env("PULSE_RUNTIME_PATH");
    if (folder.empty()) {
        const std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            return;
        }
        folder = runtime + "/pulse";
    }
    mkdir(folder.c_str(), 0700);
}

PipeWireFacts ReadPipeWireFacts(bool pulseAnswersAsPipeWire) {
    PipeWireFacts facts;
    facts.coreAnswers = PipeWireCoreAnswers();
    for (const char* manager : {"wireplumber", "pipewire-media-session"}) {
        if (facts.sessionManagerRunning.empty() && !SessionProcesses(manager).empty()) {
            facts.sessionManagerRunning = manager;
        }
        if (FindExecutable(manager)) {
            facts.sessionManagersInstalled.push_back(manager);
        }
    }
    facts.pulseAnswers = pulseAnswersAsPipeWire;
    facts.pulseProcess = !SessionProcesses("pipewire-pulse").empty();
    return facts;
}

} // namespace platform
