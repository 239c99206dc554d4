#include "controls/OEUnitXLabel.h"

#include "config/ExceptionGuard.h"
#include "platform/Shell.h"

#include <QMouseEvent>

TOEXLabel::TOEXLabel(QWidget* parent) : QLabel(parent) {
    // Text only: a label never interprets markup from the configuration.
    setTextFormat(Qt::PlainText);
}

TOEXLabel::~TOEXLabel() = default;

void TOEXLabel::Click() {
    if (OnClick) {
        OnClick(this);
    }
    if (!url_.empty()) {
        ShellExecuteA(nullptr, "OPEN", url_.c_str(), nullptr, nullptr, SW_SHOW);
    }
}

void TOEXLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        clickPending_ = true;
    }
}

void TOEXLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !clickPending_) {
        return;
    }
    clickPending_ = false;
    if (rect().contains(event->position().toPoint())) {
        Guarded([this] { Click(); });
    }
}
