#pragma once
// TImage: a window-less picture on its parent. It shows either a decoded picture (still, or an
// animation that plays with its own frame delays while the control is visible) or a bitmap of
// its own size that the program draws on through Canvas() - the drawn items of a page go into
// one. Nothing of its own is painted around the picture, so whatever the parent painted shows
// through; a transparent bitmap also lets the parent through wherever it has the colour of its
// bottom-left pixel.

#include "controls/DUIOverlay.h"
#include "controls/HeldFrame.h"
#include "graphics/Canvas.h"
#include "graphics/Picture.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <memory>
#include <vector>

// A picture's frames in the form TImage paints them, with their delays. Made from a decoded
// graphic, whose pixels it takes over; on any thread, so that a picture can be made ready
// before the window needs it.
struct TPaintedPicture {
    std::vector<THeldFrame> frames;
    std::vector<int> delaysMs; // each frame's own delay; 0 when the file names none
    int loopCount = 0;         // how often the animation repeats; 0 for ever
};
// Large frames are packed unless pack is false (see THeldFrame).
TPaintedPicture PaintedPicture(TGraphic&& graphic, bool pack = true);

class TImage : public QWidget {
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    // Centre the picture in the control (halves truncated) instead of placing it top-left.
    bool Center() const { return center_; }
    void SetCenter(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);

    // Takes graphic as the picture (dropping a bitmap) and starts its animation from the first
    // frame when it has more than one. Schedules a repaint. Only the frames in the form Qt
    // paints are kept (with their delays): the decoded pixels are not held a second time.
    void SetGraphic(const TGraphic& graphic);
    // The same for a graphic handed over: its pixels become the painted frames in place.
    void SetGraphic(TGraphic&& graphic);
    // The same for a picture made ready to paint.
    void SetPicture(TPaintedPicture&& picture);
    // Drops the picture and the bitmap.
    void Clear();
    bool Empty() const { return frames_.empty() && !overlay_; }

    // The picture's size, and its frames as painted (premultiplied); empty without a picture.
    QSize PictureSize() const { return frames_.empty() ? QSize() : frames_.front().Size(); }
    std::size_t FrameCount() const { return frames_.size(); }
    bool Animated() const { return frames_.size() > 1; }
    QImage Frame(std::size_t index) const { return frames_.at(index).Image(); }
    const THeldFrame& HeldFrame(std::size_t index) const { return frames_.at(index); }

    // The control's bitmap and its canvas, made white at the control's size on first use (the
    // picture, if any, is dropped then). They last as long as the control, and so does the
    // canvas font. Drawing on it shows with the next repaint.
    TDUIOverlay& Overlay();
    TCanvas& Canvas();
    // The bitmap as drawn; null without one.
    QImage Bitmap() const;
    // Drawing is done for now: the bitmap is held as the rows that show something until the
    // next Canvas() (see TDUIOverlay::Settle). Nothing without a bitmap.
    void FinishDrawing();
    // Packs the frames held plain (see THeldFrame::Pack).
    void PackFrames();

    // The animation frame on show, and whether the animation is running.
    std::size_t CurrentFrame() const { return frame_; }
    bool Animating() const { return timer_.isActive(); }

    // How long an animation frame that names no delay stays.
    static constexpr int kDefaultFrameDelayMs = 100;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StartAnimation();
    void NextFrame();
    int FrameDelay(std::size_t frame) const;

    bool center_ = false;
    bool transparent_ = false;
    std::vector<THeldFrame> frames_; // the picture's frames, ready for Qt to blend
    std::vector<int> delaysMs_;  // each frame's own delay; 0 when the file names none
    int loopCount_ = 0;          // how often the animation repeats; 0 for ever
    std::size_t frame_ = 0;
    int passes_ = 0; // whole passes through the animation so far
    QTimer timer_;
    std::unique_ptr<TDUIOverlay> overlay_; // null while the control shows a picture
};
