#include "engine/OEUnitVolumeFixer.h"

#include "config/Errors.h"
#include "config/MemoryStream.h"
#include "graphics/OEUnitResource.h"
#include "engine/DeviceCallback.h"
#include "engine/DeviceStatus.h"
#include "platform/Shell.h"
#include "platform/Sound.h"
#include "platform/SoundDevices.h"
#include "platform/TempFiles.h"

#include <cstdio>
#include <thread>
#include <utility>

namespace {

constexpr const char* kAudioService = "AudioSrv";

struct LineReading {
    std::int32_t Volume = -1;
    BOOL Muted = -1;
    BOOL HasMute = 0;
};

LineReading ReadLine(TAudioMixer& mixer, int line) {
    const TLineVolume read = mixer.ReadLineVolume(0, line);
    LineReading reading;
    // A line is as loud as its quietest channel: one side turned down is heard as a fault.
    reading.Volume = read.QuietestVolume;
    reading.Muted = read.Mute != 0 ? -1 : 0;
    reading.HasMute = read.Mute != -1 ? -1 : 0;
    return reading;
}

// The platform answers any nonzero value for true; the record holds -1.
BOOL PlayTestSound() {
    return sndPlaySoundA(platform::kChimeSoundName, SND_SYNC) != 0 ? -1 : 0;
}

// Reading the server's devices is one round trip for every list; a server that does not answer
// within this is taken as not answering.
constexpr std::chrono::seconds kDeviceStatusBound{2};

// The device status findings, or DeviceStatusChecked 0 when no server answered.
void ReadDeviceStatus(TSCANRESULT& result) {
    std::optional<platform::SoundServerState> state =
        platform::SoundDevicesSlot().Get().Read(kDeviceStatusBound);
    result.DeviceStatusChecked = state ? -1 : 0;
    TDeviceStatus status = state ? AssessDeviceStatus(*state) : TDeviceStatus{};
    result.NoOutputDevice = status.NoOutputDevice ? -1 : 0;
    result.OutputToDummy = status.OutputToDummy ? -1 : 0;
    result.OutputSwitchedOff = status.OutputSwitchedOff ? -1 : 0;
    result.OutputUnplugged = status.OutputUnplugged ? -1 : 0;
}

// How long a round of device changes may take to show: a session manager that was just started
// again (WirePlumber) takes a moment before the default it keeps follows a change.
constexpr std::chrono::seconds kDeviceSettleBound{3};
constexpr std::chrono::milliseconds kDeviceSettleStep{100};

// Plans each round on what the server shows now, so a finding that the service's restart
// already mended is left alone; then waits (bounded) until the server shows the round done.
void RepairDeviceStatus() {
    using Plan = std::vector<platform::SoundChange> (*)(const platform::SoundServerState&);
    platform::SoundDevicesBackend& devices = platform::SoundDevicesSlot().Get();
    for (Plan plan : {&PlanCardRepair, &PlanRoutingRepair}) {
        std::optional<platform::SoundServerState> state = devices.Read(kDeviceStatusBound);
        if (!state) {
            return;
        }
        std::vector<platform::SoundChange> changes = plan(*state);
        if (changes.empty()) {
            continue;
        }
        devices.Apply(changes, kDeviceStatusBound);
        const auto settled = std::chrono::steady_clock::now() + kDeviceSettleBound;
        while ((state = devices.Read(kDeviceStatusBound)) && !plan(*state).empty() &&
               std::chrono::steady_clock::now() < settled) {
            std::this_thread::sleep_for(kDeviceSettleStep);
        }
    }
}

bool DeviceStatusFound(const TSCANRESULT& r) {
    return r.DeviceStatusChecked != 0 &&
           (r.OutputToDummy != 0 || r.OutputSwitchedOff != 0 || r.OutputUnplugged != 0);
}

std::thread StartPlainThread(std::function<void()> body) {
    return std::thread(std::move(body));
}

} // namespace

TAudioMixer& TDeferredMixer::Get() {
    std::lock_guard lock(mutex_);
    if (!mixer_) {
        mixer_ = std::make_unique<TAudioMixer>();
    }
    return *mixer_;
}

bool TDeferredMixer::Opened() const {
    std::lock_guard lock(mutex_);
    return mixer_ != nullptr;
}

void TDeferredMixer::reset() {
    std::unique_ptr<TAudioMixer> closing;
    {
        std::lock_guard lock(mutex_);
        closing = std::move(mixer_);
    }
}

TOEVolumeFixer::TOEVolumeFixer() : TOEVolumeFixer(TVolumeFixerSettings{}) {}

TOEVolumeFixer::TOEVolumeFixer(TVolumeFixerSettings settings) : Settings(std::move(settings)) {
    if (!Settings.StartWorker) {
        Settings.StartWorker = StartPlainThread;
    }
    Idle = true;
}

