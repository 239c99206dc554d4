// Decoding pictures: every PNG colour type to 8-bit RGBA with alpha kept, animated GIFs
// composed frame by frame, and clear errors for anything damaged.

#include "graphics/Picture.h"

#include "PictureFixtures.h"
#include "TestFiles.h"
#include "config/Errors.h"
#include "support/Command.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

namespace {

using resources_test::Bytes;
using resources_test::GifFrameLayout;
using resources_test::MakeGif;
using resources_test::MakePng;
using resources_test::MakeRgbaPng;

std::vector<std::uint32_t> PixelsOf(const TGraphic& graphic, std::size_t frame = 0) {
    return graphic.Frame(frame).pixels;
}

TEST(PngDecoder, EveryColourTypeBecomesStraightRgba) {
    const unsigned char grey[] = {0, 128, 255, 7};
    const unsigned char greyAlpha[] = {10, 0, 20, 128, 30, 255, 40, 1};
    const unsigned char rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3};
    const unsigned char rgba[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 9, 8, 7, 1};
    struct Case {
        const char* what;
        unsigned format;
        const void* pixels;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"grey", PNG_FORMAT_GRAY, grey, {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF070707}},
        {"grey and alpha",
         PNG_FORMAT_GA,
         greyAlpha,
         {0x000A0A0A, 0x80141414, 0xFF1E1E1E, 0x01282828}},
        {"rgb", PNG_FORMAT_RGB, rgb, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF010203}},
        {"rgba, alpha kept not premultiplied",
         PNG_FORMAT_RGBA,
         rgba,
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x01090807}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TGraphic graphic = DecodePng(MakePng(2, 2, c.format, c.pixels));
        ASSERT_EQ(graphic.Width(), 2);
        ASSERT_EQ(graphic.Height(), 2);
        ASSERT_EQ(graphic.FrameCount(), 1u);
        EXPECT_EQ(PixelsOf(graphic), c.expected);
    }
}

TEST(PngDecoder, SixteenBitAndPalettePicturesAreConvertedTo8Bit) {
    // Linear 16-bit input: full and zero intensities survive the conversion exactly; of a
    // fully transparent pixel only the alpha means anything.
    const std::uint16_t linear[] = {65535, 0, 0, 65535, 0, 0, 0, 0};
    TGraphic wide = DecodePng(MakePng(2, 1, PNG_FORMAT_LINEAR_RGB_ALPHA, linear));
    EXPECT_EQ(wide.Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(wide.Pixel(1, 0) >> 24, 0u);

    // A palette picture with a transparent entry.
    const unsigned char colourMap[] = {255, 0, 0, 255, 0, 0, 255, 0};
    const unsigned char indices[] = {0, 1, 1, 0};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 2;
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = 2;
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, indices, 0, colourMap));
    Bytes palette(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, palette.data(), &size, 0, indices, 0, colourMap));
    palette.resize(size);
    EXPECT_EQ(PixelsOf(DecodePng(palette)),
              (std::vector<std::uint32_t>{0xFFFF0000, 0x000000FF, 0x000000FF, 0xFFFF0000}));
}

// Rewrites a chunk's CRC after its content was changed, so only the intended damage remains.
void FixCrc(Bytes& png, std::size_t chunkStart) {
    std::uint32_t length = png[chunkStart] << 24 | png[chunkStart + 1] << 16 |
                           png[chunkStart + 2] << 8 | png[chunkStart + 3];
    uLong crc = crc32(0, png.data() + chunkStart + 4, length + 4);
    std::size_t at = chunkStart + 8 + length;
    png[at] = crc >> 24;
    png[at + 1] = crc >> 16;
    png[at + 2] = crc >> 8;
    png[at + 3] = crc;
}

