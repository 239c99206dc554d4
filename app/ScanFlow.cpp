#include "app/ScanFlow.h"

#include <algorithm>

namespace {

void Collect(TScanFlowState& state, const TProblemEntry& entry, const TConfigText& text) {
    TRESULTNODE node;
    node.Title = text(entry.TitlePath);
    node.Description = text(entry.DescriptionPath);
    node.Status = text(entry.StatusPath);
    node.Outcome = text(entry.OutcomePath);
    node.OrderKey = static_cast<std::int16_t>(entry.OrderKey);
    // The icon is the slot's graphic; the window fills it in when it makes the rows, on its
    // own thread, where the slots are loaded.
    state.PendingResults.push_back(std::move(node));
    state.PendingOrder.push_back(entry.OrderKey);
    state.PendingCount = static_cast<std::int32_t>(state.PendingResults.size());
}

} // namespace

TScanFlowState& ScanFlowState() {
    static TScanFlowState state;
    return state;
}

TFlowStep ApplyNotification(TScanFlowState& state, DWORD code, const TSCANRESULT* result,
                            const TConfigText& text) {
    TFlowStep step;
    if (code == ScanCode::ScanEnded) {
        step.ShowsProgress = false;
        return step;
    }
    if (code == ScanCode::ScanStarted) {
        state.ScanProgress = -1;
        state.PendingCount = 0;
        state.StatusText.clear();
        state.PendingResults.clear();
        state.PendingOrder.clear();
        step.ClearReport = true;
    }
    if (const char* path = StatusPathOf(code)) {
        state.StatusText = text(path);
    }
    if (ScanCode::IsKnown(code)) {
        ++state.ScanProgress;
    }
    if (ScanCode::IsCheckDone(code)) {
        step.HoldsWorker = true;
        if (result != nullptr) {
            for (const TProblemEntry* entry : ProblemsFound(code, *result)) {
                Collect(state, *entry, text);
            }
        }
    }
    return step;
}

std::vector<TRESULTNODE> ReportEntries(TScanFlowState& state) {
    std::sort(state.PendingOrder.begin(), state.PendingOrder.end());
    std::vector<TRESULTNODE> entries;
    for (auto key = state.PendingOrder.rbegin(); key != state.PendingOrder.rend(); ++key) {
        auto found = std::find_if(state.PendingResults.begin(), state.PendingResults.end(),
                                  [&](const TRESULTNODE& node) { return node.OrderKey == *key; });
        if (found != state.PendingResults.end()) {
            entries.push_back(*found);
        }
    }
    return entries;
}
