#include "controls/Image.h"

#include "config/ExceptionGuard.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <memory>

namespace {

// Delays as small as a few milliseconds occur in the wild; below this they only burn the CPU.
constexpr int kShortestFrameDelayMs = 10;

} // namespace

TPaintedPicture PaintedPicture(TGraphic&& graphic, bool pack) {
    TPaintedPicture picture;
    for (std::size_t i = 0; i < graphic.FrameCount(); ++i) {
        picture.delaysMs.push_back(graphic.Frame(i).delayMs);
        picture.frames.emplace_back(graphic.Width(), graphic.Height(),
                                    std::move(graphic.Frame(i).pixels), pack);
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

void TImage::PackFrames() {
    for (THeldFrame& frame : frames_) {
        frame.Pack();
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

void TImage::paintEvent(QPaintEvent* event) {
    Guarded([this, event] {
        const THeldFrame* frame = !overlay_ && frame_ < frames_.size() ? &frames_[frame_] : nullptr;
        const QSize size = overlay_ ? overlay_->Size() : frame ? frame->Size() : QSize();
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
            frame->Paint(painter, at, event->rect());
        }
    });
}
