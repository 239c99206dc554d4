#pragma once
// The diagnosis engine: runs the checks of a scan on a worker thread of its own, telling the
// window about each step through OnStateChange, and repairs what the last scan found.
//
// Threads. The window's thread creates and destroys the engine and calls StartScan,
// SetPaused, Repair and Recheck; it writes CancelRequested and reads Idle and Repaired. The
// worker runs the checks and every call of OnStateChange, one at a time, and waits for each to
// return; the handler may read ScanResult then. Assign OnStateChange and OnWorkerError before
// the first scan.
//
// Destruction may come at any moment: it stops the worker at its next step (it is never killed
// half way through one, but the test sound is stopped where it is), opens the pause gate, ends
// a hold at once and joins the worker; once
// it has begun, no notification is delivered any more. The worker's platform calls are all
// bounded (the test sound by its length plus 2 s, each mixer call by 2.5 s, the server probe,
// the reading of its devices and the session bus by 2 s), so the join is too, provided a handler
// that is running returns promptly: the window's handler must give up its pending synchronous calls
// when the window closes. The engine must not be destroyed from inside its own handler, nor
// StartScan be called from the window's thread while that thread is serving the previous scan's
// last notification (StartScan joins that worker).

#include "engine/DeviceCheck.h"
#include "engine/DeviceLibrary.h"
#include "engine/OEUnitServicer.h"
#include "engine/ScanResult.h"
#include "engine/WorkerGate.h"
#include "engine/uMixer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// (Code, Result): Result points to the engine's ScanResult for the codes that carry it, else it
// is null.
using TStateChange = std::function<void(DWORD Code, TSCANRESULT* Result)>;

// Starts Body on a new thread and returns it; throws (or returns an empty thread, without ever
// running Body) when no thread can be made.
using TWorkerFactory = std::function<std::thread(std::function<void()> Body)>;

// An error that ended a scan, on the worker thread.
using TWorkerError = std::function<void(std::exception_ptr Error)>;

// The engine's mixer, opened when it is first used rather than with the engine: a window that
// is never asked to scan never loads the sound libraries. The first use must be on a thread
// with a Qt event loop, as the mixer's own creation must (the engine's first is StartScan, on
// the window's thread).
class TDeferredMixer {
public:
    TAudioMixer* operator->() { return &Get(); }
    TAudioMixer& operator*() { return Get(); }
    TAudioMixer& Get();
    // Whether it has been opened (and not closed since).
    bool Opened() const;
    // Closes it; the next use opens it again.
    void reset();

private:
    mutable std::mutex mutex_;
    std::unique_ptr<TAudioMixer> mixer_;
};

struct TVolumeFixerSettings {
    TWorkerFactory StartWorker;    // empty: a plain std::thread
    ServiceWaitLimits ServiceWait; // how long the repair waits for the audio service
};

// StartScan's results.
inline constexpr std::int32_t kScanStarted = 0;
inline constexpr std::int32_t kScanWorkerFailed = -1; // no thread: Idle is True, nothing is sent
inline constexpr std::int32_t kScanRunning = -2;

class TOEVolumeFixer {
public:
    // Opens nothing yet: mixer device 0 opens when a scan, repair or recheck first needs it,
    // and the device-diagnosis library loads when the device check first runs (or one of the
    // accessors below asks for it). Never fails (a missing mixer or library only disables its
    // check).
    TOEVolumeFixer();
    explicit TOEVolumeFixer(TVolumeFixerSettings Settings);
    ~TOEVolumeFixer();
    TOEVolumeFixer(const TOEVolumeFixer&) = delete;
    TOEVolumeFixer& operator=(const TOEVolumeFixer&) = delete;

    // kScanRunning while a scan runs (nothing changes then). Otherwise joins the worker of the
    // previous scan, clears CancelRequested, Idle, Repaired and the pause, and starts a worker:
    // kScanStarted, or kScanWorkerFailed when no thread could be made - Idle is True again and
    // no notification will come, so the window goes back to its start page itself.
    std::int32_t StartScan();

    // True holds the worker before its next step or notification; False lets it go on.
    void SetPaused(bool Paused);

    // Holds the calling worker for span - the window's pause after a check's result. Neither a
    // cancel nor a pause shortens it; only destruction ends it early (then: false).
    bool HoldWorker(std::chrono::milliseconds span);

    // Reinstalls the audio service when the last scan found it missing, starts it when it was
    // not running, switches a card back on and routes sound to a real device when the device
    // status check found that wrong (planned again on what the server shows by then), reopens
    // mixer device 0 (the server may have just come up) and sets both lines unmuted at half
    // volume. Synchronous; does nothing while a scan runs. Errors in
    // unpacking the registry script propagate (ProgramError); nothing else is reported.
    void Repair();

    // The registry-script half of the repair: unpacks the embedded script and hands it to the
    // registry editor, which is waited for.
    void ReinstallAudioService();

    // Runs the given checks again, on the calling thread, and returns what they found; fields
    // of checks not run stay zero, and ScanResult is left alone. For counting what a repair
    // fixed. Bounded by the checks' own bounds; finds nothing while a scan runs.
    TSCANRESULT Recheck(TCheckSet Checks);

    // Each loads the library first if it is not loaded yet.
    HMODULE LibraryHandle() const { return LoadedLibrary().LibraryHandle; }
    CheckDeviceProblemProc CheckDeviceProblem() const { return LoadedLibrary().CheckDeviceProblem; }
    QueryDeviceHwidsProc QueryDeviceHwids() const { return LoadedLibrary().QueryDeviceHwids; }

    std::atomic<bool> Idle{true};
    std::atomic<bool> Repaired{false};
    std::atomic<bool> CancelRequested{false};
    TDeferredMixer Mixer;
    TSCANRESULT ScanResult;
    std::int32_t NextDevice = 1;
    std::vector<CollectedDevice> Devices;
    TStateChange OnStateChange;
    // Unset: the error is written to standard error.
    TWorkerError OnWorkerError;

private:
    void Execute();
    void RunChecks();
    bool Gate();
    bool Cancelled() const;
    void Send(DWORD Code, TSCANRESULT* Result);
    bool ReadMixer(TSCANRESULT& Result, bool Gated);
    void ReportWorkerError(std::exception_ptr Error);
    static void CollectDevice(void* Instance, const DeviceRecord& Record);
    const DeviceLibrary& LoadedLibrary() const;

    TVolumeFixerSettings Settings;
    mutable std::mutex LibraryMutex_;
    mutable bool LibraryLoaded_ = false;
    mutable DeviceLibrary Library;
    WorkerGate Gate_;
    std::thread ThreadHandle;
    std::atomic<bool> WorkerRunning_{false};
};
