#pragma once
// Looking at what a canvas drew: the box around the inked pixels, colour fringes.

#include "graphics/Canvas.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>

namespace resources_test {

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right and bottom inclusive
    int pixels = 0;
    int coloured = 0; // pixels whose channels differ clearly: a colour fringe on grey text
    bool Any() const { return pixels > 0; }
};

// Pixels that differ from background inside area.
inline Ink InkOf(const QImage& image, QRgb background, TRect area = {0, 0, 1 << 20, 1 << 20}) {
    Ink ink;
    area = Intersect(area, {0, 0, image.width(), image.height()});
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) {
            QRgb p = image.pixel(x, y) | 0xFF000000u;
            if (p == (background | 0xFF000000u)) {
                continue;
            }
            ++ink.pixels;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            int hi = std::max({qRed(p), qGreen(p), qBlue(p)});
            int lo = std::min({qRed(p), qGreen(p), qBlue(p)});
            if (hi - lo > 24) {
                ++ink.coloured;
            }
        }
    }
    return ink;
}

inline QImage WhiteSurface(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    return image;
}

} // namespace resources_test
