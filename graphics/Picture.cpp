#include "graphics/Picture.h"

#include "config/Errors.h"

#include <algorithm>
#include <fstream>
#include <iterator>

TGraphic::TGraphic(int width, int height, std::vector<TGraphicFrame> frames, int loopCount)
    : width_(width), height_(height), loopCount_(loopCount), frames_(std::move(frames)) {}

std::uint32_t TGraphic::Pixel(int x, int y, std::size_t frame) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return Frame(frame).pixels[static_cast<std::size_t>(y) * width_ + x];
}

QImage TGraphic::ToImage(std::size_t frame) const {
    if (Empty()) {
        return QImage();
    }
    QImage image(width_, height_, QImage::Format_ARGB32);
    const std::vector<std::uint32_t>& pixels = Frame(frame).pixels;
    for (int y = 0; y < height_; ++y) {
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width_, width_,
                    reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
    return image;
}

namespace {

std::string LowerExtension(const std::string& fileName) {
    std::size_t slash = fileName.find_last_of('/');
    std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return extension;
}

using Decoder = TGraphic (*)(std::span<const unsigned char>);

Decoder DecoderFor(const std::string& fileName) {
    std::string extension = LowerExtension(fileName);
    if (extension == "png") {
        return &DecodePng;
    }
    if (extension == "gif") {
        return &DecodeGif;
    }
    throw PictureError("Unknown picture file extension (." + extension + ")");
}

} // namespace

std::vector<unsigned char> ReadPictureFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw PictureError("Cannot open picture file \"" + fileName + "\"");
    }
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

TGraphic LoadGraphicFromFile(const std::string& fileName) {
    Decoder decode = DecoderFor(fileName);
    return decode(ReadPictureFile(fileName));
}

TGraphic DecodeGraphicNamed(std::span<const unsigned char> bytes, const std::string& fileName) {
    return DecoderFor(fileName)(bytes);
}

void TPicture::LoadFromFile(const std::string& fileName) {
    Clear();
    graphic_ = LoadGraphicFromFile(fileName);
}
