#include "engine/OEUnitServicer.h"

#include <algorithm>
#include <thread>

namespace {

// A service that reports no wait hint must not make the loop spin.
constexpr std::chrono::milliseconds kShortestWait{100};

} // namespace

DWORD QueryServiceState(LPCSTR serviceName, LPCSTR machineName) {
    SC_HANDLE manager = OpenSCManagerA(machineName, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return SERVICE_STOPPED;
    }
    DWORD state = 0;
    SC_HANDLE service = OpenServiceA(manager, serviceName, SERVICE_QUERY_STATUS);
    if (service != nullptr) {
        SERVICE_STATUS status{};
        if (QueryServiceStatus(service, &status) != 0) {
            state = status.dwCurrentState;
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return state;
}

BOOL IsServiceMissing(LPCSTR serviceName, LPCSTR machineName) {
    return QueryServiceState(serviceName, machineName) == 0 ? -1 : 0;
}

BOOL StartServiceAndWait(LPCSTR serviceName, LPCSTR machineName, const ServiceWaitLimits& limits) {
    using Clock = std::chrono::steady_clock;
    auto now = limits.now ? limits.now : [] { return Clock::now(); };
    auto sleep = limits.sleep ? limits.sleep : [](std::chrono::milliseconds span) {
        std::this_thread::sleep_for(span);
    };

    DWORD observed = 0;
    SC_HANDLE manager = OpenSCManagerA(machineName, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return 0;
    }
    SC_HANDLE service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
    // Attempted even without a service handle, where it fails harmlessly.
    ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service != nullptr) {
        SERVICE_STATUS status{};
        if (StartServiceA(service, 0, nullptr) != 0 && QueryServiceStatus(service, &status) != 0) {
            observed = status.dwCurrentState;
            const Clock::time_point deadline = now() + limits.totalBound;
            while (observed != SERVICE_RUNNING) {
                Clock::time_point current = now();
                if (current >= deadline) {
                    break;
                }
                DWORD checkPoint = status.dwCheckPoint;
                auto hint = std::max(std::chrono::milliseconds(status.dwWaitHint), kShortestWait);
                sleep(std::min(hint,
                               std::chrono::ceil<std::chrono::milliseconds>(deadline - current)));
                if (limits.abandon && limits.abandon()) {
                    break;
                }
                if (QueryServiceStatus(service, &status) == 0) {
                    break;
                }
                observed = status.dwCurrentState;
                if (status.dwCheckPoint < checkPoint) {
                    break;
                }
            }
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return observed == SERVICE_RUNNING ? -1 : 0;
}