const DeviceLibrary& TOEVolumeFixer::LoadedLibrary() const {
    std::lock_guard lock(LibraryMutex_);
    if (!LibraryLoaded_) {
        LibraryLoaded_ = true;
        Library = LoadDeviceLibrary();
    }
    return Library;
}

TOEVolumeFixer::~TOEVolumeFixer() {
    CancelRequested = true;
    Gate_.Stop();
    // The test sound is the one step that lasts seconds: it is stopped rather than waited for,
    // again and again, in case the worker was just about to start it.
    while (WorkerRunning_) {
        sndPlaySoundA(nullptr, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ThreadHandle.joinable()) {
        ThreadHandle.join();
    }
    Mixer.reset();
    UnloadDeviceLibrary(Library);
    ReleaseDevices(Devices, NextDevice);
}

std::int32_t TOEVolumeFixer::StartScan() {
    if (!Idle) {
        return kScanRunning;
    }
    if (ThreadHandle.joinable()) {
        if (ThreadHandle.get_id() == std::this_thread::get_id()) {
            // Asked from the ending scan's last notification: that worker is still this thread.
            return kScanRunning;
        }
        // Idle is set just before the last notification, so this waits at most for it.
        ThreadHandle.join();
    }
    // The worker reads the mixer; it is made here, on the window's thread.
    Mixer.Get();
    CancelRequested = false;
    Idle = false;
    Repaired = false;
    Gate_.SetPaused(false);
    WorkerRunning_ = true;
    try {
        ThreadHandle = Settings.StartWorker([this] {
            Execute();
            WorkerRunning_ = false;
        });
    } catch (...) {
        ThreadHandle = std::thread();
    }
    if (!ThreadHandle.joinable()) {
        WorkerRunning_ = false;
        Idle = true;
        return kScanWorkerFailed;
    }
    return kScanStarted;
}

void TOEVolumeFixer::SetPaused(bool Paused) {
    Gate_.SetPaused(Paused);
}

bool TOEVolumeFixer::HoldWorker(std::chrono::milliseconds span) {
    return Gate_.Hold(span);
}

bool TOEVolumeFixer::Gate() {
    return Gate_.Pass();
}

bool TOEVolumeFixer::Cancelled() const {
    return CancelRequested || Gate_.Stopping();
}

void TOEVolumeFixer::Send(DWORD Code, TSCANRESULT* Result) {
    // Once destruction has begun the window may be half gone: nothing more is delivered.
    if (Gate() && OnStateChange) {
        OnStateChange(Code, Result);
    }
}

void TOEVolumeFixer::Execute() {
    try {
        RunChecks();
    } catch (...) {
        // An error ends the scan the way a cancel does: the window returns to its start page.
        CancelRequested = true;
        ReportWorkerError(std::current_exception());
    }
    Gate();
    Idle = true;
    try {
        Send(ScanCode::ScanEnded, nullptr);
    } catch (...) {
        ReportWorkerError(std::current_exception());
    }
}

void TOEVolumeFixer::RunChecks() {
    TSCANRESULT* const result = &ScanResult;

    Send(ScanCode::ScanStarted, nullptr);
    if (!Gate()) {
        return;
    }
    CancelRequested = false;

    Send(ScanCode::SoundTestStarted, nullptr);
    if (Cancelled() || !Gate()) {
        return;
    }
    ScanResult.SoundPlayed = PlayTestSound();
    if (Cancelled()) {
        return;
    }
    Send(ScanCode::SoundTestDone, result);
    if (Cancelled()) {
        return;
    }

    if (Mixer->MixerCount() >= 1) {
        Send(ScanCode::MixerCheckStarted, nullptr);
        if (Cancelled()) {
            return;
        }
        if (!ReadMixer(ScanResult, true)) {
            return;
        }
        ScanResult.MixerChecked = -1;
        if (Cancelled()) {
            return;
        }
        Send(ScanCode::MixerCheckDone, result);
    }
    if (Cancelled()) {
        return;
    }

    Send(ScanCode::ServiceCheckStarted, nullptr);
    if (Cancelled() || !Gate()) {
        return;
    }
    ScanResult.ServiceInstalled = IsServiceMissing(kAudioService, nullptr) != 0 ? 0 : -1;
    if (Cancelled() || !Gate()) {
        return;
    }
    ScanResult.ServiceState = QueryServiceState(kAudioService, nullptr);
    if (Cancelled()) {
        return;
    }
    Send(ScanCode::ServiceCheckDone, result);
    if (Cancelled()) {
        return;
    }

    Send(ScanCode::DeviceStatusStarted, nullptr);
    if (Cancelled() || !Gate()) {
        return;
    }
    ReadDeviceStatus(ScanResult);
    if (Cancelled()) {
        return;
    }
    Send(ScanCode::DeviceStatusDone, result);
    if (Cancelled()) {
        return;
    }

    if (LoadedLibrary().LibraryHandle == nullptr) {
        return;
    }
    Send(ScanCode::DeviceCheckStarted, nullptr);
    if (Cancelled() || !Gate()) {
        return;
    }
    ReleaseDevices(Devices, NextDevice);
    if (Cancelled() || !Gate()) {
        return;
    }
    DeviceCallbackBinding binding(this, &TOEVolumeFixer::CollectDevice);
    if (Cancelled() || !Gate()) {
        return;
    }
    Library.CheckDeviceProblem(&DeviceCallbackBinding::Callback);
    if (Cancelled() || !Gate()) {
        return;
    }
    QueryDeviceHwidsProc query = Library.QueryDeviceHwids;
    MatchDrivers(
        Devices, [query](const char* text) { return query(text); }, ScanResult.Drivers);
    Send(ScanCode::DeviceCheckDone, result);
}

bool TOEVolumeFixer::ReadMixer(TSCANRESULT& Result, bool Gated) {
    // Reopened every time: a sound server restarted (or started by a repair) since the last
    // open is only reached through a fresh handle.
    if (Gated && !Gate()) {
        return false;
    }
    Mixer->SetMixerId(0);
    if (Gated && !Gate()) {
        return false;
    }
    LineReading master = ReadLine(*Mixer, -1);
    Result.MasterVolume = master.Volume;
    Result.MasterMuted = master.Muted;
    Result.MasterHasMute = master.HasMute;
    if (Gated && !Gate()) {
        return false;
    }
    LineReading source = ReadLine(*Mixer, 0);
    Result.SourceVolume = source.Volume;
    Result.SourceMuted = source.Muted;
    Result.SourceHasMute = source.HasMute;
    return true;
}

void TOEVolumeFixer::CollectDevice(void* Instance, const DeviceRecord& Record) {
    auto* engine = static_cast<TOEVolumeFixer*>(Instance);
    CollectDeviceRecord(engine->Devices, engine->NextDevice, Record);
}

void TOEVolumeFixer::ReportWorkerError(std::exception_ptr Error) {
    if (OnWorkerError && !Gate_.Stopping()) {
        try {
            OnWorkerError(Error);
            return;
        } catch (...) {
            Error = std::current_exception();
        }
    }
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tonemender: the scan ended with an error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Tonemender: the scan ended with an unknown error\n");
    }
}

