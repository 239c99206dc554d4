// What preparing each of the main window's pages costs: what runs each time a page becomes the
// active one (its captions, its drawn items, the report's heading), on a shown window with the
// shipped configuration. The report page is prepared with the two rows a muted, quiet sink
// gives - a report without rows would open the "works fine" box, which waits for the user.
// The scanning page's first preparation also gives the later pages' pictures and the report's
// icons to their controls; it is measured on a fresh window each time.

#include "BenchPulse.h"
#include "app/Application.h"
#include "app/ConfigText.h"
#include "app/MessageBox.h"
#include "app/uMain.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"
#include "engine/ProblemCatalogue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

std::atomic<int> unexpectedBoxes{0};

// As on the screen: shown and painted, idle on the welcome page.
void ShowForBench(TOEM_FORM& form) {
    form.show();
    QApplication::processEvents();
}

void AddFoundRows(TOEM_FORM& form) {
    for (std::int32_t key : {2, 1}) {
        const TProblemEntry* problem = ProblemByOrderKey(key);
        if (problem == nullptr) {
            continue;
        }
        AddResultRow(*form.OEM_FORM_TAB_0_TTS_2_VDT_0, 0, ReadConfigText(problem->TitlePath), 0,
                     nullptr, ReadConfigText(problem->DescriptionPath),
                     ReadConfigText(problem->StatusPath), ReadConfigText(problem->OutcomePath));
    }
}

// Made on first use, gone before the application object is.
std::unique_ptr<TOEM_FORM> sharedForm;

TOEM_FORM& SharedForm() {
    if (!sharedForm) {
        sharedForm = std::make_unique<TOEM_FORM>();
        ShowForBench(*sharedForm);
        // The scanning page once, so its report icons are in place as in any later scan.
        sharedForm->ShowPage(kScanningPage);
        AddFoundRows(*sharedForm);
    }
    return *sharedForm;
}

void BM_PreparePage(benchmark::State& state) {
    TOEM_FORM& form = SharedForm();
    const auto page = static_cast<SmallInt>(state.range(0));
    form.ShowPage(page);
    QApplication::processEvents();
    const int boxesBefore = unexpectedBoxes.load();
    // Each time through the page container, as a click does: the page's overlay is made afresh
    // from the rows it kept, drawn, and let go of again down to those rows.
    for (auto _ : state) {
        form.OEM_FORM_TAB_0->SetActivePageIndex(page);
    }
    if (unexpectedBoxes.load() != boxesBefore) {
        state.SkipWithError("a message box opened while preparing the page");
    }
    // The repaints the preparation scheduled are the window's next paint, not part of this.
    QApplication::processEvents();
}
BENCHMARK(BM_PreparePage)
    ->ArgName("page")
    ->Arg(kWelcomePage)
    ->Arg(kScanningPage)
    ->Arg(kReportPage)
    ->Unit(benchmark::kMicrosecond);

// A person's click on Start comes a few hundred milliseconds after the window appears at the
// earliest; the window idles that long first (arg: the milliseconds). With no idle at all, the
// pictures the window decodes once its first frame is up are not ready yet.
void BM_PrepareScanningPageFirstTime(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TOEM_FORM>();
        ShowForBench(*form);
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < state.range(0)) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        state.ResumeTiming();
        form->OEM_FORM_TAB_0->SetActivePageIndex(kScanningPage);
        state.PauseTiming();
        form.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PrepareScanningPageFirstTime)
    ->ArgName("idle_ms")
    ->Arg(300)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The window's engine opens the mixer: against a sound server of our own.
    BenchPulse pulse("bench_pages");
    if (!pulse.Ready()) {
        return 2;
    }

    int qtArgc = 1;
    char name[] = "bench_pages";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);
    InitialiseApplication();
    SetMessageBoxAnswerer([](const std::string&, const std::string&, UINT) {
        ++unexpectedBoxes;
        return IDOK;
    });

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sharedForm.reset();
    SetMessageBoxAnswerer({});
    return 0;
}
