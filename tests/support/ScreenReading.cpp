#include "support/ScreenReading.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace e2e {

namespace {

// The rows' gradient goes from a tint of 3 (blue over red) at a row's top to 29 at its bottom;
// white, greys and the page's other colours have none.
constexpr int kMinimumTint = 10;

bool Inside(const QImage& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.width() && y < image.height();
}

int ChannelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

std::vector<Band> TintedBands(const QImage& shot, int x, int top, int height) {
    // The focused row's dotted frame crosses the column as a pixel or two of another colour;
    // a gap that short does not end a band. Between rows lies the next row's pale top.
    constexpr int kBridgedGap = 2;
    std::vector<Band> bands;
    for (int y = top; y < top + height; ++y) {
        if (!Inside(shot, x, y)) {
            continue;
        }
        const QRgb pixel = shot.pixel(x, y);
        if (qBlue(pixel) - qRed(pixel) < kMinimumTint) {
            continue;
        }
        if (!bands.empty() && y - (bands.back().top + bands.back().height) <= kBridgedGap) {
            bands.back().height = y - bands.back().top + 1;
        } else {
            bands.push_back({y, 1});
        }
    }
    return bands;
}

std::string Describe(const std::vector<Band>& bands) {
    std::string text = std::to_string(bands.size()) + " band(s):";
    for (const Band& band : bands) {
        text += " " + std::to_string(band.height) + "px at y=" + std::to_string(band.top);
    }
    return text;
}

int RedInk(const QImage& shot, const QRect& rect) {
    int count = 0;
    const QRect inside = rect.intersected(shot.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            if (qRed(pixel) >= 180 && qGreen(pixel) <= 90 && qBlue(pixel) <= 90) {
                ++count;
            }
        }
    }
    return count;
}

std::optional<QRect> LowestFeature(const QImage& shot, const QRect& rect) {
    const QRect inside = rect.intersected(shot.rect());
    if (inside.isEmpty()) {
        return std::nullopt;
    }
    const QRgb background = shot.pixel(inside.left(), inside.bottom());
    // Anti-aliased edges and the faint shading some styles give a dialog stay below this.
    constexpr int kDifferent = 24;
    int left = std::numeric_limits<int>::max();
    int right = -1;
    int bottom = -1;
    int topRow = -1;
    for (int y = inside.bottom(); y >= inside.top(); --y) {
        int rowLeft = std::numeric_limits<int>::max();
        int rowRight = -1;
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (ChannelDistance(shot.pixel(x, y), background) > kDifferent) {
                rowLeft = std::min(rowLeft, x);
                rowRight = std::max(rowRight, x);
            }
        }
        if (rowRight < 0) {
            if (bottom >= 0) {
                break; // the first empty row above the feature ends it
            }
            continue;
        }
        if (bottom < 0) {
            bottom = y;
        }
        topRow = y;
        left = std::min(left, rowLeft);
        right = std::max(right, rowRight);
    }
    if (bottom < 0) {
        return std::nullopt;
    }
    return QRect(QPoint(left, topRow), QPoint(right, bottom));
}

QRect InkBox(const QImage& image, QRgb background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ChannelDistance(image.pixel(x, y), background) > 0) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

Match BestMatch(const QImage& shot, const QImage& pattern, const QRect& area) {
    Match best{area.topLeft(), 256};
    for (int top = area.top(); top <= area.bottom(); ++top) {
        for (int left = area.left(); left <= area.right(); ++left) {
            if (!shot.rect().contains(QRect(QPoint(left, top), pattern.size()))) {
                continue;
            }
            long long sum = 0;
            for (int y = 0; y < pattern.height(); ++y) {
                for (int x = 0; x < pattern.width(); ++x) {
                    const QRgb a = pattern.pixel(x, y);
                    const QRgb b = shot.pixel(left + x, top + y);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                           std::abs(qBlue(a) - qBlue(b));
                }
            }
            const double mean =
                static_cast<double>(sum) / (3.0 * pattern.width() * pattern.height());
            if (mean < best.difference) {
                best = {QPoint(left, top), mean};
            }
        }
    }
    return best;
}

double OpaqueAgreement(const QImage& shot, const QImage& picture, QPoint at, int tolerance) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    int agreeing = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb expected = argb.pixel(x, y);
            if (qAlpha(expected) != 255) {
                continue;
            }
            ++opaque;
            if (Inside(shot, at.x() + x, at.y() + y) &&
                ChannelDistance(shot.pixel(at.x() + x, at.y() + y), expected) <= tolerance) {
                ++agreeing;
            }
        }
    }
    return opaque == 0 ? 0.0 : static_cast<double>(agreeing) / opaque;
}

} // namespace e2e
