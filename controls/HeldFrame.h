#pragma once
// One frame of a picture as TImage holds it, premultiplied as Qt blends it. The page backgrounds
// are page-sized but mostly flat colour: such a frame is held as runs, each row a sequence of
// spans that are either one colour repeated or the pixels themselves, a tenth of its plain size
// or less. Painting unpacks only the rows and columns asked for, a strip at a time. Small frames,
// and those that runs would not make at least half as small, are held plain.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <vector>

class QPainter;

class THeldFrame {
public:
    THeldFrame() = default;
    // Takes decoded pixels (0xAARRGGBB, not premultiplied, row after row). A frame short of
    // pixels shows transparent where it has none, never what lies beyond. Unless pack is false,
    // the frame is packed at once when that is worth it.
    THeldFrame(int width, int height, std::vector<std::uint32_t>&& pixels, bool pack = true);

    // Packs a frame held plain, when that is worth it (see above).
    void Pack();

    QSize Size() const { return size_; }
    bool Null() const { return size_.isEmpty(); }
    bool Packed() const { return !rowStarts_.empty(); }
    // What the frame's pixels take in memory.
    std::size_t HeldBytes() const;

    // The whole frame, premultiplied.
    QImage Image() const;
    // Draws the frame with its top-left corner at origin; a packed frame unpacks only the part
    // that falls in exposed (in the painter's coordinates).
    void Paint(QPainter& painter, QPoint origin, const QRect& exposed) const;

    // The smallest frame worth packing, in pixels.
    static constexpr qsizetype kSmallestPacked = 16 * 1024;

private:
    void PackFrom(const std::uint32_t* premultiplied);
    // Columns [left, left + count) of row y into out.
    void UnpackRow(int y, int left, int count, std::uint32_t* out) const;

    QSize size_;
    QImage plain_;                          // null when packed
    std::vector<std::uint32_t> spans_;      // a packed frame's rows, one after the other
    std::vector<std::uint32_t> rowStarts_;  // where each row begins in spans_
};
