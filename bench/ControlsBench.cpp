// What one frame of the scanning page's progress bar and one face of its Cancel button cost.
// The marquee redraws the bar every 25 ms, so its frame should stay far below that.

#include "controls/ButtonPainter.h"
#include "controls/ProgressBarPainter.h"

#include <benchmark/benchmark.h>

namespace {

ProgressBarLook ScanningBar() {
    ProgressBarLook look;
    look.Max = 12;
    look.Color = clLime;
    look.MarqueeSize = 40;
    look.MarqueeFade = 30;
    return look;
}

void BM_ProgressBarPosition(benchmark::State& state) {
    ProgressBarLook look = ScanningBar();
    look.Position = 7;
    QImage frame;
    for (auto _ : state) {
        ComposeProgressBar(frame, 558, 15, look);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_ProgressBarPosition);

void BM_ProgressBarMarquee(benchmark::State& state) {
    ProgressBarLook look = ScanningBar();
    look.Marquee = true;
    QImage frame;
    int step = 0;
    for (auto _ : state) {
        look.MarqueeStep = step % 140 + 1; // the whole cycle, as the timer walks it
        ++step;
        ComposeProgressBar(frame, 558, 15, look);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_ProgressBarMarquee);

void ButtonFaceBench(benchmark::State& state, const char* caption) {
    ButtonFace face;
    face.Colours = &ButtonColours(true, TButtonState::Hot);
    face.Gradient = true;
    face.SplitSpace = 17;
    face.Caption = caption;
    face.FocusDots = true;
    QImage surface;
    for (auto _ : state) {
        ComposeButtonFace(surface, 116, 34, face);
        benchmark::DoNotOptimize(surface.constBits());
    }
}

void BM_ButtonFace(benchmark::State& state) {
    ButtonFaceBench(state, "Cancel");
}
BENCHMARK(BM_ButtonFace);

// The same without text, to tell the face's own drawing from the caption's.
void BM_ButtonFaceNoCaption(benchmark::State& state) {
    ButtonFaceBench(state, "");
}
BENCHMARK(BM_ButtonFaceNoCaption);

} // namespace

BENCHMARK_MAIN();
