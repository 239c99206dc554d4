// The flow's own rules, without a window: what each notification does to the status text, the
// progress counter and the collected problems, and the order the report lists them in.

#include "app/ScanFlow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

// The configuration as a lookup: each path reads as itself, so a test sees which entry was used.
std::string PathItself(const std::string& path) {
    return path;
}

TSCANRESULT Healthy() {
    TSCANRESULT r;
    r.SoundPlayed = -1;
    r.MasterVolume = 40000;
    r.SourceVolume = 40000;
    r.MasterHasMute = -1;
    r.SourceHasMute = -1;
    r.MixerChecked = -1;
    r.ServiceInstalled = -1;
    r.ServiceState = 4;
    return r;
}

std::vector<std::int32_t> KeysAfter(DWORD code, const TSCANRESULT& result) {
    TScanFlowState state;
    ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
    ApplyNotification(state, code, &result, PathItself);
    return state.PendingOrder;
}

TEST(ScanFlowState, ProgressRunsZeroToTenOverACompleteScanAndTheEndAddsNothing) {
    TScanFlowState state;
    state.ScanProgress = 42; // left over from an earlier scan
    const DWORD codes[] = {0, 2, 7, 3, 8, 4, 9, 5, 10, 6, 11};
    std::vector<std::int32_t> progress;
    for (DWORD code : codes) {
        const TSCANRESULT result = Healthy();
        ApplyNotification(state, code, &result, PathItself);
        progress.push_back(state.ScanProgress);
    }
    EXPECT_THAT(progress, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
    const TFlowStep end = ApplyNotification(state, ScanCode::ScanEnded, nullptr, PathItself);
    EXPECT_FALSE(end.ShowsProgress);
    EXPECT_EQ(state.ScanProgress, 10);
}

TEST(ScanFlowState, EachCodeSetsItsStatusAndOnlyTheResultsHold) {
    struct Case {
        DWORD code;
        const char* status; // nullptr: the one before stays
        bool holds;
        int progressStep;
    };
    const Case cases[] = {
        {2, "form1#frame2#RES#SCAN_STATUS_01#text", false, 1},
        {3, "form1#frame2#RES#SCAN_STATUS_02#text", false, 1},
        {4, "form1#frame2#RES#SCAN_STATUS_03#text", false, 1},
        {5, "form1#frame2#RES#SCAN_STATUS_04#text", false, 1},
        {6, "form1#frame2#RES#SCAN_STATUS_05#text", false, 1},
        {7, nullptr, true, 1},
        {8, nullptr, true, 1},
        {9, nullptr, true, 1},
        {10, nullptr, true, 1},
        {11, nullptr, true, 1},
        {12, nullptr, false, 0},
        {0xFFFFFFFF, nullptr, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        TScanFlowState state;
        ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
        ASSERT_EQ(state.StatusText, "form1#frame2#RES#SCAN_STATUS_00#text");
        const TFlowStep step = ApplyNotification(state, c.code, nullptr, PathItself);
        EXPECT_EQ(state.StatusText, c.status ? c.status : "form1#frame2#RES#SCAN_STATUS_00#text");
        EXPECT_EQ(step.HoldsWorker, c.holds);
        EXPECT_TRUE(step.ShowsProgress);
        EXPECT_FALSE(step.ClearReport);
        EXPECT_EQ(state.ScanProgress, c.progressStep);
        EXPECT_THAT(state.PendingOrder, IsEmpty()) << "no result, no problem";
    }
}

TEST(ScanFlowState, TheStartClearsWhatTheLastScanCollected) {
    TScanFlowState state;
    TSCANRESULT broken = Healthy();
    broken.SoundPlayed = 0;
    ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
    ApplyNotification(state, ScanCode::SoundTestDone, &broken, PathItself);
    ASSERT_EQ(state.PendingCount, 1);
    const TFlowStep start = ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
    EXPECT_TRUE(start.ClearReport);
    EXPECT_EQ(state.PendingCount, 0);
    EXPECT_THAT(state.PendingResults, IsEmpty());
    EXPECT_THAT(state.PendingOrder, IsEmpty());
    EXPECT_EQ(state.ScanProgress, 0);
}

TEST(ScanFlowState, MixerReadingsAndWhatTheyFind) {
    struct Case {
        const char* name;
        std::int32_t masterVolume;
        BOOL masterMuted;
        BOOL masterHasMute;
        std::int32_t sourceVolume;
        BOOL sourceMuted;
        BOOL sourceHasMute;
        BOOL mixerChecked;
        std::vector<std::int32_t> keys; // muted 2, low 1
    };
    const Case cases[] = {
        {"half scale is not low", 32768, 0, -1, 32768, 0, -1, -1, {}},
        {"one below half is low", 32767, 0, -1, 32768, 0, -1, -1, {1}},
        {"a low source line counts", 40000, 0, -1, 32767, 0, -1, -1, {1}},
        {"no volume control is no finding", -1, 0, -1, -1, 0, -1, -1, {}},
        {"a mute control that reads muted", 40000, -1, -1, 40000, 0, -1, -1, {2}},
        {"muted and low, muted first", 100, -1, -1, 40000, 0, -1, -1, {2, 1}},
        {"no mute control reads -1 and is no finding", 40000, -1, 0, 40000, -1, 0, -1, {}},
        {"a line with neither control is no finding", -1, -1, 0, -1, -1, 0, -1, {}},
        {"a mixer never checked finds nothing", 0, -1, -1, 0, -1, -1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSCANRESULT r = Healthy();
        r.MasterVolume = c.masterVolume;
        r.MasterMuted = c.masterMuted;
        r.MasterHasMute = c.masterHasMute;
        r.SourceVolume = c.sourceVolume;
        r.SourceMuted = c.sourceMuted;
        r.SourceHasMute = c.sourceHasMute;
        r.MixerChecked = c.mixerChecked;
        EXPECT_THAT(KeysAfter(ScanCode::MixerCheckDone, r), ElementsAreArray(c.keys));
    }
}

TEST(ScanFlowState, AProblemIsFoundOnlyOnTheCodeOfItsCheck) {
    TSCANRESULT everything;
    everything.SoundPlayed = 0;
    everything.MasterVolume = 0;
    everything.MasterMuted = -1;
    everything.MasterHasMute = -1;
    everything.MixerChecked = -1;
    everything.ServiceInstalled = 0;
    everything.ServiceState = 0;
    EXPECT_THAT(KeysAfter(ScanCode::SoundTestDone, everything), ElementsAre(3));
    EXPECT_THAT(KeysAfter(ScanCode::MixerCheckDone, everything), ElementsAre(2, 1));
    EXPECT_THAT(KeysAfter(ScanCode::ServiceCheckDone, everything), ElementsAre(5, 4));
    EXPECT_THAT(KeysAfter(ScanCode::DeviceCheckDone, everything), IsEmpty());
    EXPECT_THAT(KeysAfter(10, everything), IsEmpty());
    EXPECT_THAT(KeysAfter(ScanCode::ServiceCheckStarted, everything), IsEmpty());
}

TEST(ScanFlowState, AnEntryCarriesItsTextsAndKey) {
    TScanFlowState state;
    TSCANRESULT r = Healthy();
    r.ServiceState = 1;
    ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
    ApplyNotification(state, ScanCode::ServiceCheckDone, &r, PathItself);
    ASSERT_EQ(state.PendingResults.size(), 1u);
    const TRESULTNODE& entry = state.PendingResults[0];
    EXPECT_EQ(entry.Title, "form1#frame3#RES#TEXT_VD_08#text");
    EXPECT_EQ(entry.Description, "form1#frame3#RES#TEXT_VD_08#desc");
    EXPECT_EQ(entry.Status, "form1#frame3#RES#TEXT_VD_01#text");
    EXPECT_EQ(entry.Outcome, "form1#frame3#RES#TEXT_VD_03#text");
    EXPECT_EQ(entry.OrderKey, 4);
    EXPECT_EQ(entry.RowKind, 0);
    EXPECT_EQ(entry.RowFlag, 0);
    EXPECT_EQ(state.PendingCount, 1);
}

TEST(ScanFlowState, TheReportListsTheHighestKeyFirst) {
    struct Case {
        const char* name;
        std::vector<std::pair<DWORD, TSCANRESULT>> results;
        std::vector<std::int32_t> listed;
    };
    TSCANRESULT noSound = Healthy();
    noSound.SoundPlayed = 0;
    TSCANRESULT stopped = Healthy();
    stopped.ServiceState = 1;
    TSCANRESULT missing = Healthy();
    missing.ServiceInstalled = 0;
    missing.ServiceState = 0;
    TSCANRESULT mutedLow = Healthy();
    mutedLow.SourceMuted = -1;
    mutedLow.SourceVolume = 10;
    const Case cases[] = {
        {"sound failed and service stopped", {{7, noSound}, {9, stopped}}, {4, 3}},
        {"missing service", {{9, missing}}, {5, 4}},
        {"all five", {{7, noSound}, {8, mutedLow}, {9, missing}}, {5, 4, 3, 2, 1}},
        {"nothing", {{7, Healthy()}, {8, Healthy()}, {9, Healthy()}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TScanFlowState state;
        ApplyNotification(state, ScanCode::ScanStarted, nullptr, PathItself);
        for (const auto& [code, result] : c.results) {
            ApplyNotification(state, code, &result, PathItself);
        }
        std::vector<std::int32_t> listed;
        for (const TRESULTNODE& entry : ReportEntries(state)) {
            listed.push_back(entry.OrderKey);
            EXPECT_EQ(entry.Title, ProblemByOrderKey(entry.OrderKey)->TitlePath);
        }
        EXPECT_THAT(listed, ElementsAreArray(c.listed));
    }
}

} // namespace
