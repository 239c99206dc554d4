// The problem catalogue: which findings a result record gives for each notification, how they
// rank, where their texts are, and how a re-check after a repair is counted.
#include "engine/ProblemCatalogue.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

std::vector<std::int32_t> Keys(const std::vector<const TProblemEntry*>& found) {
    std::vector<std::int32_t> keys;
    for (const TProblemEntry* entry : found) {
        keys.push_back(entry->OrderKey);
    }
    return keys;
}

// A record in which nothing is wrong: every check ran and found all well.
TSCANRESULT Healthy() {
    TSCANRESULT r;
    r.SoundPlayed = -1;
    r.MasterVolume = 40000;
    r.MasterHasMute = -1;
    r.SourceVolume = 40000;
    r.SourceHasMute = -1;
    r.MixerChecked = -1;
    r.ServiceInstalled = -1;
    r.ServiceState = 4;
    return r;
}

// The keys the window lists after a whole scan, highest first.
std::vector<std::int32_t> Report(const TSCANRESULT& r) {
    std::vector<std::int32_t> keys;
    for (DWORD code :
         {ScanCode::SoundTestDone, ScanCode::MixerCheckDone, ScanCode::ServiceCheckDone}) {
        for (const TProblemEntry* entry : ProblemsFound(code, r)) {
            keys.push_back(entry->OrderKey);
        }
    }
    std::sort(keys.rbegin(), keys.rend());
    return keys;
}

TEST(ProblemCatalogue, AHealthyScanListsNothing) {
    EXPECT_THAT(Report(Healthy()), IsEmpty());
}

TEST(ProblemCatalogue, ServiceNotRunningIsListedAboveSilentPlayback) {
    TSCANRESULT r = Healthy();
    r.SoundPlayed = 0;
    r.ServiceState = 1;
    EXPECT_THAT(Report(r), ElementsAre(4, 3));
    EXPECT_STREQ(ProblemByOrderKey(4)->Entry, "form1#frame3#RES#TEXT_VD_08");
    EXPECT_STREQ(ProblemByOrderKey(3)->Entry, "form1#frame3#RES#TEXT_VD_04");
}

TEST(ProblemCatalogue, AMissingServiceIsAlsoNotRunning) {
    TSCANRESULT r = Healthy();
    r.ServiceInstalled = 0;
    r.ServiceState = 0;
    EXPECT_THAT(Keys(ProblemsFound(ScanCode::ServiceCheckDone, r)), ElementsAre(5, 4));
}

TEST(ProblemCatalogue, ANoServiceManagerReadsAsNotRunning) {
    TSCANRESULT r = Healthy();
    r.ServiceState = 1;
    EXPECT_THAT(Keys(ProblemsFound(ScanCode::ServiceCheckDone, r)), ElementsAre(4));
}

struct VolumeCase {
    std::int32_t master;
    std::int32_t source;
    bool low;
};

class VolumeFinding : public testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeFinding, OnlyAPresentVolumeBelowHalfIsLow) {
    TSCANRESULT r = Healthy();
    r.MasterVolume = GetParam().master;
    r.SourceVolume = GetParam().source;
    const auto keys = Keys(ProblemsFound(ScanCode::MixerCheckDone, r));
    EXPECT_EQ(keys == std::vector<std::int32_t>{1}, GetParam().low);
    EXPECT_EQ(keys.empty(), !GetParam().low);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, VolumeFinding,
                         testing::Values(VolumeCase{32767, 40000, true},
                                         VolumeCase{32768, 40000, false},
                                         VolumeCase{0, 40000, true}, VolumeCase{40000, 32767, true},
                                         VolumeCase{65535, 65535, false},
                                         VolumeCase{-1, 40000, false}, VolumeCase{40000, -1, false},
                                         VolumeCase{-1, -1, false}, VolumeCase{-1, 100, true}));

struct MuteCase {
    BOOL masterMuted, masterHasMute, sourceMuted, sourceHasMute;
    bool muted;
};

class MuteFinding : public testing::TestWithParam<MuteCase> {};

