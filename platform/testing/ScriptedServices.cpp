#include "platform/testing/ScriptedServices.h"

#include <cstdio>
#include <strings.h>

namespace platform {

ScriptedStatus StatusOf(DWORD state, DWORD checkPoint, DWORD waitHint) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_SHARE_PROCESS;
    status.dwCurrentState = state;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    return status;
}

namespace {

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

const ScriptedStatus& Pick(const std::vector<ScriptedStatus>& script, int index) {
    static const ScriptedStatus none = kQueryFails;
    if (script.empty()) {
        return none;
    }
    return script[std::min<std::size_t>(static_cast<std::size_t>(index), script.size() - 1)];
}

} // namespace

ScriptedService* ScriptedServices::Lookup(const std::string& name) {
    for (auto& [key, service] : services_) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) {
            return &service;
        }
    }
    return nullptr;
}

const ScriptedServices::Handle* ScriptedServices::Live(SC_HANDLE handle) const {
    auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : &found->second;
}

SC_HANDLE ScriptedServices::OpenManager(LPCSTR machineName, LPCSTR databaseName, DWORD access) {
    std::lock_guard lock(mutex_);
    log_.push_back("OpenSCManagerA " + std::string(machineName ? machineName : "(null)") + " " +
                   std::string(databaseName ? databaseName : "(null)") + " " + Hex(access));
    if (!managerOpens_) {
        return nullptr;
    }
    auto handle = reinterpret_cast<SC_HANDLE>(nextHandle_++);
    handles_[handle] = Handle{true, {}, access};
    return handle;
}

SC_HANDLE ScriptedServices::OpenService(SC_HANDLE manager, LPCSTR serviceName, DWORD access) {
    std::lock_guard lock(mutex_);
    log_.push_back("OpenServiceA " + std::string(serviceName) + " " + Hex(access));
    const Handle* owner = Live(manager);
    ScriptedService* service = Lookup(serviceName);
    if (owner == nullptr || !owner->manager || service == nullptr) {
        return nullptr;
    }
    if (service->refuseFullAccess && (access & ~SERVICE_QUERY_STATUS) != 0) {
        return nullptr;
    }
    auto handle = reinterpret_cast<SC_HANDLE>(nextHandle_++);
    handles_[handle] = Handle{false, serviceName, access};
    return handle;
}

BOOL ScriptedServices::QueryStatus(SC_HANDLE handle, SERVICE_STATUS* status) {
    std::lock_guard lock(mutex_);
    const Handle* open = Live(handle);
    log_.push_back("QueryServiceStatus " + (open ? open->service : std::string("(bad handle)")));
    if (open == nullptr || open->manager || (open->access & SERVICE_QUERY_STATUS) == 0) {
        return 0;
    }
    ScriptedService& service = *Lookup(open->service);
    ++service.queries;
    const ScriptedStatus& answer = service.startRequests > 0 && service.startAccepted
                                       ? Pick(service.afterStart, service.queriesAfterStart++)
                                       : Pick(service.beforeStart, service.queries - 1);
    if (!answer) {
        return 0;
    }
    *status = *answer;
    return 1;
}

BOOL ScriptedServices::ChangeStartType(SC_HANDLE handle, DWORD startType) {
    std::lock_guard lock(mutex_);
    const Handle* open = Live(handle);
    log_.push_back("ChangeServiceConfigA " + (open ? open->service : std::string("(bad handle)")) +
                   " start=" + std::to_string(startType));
    if (open == nullptr || open->manager || (open->access & SERVICE_CHANGE_CONFIG) == 0) {
        return 0;
    }
    if (startType != SERVICE_NO_CHANGE) {
        Lookup(open->service)->startType = startType;
    }
    return 1;
}

BOOL ScriptedServices::Start(SC_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const Handle* open = Live(handle);
    log_.push_back("StartServiceA " + (open ? open->service : std::string("(bad handle)")));
    if (open == nullptr || open->manager || (open->access & SERVICE_START) == 0) {
        return 0;
    }
    ScriptedService& service = *Lookup(open->service);
    ++service.startRequests;
    return service.startAccepted ? 1 : 0;
}

BOOL ScriptedServices::Close(SC_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const Handle* open = Live(handle);
    log_.push_back("CloseServiceHandle " + (open == nullptr ? std::string("(bad handle)")
                                            : open->manager ? std::string("manager")
                                                            : open->service));
    return handles_.erase(handle) > 0 ? 1 : 0;
}

ServiceRestoreResult ScriptedServices::RestoreService(const std::string& serviceName) {
    std::lock_guard lock(mutex_);
    log_.push_back("Restore " + serviceName);
    restored_.push_back(serviceName);
    return restoreResult_;
}

void ScriptedServices::SetManagerOpens(bool opens) {
    std::lock_guard lock(mutex_);
    managerOpens_ = opens;
}

ScriptedService& ScriptedServices::Add(const std::string& name, ScriptedService service) {
    std::lock_guard lock(mutex_);
    return services_[name] = std::move(service);
}

void ScriptedServices::SetRestoreResult(ServiceRestoreResult result) {
    std::lock_guard lock(mutex_);
    restoreResult_ = std::move(result);
}

ScriptedService ScriptedServices::Service(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto found = services_.find(name);
    return found == services_.end() ? ScriptedService{} : found->second;
}

std::vector<std::string> ScriptedServices::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

int ScriptedServices::OpenHandles() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(handles_.size());
}

std::vector<std::string> ScriptedServices::Restored() const {
    std::lock_guard lock(mutex_);
    return restored_;
}

} // namespace platform
