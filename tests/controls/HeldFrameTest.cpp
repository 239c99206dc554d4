// THeldFrame: a page-sized picture held as runs must show every pixel it was given, painted whole
// or a part at a time, and a picture that runs would not shrink is held as it came.

#include "controls/HeldFrame.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Rows of one colour, with a band of pixels that all differ, runs just short of and just at the
// length worth a span, a see-through patch and a run that reaches the row's end.
std::vector<std::uint32_t> PagePixels(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = 0xFFF0F4FA;
            if (y % 9 == 4) {
                pixel = qRgba(x * 7 + y, y * 31, (x ^ y) & 0xFF, 255);
            } else if (x < 7) {
                pixel = 0xFF102030 + static_cast<std::uint32_t>(y % 2);
            } else if (x >= 7 && x < 15) {
                pixel = 0xFF405060;
            } else if (x > 40 && x < 60 && y > 20 && y < 30) {
                pixel = qRgba(200, 100, 50, x * 12);
            } else if (x >= width - 9) {
                pixel = 0xFF0000FF;
            }
            pixels.push_back(pixel);
        }
    }
    return pixels;
}

QImage Premultiplied(const std::vector<std::uint32_t>& pixels, int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qPremultiply(pixels[static_cast<std::size_t>(y) * width + x]));
        }
    }
    return image;
}

TEST(HeldFrame, KeepsEveryPixelPackedOrPlain) {
    struct Case {
        const char* name;
        int width, height;
        bool noise; // every pixel differs: not worth packing
        bool packed;
    };
    for (const Case& c : {Case{"page", 606, 64, false, true}, Case{"noise", 300, 60, true, false},
                          Case{"small", 40, 30, false, false}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> pixels = PagePixels(c.width, c.height);
        if (c.noise) {
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
            }
        }
        const QImage expected = Premultiplied(pixels, c.width, c.height);
        // Packed as it is made, or held plain first and packed later.
        THeldFrame frame(c.width, c.height, std::vector<std::uint32_t>(pixels));
        THeldFrame later(c.width, c.height, std::move(pixels), false);
        EXPECT_FALSE(later.Packed());
        EXPECT_EQ(later.Image(), expected);
        later.Pack();
        for (const THeldFrame* held : {&frame, &later}) {
            EXPECT_EQ(held->Packed(), c.packed);
            if (c.packed) {
                EXPECT_LT(held->HeldBytes(), static_cast<std::size_t>(expected.sizeInBytes()) / 4);
            }
            EXPECT_EQ(held->Image(), expected);
        }
    }
    // Short of pixels: transparent where it has none.
    THeldFrame shortFrame(200, 100, std::vector<std::uint32_t>(200 * 99, 0xFF112233));
    ASSERT_TRUE(shortFrame.Packed());
    EXPECT_EQ(shortFrame.Image().pixel(5, 98), 0xFF112233u);
    EXPECT_EQ(shortFrame.Image().pixel(5, 99), 0u);
}

// Painted through any window - across strips, cut at either side, partly outside the frame -
// a packed frame shows what drawing the whole picture clipped to that window shows.
TEST(HeldFrame, PaintsAnyPartAsTheWholePictureWould) {
    const int width = 606;
    const int height = 70;
    std::vector<std::uint32_t> pixels = PagePixels(width, height);
    const QImage whole = Premultiplied(pixels, width, height);
    const THeldFrame frame(width, height, std::move(pixels));
    ASSERT_TRUE(frame.Packed());
    const QPoint origin(5, 3);
    for (const QRect& exposed : {QRect(0, 0, 620, 80), QRect(50, 10, 1, 1), QRect(7, 18, 300, 33),
                                 QRect(590, 60, 40, 40), QRect(-10, -10, 30, 30)}) {
        SCOPED_TRACE(testing::Message() << exposed.x() << "," << exposed.y() << " "
                                        << exposed.width() << "x" << exposed.height());
        QImage painted(620, 80, QImage::Format_ARGB32_Premultiplied);
        QImage expected = painted;
        painted.fill(0xFF336699);
        expected.fill(0xFF336699);
        {
            QPainter painter(&painted);
            frame.Paint(painter, origin, exposed);
        }
        {
            QPainter painter(&expected);
            painter.setClipRect(exposed);
            painter.drawImage(origin, whole);
        }
        EXPECT_EQ(painted, expected);
    }
}

} // namespace