TEST(PngDecoder, DamagedPicturesRaiseClearErrors) {
    const Bytes good = MakeRgbaPng(4, 4, std::vector<std::uint32_t>(16, 0xFF336699));
    ASSERT_NO_THROW(DecodePng(good));
    const std::size_t ihdr = 8; // the first chunk follows the signature

    Bytes badCrc = good;
    badCrc[ihdr + 8] ^= 0x01;
    Bytes huge = good;
    huge[ihdr + 8] = 0x00; // width 0x00FF0004, height kept
    huge[ihdr + 9] = 0xFF;
    FixCrc(huge, ihdr);
    Bytes zeroWide = good;
    zeroWide[ihdr + 8] = zeroWide[ihdr + 9] = zeroWide[ihdr + 10] = zeroWide[ihdr + 11] = 0;
    FixCrc(zeroWide, ihdr);
    Bytes badDepth = good;
    badDepth[ihdr + 16] = 3; // 3-bit RGBA does not exist
    FixCrc(badDepth, ihdr);
    Bytes noImageData = Bytes(good.begin(), good.begin() + 33); // signature and header only
    const Bytes iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    noImageData.insert(noImageData.end(), iend.begin(), iend.end());

    struct Case {
        const char* what;
        Bytes bytes;
        const char* says;
    };
    const Case cases[] = {
        {"empty", {}, "empty"},
        {"not a PNG", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, "signature"},
        {"signature only", Bytes(good.begin(), good.begin() + 8), "damaged"},
        {"cut in half", Bytes(good.begin(), good.begin() + good.size() / 2), "damaged"},
        {"header checksum wrong", badCrc, "damaged"},
        {"absurd width", huge, "damaged"},
        {"zero width", zeroWide, "damaged"},
        {"impossible bit depth", badDepth, "damaged"},
        {"no image data", noImageData, "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            DecodePng(c.bytes);
            ADD_FAILURE() << "no error";
        } catch (const PictureError& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
    }
}

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TEST(GifDecoder, FramesAreComposedWithDelayDisposalAndTransparency) {
    // A 4 x 1 screen. Frame 0 paints all red and is kept; frame 1 lays green over x 1..2 with
    // its index 3 transparent at x 2, then is cleared; frame 2 lays blue on x 3 and is undone;
    // frame 3 only paints x 0 white.
    const std::vector<GifFrameLayout> frames = {
        {0, 0, 4, 1, {0, 0, 0, 0}, 10, 1},
        {1, 0, 2, 1, {1, 3}, 20, 2, 3},
        {3, 0, 1, 1, {2}, 0, 3},
        {0, 0, 1, 1, {3}, 5, 1},
    };
    TGraphic gif = DecodeGif(MakeGif(4, 1, {kRed, kGreen, kBlue, kWhite}, frames, 0));
    ASSERT_EQ(gif.FrameCount(), 4u);
    EXPECT_TRUE(gif.Animated());
    EXPECT_EQ(gif.LoopCount(), 0);
    const std::uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, T = 0;
    const std::vector<std::uint32_t> expected[] = {
        {R, R, R, R},
        {R, G, R, R},
        {R, T, T, B}, // frame 1 was disposed to transparent
        {W, T, T, R}, // frame 2 was undone, frame 1's clearing stays
    };
    const int delays[] = {100, 200, 0, 50};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(PixelsOf(gif, i), expected[i]);
        EXPECT_EQ(gif.Frame(i).delayMs, delays[i]);
    }
}

TEST(GifDecoder, InterlacedAndOffScreenFramesLandWhereTheyBelong) {
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < 10; ++y) {
        rows.push_back(static_cast<std::uint8_t>(y % 4));
    }
    GifFrameLayout interlaced{0, 0, 1, 10, rows};
    interlaced.interlaced = true;
    TGraphic gif = DecodeGif(MakeGif(1, 10, {kRed, kGreen, kBlue, kWhite}, {interlaced}));
    const std::uint32_t colour[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(gif.Pixel(0, y), colour[y % 4]) << "row " << y;
    }

    // A frame reaching past the screen is cut at its edge; a still GIF has no animation.
    TGraphic clipped =
        DecodeGif(MakeGif(2, 2, {kRed, kGreen}, {{1, 1, 3, 3, std::vector<std::uint8_t>(9, 1)}}));
    EXPECT_FALSE(clipped.Animated());
    EXPECT_EQ(PixelsOf(clipped), (std::vector<std::uint32_t>{0, 0, 0, 0xFF00FF00}));
}

