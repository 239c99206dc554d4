#include "controls/HeldFrame.h"

#include <QPainter>
#include <algorithm>
#include <memory>

namespace {

// A span's first word: its length, and whether one colour (the next word) fills it or its
// pixels follow.
constexpr std::uint32_t kFillSpan = 0x80000000u;
constexpr std::uint32_t kLengthMask = 0x7FFFFFFFu;
// Shorter repeats stay among the pixels: a span costs a word and a stop while unpacking.
constexpr int kShortestFill = 8;
// Rows unpacked and drawn at a time: a small buffer, and few calls into the painter.
constexpr int kStripRows = 16;

QImage PlainImage(int width, int height, std::vector<std::uint32_t>&& pixels) {
    auto held = std::make_unique<std::vector<std::uint32_t>>(std::move(pixels));
    uchar* bits = reinterpret_cast<uchar*>(held->data());
    return QImage(
        bits, width, height, static_cast<qsizetype>(width) * 4, QImage::Format_ARGB32_Premultiplied,
        [](void* owned) { delete static_cast<std::vector<std::uint32_t>*>(owned); },
        held.release());
}

} // namespace

THeldFrame::THeldFrame(int width, int height, std::vector<std::uint32_t>&& pixels, bool pack) {
    if (width <= 0 || height <= 0) {
        return;
    }
    size_ = QSize(width, height);
    const qsizetype count = static_cast<qsizetype>(width) * height;
    pixels.resize(static_cast<std::size_t>(count));
    for (std::uint32_t& pixel : pixels) {
        if ((pixel >> 24) != 0xFF) {
            pixel = qPremultiply(pixel);
        }
    }
    if (pack && count >= kSmallestPacked) {
        PackFrom(pixels.data());
    }
    if (!Packed()) {
        // The decoded pixels, premultiplied where they are, become the image: a picture is held
        // once and no second buffer of its size is filled.
        plain_ = PlainImage(width, height, std::move(pixels));
    }
}

void THeldFrame::Pack() {
    if (Packed() || plain_.isNull() || plain_.bytesPerLine() != size_.width() * 4 ||
        static_cast<qsizetype>(size_.width()) * size_.height() < kSmallestPacked) {
        return;
    }
    PackFrom(reinterpret_cast<const std::uint32_t*>(plain_.constBits()));
    if (Packed()) {
        plain_ = QImage();
    }
}

void THeldFrame::PackFrom(const std::uint32_t* premultiplied) {
    const int width = size_.width();
    const std::size_t worthIt = static_cast<std::size_t>(width) * size_.height() / 2;
    rowStarts_.reserve(static_cast<std::size_t>(size_.height()) + 1);
    for (int y = 0; y < size_.height(); ++y) {
        rowStarts_.push_back(static_cast<std::uint32_t>(spans_.size()));
        const std::uint32_t* row = premultiplied + static_cast<std::size_t>(y) * width;
        int pending = 0; // where the pixels not yet written begin
        const auto writePending = [&](int end) {
            if (end > pending) {
                spans_.push_back(static_cast<std::uint32_t>(end - pending));
                spans_.insert(spans_.end(), row + pending, row + end);
            }
        };
        for (int x = 0; x < width;) {
            int end = x + 1;
            while (end < width && row[end] == row[x]) {
                ++end;
            }
            if (end - x >= kShortestFill) {
                writePending(x);
                spans_.push_back(kFillSpan | static_cast<std::uint32_t>(end - x));
                spans_.push_back(row[x]);
                pending = end;
            }
            x = end;
        }
        writePending(width);
        if (spans_.size() > worthIt) {
            spans_ = {};
            rowStarts_ = {};
            return;
        }
    }
    rowStarts_.push_back(static_cast<std::uint32_t>(spans_.size()));
    spans_.shrink_to_fit();
}

std::size_t THeldFrame::HeldBytes() const {
    if (!Packed()) {
        return static_cast<std::size_t>(plain_.sizeInBytes());
    }
    return (spans_.capacity() + rowStarts_.capacity()) * sizeof(std::uint32_t);
}

void THeldFrame::UnpackRow(int y, int left, int count, std::uint32_t* out) const {
    const std::uint32_t* span = spans_.data() + rowStarts_[static_cast<std::size_t>(y)];
    const std::uint32_t* const end = spans_.data() + rowStarts_[static_cast<std::size_t>(y) + 1];
    const int right = left + count;
    int x = 0;
    while (span < end && x < right) {
        const bool fill = (*span & kFillSpan) != 0;
        const int length = static_cast<int>(*span & kLengthMask);
        const int from = std::max(x, left);
        const int to = std::min(x + length, right);
        if (from < to) {
            if (fill) {
                std::fill(out + (from - left), out + (to - left), span[1]);
            } else {
                std::copy(span + 1 + (from - x), span + 1 + (to - x), out + (from - left));
            }
        }
        span += fill ? 2 : 1 + length;
        x += length;
    }
}

QImage THeldFrame::Image() const {
    if (!Packed()) {
        return plain_;
    }
    QImage image(size_, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    for (int y = 0; y < size_.height(); ++y) {
        UnpackRow(y, 0, size_.width(), reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
    return image;
}

void THeldFrame::Paint(QPainter& painter, QPoint origin, const QRect& exposed) const {
    if (!Packed()) {
        if (!plain_.isNull()) {
            painter.drawImage(origin, plain_);
        }
        return;
    }
    const QRect area = QRect(origin, size_).intersected(exposed);
    if (area.isEmpty()) {
        return;
    }
    QImage strip(area.width(), std::min(kStripRows, area.height()),
                 QImage::Format_ARGB32_Premultiplied);
    if (strip.isNull()) {
        return;
    }
    for (int top = area.top(); top <= area.bottom(); top += strip.height()) {
        const int rows = std::min(strip.height(), area.bottom() + 1 - top);
        for (int i = 0; i < rows; ++i) {
            UnpackRow(top + i - origin.y(), area.left() - origin.x(), area.width(),
                      reinterpret_cast<std::uint32_t*>(strip.scanLine(i)));
        }
        painter.drawImage(QPoint(area.left(), top), strip, QRect(0, 0, area.width(), rows));
    }
}
