#include "graphics/Font.h"

#include <cstdint>
#include <cstdlib>

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1; // as the platform answers
    }
    std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t half = std::llabs(c) / 2;
    bool negative = (product < 0) != (c < 0);
    std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    std::int64_t result = negative ? -magnitude : magnitude;
    if (result < INT32_MIN || result > INT32_MAX) {
        return -1; // as the platform answers an overflow
    }
    return static_cast<int>(result);
}

// Any change of face, size or style makes a new platform font from these attributes, and the
// quality a drawing routine chose for the old one goes with it.
void TFont::SetName(const std::string& name) {
    if (!name.empty()) {
        name_ = name;
    }
    quality_ = TFontQuality::fqDefault;
}

int TFont::Size() const {
    return -MulDiv(height_, 72, kScreenPixelsPerInch);
}

void TFont::SetSize(int points) {
    // A configured size may be any 32-bit number; the one height that has no negative is
    // kept at the largest that has.
    const int pixels = MulDiv(points, kScreenPixelsPerInch, 72);
    SetHeight(pixels == INT32_MIN ? INT32_MAX : -pixels);
}

void TFont::SetHeight(int pixels) {
    height_ = pixels;
    quality_ = TFontQuality::fqDefault;
}

void TFont::SetStyle(TFontStyles style) {
    style_ = style;
    quality_ = TFontQuality::fqDefault;
}
