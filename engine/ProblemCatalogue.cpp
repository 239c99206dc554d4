#include "engine/ProblemCatalogue.h"

#include "platform/Services.h"

#include <array>

namespace {

#define TM_PROBLEM_TEXT(name) "form1#frame3#RES#" name
constexpr const char* kDetected = TM_PROBLEM_TEXT("TEXT_VD_01#text");
constexpr const char* kNotFixed = TM_PROBLEM_TEXT("TEXT_VD_02#text");
constexpr const char* kNotRunning = TM_PROBLEM_TEXT("TEXT_VD_03#text");

bool Present(std::int32_t volume) {
    return volume >= 0;
}

bool Low(std::int32_t volume) {
    return Present(volume) && volume < kRepairedVolume;
}

bool MutedByControl(BOOL muted, BOOL hasMute) {
    return hasMute != 0 && muted != 0;
}

bool SoundFails(const TSCANRESULT& r) {
    return r.SoundPlayed == 0;
}

bool Muted(const TSCANRESULT& r) {
    return r.MixerChecked != 0 && (MutedByControl(r.MasterMuted, r.MasterHasMute) ||
                                   MutedByControl(r.SourceMuted, r.SourceHasMute));
}

bool LowVolume(const TSCANRESULT& r) {
    return r.MixerChecked != 0 && (Low(r.MasterVolume) || Low(r.SourceVolume));
}

bool ServiceMissing(const TSCANRESULT& r) {
    return r.ServiceInstalled == 0;
}

bool ServiceNotRunning(const TSCANRESULT& r) {
    return r.ServiceState != SERVICE_RUNNING;
}

// A device status finding holds only where the server's devices could be read; it is gone when
// they are read again and it no longer holds.
template <BOOL TSCANRESULT::*Finding> bool DeviceFinding(const TSCANRESULT& r) {
    return r.DeviceStatusChecked != 0 && r.*Finding != 0;
}

template <BOOL TSCANRESULT::*Finding>
bool DeviceFindingGone(const TSCANRESULT&, const TSCANRESULT& after) {
    return after.DeviceStatusChecked != 0 && after.*Finding == 0;
}

bool SoundPlaysNow(const TSCANRESULT&, const TSCANRESULT& after) {
    return after.SoundPlayed != 0;
}

// Every line that was muted must now be read back with its mute control, unmuted; a line whose
// control has vanished (or whose read failed) is not counted as mended.
bool UnmutedNow(const TSCANRESULT& found, const TSCANRESULT& after) {
    if (after.MixerChecked == 0) {
        return false;
    }
    bool ok = true;
    if (MutedByControl(found.MasterMuted, found.MasterHasMute)) {
        ok = ok && after.MasterHasMute != 0 && after.MasterMuted == 0;
    }
    if (MutedByControl(found.SourceMuted, found.SourceHasMute)) {
        ok = ok && after.SourceHasMute != 0 && after.SourceMuted == 0;
    }
    return ok;
}

bool LoudEnoughNow(const TSCANRESULT& found, const TSCANRESULT& after) {
    if (after.MixerChecked == 0) {
        return false;
    }
    bool ok = true;
    if (Low(found.MasterVolume)) {
        ok = ok && after.MasterVolume >= kRepairedVolume;
    }
    if (Low(found.SourceVolume)) {
        ok = ok && after.SourceVolume >= kRepairedVolume;
    }
    return ok;
}

bool InstalledNow(const TSCANRESULT&, const TSCANRESULT& after) {
    return after.ServiceInstalled != 0;
}

bool RunningNow(const TSCANRESULT&, const TSCANRESULT& after) {
    return after.ServiceState == SERVICE_RUNNING;
}

constexpr std::array<TProblemEntry, 9> kCatalogue{{
    {ScanCode::SoundTestDone, 3, TM_PROBLEM_TEXT("TEXT_VD_04"), TM_PROBLEM_TEXT("TEXT_VD_04#text"),
     TM_PROBLEM_TEXT("TEXT_VD_04#desc"), 2, kDetected, kNotFixed, CheckSound, SoundFails,
     SoundPlaysNow},
    {ScanCode::MixerCheckDone, 2, TM_PROBLEM_TEXT("TEXT_VD_05"), TM_PROBLEM_TEXT("TEXT_VD_05#text"),
     TM_PROBLEM_TEXT("TEXT_VD_05#desc"), 1, kDetected, kNotFixed, CheckMixer, Muted, UnmutedNow},
    {ScanCode::MixerCheckDone, 1, TM_PROBLEM_TEXT("TEXT_VD_06"), TM_PROBLEM_TEXT("TEXT_VD_06#text"),
     TM_PROBLEM_TEXT("TEXT_VD_06#desc"), 1, kDetected, kNotFixed, CheckMixer, LowVolume,
     LoudEnoughNow},
    {ScanCode::ServiceCheckDone, 5, TM_PROBLEM_TEXT("TEXT_VD_07"),
     TM_PROBLEM_TEXT("TEXT_VD_07#text"), TM_PROBLEM_TEXT("TEXT_VD_07#desc"), 2, kDetected,
     kNotFixed, CheckService, ServiceMissing, InstalledNow},
    {ScanCode::ServiceCheckDone, 4, TM_PROBLEM_TEXT("TEXT_VD_08"),
     TM_PROBLEM_TEXT("TEXT_VD_08#text"), TM_PROBLEM_TEXT("TEXT_VD_08#desc"), 2, kDetected,
     kNotRunning, CheckService, ServiceNotRunning, RunningNow},
    {ScanCode::DeviceStatusDone, 9, TM_PROBLEM_TEXT("TEXT_VD_10"),
     TM_PROBLEM_TEXT("TEXT_VD_10#text"), TM_PROBLEM_TEXT("TEXT_VD_10#desc"), 2, kDetected,
     kNotFixed, CheckDeviceStatus, DeviceFinding<&TSCANRESULT::NoOutputDevice>,
     DeviceFindingGone<&TSCANRESULT::NoOutputDevice>},
    {ScanCode::DeviceStatusDone, 8, TM_PROBLEM_TEXT("TEXT_VD_11"),
     TM_PROBLEM_TEXT("TEXT_VD_11#text"), TM_PROBLEM_TEXT("TEXT_VD_11#desc"), 1, kDetected,
     kNotFixed, CheckDeviceStatus, DeviceFinding<&TSCANRESULT::OutputSwitchedOff>,
     DeviceFindingGone<&TSCANRESULT::OutputSwitchedOff>},
    {ScanCode::DeviceStatusDone, 7, TM_PROBLEM_TEXT("TEXT_VD_12"),
     TM_PROBLEM_TEXT("TEXT_VD_12#text"), TM_PROBLEM_TEXT("TEXT_VD_12#desc"), 1, kDetected,
     kNotFixed, CheckDeviceStatus, DeviceFinding<&TSCANRESULT::OutputToDummy>,
     DeviceFindingGone<&TSCANRESULT::OutputToDummy>},
    {ScanCode::DeviceStatusDone, 6, TM_PROBLEM_TEXT("TEXT_VD_13"),
     TM_PROBLEM_TEXT("TEXT_VD_13#text"), TM_PROBLEM_TEXT("TEXT_VD_13#desc"), 0, kDetected,
     kNotFixed, CheckDeviceStatus, DeviceFinding<&TSCANRESULT::OutputUnplugged>,
     DeviceFindingGone<&TSCANRESULT::OutputUnplugged>},
}};

#undef TM_PROBLEM_TEXT

} // namespace

