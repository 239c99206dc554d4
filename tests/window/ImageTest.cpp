// TImage: pictures centred or not, animations that play with their own delays only while
// visible, and the drawing bitmap shown through its transparent colour.

#include "controls/Image.h"

#include "support/WindowTestSupport.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

TGraphicFrame Frame(int side, std::uint32_t argb, int delayMs) {
    return {std::vector<std::uint32_t>(side * side, argb), delayMs};
}

TGraphic Animation(std::vector<int> delays, int loopCount = 0) {
    std::vector<TGraphicFrame> frames;
    std::uint32_t colour = 0xFF100000;
    for (int delay : delays) {
        frames.push_back(Frame(4, colour, delay));
        colour += 0x00200000;
    }
    return TGraphic(4, 4, std::move(frames), loopCount);
}

struct Shown {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TImage* image = new TImage(window.get()); // owned by the window

    Shown() {
        window->resize(100, 100);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, QColor(0, 0, 255));
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        image->setGeometry(10, 10, 40, 40);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    Rgb At(int x, int y) { return PixelAt(window->grab().toImage(), x, y); }
};

// A picture is premultiplied where it was decoded: every width, opaque or not, must keep every
// pixel in place.
TEST(Image, PaintedFramesKeepEveryPixel) {
    for (const int width : {1, 3, 5, 606}) {
        for (const bool opaque : {true, false}) {
            const int height = 7;
            TGraphicFrame frame;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    frame.pixels.push_back(qRgba(x * 7 + y, y * 31, (x ^ y) & 0xFF,
                                                 opaque || x != width / 2 ? 255 : 0));
                }
            }
            const std::vector<std::uint32_t> decoded = frame.pixels;
            const QImage painted = PaintedPicture(TGraphic(width, height, {frame})).frames.at(0).Image();
            SCOPED_TRACE(testing::Message() << width << (opaque ? " opaque" : " see-through"));
            ASSERT_EQ(painted.format(), QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    ASSERT_EQ(painted.pixel(x, y), qPremultiply(decoded[y * width + x]))
                        << x << "," << y;
                }
            }
        }
    }
}

TEST(Image, StillPictureTopLeftOrCentred) {
    Shown s;
    s.image->SetGraphic(TGraphic(4, 4, {Frame(4, 0xFFFF0000, 0)}));
    EXPECT_EQ(s.At(10, 10), (Rgb{255, 0, 0}));
    EXPECT_EQ(s.At(30, 30), (Rgb{0, 0, 255})) << "the rest shows the parent";
    s.image->SetCenter(true);
    EXPECT_EQ(s.At(10, 10), (Rgb{0, 0, 255}));
    EXPECT_EQ(s.At(10 + 18, 10 + 18), (Rgb{255, 0, 0}));
    EXPECT_FALSE(s.image->Animating());
}

TEST(Image, AnimationStepsWithTheFramesOwnDelays) {
    Shown s;
    // The second frame names no delay: it stays the default 100 ms.
    s.image->SetGraphic(Animation({30, 0, 30}));
    ASSERT_TRUE(s.image->Animating());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.image->CurrentFrame() == 1; }, 2000));
    const qint64 firstStep = clock.elapsed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.image->CurrentFrame() == 2; }, 2000));
    const qint64 secondStep = clock.elapsed() - firstStep;
    EXPECT_GE(firstStep, 25);
    EXPECT_GE(secondStep, 90);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.image->CurrentFrame() == 0; }, 2000))
        << "it starts over";
}

TEST(Image, AnimationRunsOnlyWhileVisible) {
    Shown s;
    s.image->SetGraphic(Animation({20, 20, 20}));
    s.image->hide();
    EXPECT_FALSE(s.image->Animating());
    const std::size_t frame = s.image->CurrentFrame();
    QTest::qWait(80);
    EXPECT_EQ(s.image->CurrentFrame(), frame);
    s.image->show();
    EXPECT_TRUE(s.image->Animating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.image->CurrentFrame() != frame; }, 2000));
}

TEST(Image, ALoopCountEndsTheAnimationOnItsLastFrame) {
    Shown s;
    s.image->SetGraphic(Animation({10, 10}, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.image->Animating(); }, 2000));
    EXPECT_EQ(s.image->CurrentFrame(), 1u);
}

TEST(Image, BitmapCanvasIsWhiteAtTheControlsSizeAndTransparentWhereWhite) {
    Shown s;
    TCanvas& canvas = s.image->Canvas();
    EXPECT_EQ(canvas.Width(), 40);
    EXPECT_EQ(canvas.Height(), 40);
    canvas.Brush().Color = clBlack;
    canvas.FillRect({0, 0, 10, 10});
    s.image->update();
    EXPECT_EQ(s.At(12, 12), (Rgb{0, 0, 0}));
    EXPECT_EQ(s.At(30, 30), (Rgb{255, 255, 255})) << "opaque: the white shows";
    s.image->SetTransparent(true);
    EXPECT_EQ(s.At(12, 12), (Rgb{0, 0, 0}));
    EXPECT_EQ(s.At(30, 30), (Rgb{0, 0, 255})) << "transparent: the parent shows through";
    // Drawing again shows on the next paint, and the canvas keeps its font.
    canvas.Font().SetSize(12);
    canvas.FillRect({20, 20, 40, 40});
    s.image->update();
    EXPECT_EQ(s.At(35, 35), (Rgb{0, 0, 0}));
    EXPECT_EQ(s.image->Canvas().Font().Size(), 12);
}

TEST(Image, AGraphicReplacesTheBitmapAndClearEmpties) {
    Shown s;
    s.image->Canvas();
    EXPECT_FALSE(s.image->Empty());
    s.image->SetGraphic(TGraphic(4, 4, {Frame(4, 0xFF00FF00, 0)}));
    EXPECT_TRUE(s.image->Bitmap().isNull());
    s.image->Clear();
    EXPECT_TRUE(s.image->Empty());
    EXPECT_EQ(s.At(12, 12), (Rgb{0, 0, 255}));
}

// A half-transparent pixel blends over the parent; a frame with fewer pixels than its size
// shows the parent where it has none instead of whatever memory lies beyond.
TEST(Image, HalfTransparentAndShortFramesShowTheParent) {
    Shown s;
    TGraphic graphic(4, 4, {TGraphicFrame{std::vector<std::uint32_t>(6, 0x80FF0000), 0}});
    s.image->SetGraphic(std::move(graphic));
    const Rgb blended = s.At(10, 10);
    EXPECT_NEAR(blended.r, 128, 2);
    EXPECT_NEAR(blended.b, 127, 2);
    EXPECT_EQ(s.At(13, 13), (Rgb{0, 0, 255})) << "beyond the frame's six pixels";
}

} // namespace
