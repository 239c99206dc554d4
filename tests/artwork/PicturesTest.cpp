// The pictures decode as the program's PNG and GIF decoders expect, and the artwork keeps the
// places where the program draws its own texts and controls clear.
#include "ResourceFiles.h"

#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace artwork_test;

namespace {

struct PictureSize {
    const char* file;
    int width;
    int height;
};

const PictureSize kPictures[] = {
    {"PNG_0001.PNG", 606, 475}, {"PNG_0101.PNG", 592, 400}, {"PNG_0201.PNG", 592, 400},
    {"PNG_0301.PNG", 592, 400}, {"PNG_0102.PNG", 562, 2},   {"PNG_0110.PNG", 300, 54},
    {"PNG_0111.PNG", 135, 34},  {"ICO_10.PNG", 32, 32},     {"ICO_11.PNG", 32, 32},
    {"ICO_12.PNG", 32, 32},     {"ICO_13.PNG", 32, 32},     {"ICO_20.PNG", 32, 32},
    {"ICO_21.PNG", 32, 32},     {"ICO_22.PNG", 32, 32},     {"ICO_23.PNG", 32, 32},
};

QImage Decode(const std::string& file) {
    const Bytes bytes = ReadResource(file);
    QImage image;
    image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
    return image.convertToFormat(QImage::Format_ARGB32);
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

} // namespace

TEST(Pictures, EveryPngIsEightBitRgbaNonInterlacedAtItsSize) {
    static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const PictureSize& p : kPictures) {
        SCOPED_TRACE(p.file);
        const Bytes bytes = ReadResource(p.file);
        ASSERT_GE(bytes.size(), 33u);
        ASSERT_EQ(std::memcmp(bytes.data(), kSignature, 8), 0);
        ASSERT_EQ(std::memcmp(bytes.data() + 12, "IHDR", 4), 0);
        EXPECT_EQ(Be32(bytes, 16), static_cast<std::uint32_t>(p.width));
        EXPECT_EQ(Be32(bytes, 20), static_cast<std::uint32_t>(p.height));
        EXPECT_EQ(bytes[24], 8) << "bit depth";
        EXPECT_EQ(bytes[25], 6) << "colour type RGBA";
        EXPECT_EQ(bytes[28], 0) << "interlace";

        const QImage image = Decode(p.file);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(p.width, p.height));
    }
}

TEST(Pictures, BackgroundsAreFullyOpaque) {
    // The window and page pictures are drawn over nothing in particular; a hole would show
    // whatever lies beneath.
    for (const char* file : {"PNG_0001.PNG", "PNG_0101.PNG", "PNG_0201.PNG", "PNG_0301.PNG"}) {
        SCOPED_TRACE(file);
        const QImage image = Decode(file);
        int holes = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                holes += qAlpha(image.pixel(x, y)) != 255;
            }
        }
        EXPECT_EQ(holes, 0);
    }
}

TEST(Pictures, ButtonsAndIconsFadeOutBeforeTheirEdgesAndHaveSolidCentres) {
    // Buttons and icons are drawn over the page with their alpha. A shadow or edge that still
    // has weight at the outermost pixels is visibly cut off there.
    for (const PictureSize& p : kPictures) {
        const std::string name = p.file;
        if (name.rfind("ICO_", 0) != 0 && name != "PNG_0110.PNG" && name != "PNG_0111.PNG") {
            continue;
        }
        SCOPED_TRACE(p.file);
        const QImage image = Decode(p.file);
        int heaviest = 0;
        for (int x = 0; x < p.width; ++x) {
            heaviest = std::max(
                {heaviest, qAlpha(image.pixel(x, 0)), qAlpha(image.pixel(x, p.height - 1))});
        }
        for (int y = 0; y < p.height; ++y) {
            heaviest = std::max(
                {heaviest, qAlpha(image.pixel(0, y)), qAlpha(image.pixel(p.width - 1, y))});
        }
        EXPECT_LE(heaviest, 12);
        EXPECT_EQ(qAlpha(image.pixel(p.width / 2, p.height / 2)), 255);
    }
}