TEST_P(MuteFinding, OnlyAMuteControlReadingMutedIsMuted) {
    const MuteCase& c = GetParam();
    TSCANRESULT r = Healthy();
    r.MasterMuted = c.masterMuted;
    r.MasterHasMute = c.masterHasMute;
    r.SourceMuted = c.sourceMuted;
    r.SourceHasMute = c.sourceHasMute;
    EXPECT_EQ(!ProblemsFound(ScanCode::MixerCheckDone, r).empty(), c.muted);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, MuteFinding,
    testing::Values(MuteCase{-1, -1, 0, -1, true}, MuteCase{0, -1, -1, -1, true},
                    MuteCase{0, -1, 0, -1, false},
                    // No mute control: the -1 says nothing.
                    MuteCase{-1, 0, 0, -1, false}, MuteCase{0, -1, -1, 0, false},
                    MuteCase{-1, 0, -1, 0, false}, MuteCase{-1, 0, -1, -1, true}));

TEST(ProblemCatalogue, MutedComesBeforeLowVolumeAndBothNeedTheMixerCheck) {
    TSCANRESULT r = Healthy();
    r.MasterMuted = -1;
    r.SourceVolume = 100;
    EXPECT_THAT(Keys(ProblemsFound(ScanCode::MixerCheckDone, r)), ElementsAre(2, 1));

    r.MixerChecked = 0;
    EXPECT_THAT(ProblemsFound(ScanCode::MixerCheckDone, r), IsEmpty());
}

TEST(ProblemCatalogue, OnlyTheCodesAfterACheckFindAnything) {
    TSCANRESULT broken;
    broken.MasterVolume = 5;
    broken.MasterMuted = -1;
    broken.MasterHasMute = -1;
    broken.MixerChecked = -1;
    broken.NoOutputDevice = -1; // found only when the devices could be read
    for (DWORD code : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 10u, 11u, 12u, 100u}) {
        EXPECT_THAT(ProblemsFound(code, broken), IsEmpty()) << "code " << code;
    }
    EXPECT_EQ(ProblemsFound(ScanCode::SoundTestDone, broken).size(), 1u);
    EXPECT_EQ(ProblemsFound(ScanCode::MixerCheckDone, broken).size(), 2u);
    EXPECT_EQ(ProblemsFound(ScanCode::ServiceCheckDone, broken).size(), 2u);
    broken.DeviceStatusChecked = -1;
    EXPECT_EQ(ProblemsFound(ScanCode::DeviceStatusDone, broken).size(), 1u);
}

TEST(ProblemCatalogue, EachEntryNamesItsTextsIconAndWords) {
    struct Expected {
        std::int32_t key;
        const char* entry;
        int icon;
        const char* outcome;
        TCheckSet check;
    };
    const Expected expected[] = {
        {3, "TEXT_VD_04", 2, "TEXT_VD_02", CheckSound},
        {2, "TEXT_VD_05", 1, "TEXT_VD_02", CheckMixer},
        {1, "TEXT_VD_06", 1, "TEXT_VD_02", CheckMixer},
        {5, "TEXT_VD_07", 2, "TEXT_VD_02", CheckService},
        {4, "TEXT_VD_08", 2, "TEXT_VD_03", CheckService},
        {9, "TEXT_VD_10", 2, "TEXT_VD_02", CheckDeviceStatus},
        {8, "TEXT_VD_11", 1, "TEXT_VD_02", CheckDeviceStatus},
        {7, "TEXT_VD_12", 1, "TEXT_VD_02", CheckDeviceStatus},
        {6, "TEXT_VD_13", 0, "TEXT_VD_02", CheckDeviceStatus},
    };
    ASSERT_EQ(ProblemCatalogue().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const TProblemEntry& entry = ProblemCatalogue()[i];
        const std::string base = std::string("form1#frame3#RES#") + expected[i].entry;
        SCOPED_TRACE(base);
        EXPECT_EQ(entry.OrderKey, expected[i].key);
        EXPECT_EQ(entry.Entry, base);
        EXPECT_EQ(entry.TitlePath, base + "#text");
        EXPECT_EQ(entry.DescriptionPath, base + "#desc");
        EXPECT_EQ(entry.IconSlot, expected[i].icon);
        EXPECT_STREQ(entry.StatusPath, "form1#frame3#RES#TEXT_VD_01#text");
        EXPECT_EQ(entry.OutcomePath,
                  std::string("form1#frame3#RES#") + expected[i].outcome + "#text");
        EXPECT_EQ(entry.Check, expected[i].check);
        EXPECT_EQ(ProblemByOrderKey(entry.OrderKey), &entry);
    }
    EXPECT_EQ(ProblemByOrderKey(0), nullptr);
}

