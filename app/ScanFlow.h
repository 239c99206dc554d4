#pragma once
// What the main window keeps of a scan while it runs: the status text and progress counter it
// shows, and the problems collected from each check's result until the scan ends and they are
// listed. One set for the process, not part of the window; only the scan worker touches it,
// inside the window's notification handler, one notification at a time.
//
// The rules here decide what each notification changes; carrying those changes to the window
// is the window's part (uMainFlow.cpp).

#include "controls/ResultNode.h"
#include "engine/ProblemCatalogue.h"
#include "engine/ScanResult.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TScanFlowState {
    std::string StatusText;
    std::int32_t ScanProgress = 0;
    // The problems found so far, in the order found, and each one's order key.
    std::vector<TRESULTNODE> PendingResults;
    std::vector<std::int32_t> PendingOrder;
    std::int32_t PendingCount = 0;
};

// The process's one set, released at program end.
TScanFlowState& ScanFlowState();

// Looks up a configuration text by its path ("form1#frame2#RES#SCAN_STATUS_01#text").
using TConfigText = std::function<std::string(const std::string& path)>;

// What the window has to do for a notification besides showing the status and progress.
struct TFlowStep {
    bool ClearReport = false;  // the scan starts: the rows of the last report go
    bool ShowsProgress = true; // status line and progress bar (every code but the last)
    bool HoldsWorker = false;  // a check's result: the worker waits before the next check
};

// Applies the notification (code, result) to state: progress, status text and the problems the
// catalogue finds in result. The last code (1) changes nothing here. result may be null for
// codes that carry none; a code that should carry one but does not finds nothing.
TFlowStep ApplyNotification(TScanFlowState& state, DWORD code, const TSCANRESULT* result,
                            const TConfigText& text);

// The collected problems as the report lists them, highest order key first; each keeps its
// OrderKey (the report's rows themselves do not). Sorts PendingOrder in place.
std::vector<TRESULTNODE> ReportEntries(TScanFlowState& state);