TEST(Pictures, PageTextAreasStayWhite) {
    // The program draws page texts onto white glyph cells that count as transparent; anything
    // but white under them would show a pale box around every word. Page coordinates; the
    // 592-wide picture is centred on the 594-wide page, one pixel in.
    struct Area {
        const char* file;
        QRect pageRect;
    };
    const Area areas[] = {
        {"PNG_0101.PNG", {17, 20, 200, 18}},  // title
        {"PNG_0101.PNG", {19, 62, 420, 14}},  // line under the separator
        {"PNG_0101.PNG", {19, 250, 171, 20}}, // the three column headings
        {"PNG_0101.PNG", {211, 250, 174, 20}},
        {"PNG_0101.PNG", {406, 250, 171, 20}},
        {"PNG_0101.PNG", {27, 278, 163, 49}}, // the three paragraphs
        {"PNG_0101.PNG", {219, 278, 166, 50}},
        {"PNG_0101.PNG", {414, 278, 163, 50}},
        {"PNG_0101.PNG", {219, 339, 158, 32}}, // version label
        {"PNG_0101.PNG", {414, 339, 155, 13}}, // support link
        {"PNG_0201.PNG", {17, 20, 200, 18}},
        {"PNG_0201.PNG", {18, 46, 420, 14}},
        {"PNG_0301.PNG", {17, 20, 220, 18}},
        {"PNG_0301.PNG", {24, 55, 200, 14}}, // "Problems found" heading
    };
    for (const Area& area : areas) {
        SCOPED_TRACE(std::string(area.file) + " at " + std::to_string(area.pageRect.x()) + "," +
                     std::to_string(area.pageRect.y()));
        const QImage image = Decode(area.file);
        const QRect r = area.pageRect.translated(-1, 0);
        int tinted = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = image.pixel(x, y);
                tinted += qRed(c) < 240 || qGreen(c) < 240 || qBlue(c) < 240;
            }
        }
        EXPECT_EQ(tinted, 0);
    }
}

namespace {

struct GifInput {
    const Bytes* bytes;
    std::size_t at = 0;
};

int ReadFromBytes(GifFileType* gif, GifByteType* out, int length) {
    auto* in = static_cast<GifInput*>(gif->UserData);
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(length), in->bytes->size() - in->at);
    std::memcpy(out, in->bytes->data() + in->at, n);
    in->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

} // namespace

TEST(BusyAnimation, IsALoopingTransparentGif89aOfTwelveDistinctFrames) {
    const Bytes bytes = ReadResource("GIF_10.GIF");
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");

    GifInput input{&bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, ReadFromBytes, &error));
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif.get()), GIF_OK) << GifErrorString(gif->Error);
    EXPECT_EQ(gif->SWidth, 16);
    EXPECT_EQ(gif->SHeight, 16);
    ASSERT_EQ(gif->ImageCount, 12);

    bool loops = false;
    const SavedImage& first = gif->SavedImages[0];
    for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
        const ExtensionBlock& block = first.ExtensionBlocks[i];
        if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
            std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
            const ExtensionBlock& data = first.ExtensionBlocks[i + 1];
            loops = data.ByteCount == 3 && data.Bytes[0] == 1;
        }
    }
    EXPECT_TRUE(loops) << "no NETSCAPE2.0 loop extension";

    std::set<std::vector<GifByteType>> distinct;
    for (int f = 0; f < gif->ImageCount; ++f) {
        SCOPED_TRACE("frame " + std::to_string(f));
        const SavedImage& frame = gif->SavedImages[f];
        GraphicsControlBlock control{};
        ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), f, &control), GIF_OK);
        EXPECT_EQ(control.DisposalMode, DISPOSE_BACKGROUND);
        EXPECT_GE(control.DelayTime, 5);
        EXPECT_LE(control.DelayTime, 12);
        ASSERT_GE(control.TransparentColor, 0);
        ASSERT_EQ(frame.ImageDesc.Width, 16);
        ASSERT_EQ(frame.ImageDesc.Height, 16);

        std::vector<GifByteType> pixels(frame.RasterBits, frame.RasterBits + 256);
        int clear = 0;
        for (GifByteType px : pixels) {
            clear += px == control.TransparentColor;
        }
        // A ring: transparent inside and around it, drawn where it runs.
        EXPECT_GT(clear, 64);
        EXPECT_LT(clear, 224);
        distinct.insert(pixels);
    }
    EXPECT_EQ(distinct.size(), 12u) << "frames repeat, so the animation would stutter";
}