void TOEVolumeFixer::Repair() {
    if (!Idle) {
        return;
    }
    if (ScanResult.ServiceInstalled == 0) {
        ReinstallAudioService();
    }
    if (ScanResult.ServiceState != SERVICE_RUNNING) {
        StartServiceAndWait(kAudioService, nullptr, Settings.ServiceWait);
    }
    // Before the volume: the mixer follows the default sink, so the new one gets it.
    if (DeviceStatusFound(ScanResult)) {
        RepairDeviceStatus();
    }
    Mixer->SetMixerId(0);
    Mixer->WriteLineVolume(0, -1, kRepairedVolume, kRepairedVolume, 0);
    Mixer->WriteLineVolume(0, 0, kRepairedVolume, kRepairedVolume, 0);
    Repaired = true;
}

void TOEVolumeFixer::ReinstallAudioService() {
    // Both files go when this returns: the importer is waited for and has read the script by
    // then.
    const TTempFile packed("");
    const TTempFile script("");
    TMemoryStream stream;
    ResourceInstance()->CopyResourceToStream(nullptr, "AUDIOSRV_5X", "ZIP", stream);
    if (!platform::ReplaceFile(packed.Name(), stream.Memory(), stream.Size())) {
        throw FileCreateError(packed.Name());
    }
    InflateFile(packed.Name(), script.Name());
    // The path goes unquoted, as the registry editor is given it; our importer takes the whole
    // rest as one path. The importer is waited for, so the definition is back before the
    // service is started.
    const std::string parameters = "/s " + script.Name();
    ShellExecuteA(nullptr, "Open", "regedit.exe", parameters.c_str(), nullptr, SW_HIDE);
}

TSCANRESULT TOEVolumeFixer::Recheck(TCheckSet Checks) {
    TSCANRESULT result;
    if (!Idle) {
        return result;
    }
    if ((Checks & CheckSound) != 0) {
        result.SoundPlayed = PlayTestSound();
    }
    if ((Checks & CheckMixer) != 0 && Mixer->MixerCount() >= 1) {
        ReadMixer(result, false);
        result.MixerChecked = -1;
    }
    if ((Checks & CheckService) != 0) {
        result.ServiceInstalled = IsServiceMissing(kAudioService, nullptr) != 0 ? 0 : -1;
        result.ServiceState = QueryServiceState(kAudioService, nullptr);
    }
    if ((Checks & CheckDeviceStatus) != 0) {
        ReadDeviceStatus(result);
    }
    return result;
}