TEST(GifDecoder, DamagedPicturesRaiseClearErrors) {
    const Bytes good = MakeGif(2, 2, {kRed, kGreen}, {{0, 0, 2, 2, {0, 1, 1, 0}, 10, 1}});
    ASSERT_NO_THROW(DecodeGif(good));
    Bytes noScreen = good;
    noScreen[6] = noScreen[7] = noScreen[8] = noScreen[9] = 0;
    Bytes noColours = good;
    noColours[10] &= 0x7F; // no global table, and the frame has none either
    Bytes onlyTrailer = Bytes(good.begin(), good.begin() + 13 + 6);
    onlyTrailer.push_back(0x3B);

    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"not a GIF", Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 0, 0}},
        {"signature only", Bytes{'G', 'I', 'F', '8', '9', 'a'}},
        {"cut inside the image", Bytes(good.begin(), good.end() - 6)},
        {"no trailer", Bytes(good.begin(), good.end() - 1)},
        {"zero-sized screen", noScreen},
        {"no colour table", noColours},
        {"no image at all", onlyTrailer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(DecodeGif(c.bytes), PictureError);
    }
}

TEST(PictureFiles, TheDecoderIsChosenByTheExtensionWhateverItsCase) {
    testing_support::ScratchDir scratch("tm-pictures");
    const Bytes png = MakeRgbaPng(1, 1, {0xFF123456});
    const Bytes gif = MakeGif(1, 1, {kRed, kGreen}, {{0, 0, 1, 1, {1}}});
    struct Case {
        const char* name;
        const Bytes* content;
        std::uint32_t pixel; // 0 when an error is expected
    };
    const Case cases[] = {
        {"a.tmp.PNG", &png, 0xFF123456},
        {"b.png", &png, 0xFF123456},
        {"c.tmp.GIF", &gif, 0xFF00FF00},
        {"d.gIf", &gif, 0xFF00FF00},
        {"e.tmp.GIF", &png, 0},
        {"f.tmp.BMP", &png, 0},
        {"g.tmp", &png, 0},
        {"h", &png, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = scratch.Path() + "/" + c.name;
        resources_test::WriteBytes(path, *c.content);
        if (c.pixel != 0) {
            EXPECT_EQ(LoadGraphicFromFile(path).Pixel(0, 0), c.pixel);
        } else {
            EXPECT_THROW(LoadGraphicFromFile(path), PictureError);
        }
    }
    try {
        LoadGraphicFromFile(scratch.Path() + "/f.tmp.BMP");
    } catch (const PictureError& error) {
        EXPECT_STREQ(error.what(), "Unknown picture file extension (.bmp)");
    }
}

TEST(PictureHolder, ACopyOutlivesTheNextLoad) {
    testing_support::ScratchDir scratch("tm-pictures");
    resources_test::WriteBytes(scratch.Path() + "/1.png", MakeRgbaPng(1, 1, {0xFF0000FF}));
    resources_test::WriteBytes(scratch.Path() + "/2.png", MakeRgbaPng(2, 1, {0xFFFF0000, 0}));
    TPicture picture;
    picture.LoadFromFile(scratch.Path() + "/1.png");
    TGraphic copy = picture.Graphic();
    picture.LoadFromFile(scratch.Path() + "/2.png");
    EXPECT_EQ(picture.Graphic().Width(), 2);
    EXPECT_EQ(copy.Width(), 1);
    EXPECT_EQ(copy.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_THROW(picture.LoadFromFile(scratch.Path() + "/missing.png"), PictureError);
    EXPECT_TRUE(picture.Graphic().Empty()) << "a failed load leaves no stale picture";
}

} // namespace
