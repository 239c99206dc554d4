#include "support/PrivatePipeWire.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kNullSink = "tm_null";
constexpr const char* kDummySink = "auto_null";
// Every part a PipeWire session may run, the core first.
constexpr const char* kParts[] = {"pipewire", "pipewire-media-session", "wireplumber",
                                  "pipewire-pulse"};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The kernel keeps 15 characters of a program's name.
std::string CommOf(const std::string& name) {
    return name.substr(0, 15);
}

// A process that has ended but is not reaped yet counts as gone.
bool Ended(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (stat.empty() || close == std::string::npos || close + 2 >= stat.size()) {
        return true;
    }
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X';
}

std::vector<std::string> WithEnvironment(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos) {
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const char* away : {"PULSE_SERVER", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"}) {
        env.erase(away);
    }
    for (const auto& [key, value] : extra) {
        env[key] = value;
    }
    std::vector<std::string> entries;
    for (const auto& [key, value] : env) {
        entries.push_back(key + "=" + value);
    }
    return entries;
}

} // namespace

PrivatePipeWire::PrivatePipeWire(Sink sink)
    : sink_(sink), root_(std::make_unique<ScratchDir>("tm-pipewire")) {
    home_ = root_->Path() + "/home";
    xdgRuntime_ = root_->Path() + "/run";
    logPath_ = root_->Path() + "/session.log";
    mkdir(home_.c_str(), 0700);
    mkdir(xdgRuntime_.c_str(), 0700);
    chmod(xdgRuntime_.c_str(), 0700);
    busAddress_ = "unix:path=" + xdgRuntime_ + "/bus";

    const std::filesystem::path config = std::filesystem::path(home_) / ".config";
    // Nothing may start a PulseAudio daemon in this session behind the test's back.
    std::filesystem::create_directories(config / "pulse");
    std::ofstream(config / "pulse/client.conf") << "autospawn = no\n";
    if (sink_ == Sink::Configured) {
        std::filesystem::create_directories(config / "pipewire/pipewire.conf.d");
        std::ofstream(config / "pipewire/pipewire.conf.d/tm-null.conf")
            << "context.objects = [\n"
               "  { factory = adapter\n"
               "    args = {\n"
               "      factory.name = support.null-audio-sink\n"
               "      node.name = "
            << kNullSink
            << "\n"
               "      node.description = \"Test Null Output\"\n"
               "      media.class = Audio/Sink\n"
               "      audio.position = [ FL FR ]\n"
               "      monitor.channel-volumes = true\n"
               "    }\n"
               "  }\n"
               "]\n";
    }
}

