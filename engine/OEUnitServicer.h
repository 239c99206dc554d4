#pragma once
// The audio service check and the start half of its repair, written against the service
// manager's operations: is the service there, what state is it in, start it and wait for it.

#include "platform/Services.h"

#include <chrono>
#include <functional>

// How long StartServiceAndWait may wait in all, and how it sleeps and reads the time; tests
// shorten the bound and pass a sleep that only moves their own clock.
struct ServiceWaitLimits {
    std::chrono::milliseconds totalBound{30000};
    std::function<void(std::chrono::milliseconds)> sleep;       // default: the thread sleeps
    std::function<std::chrono::steady_clock::time_point()> now; // default: steady_clock
    // Asked after every sleep; true gives the wait up at once (the program is closing).
    std::function<bool()> abandon;
};

// The service's current state (1..7, 4 = running); 0 when the service cannot be opened or its
// status cannot be read; 1 when the service manager itself cannot be opened.
DWORD QueryServiceState(LPCSTR serviceName, LPCSTR machineName);

// -1 when QueryServiceState gives 0, else 0.
BOOL IsServiceMissing(LPCSTR serviceName, LPCSTR machineName);

// Makes the service start automatically, starts it and waits until it runs, a status query
// fails, its check point goes backwards, limits.totalBound has passed or limits.abandon says so. -1
// when it was seen running at the end, else 0.
BOOL StartServiceAndWait(LPCSTR serviceName, LPCSTR machineName,
                         const ServiceWaitLimits& limits = {});
