// PNG pictures through libpng's simplified reader: whatever the file's colour type and depth,
// the result is 8-bit red, green, blue and alpha, alpha kept as it is (not premultiplied).

#include "config/Errors.h"
#include "graphics/Picture.h"

#include <memory>
#include <png.h>

namespace {

struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
};

std::string Reason(const png_image& image) {
    return image.message[0] != '\0' ? std::string(image.message) : std::string("unknown error");
}

} // namespace

TGraphic DecodePng(std::span<const unsigned char> bytes) {
    if (bytes.empty()) {
        throw PictureError("The PNG picture is empty");
    }
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
        throw PictureError("The PNG picture is damaged: no PNG signature");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        throw PictureError("The PNG picture is damaged: " + Reason(image));
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
        image.height > kMaxPictureSide ||
        static_cast<std::int64_t>(image.width) * image.height > kMaxPicturePixels) {
        throw PictureError("The PNG picture is too large (" + std::to_string(image.width) + " x " +
                           std::to_string(image.height) + ")");
    }
    // BGRA in memory is 0xAARRGGBB as a little-endian 32-bit value, the layout we keep.
    image.format = PNG_FORMAT_BGRA;
    int width = static_cast<int>(image.width);
    int height = static_cast<int>(image.height);
    TGraphicFrame frame;
    frame.pixels.resize(static_cast<std::size_t>(width) * height);
    if (!png_image_finish_read(&image, nullptr, frame.pixels.data(), width * 4, nullptr)) {
        throw PictureError("The PNG picture is damaged: " + Reason(image));
    }
    std::vector<TGraphicFrame> frames;
    frames.push_back(std::move(frame));
    return TGraphic(width, height, std::move(frames));
}
