#include "CheckSession.h"

#include "config/Errors.h"

#include <chrono>

namespace {

using namespace std::chrono_literals;

// How often the waiting thread looks at the interrupt and lets its event loop run.
constexpr auto kPollInterval = 20ms;

// Fields of one check's part of a re-check into the combined record.
void TakeCheck(TSCANRESULT& into, const TSCANRESULT& from, TCheckSet check) {
    if (check == CheckSound) {
        into.SoundPlayed = from.SoundPlayed;
    } else if (check == CheckMixer) {
        into.MasterVolume = from.MasterVolume;
        into.MasterMuted = from.MasterMuted;
        into.MasterHasMute = from.MasterHasMute;
        into.SourceVolume = from.SourceVolume;
        into.SourceMuted = from.SourceMuted;
        into.SourceHasMute = from.SourceHasMute;
        into.MixerChecked = from.MixerChecked;
    } else if (check == CheckService) {
        into.ServiceInstalled = from.ServiceInstalled;
        into.ServiceState = from.ServiceState;
    } else if (check == CheckDeviceStatus) {
        into.DeviceStatusChecked = from.DeviceStatusChecked;
        into.NoOutputDevice = from.NoOutputDevice;
        into.OutputToDummy = from.OutputToDummy;
        into.OutputSwitchedOff = from.OutputSwitchedOff;
        into.OutputUnplugged = from.OutputUnplugged;
    }
}

std::string Describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unknown error";
    }
}

} // namespace

CheckSession::CheckSession(std::unique_ptr<TOEVolumeFixer> Engine, TextLookup Texts,
                           CheckHooks Hooks)
    : texts_(std::move(Texts)), hooks_(std::move(Hooks)), engine_(std::move(Engine)) {
    engine_->OnStateChange = [this](DWORD code, TSCANRESULT* result) {
        OnNotification(code, result);
    };
    engine_->OnWorkerError = [this](std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        workerError_ = error;
    };
}

CheckSession::~CheckSession() {
    // Stops and joins a worker that still runs before anything it reaches goes.
    engine_.reset();
}

void CheckSession::Say(const char* Path) {
    if (Path != nullptr && hooks_.Progress) {
        hooks_.Progress(texts_(Path));
    }
}

void CheckSession::OnNotification(DWORD Code, TSCANRESULT* Result) {
    if (Code == ScanCode::ScanEnded) {
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
        return;
    }
    Say(StatusPathOf(Code));
    if (Result != nullptr) {
        std::lock_guard lock(mutex_);
        collector_.Add(Code, *Result);
    }
}

RunEnd CheckSession::Scan(CheckReport& Report) {
    {
        std::lock_guard lock(mutex_);
        ended_ = false;
        workerError_ = nullptr;
        collector_.Clear();
    }
    if (Interrupted()) {
        return RunEnd::Interrupted;
    }
    if (engine_->StartScan() != kScanStarted) {
        throw ProgramError("the scan could not be started");
    }
    std::unique_lock lock(mutex_);
    while (!ended_) {
        if (Interrupted()) {
            // The worker stops at its next step; destroying the engine waits for that.
            engine_->CancelRequested = true;
            return RunEnd::Interrupted;
        }
        if (hooks_.Pump) {
            lock.unlock();
            hooks_.Pump();
            lock.lock();
        }
        changed_.wait_for(lock, kPollInterval, [this] { return ended_; });
    }
    if (workerError_) {
        throw ProgramError("the scan failed: " + Describe(workerError_));
    }
    if (engine_->CancelRequested) {
        throw ProgramError("the scan ended before its checks were done");
    }
    // The worker is past its last write: it set Idle and delivered the end under our lock.
    Report.Findings.clear();
    for (const TProblemEntry* problem : collector_.InReportOrder()) {
        Report.Findings.push_back(DescribeFinding(*problem, texts_));
    }
    Report.Scan = engine_->ScanResult;
    lock.unlock();
    Say(kScanCompletePath);
    return RunEnd::Completed;
}

RunEnd CheckSession::Repair(CheckReport& Report) {
    RepairReport repair;
    const std::vector<std::int32_t> listed = OrderKeysOf(Report.Findings);
    if (listed.empty()) {
        Report.Repair = repair;
        return RunEnd::Completed;
    }
    if (Interrupted()) {
        return RunEnd::Interrupted;
    }
    engine_->Repair();
    repair.Performed = true;

    const TCheckSet checks = ChecksToRepeat(listed);
    TSCANRESULT after;
    for (TCheckSet check : {CheckSound, CheckMixer, CheckService, CheckDeviceStatus}) {
        if ((checks & check) == 0) {
            continue;
        }
        if (Interrupted()) {
            return RunEnd::Interrupted;
        }
        Say(StatusPathOfCheck(check));
        TakeCheck(after, engine_->Recheck(check), check);
    }
    // The last check may be the one the interrupt cut short: what it found does not count.
    if (Interrupted()) {
        return RunEnd::Interrupted;
    }
    repair.Count = CountFixedProblems(listed, Report.Scan, after);
    for (Finding& finding : Report.Findings) {
        finding.Fixed = finding.Problem->Gone(Report.Scan, after);
    }
    Report.Repair = repair;
    return RunEnd::Completed;
}
