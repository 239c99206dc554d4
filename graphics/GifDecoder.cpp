// GIF pictures through giflib, every frame composed the way browsers show an animated GIF89a:
// the screen starts transparent, each frame is laid over what the one before left (its
// transparent index letting that show through), then disposed of as its control block says.
// The frames are read one by one so that a damaged size is refused before anything large is
// allocated.

#include "config/Errors.h"
#include "graphics/Picture.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>

namespace {

// Composed frames all together; an animation needs far less, a damaged file may claim more.
constexpr std::int64_t kMaxComposedPixels = 2 * kMaxPicturePixels;

struct MemoryReader {
    std::span<const unsigned char> bytes;
    std::size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (wanted <= 0) {
        return 0;
    }
    std::size_t count =
        std::min(static_cast<std::size_t>(wanted), reader->bytes.size() - reader->position);
    std::memcpy(out, reader->bytes.data() + reader->position, count);
    reader->position += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void Damaged(int error) {
    const char* reason = GifErrorString(error);
    throw PictureError(std::string("The GIF picture is damaged: ") +
                       (reason != nullptr ? reason : "unknown error"));
}

struct Control {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delayMs = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

// Reads one image's indices, interlaced or not, into rows of the frame's own width.
std::vector<GifPixelType> ReadIndices(GifFileType* gif, int width, int height) {
    std::vector<GifPixelType> indices(static_cast<std::size_t>(width) * height);
    auto row = [&](int y) {
        if (DGifGetLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width) !=
            GIF_OK) {
            Damaged(gif->Error);
        }
    };
    if (gif->Image.Interlace) {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                row(y);
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            row(y);
        }
    }
    return indices;
}

} // namespace

TGraphic DecodeGif(std::span<const unsigned char> bytes) {
    if (bytes.empty()) {
        throw PictureError("The GIF picture is empty");
    }
    MemoryReader reader{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, &ReadFromMemory, &error));
    if (!gif) {
        Damaged(error);
    }
    const int width = gif->SWidth;
    const int height = gif->SHeight;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        throw PictureError("The GIF picture has an unusable size (" + std::to_string(width) +
                           " x " + std::to_string(height) + ")");
    }
    const std::size_t screenPixels = static_cast<std::size_t>(width) * height;

    std::vector<std::uint32_t> screen(screenPixels, 0); // transparent until a frame covers it
    std::vector<TGraphicFrame> frames;
    Control control;
    int loopCount = 0;

    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) {
            Damaged(gif->Error);
        }
        if (record == TERMINATE_RECORD_TYPE) {
            break;
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) {
                Damaged(gif->Error);
            }
            bool netscape = false;
            for (bool first = true; block != nullptr; first = false) {
                // block[0] is the length of the data that follows it.
                if (code == GRAPHICS_EXT_FUNC_CODE && first) {
                    GraphicsControlBlock gcb{};
                    if (DGifExtensionToGCB(block[0], block + 1, &gcb) != GIF_OK) {
                        throw PictureError("The GIF picture is damaged: a bad frame control block");
                    }
                    control = {gcb.DisposalMode, gcb.DelayTime * 10, gcb.TransparentColor};
                } else if (code == APPLICATION_EXT_FUNC_CODE && first) {
                    netscape = block[0] == 11 && (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                                                  std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0);
                } else if (netscape && block[0] >= 3 && block[1] == 1) {
                    loopCount = block[2] | block[3] << 8;
                }
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
                    Damaged(gif->Error);
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) {
            throw PictureError("The GIF picture is damaged: an unknown block");
        }
        if (DGifGetImageDesc(gif.get()) != GIF_OK) {
            Damaged(gif->Error);
        }
        const GifImageDesc& desc = gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0 ||
            static_cast<std::int64_t>(desc.Width) * desc.Height > kMaxPicturePixels) {
            throw PictureError("The GIF picture is damaged: a frame of unusable size");
        }
        if (static_cast<std::int64_t>(frames.size() + 1) * static_cast<std::int64_t>(screenPixels) >
            kMaxComposedPixels) {
            throw PictureError("The GIF picture has too many frames");
        }
        const ColorMapObject* colours = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
        if (colours == nullptr || colours->Colors == nullptr) {
            throw PictureError("The GIF picture is damaged: a frame without colour table");
        }
        const int frameLeft = desc.Left;
        const int frameTop = desc.Top;
        const int frameWidth = desc.Width;
        const int frameHeight = desc.Height;
        std::vector<GifPixelType> indices = ReadIndices(gif.get(), frameWidth, frameHeight);

        std::vector<std::uint32_t> before;
        if (control.disposal == DISPOSE_PREVIOUS) {
            before = screen;
        }
        // Only the part of the frame that lies on the screen counts.
        const int x0 = std::max(frameLeft, 0);
        const int y0 = std::max(frameTop, 0);
        const int x1 = std::min(frameLeft + frameWidth, width);
        const int y1 = std::min(frameTop + frameHeight, height);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                int index =
                    indices[static_cast<std::size_t>(y - frameTop) * frameWidth + (x - frameLeft)];
                // An index past the colour table shows nothing, like the transparent one.
                if (index == control.transparent || index >= colours->ColorCount) {
                    continue;
                }
                const GifColorType& c = colours->Colors[index];
                screen[static_cast<std::size_t>(y) * width + x] =
                    0xFF000000u | static_cast<std::uint32_t>(c.Red) << 16 |
                    static_cast<std::uint32_t>(c.Green) << 8 | c.Blue;
            }
        }
        frames.push_back({screen, control.delayMs});

        if (control.disposal == DISPOSE_BACKGROUND && x1 > x0) {
            for (int y = y0; y < y1; ++y) {
                std::fill_n(screen.begin() + static_cast<std::ptrdiff_t>(y) * width + x0, x1 - x0,
                            0u);
            }
        } else if (control.disposal == DISPOSE_PREVIOUS) {
            screen = std::move(before);
        }
        control = Control();
    }
    if (frames.empty()) {
        throw PictureError("The GIF picture is damaged: it holds no image");
    }
    return TGraphic(width, height, std::move(frames), loopCount);
}
