#include "controls/Image.h"

#include "config/ExceptionGuard.h"

#include <QPainter>
#include <cstdint>
#include <algorithm>
#include <memory>

namespace {

// Delays as small as a few milliseconds occur in the wild; below this they only burn the CPU.
constexpr int kShortestFrameDelayMs = 10;

// A frame in the form Qt blends without converting it first, made once: the conversion of a
// page-sized picture on every paint would cost more than the paint itself. The decoded pixels
// are premultiplied where they are and the image takes them over, so a picture is held once
// and no second page-sized buffer is filled at start-up.
QImage Paintable(int width, int height, std::vector<std::uint32_t>&& decoded) {
    if (width <= 0 || height <= 0) {
        return QImage();
    }
    auto pixels = std::make_unique<std::vector<std::uint32_t>>(std::move(decoded));
    // A frame short of pixels shows transparent where it has none, never what lies beyond.
    pixels->resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::uint32_t& pixel : *pixels) {
        if ((pixel >> 24) != 0xFF) {
            pixel = qPremultiply(pixel);
        }
    }
    uchar* bits = reinterpret_cast<uchar*>(pixels->data());
    return QImage(
        bits, width, height, static_cast<qsizetype>(width) * 4, QImage::Format_ARGB32_Premultiplied,
        [](void* held) { delete static_cast<std::vector<std::uint32_t>*>(held); },
        pixels.release());
}

} // namespace

TPaintedPicture PaintedPicture(TGraphic&& graphic) {
    TPaintedPicture picture;
    for (std::size_t i = 0; i < graphic.FrameCount(); ++i) {
        picture.delaysMs.push_back(graphic.Frame(i).delayMs);
        picture.frames.push_back(
            Paintable(graphic.Width(), graphic.Height(), std::move(graphic.Frame(i).pixels)));
    }
    picture.loopCount = graphic.LoopCount();
    return picture;
}

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
    SetGraphic(TGraphic(graphic));
}

void TImage::SetGraphic(TGraphic&& graphic) {
    SetPicture(PaintedPicture(std::move(graphic)));
}

void TImage::SetPicture(TPaintedPicture&& picture) {
    timer_.stop();
    overlay_.reset();
    frames_ = std::move(picture.frames);
    delaysMs_ = std::move(picture.delaysMs);
    loopCount_ = picture.loopCount;
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

TDUIOverlay& TImage::Overlay() {
    if (!overlay_) {
        timer_.stop();
        frames_.clear();
        delaysMs_.clear();
        frame_ = 0;
        overlay_ = std::make_unique<TDUIOverlay>();
        overlay_->Canvas(QSize(std::max(width(), 1), std::max(height(), 1)));
    }
    return *overlay_;
}

TCanvas& TImage::Canvas() {
    return *Overlay().ExistingCanvas();
}

QImage TImage::Bitmap() const {
    return overlay_ ? overlay_->Bitmap() : QImage();
}

void TImage::FinishDrawing() {
    if (overlay_) {
        overlay_->Settle();
    }
}

int TImage::FrameDelay(std::size_t frame) const {
    int delay = delaysMs_.at(frame);
    if (delay <= 0) {
        return kDefaultFrameDelayMs;
    }
    return std::max(delay, kShortestFrameDelayMs);
}

void TImage::StartAnimation() {
    if (!Animated()) {
        return;
    }
    timer_.start(FrameDelay(frame_));
}

void TImage::NextFrame() {
    if (!Animated() || !isVisible()) {
        return;
    }
    std::size_t next = frame_ + 1;
    if (next >= frames_.size()) {
        ++passes_;
        // A loop count says how often the animation repeats after its first pass.
        if (loopCount_ > 0 && passes_ > loopCount_) {
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

void TImage::paintEvent(QPaintEvent*) {
    Guarded([this] {
        const QImage* frame = !overlay_ && frame_ < frames_.size() ? &frames_[frame_] : nullptr;
        const QSize size = overlay_ ? overlay_->Size() : frame ? frame->size() : QSize();
        if (size.isEmpty()) {
            return;
        }
        QPoint at(0, 0);
        if (center_) {
            at = QPoint((width() - size.width()) / 2, (height() - size.height()) / 2);
        }
        QPainter painter(this);
        if (overlay_) {
            overlay_->Paint(painter, at, transparent_);
        } else {
            painter.drawImage(at, *frame);
        }
    });
}
