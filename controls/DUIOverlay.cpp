#include "controls/DUIOverlay.h"

#include <QPainter>
#include <vector>

TDUIOverlay::TDUIOverlay() = default;
TDUIOverlay::~TDUIOverlay() = default;

TCanvas& TDUIOverlay::Canvas(QSize size) {
    if (!canvas_) {
        if (size.width() > 0 && size.height() > 0) {
            bitmap_ = QImage(size, QImage::Format_RGB32);
            bitmap_.fill(Qt::white);
        }
        canvas_ = std::make_unique<TCanvas>(bitmap_);
    }
    return *canvas_;
}

QRegion TDUIOverlay::ShownRegion() const {
    if (bitmap_.isNull()) {
        return {};
    }
    // One rectangle for each run of shown pixels in a row: sorted by row, then by column, and
    // never overlapping, as QRegion::setRects wants them. Drawn items are mostly text on white,
    // so the runs are few and short.
    const QRgb key = bitmap_.pixel(0, bitmap_.height() - 1) | 0xFF000000u;
    std::vector<QRect> runs;
    for (int y = 0; y < bitmap_.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(bitmap_.constScanLine(y));
        for (int x = 0; x < bitmap_.width();) {
            if ((line[x] | 0xFF000000u) == key) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < bitmap_.width() && (line[x] | 0xFF000000u) != key) {
                ++x;
            }
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion shown;
    shown.setRects(runs.data(), static_cast<int>(runs.size()));
    return shown;
}

QImage TDUIOverlay::TransparentImage() const {
    if (bitmap_.isNull()) {
        return {};
    }
    QImage shown(bitmap_.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    painter.setClipRegion(ShownRegion());
    painter.drawImage(0, 0, bitmap_);
    return shown;
}
