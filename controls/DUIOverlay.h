#pragma once
// The picture a page's drawn items go into, and the canvas that draws into it. The overlay
// pictures of the main window's pages hold one each (TImage), and show it with the colour of
// its bottom-left corner let through.

#include "graphics/Canvas.h"

#include <QImage>
#include <QRegion>
#include <QSize>
#include <memory>

// A page's overlay picture and the canvas that draws into it. The bitmap is made on first use
// and kept, and so is the canvas with its font: the font one activation leaves is where the
// next one starts.
class TDUIOverlay {
public:
    TDUIOverlay();
    ~TDUIOverlay();
    TDUIOverlay(const TDUIOverlay&) = delete;
    TDUIOverlay& operator=(const TDUIOverlay&) = delete;

    // The canvas, making the bitmap at size (white) the first time. Later calls keep the bitmap
    // as it is, whatever size they name. A size with no pixels gives a canvas that draws
    // nothing.
    TCanvas& Canvas(QSize size);
    // Null before the first use.
    TCanvas* ExistingCanvas() { return canvas_.get(); }
    bool HasBitmap() const { return canvas_ != nullptr; }
    const QImage& Bitmap() const { return bitmap_; }

    // The part of the bitmap the page shows: every pixel but those of the colour found at its
    // bottom-left corner (white, as nothing is drawn there). The page paints the bitmap through
    // it, so that no see-through copy of a page-sized bitmap is held. Empty before first use.
    QRegion ShownRegion() const;
    // The bitmap as the page shows it, the rest fully transparent. Null before first use.
    QImage TransparentImage() const;

private:
    QImage bitmap_;
    std::unique_ptr<TCanvas> canvas_;
};
