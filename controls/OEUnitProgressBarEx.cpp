#include "controls/OEUnitProgressBarEx.h"

#include "config/ExceptionGuard.h"

#include <QPainter>

TVistaProBar::TVistaProBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    resize(150, 17);
    timer_.setInterval(marqueeSpeed_);
    QObject::connect(&timer_, &QTimer::timeout, this,
                     [this] { Guarded([this] { MarqueeTimerTick(); }); });
}

TVistaProBar::~TVistaProBar() = default;

void TVistaProBar::PaintNow() {
    if (isVisible()) {
        repaint();
    }
}

void TVistaProBar::UpdateTimer() {
    // A zero interval would make Qt's timer fire whenever the event loop is idle; the bar's
    // animation instead stands still until it has a real interval.
    if (look_.Marquee && marqueeSpeed_ > 0) {
        timer_.start(marqueeSpeed_);
    } else {
        timer_.stop();
    }
}

void TVistaProBar::SetAltMode(bool value) {
    look_.AltMode = value;
    update();
}

void TVistaProBar::SetBackColor(TColor value) {
    look_.BackColor = value;
    update();
}

void TVistaProBar::SetBorderColor(TColor value) {
    look_.BorderColor = value;
    update();
}

void TVistaProBar::SetCornerColor(TColor value) {
    look_.CornerColor = value;
    update();
}

void TVistaProBar::SetColor(TColor value) {
    look_.Color = value;
    update();
}

void TVistaProBar::SetMarquee(bool value) {
    look_.Marquee = value;
    UpdateTimer();
    PaintNow();
}

void TVistaProBar::SetMarqueeSize(BYTE value) {
    look_.MarqueeSize = value;
    PaintNow();
}

void TVistaProBar::SetMarqueeFade(BYTE value) {
    look_.MarqueeFade = value;
    PaintNow();
}

void TVistaProBar::SetMarqueeSpeed(BYTE value) {
    marqueeSpeed_ = value;
    UpdateTimer();
}

void TVistaProBar::SetMax(std::int32_t value) {
    if (value != look_.Max) {
        look_.Max = value;
        PaintNow();
    }
}

void TVistaProBar::SetMin(std::int32_t value) {
    if (value != look_.Min) {
        look_.Min = value;
        PaintNow();
    }
}

void TVistaProBar::SetPosition(std::int32_t value) {
    if (value == look_.Position) {
        return;
    }
    if (value > look_.Max) {
        value = look_.Max;
    }
    if (value < look_.Min) {
        value = look_.Min;
    }
    look_.Position = value;
    PaintNow();
}

void TVistaProBar::SetOrientation(TVPBOrientation value) {
    look_.Orientation = value;
    PaintNow();
}

void TVistaProBar::SetPercentage(bool value) {
    if (value != look_.Percentage) {
        look_.Percentage = value;
        PaintNow();
    }
}

void TVistaProBar::SetShowPosText(bool value) {
    if (value != look_.ShowPosText) {
        look_.ShowPosText = value;
        PaintNow();
    }
}

void TVistaProBar::SetPosTextPrefix(const std::string& value) {
    if (value != look_.PosTextPrefix) {
        look_.PosTextPrefix = value;
        PaintNow();
    }
}

void TVistaProBar::SetPosTextSuffix(const std::string& value) {
    if (value != look_.PosTextSuffix) {
        look_.PosTextSuffix = value;
        PaintNow();
    }
}

void TVistaProBar::SetFont(const TFont& value) {
    look_.Font = value;
    update();
}

void TVistaProBar::MarqueeTimerTick() {
    if (look_.MarqueeStep >= look_.MarqueeSize + 100) {
        look_.MarqueeStep = 0;
    }
    update();
    ++look_.MarqueeStep;
}

void TVistaProBar::paintEvent(QPaintEvent*) {
    Guarded([this] {
        ComposeProgressBar(frame_, width(), height(), look_);
        if (!frame_.isNull()) {
            QPainter painter(this);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, frame_);
        }
    });
}
