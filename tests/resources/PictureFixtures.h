#pragma once
// Builders of small PNG and GIF files for the picture tests, written with the libraries'
// own encoders so the decoders meet real files of every colour type.

#include <cstdint>
#include <string>
#include <vector>

namespace resources_test {

using Bytes = std::vector<unsigned char>;

// A PNG of the given libpng simplified format (PNG_FORMAT_RGBA, PNG_FORMAT_GRAY,
// PNG_FORMAT_LINEAR_RGB_ALPHA ...) from pixels laid out in that format.
Bytes MakePng(int width, int height, unsigned format, const void* pixels);

// An 8-bit RGBA PNG from 0xAARRGGBB pixels.
Bytes MakeRgbaPng(int width, int height, const std::vector<std::uint32_t>& argb);

struct GifFrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices; // width × height, row by row
    int delayCentiseconds = 0;
    int disposal = 0;     // 0 unspecified, 1 keep, 2 background, 3 previous
    int transparent = -1; // index that shows what lies below, or -1
    bool interlaced = false;
    bool withControlBlock = true;
};

// A GIF89a with a global colour table of 0x00RRGGBB colours (2, 4, ... 256 entries).
Bytes MakeGif(int width, int height, const std::vector<std::uint32_t>& palette,
              const std::vector<GifFrameSpec>& frames, int loopCount = -1);

} // namespace resources_test
