#include "platform/Services.h"

namespace platform {

BackendSlot<ServiceBackend>& ServiceSlot() {
    static BackendSlot<ServiceBackend> slot(&MakeLinuxServices);
    return slot;
}

} // namespace platform

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess) {
    return platform::ServiceSlot().Get().OpenManager(machineName, databaseName, desiredAccess);
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess) {
    if (manager == nullptr || serviceName == nullptr) {
        return nullptr;
    }
    return platform::ServiceSlot().Get().OpenService(manager, serviceName, desiredAccess);
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    if (service == nullptr || status == nullptr) {
        return 0;
    }
    return platform::ServiceSlot().Get().QueryStatus(service, status);
}

BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, DWORD* tagId,
                          LPCSTR dependencies, LPCSTR serviceStartName, LPCSTR password,
                          LPCSTR displayName) {
    if (service == nullptr) {
        return 0;
    }
    // A sound server's binary, account, group or dependencies are its package's business; the
    // only thing anybody may change here is whether it starts by itself.
    if (serviceType != SERVICE_NO_CHANGE || errorControl != SERVICE_NO_CHANGE ||
        binaryPathName != nullptr || loadOrderGroup != nullptr || tagId != nullptr ||
        dependencies != nullptr || serviceStartName != nullptr || password != nullptr ||
        displayName != nullptr) {
        return 0;
    }
    return platform::ServiceSlot().Get().ChangeStartType(service, startType);
}

BOOL StartServiceA(SC_HANDLE service, DWORD numServiceArgs, LPCSTR* serviceArgVectors) {
    // A sound server takes no start arguments through this door.
    (void)serviceArgVectors;
    if (service == nullptr || numServiceArgs != 0) {
        return 0;
    }
    return platform::ServiceSlot().Get().Start(service);
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (handle == nullptr) {
        return 0;
    }
    return platform::ServiceSlot().Get().Close(handle);
}
