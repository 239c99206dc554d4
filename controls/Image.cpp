#include "controls/Image.h"

#include "config/ExceptionGuard.h"

#include <QPainter>
#include <algorithm>

namespace {

// Delays as small as a few milliseconds occur in the wild; below this they only burn the CPU.
constexpr int kShortestFrameDelayMs = 10;

// A frame in the form Qt blends without converting it first, made once: the conversion of a
// page-sized picture on every paint would cost more than the paint itself.
QImage Premultiplied(const TGraphic& graphic, std::size_t frame) {
    QImage image(graphic.Width(), graphic.Height(), QImage::Format_ARGB32_Premultiplied);
    const std::vector<std::uint32_t>& pixels = graphic.Frame(frame).pixels;
    for (int y = 0; y < graphic.Height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < graphic.Width(); ++x) {
            row[x] = qPremultiply(pixels[static_cast<std::size_t>(y) * graphic.Width() + x]);
        }
    }
    return image;
}

} // namespace

TImage::TImage(QWidget* parent) : QWidget(parent) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Guarded([this] { NextFrame(); }); });
}

TImage::~TImage() = default;

void TImage::SetCenter(bool value) {
    center_ = value;
    update();
}

void TImage::SetTransparent(bool value) {
    transparent_ = value;
    update();
}

void TImage::SetGraphic(const TGraphic& graphic) {
    timer_.stop();
    canvas_.reset();
    bitmap_ = QImage();
    graphic_ = graphic;
    frames_.clear();
    for (std::size_t i = 0; i < graphic_.FrameCount(); ++i) {
        frames_.push_back(Premultiplied(graphic_, i));
    }
    frame_ = 0;
    passes_ = 0;
    if (isVisible()) {
        StartAnimation();
    }
    update();
}

void TImage::Clear() {
    SetGraphic(TGraphic());
}

TCanvas& TImage::Canvas() {
    if (!canvas_) {
        timer_.stop();
        graphic_ = TGraphic();
        frames_.clear();
        frame_ = 0;
        bitmap_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
        bitmap_.fill(Qt::white);
        canvas_ = std::make_unique<TCanvas>(bitmap_);
    }
    return *canvas_;
}

int TImage::FrameDelay(std::size_t frame) const {
    int delay = graphic_.Frame(frame).delayMs;
    if (delay <= 0) {
        return kDefaultFrameDelayMs;
    }
    return std::max(delay, kShortestFrameDelayMs);
}

void TImage::StartAnimation() {
    if (!graphic_.Animated()) {
        return;
    }
    timer_.start(FrameDelay(frame_));
}

void TImage::NextFrame() {
    if (!graphic_.Animated() || !isVisible()) {
        return;
    }
    std::size_t next = frame_ + 1;
    if (next >= graphic_.FrameCount()) {
        ++passes_;
        // A loop count says how often the animation repeats after its first pass.
        if (graphic_.LoopCount() > 0 && passes_ > graphic_.LoopCount()) {
            return;
        }
        next = 0;
    }
    frame_ = next;
    update();
    timer_.start(FrameDelay(frame_));
}

void TImage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Guarded([this] {
        if (!timer_.isActive()) {
            StartAnimation();
        }
    });
}

void TImage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

const QImage& TImage::TransparentBitmap() {
    if (transparentBitmap_.isNull() || transparentKey_ != bitmap_.cacheKey()) {
        transparentKey_ = bitmap_.cacheKey();
        transparentBitmap_ =
            QImage(bitmap_.width(), bitmap_.height(), QImage::Format_ARGB32_Premultiplied);
        const QRgb clear = bitmap_.pixel(0, bitmap_.height() - 1) | 0xFF000000u;
        for (int y = 0; y < bitmap_.height(); ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(bitmap_.constScanLine(y));
            auto* to = reinterpret_cast<QRgb*>(transparentBitmap_.scanLine(y));
            for (int x = 0; x < bitmap_.width(); ++x) {
                const QRgb opaque = from[x] | 0xFF000000u;
                to[x] = opaque == clear ? 0 : opaque;
            }
        }
    }
    return transparentBitmap_;
}

void TImage::paintEvent(QPaintEvent*) {
    Guarded([this] {
        const QImage* picture = nullptr;
        if (!bitmap_.isNull()) {
            picture = transparent_ ? &TransparentBitmap() : &bitmap_;
        } else if (frame_ < frames_.size()) {
            picture = &frames_[frame_];
        }
        if (picture == nullptr || picture->isNull()) {
            return;
        }
        int x = 0;
        int y = 0;
        if (center_) {
            x = (width() - picture->width()) / 2;
            y = (height() - picture->height()) / 2;
        }
        QPainter painter(this);
        painter.drawImage(x, y, *picture);
    });
}
