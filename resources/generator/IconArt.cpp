// The 32x32 status icons: information, warning, error, success. The report list uses the
// badge set (solid, with a gradient and a white sign); the outline set is a lighter, line-drawn
// alternative with the same four meanings.

#include "Painting.h"
#include "Products.h"

#include <QLinearGradient>

namespace art {
namespace {

constexpr int kSize = 32;

struct Tone {
    QColor light;
    QColor dark;
    QColor rim;
    QColor sign; // colour of the sign on the solid badge
};

Tone ToneOf(IconMeaning meaning) {
    switch (meaning) {
    case IconMeaning::Information:
        return {QColor(86, 156, 250), QColor(18, 86, 214), QColor(12, 66, 176), Qt::white};
    case IconMeaning::Warning:
        return {QColor(255, 214, 80), QColor(244, 166, 16), QColor(200, 124, 0), QColor(74, 48, 0)};
    case IconMeaning::Error:
        return {QColor(246, 100, 90), QColor(204, 38, 42), QColor(164, 24, 30), Qt::white};
    case IconMeaning::Success:
        return {QColor(92, 204, 112), QColor(30, 152, 66), QColor(20, 120, 48), Qt::white};
    }
    return {};
}

// The badge outline: a triangle with softened corners for a warning, a circle otherwise.
QPainterPath BadgeShape(IconMeaning meaning, qreal inset) {
    QPainterPath path;
    if (meaning == IconMeaning::Warning) {
        // Offsetting a sharp triangle by a round stroke gives it even, rounded corners.
        QPolygonF sharp;
        sharp << QPointF(16, 5 + inset) << QPointF(28.3 - inset, 26.6 - inset * 0.5)
              << QPointF(3.7 + inset, 26.6 - inset * 0.5);
        QPainterPath core;
        core.addPolygon(sharp);
        core.closeSubpath();
        QPainterPathStroker rounder;
        rounder.setWidth(4.0);
        rounder.setJoinStyle(Qt::RoundJoin);
        path = core.united(rounder.createStroke(core)).simplified();
    } else {
        // A little above the middle, leaving room below for the shadow.
        const qreal r = 14 - inset;
        path.addEllipse(QPointF(16, 15.5), r, r);
    }
    return path;
}

// The sign inside an icon, drawn as strokes so it stays crisp at 32 pixels. weight scales the
// stroke width (the outline set uses a slightly lighter hand).
void PaintSign(QPainter& p, IconMeaning meaning, const QColor& colour, qreal weight) {
    p.save();
    if (meaning != IconMeaning::Warning) {
        p.translate(0, -0.5); // the circles sit half a pixel above the middle
    }
    QPen pen(colour, 3.2 * weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (meaning) {
    case IconMeaning::Information:
        p.drawLine(QPointF(16, 14.5), QPointF(16, 22.5));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(16, 9.6), 2.1 * weight, 2.1 * weight);
        break;
    case IconMeaning::Warning:
        p.drawLine(QPointF(16, 12.5), QPointF(16, 18.8));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(16, 22.8), 1.9 * weight, 1.9 * weight);
        break;
    case IconMeaning::Error:
        p.drawLine(QPointF(11.2, 11.2), QPointF(20.8, 20.8));
        p.drawLine(QPointF(20.8, 11.2), QPointF(11.2, 20.8));
        break;
    case IconMeaning::Success: {
        QPainterPath tick;
        tick.moveTo(9.8, 16.6);
        tick.lineTo(14.2, 20.8);
        tick.lineTo(22.4, 11.6);
        p.drawPath(tick);
        break;
    }
    }
    p.restore();
}

} // namespace

QImage MakeBadgeIcon(IconMeaning meaning) {
    QImage image = NewCanvas(kSize, kSize);
    QPainter p(&image);
    PrepareForDrawing(p);
    const Tone tone = ToneOf(meaning);
    const QPainterPath shape = BadgeShape(meaning, 0.5);

    PaintShadow(p, shape, QPointF(0, 1), 1, QColor(0, 0, 0, 60));
    QLinearGradient fill(0, 2, 0, 30);
    fill.setColorAt(0, tone.light);
    fill.setColorAt(1, tone.dark);
    p.fillPath(shape, fill);

    // A soft highlight over the upper half, as if lit from above.
    p.save();
    p.setClipPath(shape);
    QLinearGradient sheen(0, 1, 0, 16);
    sheen.setColorAt(0, QColor(255, 255, 255, 90));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, kSize, 16), sheen);
    p.restore();

    p.strokePath(shape, QPen(tone.rim, 1.0));
    PaintSign(p, meaning, tone.sign, 1.0);
    return image;
}

QImage MakeOutlineIcon(IconMeaning meaning) {
    QImage image = NewCanvas(kSize, kSize);
    QPainter p(&image);
    PrepareForDrawing(p);
    const Tone tone = ToneOf(meaning);
    const QPainterPath shape = BadgeShape(meaning, 1.6);

    p.fillPath(shape, Qt::white);
    p.strokePath(shape, QPen(tone.dark, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Warnings use the darker rim colour for the sign: amber on white is too faint otherwise.
    PaintSign(p, meaning, meaning == IconMeaning::Warning ? tone.rim : tone.dark, 0.85);
    return image;
}

} // namespace art
