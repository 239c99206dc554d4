// "AudioSrv" on Linux is the session's sound server. For PulseAudio it runs when a
// PulseAudio-protocol server answers; for PipeWire when each of its parts is up (the core, the
// session manager, the pulse server). How it is made to start depends on who looks after it:
// the systemd user manager when there is one, else nobody, and we start the parts that are down
// ourselves. The server looked after is the one the session was using, never merely the one
// installed; a start is over once the pulse server answers with at least one sink (a real one
// or the server's dummy).

#include "platform/ProcessLaunch.h"
#include "platform/PulseProbe.h"
#include "platform/ServiceStartJob.h"
#include "platform/Services.h"
#include "platform/SoundServerProbe.h"
#include "platform/SoundServerSession.h"
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
// `pulseaudio --start` returns once the daemon is up, and the user manager's jobs for PipeWire
// once its processes are started: give the server a moment to answer.
constexpr std::chrono::seconds kAfterStarterGrace{3};

bool IsAudioService(LPCSTR name) {
    return name != nullptr && strcasecmp(name, kAudioService) == 0;
}

bool IsThisMachine(LPCSTR machineName) {
    return machineName == nullptr || *machineName == '\0';
}

bool Installed(SoundServer server) {
    return FindExecutable(UnitsOf(server).executable).has_value();
}

std::optional<SoundServer> Answering(const PulseProbeResult& probe) {
    if (!probe.answers) {
        return std::nullopt;
    }
    return ServerFromName(probe.serverName).value_or(SoundServer::PulseAudio);
}

