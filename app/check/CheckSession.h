#pragma once
// One run of the console check: the scan on the engine's worker with no holds between the
// checks, the status line of each check as it starts, the findings gathered as the window
// gathers them, and - when asked - the repair and the re-check of what was found.
//
// The session owns the engine and destroys it first, so no notification can reach a session
// that is half gone. An interrupt is seen within a few tens of milliseconds while the scan
// runs, between the steps of the repair and re-check otherwise. The test sound is stopped where
// it is (by destroying the engine, or by the program's own watch for the interrupt); any other
// check in progress is not cut short, but each is bounded (every call by 2.5 s).

#include "CheckFindings.h"
#include "CheckReport.h"
#include "engine/OEUnitVolumeFixer.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

struct CheckHooks {
    // A configured status line, as a check starts: on the scan's worker, or the calling thread
    // during the re-check.
    std::function<void(const std::string& Status)> Progress;
    // Polled while the session waits and between steps; true ends the run.
    std::function<bool()> Interrupted;
    // Run every few milliseconds while the scan goes on, on the calling thread (the program
    // lets its event loop deliver what is posted to it there).
    std::function<void()> Pump;
};

enum class RunEnd { Completed, Interrupted };

class CheckSession {
public:
    CheckSession(std::unique_ptr<TOEVolumeFixer> Engine, TextLookup Texts, CheckHooks Hooks);
    ~CheckSession();
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    // Runs a whole scan and fills Report's findings and scan record. A scan that cannot start
    // or that ends in an error raises ProgramError with the reason.
    RunEnd Scan(CheckReport& Report);

    // Repairs what Report lists, runs the checks that found it again and records what they
    // confirm fixed. Nothing listed: nothing is touched. Errors of the repair propagate.
    RunEnd Repair(CheckReport& Report);

    TOEVolumeFixer& Engine() { return *engine_; }

private:
    void OnNotification(DWORD Code, TSCANRESULT* Result);
    void Say(const char* Path);
    bool Interrupted() const { return hooks_.Interrupted && hooks_.Interrupted(); }

    TextLookup texts_;
    CheckHooks hooks_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    std::exception_ptr workerError_;
    FindingCollector collector_;

    std::unique_ptr<TOEVolumeFixer> engine_;
};
