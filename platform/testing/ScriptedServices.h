#pragma once
// A service manager that runs nothing: each service answers status queries from a script, and
// every call is recorded so tests can see what the caller asked for.

#include "platform/Services.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One answer to a status query; nullopt makes that query fail.
using ScriptedStatus = std::optional<SERVICE_STATUS>;

ScriptedStatus StatusOf(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0);
inline constexpr std::nullopt_t kQueryFails = std::nullopt;

struct ScriptedService {
    bool refuseFullAccess = false; // opening with more than query access fails
    bool startAccepted = true;
    DWORD startType = SERVICE_DEMAND_START;
    // Answers before the first accepted start; the last one repeats.
    std::vector<ScriptedStatus> beforeStart{StatusOf(SERVICE_STOPPED)};
    // Answers after an accepted start, one per query; the last one repeats.
    std::vector<ScriptedStatus> afterStart{StatusOf(SERVICE_RUNNING)};

    // What happened to it.
    int startRequests = 0;
    int queries = 0;
    int queriesAfterStart = 0;
};

class ScriptedServices : public ServiceBackend {
public:
    SC_HANDLE OpenManager(LPCSTR machineName, LPCSTR databaseName, DWORD access) override;
    SC_HANDLE OpenService(SC_HANDLE manager, LPCSTR serviceName, DWORD access) override;
    BOOL QueryStatus(SC_HANDLE service, SERVICE_STATUS* status) override;
    BOOL ChangeStartType(SC_HANDLE service, DWORD startType) override;
    BOOL Start(SC_HANDLE service) override;
    BOOL Close(SC_HANDLE handle) override;
    ServiceRestoreResult RestoreService(const std::string& serviceName) override;

    // Scripting. A service that was never added does not exist.
    void SetManagerOpens(bool opens);
    ScriptedService& Add(const std::string& name, ScriptedService service = {});
    void SetRestoreResult(ServiceRestoreResult result);

    // Observing.
    ScriptedService Service(const std::string& name) const;
    // One line per call, e.g. "OpenServiceA AudioSrv 0xf01ff", "StartServiceA AudioSrv".
    std::vector<std::string> Log() const;
    int OpenHandles() const;
    std::vector<std::string> Restored() const;

private:
    struct Handle {
        bool manager = false;
        std::string service;
        DWORD access = 0;
    };
    ScriptedService* Lookup(const std::string& name);
    const Handle* Live(SC_HANDLE handle) const;

    mutable std::mutex mutex_;
    bool managerOpens_ = true;
    std::map<std::string, ScriptedService> services_;
    std::map<SC_HANDLE, Handle> handles_;
    std::size_t nextHandle_ = 0x100;
    std::vector<std::string> log_;
    std::vector<std::string> restored_;
    ServiceRestoreResult restoreResult_{true, "restored"};
};

} // namespace platform