const char* StatusPathOf(DWORD Code) {
    switch (Code) {
    case ScanCode::ScanStarted:
        return "form1#frame2#RES#SCAN_STATUS_00#text";
    case ScanCode::SoundTestStarted:
        return "form1#frame2#RES#SCAN_STATUS_01#text";
    case ScanCode::MixerCheckStarted:
        return "form1#frame2#RES#SCAN_STATUS_02#text";
    case ScanCode::ServiceCheckStarted:
        return "form1#frame2#RES#SCAN_STATUS_03#text";
    case ScanCode::DeviceStatusStarted:
        return "form1#frame2#RES#SCAN_STATUS_04#text";
    case ScanCode::DeviceCheckStarted:
        return "form1#frame2#RES#SCAN_STATUS_05#text";
    default:
        return nullptr;
    }
}

std::span<const TProblemEntry> ProblemCatalogue() {
    return kCatalogue;
}

std::vector<const TProblemEntry*> ProblemsFound(DWORD Code, const TSCANRESULT& Result) {
    std::vector<const TProblemEntry*> found;
    for (const TProblemEntry& entry : kCatalogue) {
        if (entry.Code == Code && entry.Holds(Result)) {
            found.push_back(&entry);
        }
    }
    return found;
}

const TProblemEntry* ProblemByOrderKey(std::int32_t OrderKey) {
    for (const TProblemEntry& entry : kCatalogue) {
        if (entry.OrderKey == OrderKey) {
            return &entry;
        }
    }
    return nullptr;
}

TCheckSet ChecksToRepeat(std::span<const std::int32_t> ListedKeys) {
    TCheckSet checks = 0;
    for (std::int32_t key : ListedKeys) {
        if (const TProblemEntry* entry = ProblemByOrderKey(key)) {
            checks |= entry->Check;
        }
    }
    return checks;
}

TRepairCount CountFixedProblems(std::span<const std::int32_t> ListedKeys, const TSCANRESULT& Found,
                                const TSCANRESULT& After) {
    TRepairCount count;
    for (std::int32_t key : ListedKeys) {
        ++count.Listed;
        const TProblemEntry* entry = ProblemByOrderKey(key);
        if (entry != nullptr && entry->Gone(Found, After)) {
            ++count.Fixed;
        }
    }
    return count;
}
