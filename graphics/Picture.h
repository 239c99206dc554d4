#pragma once
// Pictures as the program keeps them: plain pixel data, 8-bit red, green, blue and alpha per
// pixel, one frame for a still picture and every composed frame of an animation. Plain data
// outlives the application object safely, so the process-wide loader may hold one.

#include <QImage>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// One whole picture of an animation, already composed with the frames before it.
struct TGraphicFrame {
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, not premultiplied, row by row
    int delayMs = 0;                   // how long the frame stays; 0 when the file names none
};

// A decoded picture. Copying it copies the pixels: a copy stays as it is whatever happens
// to the original.
class TGraphic {
public:
    TGraphic() = default;
    TGraphic(int width, int height, std::vector<TGraphicFrame> frames, int loopCount = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return frames_.empty(); }
    std::size_t FrameCount() const { return frames_.size(); }
    const TGraphicFrame& Frame(std::size_t index) const { return frames_.at(index); }
    TGraphicFrame& Frame(std::size_t index) { return frames_.at(index); }
    bool Animated() const { return frames_.size() > 1; }
    // How often an animation repeats; 0 means for ever.
    int LoopCount() const { return loopCount_; }

    // 0xAARRGGBB of one pixel of a frame.
    std::uint32_t Pixel(int x, int y, std::size_t frame = 0) const;

    // A copy of a frame as a Qt image (ARGB32), for controls that hand pictures to Qt.
    QImage ToImage(std::size_t frame = 0) const;

private:
    int width_ = 0;
    int height_ = 0;
    int loopCount_ = 0;
    std::vector<TGraphicFrame> frames_;
};

// The decoders. Each raises PictureError with a readable message for empty, damaged or
// oversized input, and never reads outside what it is given.
TGraphic DecodePng(std::span<const unsigned char> bytes);
TGraphic DecodeGif(std::span<const unsigned char> bytes);

// Chooses the decoder by the file's extension ("png", "gif"; letter case does not matter).
TGraphic LoadGraphicFromFile(const std::string& fileName);
// The whole content of a picture file; PictureError when it cannot be opened.
std::vector<unsigned char> ReadPictureFile(const std::string& fileName);
// The same decoder choice for bytes that would be, or were, the content of a file so named.
TGraphic DecodeGraphicNamed(std::span<const unsigned char> bytes, const std::string& fileName);

// The largest picture we agree to decode; nothing the program ships comes near it, and a
// damaged header must not make us allocate gigabytes.
constexpr int kMaxPictureSide = 16384;
constexpr std::int64_t kMaxPicturePixels = 4 * 1024 * 1024;

// A holder of one graphic, as the loader's shared picture: each load replaces what it holds.
class TPicture {
public:
    void Clear() { graphic_ = TGraphic(); }
    void LoadFromFile(const std::string& fileName);
    void Assign(const TGraphic& graphic) { graphic_ = graphic; }
    void Assign(TGraphic&& graphic) { graphic_ = std::move(graphic); }
    const TGraphic& Graphic() const { return graphic_; }
    // Hands the graphic over without copying its pixels; the holder is empty after.
    TGraphic Take() { return std::exchange(graphic_, TGraphic()); }

private:
    TGraphic graphic_;
};
