// "AudioSrv" on Linux is the session's sound server. Whether it runs is whether a
// PulseAudio-protocol server answers; how it is made to start depends on who looks after it:
// the systemd user manager when there is one, else nobody, and we start the daemon ourselves.

#include "platform/ProcessLaunch.h"
#include "platform/PulseProbe.h"
#include "platform/ServiceStartJob.h"
#include "platform/Services.h"
#include "platform/SoundServerUnits.h"
#include "platform/SystemdUserManager.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <strings.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kAudioService = "AudioSrv";

// How long a start may take before it counts as failed. A user manager pulls in PipeWire's
// core and session manager first; a daemon we started ourselves has only itself to bring up.
constexpr std::chrono::seconds kUnitStartLimit{20};
constexpr std::chrono::seconds kDaemonStartLimit{10};
// `pulseaudio --start` returns once the daemon is up; give the socket a moment to answer.
constexpr std::chrono::seconds kAfterStarterGrace{3};

bool IsAudioService(LPCSTR name) {
    return name != nullptr && strcasecmp(name, kAudioService) == 0;
}

bool IsThisMachine(LPCSTR machineName) {
    return machineName == nullptr || *machineName == '\0';
}

// The one server that daemon mode looks after: the one that answers, else the one installed.
std::optional<SoundServer> DaemonServer(const PulseProbeResult& probe) {
    if (probe.answers) {
        return ServerFromName(probe.serverName).value_or(SoundServer::PulseAudio);
    }
    for (SoundServer server : {SoundServer::PipeWire, SoundServer::PulseAudio}) {
        if (FindExecutable(UnitsOf(server).executable)) {
            return server;
        }
    }
    return std::nullopt;
}

