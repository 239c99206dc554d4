// Text drawn from the renderer's kept glyphs looks exactly as text drawn the first time, also
// after the caches had to start over, and from several threads at once.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

QImage Draw(int height, TFontQuality quality, const char* face = "Tahoma") {
    QImage surface = resources_test::WhiteSurface(220, 60);
    TCanvas canvas(surface);
    canvas.Font().SetName(face);
    canvas.Font().SetHeight(height);
    canvas.Font().SetStyle(fsBold | fsUnderline);
    canvas.Font().SetQuality(quality);
    canvas.Font().SetColor(0x204080);
    canvas.SetBkMode(TRANSPARENT);
    canvas.TextOut(3, 4, "Fix \xe2\x82\xac & Wg");
    return surface;
}

TEST(TextCache, KeptGlyphsDrawTheSamePixelsAsFreshOnes) {
    const TFontQuality qualities[] = {TFontQuality::fqDefault, TFontQuality::fqClearType,
                                      TFontQuality::fqNonAntialiased};
    // A face and size no other test uses, so the first draw here renders every glyph anew.
    std::vector<QImage> first;
    for (TFontQuality quality : qualities) {
        first.push_back(Draw(-17, quality, "DejaVu Sans Mono"));
        EXPECT_TRUE(resources_test::InkOf(first.back(), 0xFFFFFFFF).Any());
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(Draw(-17, qualities[i], "DejaVu Sans Mono"), first[i]) << "quality " << i;
    }
    // Enough other sizes, some of them large, that the caches have to start over.
    for (int height = -8; height >= -160; height -= 2) {
        Draw(height, TFontQuality::fqClearType);
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(Draw(-17, qualities[i], "DejaVu Sans Mono"), first[i])
            << "after the caches started over, quality " << i;
    }
}

TEST(TextCache, ThreadsDrawingAtOnceGetTheSamePixels) {
    const QImage expected = Draw(-13, TFontQuality::fqClearType);
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                // Other sizes in between make the threads load and evict as well as read.
                Draw(-9 - static_cast<int>(t) - i % 7, TFontQuality::fqDefault);
                if (Draw(-13, TFontQuality::fqClearType) != expected) {
                    ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

} // namespace
