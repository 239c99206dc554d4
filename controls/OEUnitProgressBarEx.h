#pragma once
// TVistaProBar: a glassy progress bar with a position mode and a marquee mode, drawn entirely by
// ProgressBarPainter into one off-screen image. It takes no focus and paints every pixel it
// covers, so the parent never erases behind it.

#include "controls/ProgressBarPainter.h"
#include "platform/Win32Types.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>

class TVistaProBar : public QWidget {
public:
    explicit TVistaProBar(QWidget* parent = nullptr);
    ~TVistaProBar() override;

    // Setters follow one of two patterns: some paint at once (the bar shows the new value before
    // the setter returns, if visible), the others schedule a repaint for the next paint cycle.

    bool AltMode() const { return look_.AltMode; }
    void SetAltMode(bool value); // schedules a repaint
    TColor BackColor() const { return look_.BackColor; }
    void SetBackColor(TColor value); // schedules a repaint
    TColor BorderColor() const { return look_.BorderColor; }
    void SetBorderColor(TColor value); // schedules a repaint
    TColor CornerColor() const { return look_.CornerColor; }
    void SetCornerColor(TColor value); // schedules a repaint
    TColor Color() const { return look_.Color; }
    void SetColor(TColor value); // schedules a repaint

    bool Marquee() const { return look_.Marquee; }
    // Starts or stops the animation timer; paints now. The animation step is kept either way.
    void SetMarquee(bool value);
    BYTE MarqueeSize() const { return static_cast<BYTE>(look_.MarqueeSize); }
    void SetMarqueeSize(BYTE value); // paints now
    BYTE MarqueeFade() const { return static_cast<BYTE>(look_.MarqueeFade); }
    void SetMarqueeFade(BYTE value); // paints now
    // Milliseconds per animation step; 0 stops the animation until a non-zero value comes.
    BYTE MarqueeSpeed() const { return marqueeSpeed_; }
    void SetMarqueeSpeed(BYTE value);

    std::int32_t Max() const { return look_.Max; }
    void SetMax(std::int32_t value); // paints now when changed; Position is not re-clamped
    std::int32_t Min() const { return look_.Min; }
    void SetMin(std::int32_t value); // paints now when changed; Position is not re-clamped
    std::int32_t Position() const { return look_.Position; }
    // The same value again does nothing; otherwise clamped to Max, then Min, and painted now.
    void SetPosition(std::int32_t value);

    TVPBOrientation Orientation() const { return look_.Orientation; }
    void SetOrientation(TVPBOrientation value); // paints now
    bool Percentage() const { return look_.Percentage; }
    void SetPercentage(bool value); // paints now when changed
    bool ShowPosText() const { return look_.ShowPosText; }
    void SetShowPosText(bool value); // paints now when changed
    const std::string& PosTextPrefix() const { return look_.PosTextPrefix; }
    void SetPosTextPrefix(const std::string& value); // paints now when changed
    const std::string& PosTextSuffix() const { return look_.PosTextSuffix; }
    void SetPosTextSuffix(const std::string& value); // paints now when changed

    // The font of the position text.
    const TFont& Font() const { return look_.Font; }
    void SetFont(const TFont& value); // schedules a repaint

    // The animation step the next frame shows.
    std::int32_t MarqueeStep() const { return look_.MarqueeStep; }
    // What the animation timer does on every interval: moves the block one step on, wrapping
    // after MarqueeSize + 100 steps, and schedules a repaint.
    void MarqueeTimerTick();

    // The frame the last paint composed (null before the first paint).
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintNow();
    void UpdateTimer();

    ProgressBarLook look_;
    BYTE marqueeSpeed_ = 25;
    QTimer timer_;
    QImage frame_;
};
