#include "controls/DUIOverlay.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstring>
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
        const auto bytes = static_cast<std::size_t>(band.pixels.width()) * 4;
        for (int row = 0; row < band.pixels.height(); ++row) {
            std::memcpy(bitmap.scanLine(band.at.y() + row) + band.at.x() * 4,
                        band.pixels.constScanLine(row), bytes);
        }
    }
    return bitmap;
}

void TDUIOverlay::Settle() {
    if (settled_ || bitmap_.isNull()) {
        return;
    }
    const QRgb key = KeyOf(bitmap_);
    std::vector<QRect> runs;
    std::vector<Band> bands;
    int top = -1; // of the band being gathered; -1 when none is
    int left = INT_MAX;
    int right = 0;
    const auto closeBand = [&](int bottom) {
        if (top >= 0) {
            const QRect rows(left, top, right - left, bottom - top);
            bands.push_back({rows.topLeft(), bitmap_.copy(rows)});
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
        runs.emplace_back(begin, y, end - begin, 1);
    });
    closeBand(lastRow + 1);
    shown_ = RegionOf(runs);
    size_ = bitmap_.size();
    key_ = key;
    bands_ = std::move(bands);
    settled_ = true;
    bitmap_ = QImage();
}

QRegion TDUIOverlay::ShownRegion() const {
    if (settled_) {
        return shown_;
    }
    return bitmap_.isNull() ? QRegion() : ComputeShownRegion(bitmap_);
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
    if (transparent) {
        painter.setClipRegion(CachedShownRegion().translated(origin));
    }
    if (!settled_) {
        painter.drawImage(origin, bitmap_);
        return;
    }
    if (!transparent) {
        painter.fillRect(QRect(origin, size_), QColor(key_));
    }
    for (const Band& band : bands_) {
        painter.drawImage(origin + band.at, band.pixels);
    }
}
