#include "controls/DUIOverlay.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

#ifdef __linux__
struct Mapping {
    void* memory = MAP_FAILED;
    std::size_t bytes = 0;
};

// Memory of its own for a bitmap of bytes. A page's bitmap is made afresh at each activation of
// the page, and a fresh megabyte takes a page fault for each 4 KB the first time it is touched
// (about 1 ms together on a virtual machine): from half a megabyte up to 2 MB, the bitmap asks
// for one huge page, which takes one fault; where the system gives none, the kernel falls back
// to small pages. Others are mapped with all their pages at once, up to 64 MB.
Mapping MapBitmapMemory(std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    constexpr std::size_t kMappedAtOnceAtMost = std::size_t{64} << 20;
    Mapping mapping;
    if (bytes == 0 || bytes > kMappedAtOnceAtMost) {
        return mapping;
    }
    if (bytes < kHugePage / 4 || bytes > kHugePage) {
        mapping.memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        mapping.bytes = bytes;
        return mapping;
    }
    // Twice the size, so that a whole huge page lies inside; the rest is given back.
    void* wide =
        mmap(nullptr, 2 * kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (wide == MAP_FAILED) {
        return mapping;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(wide);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) {
        munmap(wide, aligned - start);
    }
    const std::uintptr_t end = aligned + kHugePage;
    if (start + 2 * kHugePage > end) {
        munmap(reinterpret_cast<void*>(end), start + 2 * kHugePage - end);
    }
    mapping.memory = reinterpret_cast<void*>(aligned);
    mapping.bytes = kHugePage;
    madvise(mapping.memory, kHugePage, MADV_HUGEPAGE);
    return mapping;
}
#endif

// A bitmap in one colour, in memory of its own (above); one too large for that is left to Qt,
// which refuses what it cannot hold.
QImage FilledBitmap(QSize size, QRgb colour) {
#ifdef __linux__
    std::size_t bytes = 0;
    if (size.width() > 0 && size.height() > 0) {
        bytes = static_cast<std::size_t>(size.width()) * static_cast<std::size_t>(size.height()) * 4;
    }
    auto mapping = std::make_unique<Mapping>(MapBitmapMemory(bytes));
    if (mapping->memory != MAP_FAILED) {
        uchar* bits = static_cast<uchar*>(mapping->memory);
        QImage bitmap(
            bits, size.width(), size.height(), static_cast<qsizetype>(size.width()) * 4,
            QImage::Format_RGB32,
            [](void* held) {
                std::unique_ptr<Mapping> mapping(static_cast<Mapping*>(held));
                munmap(mapping->memory, mapping->bytes);
            },
            mapping.get());
        if (!bitmap.isNull()) {
            mapping.release();
            bitmap.fill(colour);
            return bitmap;
        }
        munmap(mapping->memory, mapping->bytes);
    }
#endif
    QImage bitmap(size, QImage::Format_RGB32);
    bitmap.fill(colour);
    return bitmap;
}

// The colour that shows nothing: whatever lies at the bottom-left corner.
QRgb KeyOf(const QImage& bitmap) {
    return bitmap.pixel(0, bitmap.height() - 1) | 0xFF000000u;
}

// Calls shown(y, begin, end) for each run of pixels in row y that are not the key colour, row
// by row and left to right.
template <class Shown> void ForEachShownRun(const QImage& bitmap, QRgb key, Shown&& shown) {
    const int width = bitmap.width(); // QImage's accessors are calls into Qt: not per pixel
    const int height = bitmap.height();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
        for (int x = 0; x < width;) {
            if ((line[x] | 0xFF000000u) == key) {
                ++x;
                continue;
            }
            const int begin = x;
            while (x < width && (line[x] | 0xFF000000u) != key) {
                ++x;
            }
            shown(y, begin, x);
        }
    }
}

// What a settled band holds where the bitmap has its key colour: nothing, fully transparent.
constexpr QRgb kSeeThrough = 0;

// The rows of bitmap within rows, premultiplied, the key colour made see-through. Drawn pixels
// are opaque, so none of them is kSeeThrough.
QImage SeeThroughBand(const QImage& bitmap, QRgb key, const QRect& rows) {
    QImage band(rows.size(), QImage::Format_ARGB32_Premultiplied);
    if (band.isNull()) {
        return band;
    }
    for (int row = 0; row < rows.height(); ++row) {
        const auto* from =
            reinterpret_cast<const QRgb*>(bitmap.constScanLine(rows.top() + row)) + rows.left();
        auto* to = reinterpret_cast<QRgb*>(band.scanLine(row));
        for (int x = 0; x < rows.width(); ++x) {
            to[x] = (from[x] | 0xFF000000u) == key ? kSeeThrough : (from[x] | 0xFF000000u);
        }
    }
    return band;
}

