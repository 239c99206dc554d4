#include "PngWriter.h"

#include <csetjmp>
#include <png.h>
#include <stdexcept>

namespace art {
namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// libpng reports errors by longjmp; keep the jump inside a frame that holds only plain data.
bool Encode(const QImage& rgba, Bytes& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendToBytes, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rgba.width()),
                 static_cast<png_uint_32>(rgba.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < rgba.height(); ++y) {
        png_write_row(png, rgba.constScanLine(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

Bytes EncodeRgbaPng(const QImage& image) {
    // RGBA8888 is byte order R, G, B, A and not premultiplied: exactly a PNG row.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    Bytes out;
    if (rgba.isNull() || !Encode(rgba, out)) {
        throw std::runtime_error("PNG encoding failed");
    }
    return out;
}

} // namespace art
