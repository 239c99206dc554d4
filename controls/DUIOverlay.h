#pragma once
// The picture a page's drawn items go into, and the canvas that draws into it. The overlay
// pictures of the main window's pages hold one each (TImage), and show it with the colour of
// its bottom-left corner let through.

#include "graphics/Canvas.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>
#include <memory>
#include <vector>

class QPainter;

// A page's overlay picture and the canvas that draws into it. The bitmap is made on first use
// and kept, and so is the canvas with its font: the font one activation leaves is where the
// next one starts.
//
// Once a page's items are drawn, Settle() keeps only the rows that show something (drawn items
// are a few lines of text on a page-sized bitmap: a tenth of its rows or so) and lets the
// page-sized bitmap go. The next Canvas() makes it again, as it was, from those rows.
class TDUIOverlay {
public:
    TDUIOverlay();
    ~TDUIOverlay();
    TDUIOverlay(const TDUIOverlay&) = delete;
    TDUIOverlay& operator=(const TDUIOverlay&) = delete;

    // The canvas, making the bitmap at size (white) the first time, or again from the kept rows
    // after Settle(). Later calls keep the bitmap as it is, whatever size they name. A size with
    // no pixels gives a canvas that draws nothing.
    TCanvas& Canvas(QSize size);
    // The canvas as Canvas() gives it; null before the first use.
    TCanvas* ExistingCanvas();
    bool HasBitmap() const { return canvas_ != nullptr; }
    // The bitmap as drawn (made from the kept rows when settled). Null before the first use.
    QImage Bitmap() const;
    QSize Size() const;

    // Keeps the rows that show something and lets the page-sized bitmap go; nothing changes in
    // what Paint() shows. Does nothing before the first use or when settled already.
    void Settle();
    bool Settled() const { return settled_; }

    // The part of the bitmap the page shows: every pixel but those of the colour found at its
    // bottom-left corner (white, as nothing is drawn there). Empty before first use.
    QRegion ShownRegion() const;
    // The bitmap as the page shows it, the rest fully transparent. Null before first use.
    QImage TransparentImage() const;

    // Paints the bitmap with its top-left corner at origin: only what it shows when transparent
    // (so no see-through copy of a page-sized bitmap is held), all of it otherwise.
    void Paint(QPainter& painter, QPoint origin, bool transparent);

private:
    // A run of rows that show something, from the leftmost to the rightmost pixel shown in them,
    // premultiplied, with the pixels of the key colour fully transparent.
    struct Band {
        QPoint at;
        QImage pixels;
    };

    const QRegion& CachedShownRegion();

    QImage bitmap_; // null while settled
    std::unique_ptr<TCanvas> canvas_;
    QRegion shown_;        // what the bitmap shows, for the bitmap with key shownKey_
    qint64 shownKey_ = 0;
    bool settled_ = false; // then the size, key colour and bands below stand for the bitmap
    QSize size_;
    QRgb key_ = 0;
    std::vector<Band> bands_;
};
