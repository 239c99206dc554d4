#include "controls/OEUnitButtonEx.h"

#include "config/ExceptionGuard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TOEButtonEx::TOEButtonEx(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(75, 25);
    splitSpace_ = height() / 2;
    SetTabStop(true);
}

TOEButtonEx::~TOEButtonEx() = default;

void TOEButtonEx::PaintNow() {
    if (isVisible()) {
        repaint();
    }
}

void TOEButtonEx::SetGradient(BOOL value) {
    gradient_ = value;
    update();
}

void TOEButtonEx::SetSplitSpace(int value) {
    splitSpace_ = value;
    update();
}

void TOEButtonEx::SetTabStop(bool value) {
    tabStop_ = value;
    // A click takes the focus by hand (only with TabStop), so Qt itself only moves it with Tab.
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

void TOEButtonEx::SetCaption(const std::string& value) {
    caption_ = value;
    update();
}

void TOEButtonEx::SetFont(const TFont& value) {
    font_ = value;
    update();
}

void TOEButtonEx::Click() {
    if (!isEnabled()) {
        return;
    }
    state_ = TButtonState::Normal;
    PaintNow();
    if (OnClick) {
        OnClick(this);
    }
}

void TOEButtonEx::PointerEntered() {
    pointerInside_ = true;
    state_ = mouseHeld_ ? TButtonState::Down : TButtonState::Hot;
    PaintNow();
}

void TOEButtonEx::PointerLeft() {
    pointerInside_ = false;
    state_ = TButtonState::Normal;
    PaintNow();
}

void TOEButtonEx::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    // Qt may repeat an enter the hit tests below already saw; only a real crossing counts.
    if (!pointerInside_) {
        PointerEntered();
    }
}

void TOEButtonEx::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    PointerLeft();
}

void TOEButtonEx::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Whatever is under the pointer when the button comes back, it has to enter anew.
    pointerInside_ = false;
}

void TOEButtonEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    state_ = TButtonState::Down;
    mouseHeld_ = true;
    pointerInside_ = true;
    if (tabStop_) {
        setFocus(Qt::MouseFocusReason);
    }
    PaintNow();
}

void TOEButtonEx::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held Qt sends every move here and no enter or leave events, so the
    // crossings are found by hit tests.
    if (mouseHeld_) {
        const bool inside = rect().contains(event->position().toPoint());
        if (inside && !pointerInside_) {
            PointerEntered();
        } else if (!inside && pointerInside_) {
            PointerLeft();
        }
    }
    QWidget::mouseMoveEvent(event);
}

void TOEButtonEx::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !mouseHeld_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pointerInside_ = rect().contains(event->position().toPoint());
    // A release over the button is a click, and the click comes before the release's own
    // handling, as users of the button expect.
    if (pointerInside_) {
        Click();
    }
    state_ = TButtonState::Normal;
    mouseHeld_ = false;
    PaintNow();
}

void TOEButtonEx::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        state_ = TButtonState::Down;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Every repeat of a held Enter clicks again.
        Click();
        break;
    default:
        break;
    }
    PaintNow();
}

void TOEButtonEx::keyReleaseEvent(QKeyEvent* event) {
    // A held space bar repeats as release and press pairs; only the real release clicks.
    if (event->key() != Qt::Key_Space || event->isAutoRepeat()) {
        return;
    }
    state_ = TButtonState::Normal;
    PaintNow();
    Click();
}

void TOEButtonEx::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (isEnabled()) {
        focused_ = true;
        PaintNow();
    }
}

void TOEButtonEx::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Qt moves the focus away from a button as it is disabled; the flag follows even then, or
    // the button would show focus dots without the focus once enabled again.
    focused_ = false;
    if (isEnabled()) {
        state_ = TButtonState::Normal;
    }
    PaintNow();
}

void TOEButtonEx::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        // A disabled button gets no release, so a press it was holding ends here.
        if (!isEnabled()) {
            mouseHeld_ = false;
        }
        update();
    }
}

void TOEButtonEx::paintEvent(QPaintEvent*) {
    Guarded([this] {
        splitSpace_ = height() / 2;
        ButtonFace face;
        face.Colours = &ButtonColours(isEnabled(), state_);
        face.Gradient = gradient_ != 0;
        face.SplitSpace = splitSpace_;
        face.Caption = caption_;
        face.Font = font_;
        face.FocusDots = focused_ && isEnabled();
        ComposeButtonFace(frame_, width(), height(), face);
        if (!frame_.isNull()) {
            QPainter painter(this);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, frame_);
        }
    });
}
