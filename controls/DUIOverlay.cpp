#include "controls/DUIOverlay.h"

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

QImage TDUIOverlay::TransparentImage() const {
    if (bitmap_.isNull()) {
        return {};
    }
    // Every pixel ends up either fully opaque or all zero, which reads the same premultiplied:
    // Qt draws it without converting it first.
    QImage shown = bitmap_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRgb key = shown.pixel(0, shown.height() - 1) | 0xFF000000u;
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key) {
                line[x] = 0;
            }
        }
    }
    return shown;
}
