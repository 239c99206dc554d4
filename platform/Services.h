#pragma once
// The service manager, as the program's units ask the platform for it: open the manager, open
// a service, read its status, make it start automatically, start it, close the handles. On
// Linux the only service there is is "AudioSrv", the session's sound server.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <memory>
#include <string>

using LPCSTR = const char*;

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

// Access rights.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

// Configuration values.
constexpr DWORD SERVICE_NO_CHANGE = 0xFFFFFFFF;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;

// Current states.
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

// A handle, or nullptr on failure. machineName nullptr or "" is this machine.
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess);
// A handle, or nullptr when the service does not exist or access is refused.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess);
// Nonzero on success; fills the current state, check point and wait hint.
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);
// Only the start type can change here; every other argument must be SERVICE_NO_CHANGE or null.
BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, DWORD* tagId,
                          LPCSTR dependencies, LPCSTR serviceStartName, LPCSTR password,
                          LPCSTR displayName);
// Nonzero when the start was accepted; zero when refused or the service already runs.
BOOL StartServiceA(SC_HANDLE service, DWORD numServiceArgs, LPCSTR* serviceArgVectors);
BOOL CloseServiceHandle(SC_HANDLE handle);

namespace platform {

// What putting a service's definition back did, in words for the person who ran the importer.
struct ServiceRestoreResult {
    bool ok = false;
    std::string message;
};

class ServiceBackend {
public:
    virtual ~ServiceBackend() = default;

    virtual SC_HANDLE OpenManager(LPCSTR machineName, LPCSTR databaseName, DWORD access) = 0;
    virtual SC_HANDLE OpenService(SC_HANDLE manager, LPCSTR serviceName, DWORD access) = 0;
    virtual BOOL QueryStatus(SC_HANDLE service, SERVICE_STATUS* status) = 0;
    virtual BOOL ChangeStartType(SC_HANDLE service, DWORD startType) = 0;
    virtual BOOL Start(SC_HANDLE service) = 0;
    virtual BOOL Close(SC_HANDLE handle) = 0;

    // The registry importer's half: make the named service exist again as the service manager
    // knows it (on Linux: unmask and enable the sound server's units). Never starts it.
    virtual ServiceRestoreResult RestoreService(const std::string& serviceName) = 0;
};

BackendSlot<ServiceBackend>& ServiceSlot();

// The session's sound server: systemd user units when a user manager answers on the session
// bus, else the server's daemon itself.
std::unique_ptr<ServiceBackend> MakeLinuxServices();

} // namespace platform
