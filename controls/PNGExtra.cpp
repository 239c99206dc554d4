#include "controls/PNGExtra.h"

#include "config/ExceptionGuard.h"
#include "controls/QtFont.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

TPNGButton::TPNGButton(QWidget* parent) : QWidget(parent) {
    resize(23, 23);
    // The button learns of every move, not only those with a button held.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

TPNGButton::~TPNGButton() = default;

void TPNGButton::Repaint() {
    if (isVisible()) {
        repaint();
    }
}

void TPNGButton::SetFont(const TFont& value) {
    font_ = value;
    Repaint();
}

void TPNGButton::SetCheck(bool value) {
    check_ = value;
    Repaint();
}

void TPNGButton::SetCaption(const std::string& value) {
    caption_ = value;
    Repaint();
}

void TPNGButton::SetImageNorm(const TGraphic& value) {
    imageNorm_ = value;
    Repaint();
}

void TPNGButton::SetImageDown(const TGraphic& value) {
    imageDown_ = value;
    Repaint();
}

void TPNGButton::SetImageOver(const TGraphic& value) {
    imageOver_ = value;
    Repaint();
}

const TGraphic& TPNGButton::ChosenPicture() const {
    const TGraphic* chosen = &imageNorm_;
    if (state_ == TButtonState::Down && mouseOver_ && !imageDown_.Empty()) {
        chosen = &imageDown_;
    } else if (mouseOver_ && !imageOver_.Empty() && isEnabled()) {
        chosen = &imageOver_;
    } else if (state_ == TButtonState::Disabled && !imageDisabled_.Empty()) {
        chosen = &imageDisabled_;
    }
    if (check_) {
        chosen = &imageDown_;
    }
    return *chosen;
}

void TPNGButton::Click() {
    if (state_ == TButtonState::Down) {
        state_ = TButtonState::Up;
        Repaint();
    }
    if (OnClick) {
        OnClick(this);
    }
}

void TPNGButton::SetMouseOver(bool value) {
    mouseOver_ = value;
    Repaint();
}

void TPNGButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    Guarded([this] { SetMouseOver(true); });
}

void TPNGButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    Guarded([this] { SetMouseOver(false); });
}

void TPNGButton::Press(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        clickPending_ = true;
        if (state_ == TButtonState::Up) {
            state_ = TButtonState::Down;
            Repaint();
        }
    }
    if (OnMouseDown) {
        const QPoint at = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
    }
}

void TPNGButton::mousePressEvent(QMouseEvent* event) {
    Guarded([&] { Press(event); });
}

void TPNGButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the double click event, then the press as usual;
    // the release after it is no second click.
    Guarded([&] {
        if (event->button() == Qt::LeftButton && OnDblClick) {
            OnDblClick(this);
        }
        Press(event);
        clickPending_ = false;
    });
}

void TPNGButton::mouseMoveEvent(QMouseEvent* event) {
    Guarded([&] {
        const QPoint at = event->position().toPoint();
        // While a button is held Qt keeps sending the moves here but no enter or leave, so
        // crossing the edge is found by hit tests.
        if (event->buttons() != Qt::NoButton) {
            const bool inside = rect().contains(at);
            if (inside != mouseOver_) {
                SetMouseOver(inside);
            }
        }
        const bool withinMoveArea =
            at.x() >= 0 && at.x() < width() && at.y() >= 0 && at.y() <= height();
        if (withinMoveArea && !mouseOver_ && state_ != TButtonState::Down) {
            SetMouseOver(true);
        }
        if (OnMouseMove) {
            OnMouseMove(this, event->modifiers(), at.x(), at.y());
        }
    });
}

void TPNGButton::mouseReleaseEvent(QMouseEvent* event) {
    Guarded([&] {
        const QPoint at = event->position().toPoint();
        // The click comes before the release's own handling, and only for a release over us.
        if (event->button() == Qt::LeftButton && clickPending_) {
            clickPending_ = false;
            if (rect().contains(at)) {
                Click();
            }
        }
        if (check_) {
            return;
        }
        if (state_ == TButtonState::Down) {
            state_ = TButtonState::Up;
            Repaint();
        }
        if (OnMouseUp) {
            OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
        }
        Repaint();
    });
}

void TPNGButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        Guarded([this] {
            state_ = isEnabled() ? TButtonState::Up : TButtonState::Disabled;
            if (!isEnabled()) {
                clickPending_ = false;
            }
            Repaint();
        });
    }
}

void TPNGButton::Paint() {
    QPainter painter(this);
    const TGraphic& picture = ChosenPicture();
    if (!picture.Empty()) {
        painter.drawImage(0, 0, picture.ToImage());
    }
    if (caption_.empty()) {
        return;
    }
    const QFont font = ToQFont(font_);
    const QString text = QString::fromStdString(caption_);
    const QFontMetrics metrics(font);
    const int x = (width() - metrics.horizontalAdvance(text)) / 2;
    const int y = (height() - metrics.height()) / 2;
    painter.setClipRect(rect());
    painter.setFont(font);
    painter.setPen(ToQColor(state_ == TButtonState::Disabled ? clGrayText : font_.Color()));
    painter.drawText(x, y + metrics.ascent(), text);
}

void TPNGButton::paintEvent(QPaintEvent*) {
    Guarded([this] { Paint(); });
}
