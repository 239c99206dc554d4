#pragma once
// TOEButtonEx: a focusable push button drawn as a glossy two-part gradient, with a hot face while
// the pointer is over it and a down face while it is pressed by the mouse or the space bar.

#include "controls/ButtonPainter.h"
#include "controls/NotifyEvent.h"
#include "platform/Win32Types.h"

#include <QImage>
#include <QWidget>
#include <string>

class TOEButtonEx : public QWidget {
public:
    explicit TOEButtonEx(QWidget* parent = nullptr);
    ~TOEButtonEx() override;

    // Any non-zero value is true. Schedules a repaint.
    BOOL Gradient() const { return gradient_; }
    void SetGradient(BOOL value);
    // The first row of the lower gradient. Every paint sets it back to half the height, so a
    // stored value lasts only until then. Schedules a repaint.
    int SplitSpace() const { return splitSpace_; }
    void SetSplitSpace(int value);

    // Whether the button takes the focus from the Tab key and from a click.
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);

    // Narrow text; an ampersand underlines the character after it. Schedules a repaint.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& value); // schedules a repaint

    // Raised by Click, only while the button is enabled.
    TNotifyEvent OnClick;

    // The click operation: when enabled, shows the normal face at once and raises OnClick.
    void Click();

    TButtonState State() const { return state_; }
    // Whether the button counts itself focused (and shows the focus dots while enabled).
    bool FocusedFlag() const { return focused_; }

    // The face the last paint composed (null before the first paint).
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PaintNow();
    void PointerEntered();
    void PointerLeft();

    BOOL gradient_ = 0;
    bool focused_ = false;
    bool mouseHeld_ = false;
    // Whether the pointer is over the button, as far as the enter and leave events and the hit
    // tests while the mouse is held have told.
    bool pointerInside_ = false;
    TButtonState state_ = TButtonState::Normal;
    QImage frame_;
    int splitSpace_ = 0;
    bool tabStop_ = true;
    std::string caption_;
    TFont font_;
};
