#pragma once
// The picture a page's drawn items go into, and the canvas that draws into it. The overlay
// pictures of the main window's pages hold one each (TImage), and show it with the colour of
// its bottom-left corner let through.

#include "graphics/Canvas.h"

#include <QImage>
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

    // The bitmap as the page shows it: every pixel of the colour found at its bottom-left
    // corner made fully transparent (white, as nothing is drawn there). Null before first use.
    QImage TransparentImage() const;

private:
    QImage bitmap_;
    std::unique_ptr<TCanvas> canvas_;
};