// PipeWire's session manager and pulse server are clients of its core and give up when the core
// is not there yet: wait (briefly) until the core's socket takes connections before starting
// them.
void WaitForPipeWireCore() {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
    while (!PipeWireCoreAnswers() && Clock::now() < deadline) {
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
    std::vector<std::string> jobPaths;            // unit mode: the manager's start jobs
    std::optional<Clock::time_point> jobsEndedAt; // unit mode: when the last of them ended
    pid_t starter = -1;                           // daemon mode: `pulseaudio --start`, until reaped
    std::optional<int> starterExit;               // its exit code once reaped
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
        std::optional<SoundServer> answering = Answering(probe);
        const SessionTraces traces = ReadSessionTraces();
        if (SystemdUserManager* systemd = service->session->systemd.get()) {
            ServerUnitFacts pipewire = systemd->ServerFacts(SoundServer::PipeWire);
            ServerUnitFacts pulseaudio = systemd->ServerFacts(SoundServer::PulseAudio);
            if (auto chosen = ChooseServerUnits(answering, traces, pipewire, pulseaudio)) {
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
            std::optional<SoundServer> server =
                ChooseDaemonServer(answering, traces, Installed(SoundServer::PipeWire),
                                   Installed(SoundServer::PulseAudio));
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
        // While a start is under way the server counts as up only once it has a sink to play to.
        const bool starting = service->job.Active();
        const PulseProbeResult probe = ProbePulseServer(std::chrono::seconds(2), starting);
        bool up = probe.answers;
        if (service->server == SoundServer::PipeWire) {
            up = PipeWireRuns(PipeWireFactsOf(*service, probe));
        }
        if (starting) {
            up = up && probe.sinks > 0;
        }
        Clock::time_point now = Clock::now();
        DWORD observed = up ? SERVICE_RUNNING : SERVICE_STOPPED;
        bool startEnded = false;
        if (service->unitMode) {
            SystemdUserManager& systemd = *service->session->systemd;
            ServerUnitFacts facts = systemd.ServerFacts(service->server);
            if (facts.service.loadState.empty()) {
                return 0; // the manager stopped answering
            }
            // PipeWire's pulse socket being active says nothing of its core or session manager.
            observed = service->server == SoundServer::PipeWire
                           ? (up ? SERVICE_RUNNING : SERVICE_STOPPED)
                           : ServiceStateFromUnits(up, facts);
            if (starting) {
                bool jobsOver = true;
                for (const std::string& job : service->jobPaths) {
                    jobsOver = jobsOver && !systemd.JobPending(job);
                }
                if (jobsOver && !service->jobsEndedAt) {
                    service->jobsEndedAt = now;
                }
                // PulseAudio's unit is the server. PipeWire's jobs end when its processes have
                // started, which leaves the parts a moment to find each other.
                startEnded = jobsOver && (service->server == SoundServer::PulseAudio ||
                                          now - *service->jobsEndedAt >= kAfterStarterGrace);
            }
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
        if (service->job.Active()) {
            return 0; // already starting
        }
        if (service->server == SoundServer::PipeWire) {
            return StartPipeWire(*service);
        }
        if (ProbePulseServer().answers) {
            return 0; // already running
        }
        if (service->unitMode) {
            std::optional<std::string> job =
                service->session->systemd->Start(UnitsOf(service->server).service);
            if (!job) {
                return 0;
            }
            service->jobPaths = {*job};
            service->jobsEndedAt.reset();
            service->job.Begin(Clock::now(), kUnitStartLimit);
            return 1;
        }
        if (service->starter > 0) {
            return 0; // an earlier `pulseaudio --start` has not finished
        }
        // `pulseaudio --start` daemonises by itself and says with its exit code whether the
        // daemon came up; we wait for that, not for the daemon.
        const std::vector<std::string>& command = UnitsOf(service->server).daemonStart;
        std::optional<std::string> program = FindExecutable(command.front());
        if (!program) {
            return 0;
        }
        std::vector<std::string> argv = command;
        argv.front() = *program;
        pid_t pid = SpawnProcess(argv, SpawnOptions{true, false});
        if (pid <= 0) {
            return 0;
        }
        service->starter = pid;
        service->starterExit.reset();
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
        std::optional<SoundServer> answering = Answering(ProbePulseServer());
        ServerUnitFacts pipewire = systemd->ServerFacts(SoundServer::PipeWire);
        ServerUnitFacts pulseaudio = systemd->ServerFacts(SoundServer::PulseAudio);
        std::optional<SoundServer> chosen =
            ChooseServerUnits(answering, ReadSessionTraces(), pipewire, pulseaudio);
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
    // The parts of the PipeWire session as they are now. Under a user manager a session
    // manager also counts as running when its unit is active.
    static PipeWireFacts PipeWireFactsOf(ServiceObject& service, const PulseProbeResult& probe) {
        const bool pulseAsPipeWire =
            probe.answers && ServerFromName(probe.serverName) != SoundServer::PulseAudio;
        PipeWireFacts facts = ReadPipeWireFacts(pulseAsPipeWire);
        if (service.unitMode && facts.sessionManagerRunning.empty()) {
            for (const std::string& manager : facts.sessionManagersInstalled) {
                const std::string unit = PartUnit(PipeWirePart::SessionManager, manager);
                if (service.session->systemd->Facts(unit).activeState == "active") {
                    facts.sessionManagerRunning = manager;
                    break;
                }
            }
        }
        return facts;
    }

    // Starts the parts of the PipeWire session that are down, and restarts the ones that
    // depend on a core started again; never a second copy of a part that runs.
    BOOL StartPipeWire(ServiceObject& service) {
        const PipeWireFacts facts = PipeWireFactsOf(service, ProbePulseServer());
        const PipeWirePlan plan = PlanPipeWireStart(facts);
        if (plan.steps.empty()) {
            return 0; // already running
        }
        bool coreStarted = facts.coreAnswers;
        bool anyStarted = false;
        if (service.unitMode) {
            SystemdUserManager& systemd = *service.session->systemd;
            service.jobPaths.clear();
            service.jobsEndedAt.reset();
            for (const PartStep& step : plan.steps) {
                const std::string unit = PartUnit(step.part, plan.sessionManager);
                std::optional<std::string> job = step.action == PartAction::Restart
                                                     ? systemd.Restart(unit)
                                                     : systemd.Start(unit);
                if (job) {
                    service.jobPaths.push_back(*job);
                    anyStarted = true;
                }
            }
            if (!anyStarted) {
                return 0;
            }
            service.job.Begin(Clock::now(), kUnitStartLimit);
            return 1;
        }
        for (const PartStep& step : plan.steps) {
            const std::string name = PartProgram(step.part, plan.sessionManager);
            std::optional<std::string> program = FindExecutable(name);
            if (!program) {
                continue; // a PipeWire without its session manager still has its pulse server
            }
            if (!coreStarted && step.part != PipeWirePart::Core) {
                break; // its clients would only give up
            }
            // A core process that does not take connections is hung; a second core could not
            // take its socket. Stale dependents of a core started again go the same way.
            if (step.action == PartAction::Restart || step.part == PipeWirePart::Core) {
                StopSessionProcesses(name);
            }
            if (step.part == PipeWirePart::Pulse) {
                PreparePulseRuntimeFolder();
            }
            if (!SpawnDetached({*program})) {
                continue;
            }
            anyStarted = true;
            if (step.part == PipeWirePart::Core) {
                WaitForPipeWireCore();
                coreStarted = PipeWireCoreAnswers();
            }
        }
        if (!anyStarted) {
            return 0;
        }
        service.job.Begin(Clock::now(), kDaemonStartLimit);
        return 1;
    }

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