// PipeWire's session manager and pulse server are clients of its core and give up when the core
// is not there yet: wait (briefly) for the core's socket before starting them.
void WaitForPipeWireCore() {
    const char* folder = std::getenv("PIPEWIRE_RUNTIME_DIR");
    if (folder == nullptr || *folder == '\0') {
        folder = std::getenv("XDG_RUNTIME_DIR");
    }
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    std::string socket = name.front() == '/' ? name : std::string(folder) + "/" + name;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
    while (access(socket.c_str(), F_OK) != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool AnyServerInstalled() {
    return FindExecutable(UnitsOf(SoundServer::PipeWire).executable) ||
           FindExecutable(UnitsOf(SoundServer::PulseAudio).executable);
}

struct ManagerSession {
    std::unique_ptr<SystemdUserManager> systemd; // nullptr in daemon mode
};

struct ServiceObject {
    std::shared_ptr<ManagerSession> session;
    bool unitMode = false;
    SoundServer server = SoundServer::PulseAudio;
    DWORD access = 0;
    ServiceStartJob job;
    std::string jobPath;            // unit mode: the manager's start job
    pid_t starter = -1;             // daemon mode: `pulseaudio --start`, until reaped
    std::optional<int> starterExit; // its exit code once reaped
    Clock::time_point starterEndedAt{};
};

class LinuxServices : public ServiceBackend {
public:
    ~LinuxServices() override {
        for (auto& [handle, service] : services_) {
            ForgetStarter(*service);
        }
    }

    SC_HANDLE OpenManager(LPCSTR machineName, LPCSTR databaseName, DWORD) override {
        std::lock_guard lock(mutex_);
        bool activeDatabase =
            databaseName == nullptr || strcasecmp(databaseName, "ServicesActive") == 0;
        if (!IsThisMachine(machineName) || !activeDatabase) {
            return nullptr;
        }
        auto session = std::make_shared<ManagerSession>();
        session->systemd = SystemdUserManager::Connect();
        // Without a user manager the daemon way is open when there is a server to look after.
        if (!session->systemd && !AnyServerInstalled() && !ProbePulseServer().answers) {
            return nullptr;
        }
        SC_HANDLE handle = NewHandle();
        managers_[Key(handle)] = std::move(session);
        return handle;
    }

    SC_HANDLE OpenService(SC_HANDLE manager, LPCSTR serviceName, DWORD access) override {
        std::lock_guard lock(mutex_);
        auto found = managers_.find(Key(manager));
        if (found == managers_.end() || !IsAudioService(serviceName)) {
            return nullptr;
        }
        auto service = std::make_unique<ServiceObject>();
        service->session = found->second;
        service->access = access;

        PulseProbeResult probe = ProbePulseServer();
        std::optional<SoundServer> answering;
        if (probe.answers) {
            answering = ServerFromName(probe.serverName);
        }
        if (SystemdUserManager* systemd = service->session->systemd.get()) {
            ServerUnitFacts pipewire = systemd->ServerFacts(SoundServer::PipeWire);
            ServerUnitFacts pulseaudio = systemd->ServerFacts(SoundServer::PulseAudio);
            if (auto chosen = ChooseServerUnits(answering, pipewire, pulseaudio)) {
                const ServerUnitFacts& facts =
                    *chosen == SoundServer::PipeWire ? pipewire : pulseaudio;
                if (!ServiceUnitOpens(facts)) {
                    return nullptr;
                }
                service->unitMode = true;
                service->server = *chosen;
            }
        }
        // A user manager that knows neither server's units does not look after the server
        // either (a desktop session that starts it by itself): the daemon way applies.
        if (!service->unitMode) {
            std::optional<SoundServer> server = DaemonServer(probe);
            if (!server) {
                return nullptr;
            }
            service->server = *server;
        }
        SC_HANDLE handle = NewHandle();
        services_[Key(handle)] = std::move(service);
        return handle;
    }

    BOOL QueryStatus(SC_HANDLE handle, SERVICE_STATUS* status) override {
        std::lock_guard lock(mutex_);
        ServiceObject* service = Find(handle);
        if (service == nullptr || (service->access & SERVICE_QUERY_STATUS) == 0) {
            return 0;
        }
        bool answers = ProbePulseServer().answers;
        Clock::time_point now = Clock::now();
        DWORD observed = answers ? SERVICE_RUNNING : SERVICE_STOPPED;
        bool startEnded = false;
        if (service->unitMode) {
            ServerUnitFacts facts = service->session->systemd->ServerFacts(service->server);
            if (facts.service.loadState.empty()) {
                return 0; // the manager stopped answering
            }
            observed = ServiceStateFromUnits(answers, facts);
            startEnded =
                service->job.Active() && !service->session->systemd->JobPending(service->jobPath);
        } else {
            ReapStarter(*service, now);
            // A failure exit ends the start at once; a success, or an exit someone else
            // collected (-1), leaves the probe a moment to see the daemon.
            if (service->starterExit) {
                startEnded = *service->starterExit > 0 ||
                             now - service->starterEndedAt >= kAfterStarterGrace;
            }
        }
        *status = service->job.Report(observed, startEnded, now);
        return 1;
    }

    BOOL ChangeStartType(SC_HANDLE handle, DWORD startType) override {
        std::lock_guard lock(mutex_);
        ServiceObject* service = Find(handle);
        if (service == nullptr || (service->access & SERVICE_CHANGE_CONFIG) == 0) {
            return 0;
        }
        if (startType == SERVICE_NO_CHANGE) {
            return 1;
        }
        // A plain daemon has no start type to change, and a sound server is never disabled or
        // put on demand from here.
        if (startType != SERVICE_AUTO_START || !service->unitMode) {
            return 0;
        }
        SystemdUserManager& systemd = *service->session->systemd;
        std::vector<std::string> enable;
        for (const std::string& unit : AllUnitsOf(service->server)) {
            // Masked companions stay masked: only restoring the definition unmasks.
            if (systemd.Facts(unit).loadState == "loaded") {
                enable.push_back(unit);
            }
        }
        return systemd.Enable(enable) && systemd.Reload() ? 1 : 0;
    }

    BOOL Start(SC_HANDLE handle) override {
        std::lock_guard lock(mutex_);
        ServiceObject* service = Find(handle);
        if (service == nullptr || (service->access & SERVICE_START) == 0) {
            return 0;
        }
        ReapStarter(*service, Clock::now());
        if (service->job.Active() || ProbePulseServer().answers) {
            return 0; // already starting, or already running
        }
        if (service->unitMode) {
            std::optional<std::string> job =
                service->session->systemd->Start(UnitsOf(service->server).service);
            if (!job) {
                return 0;
            }
            service->jobPath = *job;
            service->job.Begin(Clock::now(), kUnitStartLimit);
            return 1;
        }
        if (service->starter > 0) {
            return 0; // an earlier `pulseaudio --start` has not finished
        }
        const SoundServerUnits& units = UnitsOf(service->server);
        bool mainStarted = false;
        for (const std::vector<std::string>& command : units.startCommands) {
            std::optional<std::string> program = FindExecutable(command.front());
            if (!program) {
                continue; // a PipeWire without WirePlumber still has its pulse server
            }
            std::vector<std::string> argv = command;
            argv.front() = *program;
            bool isMain = command.front() == units.executable;
            if (command.size() > 1) {
                // `pulseaudio --start` daemonises by itself and says with its exit code
                // whether the daemon came up; we wait for that, not for the daemon.
                pid_t pid = SpawnProcess(argv, SpawnOptions{true, false});
                if (pid > 0) {
                    service->starter = pid;
                    service->starterExit.reset();
                    mainStarted = mainStarted || isMain;
                }
            } else if (SpawnDetached(argv)) {
                mainStarted = mainStarted || isMain;
                if (command.front() == "pipewire") {
                    WaitForPipeWireCore();
                }
            }
        }
        if (!mainStarted) {
            return 0;
        }
        service->job.Begin(Clock::now(), kDaemonStartLimit);
        return 1;
    }

    BOOL Close(SC_HANDLE handle) override {
        std::lock_guard lock(mutex_);
        if (managers_.erase(Key(handle)) > 0) {
            return 1;
        }
        auto found = services_.find(Key(handle));
        if (found == services_.end()) {
            return 0;
        }
        ForgetStarter(*found->second);
        services_.erase(found);
        return 1;
    }

    ServiceRestoreResult RestoreService(const std::string& serviceName) override {
        std::lock_guard lock(mutex_);
        if (!IsAudioService(serviceName.c_str())) {
            return {false, "no service named " + serviceName + " is looked after here"};
        }
        std::unique_ptr<SystemdUserManager> systemd = SystemdUserManager::Connect();
        if (!systemd) {
            return {true, "no systemd user manager in this session: the sound server runs as a "
                          "plain daemon and has no service definition to restore"};
        }
        PulseProbeResult probe = ProbePulseServer();
        std::optional<SoundServer> answering;
        if (probe.answers) {
            answering = ServerFromName(probe.serverName);
        }
        ServerUnitFacts pipewire = systemd->ServerFacts(SoundServer::PipeWire);
        ServerUnitFacts pulseaudio = systemd->ServerFacts(SoundServer::PulseAudio);
        std::optional<SoundServer> chosen = ChooseServerUnits(answering, pipewire, pulseaudio);
        if (!chosen) {
            return {true, "the user manager knows no PipeWire or PulseAudio units: the sound "
                          "server runs as a plain daemon and has no service definition to restore"};
        }
        std::vector<std::string> units;
        std::string names;
        for (const std::string& unit : AllUnitsOf(*chosen)) {
            std::string load = systemd->Facts(unit).loadState;
            if (!load.empty() && load != "not-found") {
                units.push_back(unit);
                names += (names.empty() ? "" : ", ") + unit;
            }
        }
        if (!systemd->Unmask(units) || !systemd->Enable(units) || !systemd->Reload()) {
            return {false,
                    "the user manager refused to restore " + names + ": " + systemd->LastError()};
        }
        return {true, "unmasked and enabled " + names};
    }

private:
    static std::uintptr_t Key(SC_HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

    SC_HANDLE NewHandle() {
        next_ += 4;
        return reinterpret_cast<SC_HANDLE>(next_);
    }

    ServiceObject* Find(SC_HANDLE handle) {
        auto found = services_.find(Key(handle));
        return found == services_.end() ? nullptr : found->second.get();
    }

    static void ReapStarter(ServiceObject& service, Clock::time_point now) {
        if (service.starter <= 0) {
            return;
        }
        if (std::optional<int> code = WaitForExit(service.starter, std::chrono::milliseconds(0))) {
            service.starter = -1;
            service.starterExit = code;
            service.starterEndedAt = now;
        }
    }

    // A starter nobody will ask about again is still reaped when it ends.
    static void ForgetStarter(ServiceObject& service) {
        ReapStarter(service, Clock::now());
        if (service.starter > 0) {
            ReapWhenDone(service.starter);
            service.starter = -1;
        }
    }

    std::mutex mutex_;
    std::uintptr_t next_ = 0x5c00;
    std::map<std::uintptr_t, std::shared_ptr<ManagerSession>> managers_;
    std::map<std::uintptr_t, std::unique_ptr<ServiceObject>> services_;
};

} // namespace

std::unique_ptr<ServiceBackend> MakeLinuxServices() {
    return std::make_unique<LinuxServices>();
}

} // namespace platform