// One rectangle for each run, as QRegion::setRects wants them: sorted by row, then by column,
// and never overlapping. Drawn items are mostly text on white, so the runs are few and short.
QRegion RegionOf(const std::vector<QRect>& runs) {
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    return region;
}

QRegion ComputeShownRegion(const QImage& bitmap) {
    std::vector<QRect> runs;
    ForEachShownRun(bitmap, KeyOf(bitmap), [&](int y, int begin, int end) {
        runs.emplace_back(begin, y, end - begin, 1);
    });
    return RegionOf(runs);
}

} // namespace

TDUIOverlay::TDUIOverlay() = default;
TDUIOverlay::~TDUIOverlay() = default;

TCanvas& TDUIOverlay::Canvas(QSize size) {
    if (!canvas_) {
        if (size.width() > 0 && size.height() > 0) {
            bitmap_ = FilledBitmap(size, qRgb(255, 255, 255));
        }
        canvas_ = std::make_unique<TCanvas>(bitmap_);
    } else if (settled_) {
        bitmap_ = Bitmap(); // the canvas draws on this member, whatever image it holds
        bands_.clear();
        shown_ = QRegion();
        shownKey_ = 0;
        settled_ = false;
    }
    return *canvas_;
}

TCanvas* TDUIOverlay::ExistingCanvas() {
    return canvas_ ? &Canvas(QSize()) : nullptr;
}

QSize TDUIOverlay::Size() const {
    return settled_ ? size_ : bitmap_.size();
}

QImage TDUIOverlay::Bitmap() const {
    if (!settled_) {
        return bitmap_;
    }
    QImage bitmap = FilledBitmap(size_, key_);
    for (const Band& band : bands_) {
        const int width = band.pixels.width();
        for (int row = 0; row < band.pixels.height(); ++row) {
            const auto* from = reinterpret_cast<const QRgb*>(band.pixels.constScanLine(row));
            auto* to = reinterpret_cast<QRgb*>(bitmap.scanLine(band.at.y() + row)) + band.at.x();
            for (int x = 0; x < width; ++x) {
                if (from[x] != kSeeThrough) {
                    to[x] = from[x];
                }
            }
        }
    }
    return bitmap;
}

void TDUIOverlay::Settle() {
    if (settled_ || bitmap_.isNull()) {
        return;
    }
    const QRgb key = KeyOf(bitmap_);
    std::vector<Band> bands;
    int top = -1; // of the band being gathered; -1 when none is
    int left = INT_MAX;
    int right = 0;
    const auto closeBand = [&](int bottom) {
        if (top >= 0) {
            bands.push_back({QPoint(left, top), SeeThroughBand(bitmap_, key, QRect(left, top, right - left, bottom - top))});
        }
        top = -1;
        left = INT_MAX;
        right = 0;
    };
    int lastRow = -1;
    ForEachShownRun(bitmap_, key, [&](int y, int begin, int end) {
        if (y > lastRow + 1) {
            closeBand(lastRow + 1);
        }
        if (top < 0) {
            top = y;
        }
        left = std::min(left, begin);
        right = std::max(right, end);
        lastRow = y;
    });
    closeBand(lastRow + 1);
    shown_ = QRegion();
    shownKey_ = 0;
    size_ = bitmap_.size();
    key_ = key;
    bands_ = std::move(bands);
    settled_ = true;
    bitmap_ = QImage();
}

QRegion TDUIOverlay::ShownRegion() const {
    const QImage bitmap = Bitmap();
    return bitmap.isNull() ? QRegion() : ComputeShownRegion(bitmap);
}

const QRegion& TDUIOverlay::CachedShownRegion() {
    // Made again only when something was drawn since (drawing gives the bitmap a new key).
    if (!settled_ && shownKey_ != bitmap_.cacheKey()) {
        shownKey_ = bitmap_.cacheKey();
        shown_ = ComputeShownRegion(bitmap_);
    }
    return shown_;
}

QImage TDUIOverlay::TransparentImage() const {
    const QImage bitmap = Bitmap();
    if (bitmap.isNull()) {
        return {};
    }
    QImage shown(bitmap.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    painter.setClipRegion(ShownRegion());
    painter.drawImage(0, 0, bitmap);
    return shown;
}

void TDUIOverlay::Paint(QPainter& painter, QPoint origin, bool transparent) {
    if (Size().isEmpty()) {
        return;
    }
    if (!settled_) {
        if (transparent) {
            painter.setClipRegion(CachedShownRegion().translated(origin));
        }
        painter.drawImage(origin, bitmap_);
        return;
    }
    // The bands let through what they do not show: no clipping to a region of many small
    // rectangles, which Qt blends span by span.
    if (!transparent) {
        painter.fillRect(QRect(origin, size_), QColor(key_));
    }
    for (const Band& band : bands_) {
        painter.drawImage(origin + band.at, band.pixels);
    }
}
