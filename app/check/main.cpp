// tonemender-check [--fix] [--json]: the scan (and the repair) of the window, for machines
// without a display and for scripts. The same engine with the same platform, no holds between
// the checks, the same configured texts; the answer is in the exit code (see CheckOptions.h).

#include "CheckOptions.h"
#include "CheckReport.h"
#include "CheckSession.h"
#include "config/Errors.h"
#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "platform/AlsaDiagnostics.h"
#include "platform/Sound.h"

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
volatile std::sig_atomic_t gSignal = 0;
} // namespace

// Only notes the signal: the waiting thread sees it within its poll interval and ends the run
// the orderly way, engine first.
extern "C" {
static void OnTerminationSignal(int signal) {
    gSignal = signal;
}
}

namespace {

// The handler may not take the locks stopping a sound takes; this thread does it for it, at
// once, whichever thread the sound plays on (the scan's worker, or ours in the re-check).
class InterruptWatcher {
public:
    InterruptWatcher()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  if (gSignal != 0) {
                      sndPlaySoundA(nullptr, 0);
                      return;
                  }
                  wake_.wait_for(lock, std::chrono::milliseconds(10));
              }
          }) {}
    ~InterruptWatcher() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// Standard output is where the report goes: a write that fails there is the run failing.
int gWriteError = 0;

void Print(const std::string& text) {
    if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) == EOF) {
        if (gWriteError == 0) {
            gWriteError = errno != 0 ? errno : EIO;
        }
    }
}

void ThrowIfNotWritten() {
    if (gWriteError != 0) {
        throw ProgramError(std::string("cannot write the report: ") + std::strerror(gWriteError));
    }
}

void SayError(std::string_view message, bool json) {
    std::fputs(ErrorText(message, json).c_str(), stderr);
    std::fflush(stderr);
}

std::string ConfiguredText(std::string_view path) {
    return ConfigerInstance().ReadText(path, '#');
}

void LoadConfiguration() {
    TMemoryStream& stream = ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0001", "CFG");
    if (!ConfigerInstance().LoadStream(stream)) {
        throw ProgramError("the embedded configuration cannot be read");
    }
}

int Interrupted(bool json) {
    SayError("interrupted", json);
    return kExitSignalBase + static_cast<int>(gSignal);
}

int Run(const CheckOptions& options) {
    LoadConfiguration();
    CheckHooks hooks;
    if (!options.Json) {
        hooks.Progress = [](const std::string& status) { Print(ConsoleLine(status) + "\n"); };
    }
    hooks.Interrupted = [] { return gSignal != 0; };
    // The mixer posts its change notices to this thread; nobody here listens, but they are
    // delivered rather than left to pile up.
    hooks.Pump = [] { QCoreApplication::processEvents(); };

    CheckReport report;
    TVolumeFixerSettings engine;
    engine.ServiceWait.abandon = [] { return gSignal != 0; };
    CheckSession session(std::make_unique<TOEVolumeFixer>(engine), ConfiguredText, hooks);
    if (session.Scan(report) == RunEnd::Interrupted) {
        return Interrupted(options.Json);
    }
    if (!options.Json) {
        Print("\n" + PlainFindings(report, ConfiguredText));
    }
    if (options.Fix) {
        // The re-check's status lines and the outcome form one block after the findings.
        if (!options.Json && !report.Findings.empty()) {
            Print("\n");
        }
        if (session.Repair(report) == RunEnd::Interrupted) {
            return Interrupted(options.Json);
        }
        if (!options.Json && report.Repair->Performed) {
            Print(PlainRepair(report, ConfiguredText));
        }
    }
    if (options.Json) {
        Print(JsonReport(report, ConfiguredText));
    }
    ThrowIfNotWritten();
    return CheckExitCode(report);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = "tonemender-check";
    const ParsedCheckArguments parsed = ParseCheckArguments(arguments);
    if (!parsed.Options) {
        SayError(parsed.Error, parsed.Json);
        if (!parsed.Json) {
            std::fputs(CheckUsage(program).c_str(), stderr);
        }
        return kExitError;
    }
    const bool json = parsed.Options->Json;
    if (parsed.Options->Help) {
        Print(CheckUsage(program));
        if (gWriteError != 0) {
            SayError(std::string("cannot write the usage: ") + std::strerror(gWriteError), json);
            return kExitError;
        }
        return kExitNothingFound;
    }

    // Qt gets no arguments of ours to interpret.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    // A sound that cannot play or a server that does not answer is a finding, reported in our
    // words; the library's own lines about it would only bury the one-line errors scripts read.
    platform::SilenceAlsaDiagnostics();
    std::signal(SIGINT, OnTerminationSignal);
    std::signal(SIGTERM, OnTerminationSignal);
    InterruptWatcher watcher;
    try {
        return Run(*parsed.Options);
    } catch (const std::exception& e) {
        SayError(e.what(), json);
        return kExitError;
    } catch (...) {
        SayError("an unknown error", json);
        return kExitError;
    }
}