TEST(ProblemCatalogue, RepeatsOnlyTheChecksOfListedProblems) {
    EXPECT_EQ(ChecksToRepeat(std::vector<std::int32_t>{}), 0u);
    EXPECT_EQ(ChecksToRepeat(std::vector<std::int32_t>{2, 1}), CheckMixer);
    EXPECT_EQ(ChecksToRepeat(std::vector<std::int32_t>{5, 4, 1}), CheckService | CheckMixer);
    EXPECT_EQ(ChecksToRepeat(std::vector<std::int32_t>{3}), CheckSound);
    EXPECT_EQ(ChecksToRepeat(std::vector<std::int32_t>{42}), 0u);
}

struct RecheckCase {
    const char* name;
    std::function<void(TSCANRESULT& found, TSCANRESULT& after)> arrange;
    std::vector<std::int32_t> listed;
    int fixed;
};

class RecheckCount : public testing::TestWithParam<RecheckCase> {};

TEST_P(RecheckCount, CountsOnlyWhatTheCheckConfirms) {
    TSCANRESULT found = Healthy();
    TSCANRESULT after = Healthy();
    GetParam().arrange(found, after);
    // The listed problems are exactly those the scan found.
    ASSERT_EQ(Report(found), GetParam().listed);

    TRepairCount count = CountFixedProblems(GetParam().listed, found, after);

    EXPECT_EQ(count.Listed, static_cast<int>(GetParam().listed.size()));
    EXPECT_EQ(count.Fixed, GetParam().fixed);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RecheckCount,
    testing::Values(RecheckCase{"AllMended",
                                [](TSCANRESULT& f, TSCANRESULT&) {
                                    f.MasterMuted = -1;
                                    f.MasterVolume = 100;
                                    f.ServiceState = 1;
                                },
                                {4, 2, 1},
                                3},
                    RecheckCase{"StillMuted",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.SourceMuted = -1;
                                    a.SourceMuted = -1;
                                },
                                {2},
                                0},
                    // The muted control is no longer there at all: that is no proof it was unmuted.
                    RecheckCase{"MuteControlGone",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.MasterMuted = -1;
                                    a.MasterMuted = -1;
                                    a.MasterHasMute = 0;
                                },
                                {2},
                                0},
                    RecheckCase{"VolumeReadFails",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.MasterVolume = 100;
                                    a.MasterVolume = -1;
                                },
                                {1},
                                0},
                    RecheckCase{"OneOfTwoLowLinesMended",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.MasterVolume = 100;
                                    f.SourceVolume = 100;
                                    a.SourceVolume = 32767;
                                },
                                {1},
                                0},
                    // A line that had no control before is no part of the problem.
                    RecheckCase{"AbsentSourceIgnored",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.MasterVolume = 100;
                                    f.SourceVolume = -1;
                                    f.SourceHasMute = 0;
                                    a.SourceVolume = -1;
                                    a.SourceHasMute = 0;
                                },
                                {1},
                                1},
                    RecheckCase{"MixerNotCheckedAgain",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.MasterVolume = 100;
                                    a.MixerChecked = 0;
                                },
                                {1},
                                0},
                    RecheckCase{"ServiceStillMissing",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.ServiceInstalled = 0;
                                    f.ServiceState = 0;
                                    a.ServiceInstalled = 0;
                                    a.ServiceState = 0;
                                },
                                {5, 4},
                                0},
                    RecheckCase{"ServiceBackButStopped",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.ServiceInstalled = 0;
                                    f.ServiceState = 0;
                                    a.ServiceState = 1;
                                },
                                {5, 4},
                                1},
                    RecheckCase{"SoundStillFails",
                                [](TSCANRESULT& f, TSCANRESULT& a) {
                                    f.SoundPlayed = 0;
                                    f.ServiceState = 1;
                                    a.SoundPlayed = 0;
                                },
                                {4, 3},
                                1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProblemCatalogue, AnUnknownListedKeyCountsAsNotFixed) {
    TRepairCount count = CountFixedProblems(std::vector<std::int32_t>{4, 9}, Healthy(), Healthy());
    EXPECT_EQ(count.Listed, 2);
    EXPECT_EQ(count.Fixed, 1);
}

} // namespace
