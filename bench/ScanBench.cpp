// What a scan costs beyond the time it is meant to take: the main window (offscreen, shown)
// scans with every real backend against a PulseAudio daemon of our own, with the window's own
// holds after each check's result. The clock runs from the click on the start button until
// the report page comes up; the holds the worker was given and the test sound's own length
// are taken off, and what remains is the checks, the window's work and every hand-over
// between the two threads.
//
//   bench_scan [--scans N]
//
// The sink is muted at 20 %, so every scan lists the same two problems, and kept busy by a
// silent stream, as a desktop's sink is (an idle null sink lets a new stream wait up to 2 s
// before it plays at all). The first scan is reported apart: it is the one that may build the
// device library's driver data, when the machine has audio devices and a module alias table.

#include "BenchPulse.h"
#include "app/Application.h"
#include "app/MessageBox.h"
#include "app/ScanFlow.h"
#include "app/uMain.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/PNGExtra.h"
#include "platform/ModuleResources.h"
#include "platform/Sound.h"
#include "platform/WaveFile.h"
#include "support/BusySink.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::chrono::milliseconds ChimeLength() {
    HMODULE own = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(own, platform::kChimeResourceName, platform::kChimeResourceType);
    if (resource == nullptr) {
        return 0ms;
    }
    auto sound = platform::ParseWave(
        static_cast<const unsigned char*>(LockResource(LoadResource(own, resource))),
        SizeofResource(own, resource));
    return sound ? sound->Length() : 0ms;
}

double Ms(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

struct ScanTiming {
    bool ok = false;
    std::string error;
    double tookMs = 0;
    int holds = 0;
};

class ScanRunner {
public:
    explicit ScanRunner(TOEM_FORM& form) : form_(form) {
        // Counts the holds the window gives the worker, by the window's own rule for them.
        TStateChange window = form_.Engine->OnStateChange;
        form_.Engine->OnStateChange = [this, window](DWORD code, TSCANRESULT* result) {
            TScanFlowState scratch;
            if (ApplyNotification(scratch, code, nullptr, [](const std::string&) {
                    return std::string();
                }).HoldsWorker) {
                ++holds_;
            }
            window(code, result);
        };
        form_.OnPreparePage = [this](SmallInt page) {
            if (page == kReportPage && !reportShown_) {
                reportShown_ = Clock::now();
            }
        };
    }

    ScanTiming Scan() {
        ScanTiming timing;
        holds_ = 0;
        reportShown_.reset();
        const auto started = Clock::now();
        form_.XBtnClick(form_.OEM_FORM_TAB_0_TTS_0_BTN_0);
        const bool ended = WaitFor([&] {
            return reportShown_.has_value() && form_.Engine->Idle &&
                   form_.OEM_FORM_TAB_0->ActivePageIndex() != kScanningPage;
        });
        if (!ended) {
            timing.error = "the scan did not end within 120 s";
            return timing;
        }
        if (form_.Engine->ScanResult.SoundPlayed != -1) {
            timing.error = "the test sound did not play";
            return timing;
        }
        timing.tookMs = Ms(*reportShown_ - started);
        timing.holds = holds_;
        timing.ok = true;
        return timing;
    }

private:
    template <typename Done> static bool WaitFor(Done done) {
        const auto deadline = Clock::now() + 120s;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done() || Clock::now() >= deadline) {
                loop.quit();
            }
        });
        poll.start(5);
        loop.exec();
        return done();
    }

    TOEM_FORM& form_;
    std::atomic<int> holds_{0};
    std::optional<Clock::time_point> reportShown_;
};

std::optional<int> ParseScans(int argc, char** argv) {
    int scans = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scans" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || value < 1 || value > 50) {
                return std::nullopt;
            }
            scans = static_cast<int>(value);
        } else {
            return std::nullopt;
        }
    }
    return scans;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<int> scans = ParseScans(argc, argv);
    if (!scans) {
        std::fprintf(stderr, "usage: bench_scan [--scans N]\n");
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // What the window unpacks (pictures, the registry script) lands in the benchmark's folder.
    BenchPulse pulse("bench_scan");
    if (!pulse.Ready()) {
        return 2;
    }
    testing_support::PrivatePulse& daemon = pulse.Daemon();
    if (daemon.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode != 0 ||
        daemon.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode != 0) {
        std::fprintf(stderr, "bench_scan: pactl cannot set the sink\n");
        return 2;
    }
    testing_support::BusySink busy(daemon);
    if (!busy.Settled()) {
        std::fprintf(stderr, "bench_scan: the sink's latency did not come down\n");
        return 2;
    }

    int qtArgc = 1;
    char name[] = "bench_scan";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);
    InitialiseApplication();
    // The report's rows are there, so no box should open; one that does is answered.
    SetMessageBoxAnswerer([](const std::string& text, const std::string&, UINT) {
        std::fprintf(stderr, "bench_scan: message box: %s\n", text.c_str());
        return IDOK;
    });

    const TFormSettings settings; // the product's holds
    auto form = std::make_unique<TOEM_FORM>(settings);
    form->show();
    QApplication::processEvents();
    ScanRunner runner(*form);

    const double sound = static_cast<double>(ChimeLength().count());
    const double hold = static_cast<double>(settings.HoldSpan.count());
    std::printf("test sound %.0f ms, hold %.0f ms after each result\n", sound, hold);
    std::vector<double> beyond;
    std::optional<double> first;
    int failures = 0;
    for (int i = 0; i <= *scans; ++i) {
        const ScanTiming timing = runner.Scan();
        if (!timing.ok) {
            std::printf("scan %d failed: %s\n", i, timing.error.c_str());
            ++failures;
            continue;
        }
        const double over = timing.tookMs - timing.holds * hold - sound;
        std::printf("scan %d%s took_ms=%.1f holds=%d beyond_ms=%.1f\n", i, i == 0 ? " (first)" : "",
                    timing.tookMs, timing.holds, over);
        std::fflush(stdout);
        if (i == 0) {
            first = over;
        } else {
            beyond.push_back(over);
        }
    }
    form.reset();
    SetMessageBoxAnswerer({});

    if (beyond.empty()) {
        std::fprintf(stderr, "bench_scan: no scan was measured\n");
        return 1;
    }
    std::sort(beyond.begin(), beyond.end());
    const std::size_t mid = beyond.size() / 2;
    const double median =
        beyond.size() % 2 != 0 ? beyond[mid] : (beyond[mid - 1] + beyond[mid]) / 2;
    std::printf("scan_beyond_ms median=%.1f min=%.1f max=%.1f scans=%zu first=%s\n", median,
                beyond.front(), beyond.back(), beyond.size(),
                first ? std::to_string(*first).c_str() : "failed");
    return failures == 0 ? 0 : 1;
}
