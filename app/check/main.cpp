// tonemender-check [--fix] [--json]: the scan (and the repair) of the window, for machines
// without a display and for scripts. The same engine with the same platform, no holds between
// the checks, the same configured texts; the answer is in the exit code (see CheckOptions.h).

#include "CheckOptions.h"
#include "CheckReport.h"
#include "CheckSession.h"
#include "config/Errors.h"
#include "config/OEUnitConfig.h"
#include "config/OEUnitResource.h"
#include "platform/AlsaDiagnostics.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
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

void Print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
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

int Interrupted() {
    std::fputs("tonemender-check: interrupted\n", stderr);
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
    CheckSession session(std::make_unique<TOEVolumeFixer>(), ConfiguredText, hooks);
    if (session.Scan(report) == RunEnd::Interrupted) {
        return Interrupted();
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
            return Interrupted();
        }
        if (!options.Json && report.Repair->Performed) {
            Print(PlainRepair(report, ConfiguredText));
        }
    }
    if (options.Json) {
        Print(JsonReport(report, ConfiguredText));
    }
    return CheckExitCode(report);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = "tonemender-check";
    const ParsedCheckArguments parsed = ParseCheckArguments(arguments);
    if (!parsed.Options) {
        std::fprintf(stderr, "tonemender-check: %s\n%s", parsed.Error.c_str(),
                     CheckUsage(program).c_str());
        return kExitError;
    }
    if (parsed.Options->Help) {
        Print(CheckUsage(program));
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
    try {
        return Run(*parsed.Options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonemender-check: %s\n", e.what());
        return kExitError;
    } catch (...) {
        std::fprintf(stderr, "tonemender-check: an unknown error\n");
        return kExitError;
    }
}