PrivatePipeWire::~PrivatePipeWire() {
    // Everything of this session: the parts, whatever the code under test started here, the bus.
    for (int round = 0; round < 3; ++round) {
        std::vector<pid_t> left = Processes();
        if (busPid_ > 0 && !Ended(busPid_)) {
            left.push_back(busPid_);
        }
        if (left.empty()) {
            break;
        }
        for (pid_t pid : left) {
            kill(pid, SIGKILL);
        }
        const auto deadline = Clock::now() + 2s;
        while (Clock::now() < deadline) {
            Reap();
            bool gone = true;
            for (pid_t pid : left) {
                gone = gone && Ended(pid);
            }
            if (gone) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    Reap();
}

std::map<std::string, std::string> PrivatePipeWire::Environment() const {
    return {{"HOME", home_},
            {"XDG_RUNTIME_DIR", xdgRuntime_},
            {"XDG_CONFIG_HOME", home_ + "/.config"},
            {"XDG_STATE_HOME", home_ + "/.local/state"},
            {"PULSE_RUNTIME_PATH", xdgRuntime_ + "/pulse"},
            {"DBUS_SESSION_BUS_ADDRESS", busAddress_}};
}

std::vector<pid_t> PrivatePipeWire::Processes(const std::string& name) const {
    return ProcessesIn(xdgRuntime_, name);
}

std::vector<pid_t> PrivatePipeWire::ProcessesIn(const std::string& runtimeDir,
                                                const std::string& name) {
    std::vector<pid_t> found;
    const std::string marker = "XDG_RUNTIME_DIR=" + runtimeDir;
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
        if (!name.empty()) {
            std::string comm = ReadFile(dir + "/comm");
            if (!comm.empty() && comm.back() == '\n') {
                comm.pop_back();
            }
            if (comm != CommOf(name)) {
                continue;
            }
        }
        const std::string env = ReadFile(dir + "/environ");
        bool ours = false;
        for (std::size_t at = 0; at < env.size() && !ours;) {
            const std::size_t next = env.find('\0', at);
            const std::size_t stop = next == std::string::npos ? env.size() : next;
            ours = env.compare(at, stop - at, marker) == 0;
            at = stop + 1;
        }
        if (ours && !Ended(static_cast<pid_t>(pid))) {
            found.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    return found;
}

int PrivatePipeWire::CountPart(const std::string& name) const {
    return static_cast<int>(Processes(name).size());
}

void PrivatePipeWire::Reap() {
    std::ofstream log(logPath_, std::ios::app);
    for (auto child = children_.begin(); child != children_.end();) {
        int status = 0;
        if (waitpid(child->first, &status, WNOHANG) == 0) {
            ++child;
            continue;
        }
        // Into the session log, so that a failed start shows which part quit and how.
        log << "[harness] " << child->second << " (" << child->first << ") "
            << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                    : "exited with " + std::to_string(WEXITSTATUS(status)))
            << "\n";
        child = children_.erase(child);
    }
}

int PrivatePipeWire::KillPart(const std::string& name) {
    const std::vector<pid_t> victims = Processes(name);
    for (pid_t pid : victims) {
        kill(pid, SIGKILL);
    }
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        Reap();
        bool gone = true;
        for (pid_t pid : victims) {
            gone = gone && Ended(pid);
        }
        if (gone) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    return static_cast<int>(victims.size());
}

void PrivatePipeWire::Kill() {
    // The pulse server and the session manager first, so that none of them sees its core go
    // and reacts before it is killed itself.
    for (auto part = std::rbegin(kParts); part != std::rend(kParts); ++part) {
        KillPart(*part);
    }
}

pid_t PrivatePipeWire::Spawn(const std::string& program) {
    std::vector<std::string> env = WithEnvironment(Environment());
    std::vector<char*> envp;
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string name = program;
    char* argv[] = {name.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, name.c_str(), &actions, &attr, argv, envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (pid > 0) {
        children_[pid] = program;
        std::ofstream(logPath_, std::ios::app) << "[harness] started " << program << " (" << pid
                                                << ")\n";
    }
    return pid;
}

bool PrivatePipeWire::StartBus(std::string* error) {
    if (busPid_ > 0 && !Ended(busPid_)) {
        return true;
    }
    unlink((xdgRuntime_ + "/bus").c_str());
    // The daemon forks away and prints its address and its pid, one to a line.
    const CommandResult bus = RunCommand({"dbus-daemon", "--session", "--fork", "--print-address=1",
                                          "--print-pid=1", "--address=" + busAddress_},
                                         Environment(), 5000);
    std::istringstream lines(bus.output);
    std::string address;
    long pid = 0;
    if (bus.exitCode != 0 || !std::getline(lines, address) || !(lines >> pid) || pid <= 0) {
        if (error != nullptr) {
            *error = "dbus-daemon did not start: " + bus.output;
        }
        return false;
    }
    busPid_ = static_cast<pid_t>(pid);
    return true;
}

bool PrivatePipeWire::TakesConnections(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool taken =
        fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return taken;
}

bool PrivatePipeWire::Start(std::string* error) {
    const auto deadline = Clock::now() + 15s;
    std::string why = "the session did not come up";
    auto fail = [&](const std::string& reason) {
        if (error != nullptr) {
            *error = reason + "\n--- session log ---\n" + ReadFile(logPath_);
        }
        return false;
    };
    if (!StartBus(error)) {
        return false;
    }
    // pipewire-pulse makes its runtime folder with a look first and a mkdir after, and gives up
    // when a pulse client polling for it (pactl, below) made the folder in between.
    mkdir((xdgRuntime_ + "/pulse").c_str(), 0700);
    const std::string socket = xdgRuntime_ + "/pipewire-0";
    const std::string expected = sink_ == Sink::None ? kDummySink : kNullSink;
    pid_t sinkLoadedInto = -1;

    // Each round starts what is not running and takes the next step towards the default sink.
    // A part may quit at start: WirePlumber logs "Failed to connect to PipeWire" and exits when
    // its first connection fails, and a core may die under load; such a part is started again in
    // the next round, so the session comes up whatever quit on the way.
    for (;; std::this_thread::sleep_for(50ms)) {
        if (Clock::now() >= deadline) {
            return fail(why + " (within 15 s)");
        }
        Reap();
        if (CountPart(kCore) == 0 && Spawn(kCore) < 0) {
            return fail("cannot start pipewire");
        }
        // The socket file of a core that is gone stays behind and refuses connections; the
        // others start only once the new core takes them, or they give up at once.
        if (!TakesConnections(socket)) {
            why = "the core did not take connections";
            continue;
        }
        for (const char* part : {kSessionManager, kPulse}) {
            if (CountPart(part) == 0 && Spawn(part) < 0) {
                return fail(std::string("cannot start ") + part);
            }
        }
        if (!Answers()) {
            why = "pipewire-pulse did not answer";
            continue;
        }
        // A loaded sink belongs to the pulse server that loaded it: a new one needs it again.
        const std::vector<pid_t> pulse = Processes(kPulse);
        if (sink_ == Sink::Loaded && !pulse.empty() && pulse.front() != sinkLoadedInto &&
            Pactl({"list", "short", "sinks"}).output.find(std::string("\t") + kNullSink + "\t") ==
                std::string::npos) {
            const CommandResult load =
                Pactl({"load-module", "module-null-sink", std::string("sink_name=") + kNullSink});
            if (load.exitCode != 0) {
                why = "cannot load the null sink: " + load.output;
                continue;
            }
            sinkLoadedInto = pulse.front();
        }
        const CommandResult current = Pactl({"get-default-sink"});
        if (current.exitCode == 0 && current.output == expected + "\n") {
            return true;
        }
        why = "the default sink did not become " + expected + ": " + current.output;
        if (sink_ != Sink::None) {
            // Refused until the sink is there and the session manager keeps the defaults.
            Pactl({"set-default-sink", kNullSink});
        }
    }
}

} // namespace testing_support
