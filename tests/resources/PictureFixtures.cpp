#include "PictureFixtures.h"

#include <gif_lib.h>
#include <png.h>
#include <stdexcept>

namespace resources_test {

Bytes MakePng(int width, int height, unsigned format, const void* pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, nullptr)) {
        throw std::runtime_error(image.message);
    }
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, nullptr)) {
        throw std::runtime_error(image.message);
    }
    out.resize(size);
    return out;
}

Bytes MakeRgbaPng(int width, int height, const std::vector<std::uint32_t>& argb) {
    Bytes rgba;
    for (std::uint32_t p : argb) {
        rgba.insert(rgba.end(),
                    {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                     static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 24)});
    }
    return MakePng(width, height, PNG_FORMAT_RGBA, rgba.data());
}

namespace {

int Append(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

void Check(int result, GifFileType* gif) {
    if (result != GIF_OK) {
        throw std::runtime_error(GifErrorString(gif->Error));
    }
}

} // namespace

Bytes MakeGif(int width, int height, const std::vector<std::uint32_t>& palette,
              const std::vector<GifFrameSpec>& frames, int loopCount) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &Append, &error);
    if (gif == nullptr) {
        throw std::runtime_error(GifErrorString(error));
    }
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours;
    for (std::uint32_t c : palette) {
        colours.push_back({static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                           static_cast<GifByteType>(c)});
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    Check(EGifPutScreenDesc(gif, width, height, 8, 0, map), gif);
    if (loopCount >= 0) {
        GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        GifByteType loop[] = {1, static_cast<GifByteType>(loopCount & 0xFF),
                              static_cast<GifByteType>(loopCount >> 8)};
        Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif);
        Check(EGifPutExtensionBlock(gif, sizeof netscape, netscape), gif);
        Check(EGifPutExtensionBlock(gif, sizeof loop, loop), gif);
        Check(EGifPutExtensionTrailer(gif), gif);
    }
    for (const GifFrameSpec& frame : frames) {
        if (frame.withControlBlock) {
            GraphicsControlBlock gcb{frame.disposal, false, frame.delayCentiseconds,
                                     frame.transparent};
            GifByteType block[4];
            std::size_t length = EGifGCBToExtension(&gcb, block);
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block),
                  gif);
        }
        Check(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                               frame.interlaced, nullptr),
              gif);
        auto putRow = [&](int y) {
            std::vector<GifPixelType> row(frame.indices.begin() + y * frame.width,
                                          frame.indices.begin() + (y + 1) * frame.width);
            Check(EGifPutLine(gif, row.data(), frame.width), gif);
        };
        if (frame.interlaced) {
            const int start[] = {0, 4, 2, 1};
            const int step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = start[pass]; y < frame.height; y += step[pass]) {
                    putRow(y);
                }
            }
        } else {
            for (int y = 0; y < frame.height; ++y) {
                putRow(y);
            }
        }
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) {
        throw std::runtime_error(GifErrorString(error));
    }
    return out;
}

} // namespace resources_test
