// The two image buttons of the welcome page. The program shows only their normal state, so the
// caption is part of the picture; the corners and the shadow are transparent so the page shows
// through.

#include "Painting.h"
#include "Products.h"

#include <QLinearGradient>

namespace art {
namespace {

struct ButtonColours {
    QColor top;
    QColor bottom;
    QColor border;
    QColor shadow;
};

// A rounded face with a gentle vertical gradient, a highlight along the upper edge and a soft
// shadow below; returns the face so the caller can place the caption on it.
QRectF PaintButtonFace(QPainter& p, const QSize& size, qreal radius, const ButtonColours& c) {
    // Margins sized so the shadow fades out inside the picture instead of being cut off at
    // its edge.
    const QRectF face(3, 1, size.width() - 6, size.height() - 6);
    QPainterPath shape;
    shape.addRoundedRect(face, radius, radius);
    PaintShadow(p, shape, QPointF(0, 2), 1, c.shadow);

    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, c.top);
    fill.setColorAt(1, c.bottom);
    p.fillPath(shape, fill);

    // Upper half a touch lighter: the glassy look that reads as "press me".
    p.save();
    p.setClipPath(shape);
    QLinearGradient sheen(face.topLeft(), QPointF(face.left(), face.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, 60));
    sheen.setColorAt(1, QColor(255, 255, 255, 12));
    p.fillRect(QRectF(face.left(), face.top(), face.width(), face.height() / 2), sheen);
    p.restore();

    QPainterPath inner;
    inner.addRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
    p.strokePath(inner, QPen(QColor(255, 255, 255, 70), 1.0));
    QPainterPath outline;
    outline.addRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.strokePath(outline, QPen(c.border, 1.0));
    return face;
}

// A magnifying glass: the "scan" in Start Scan.
void PaintMagnifier(QPainter& p, QPointF centre, qreal radius, const QColor& colour) {
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(centre, radius, radius);
    const qreal d = radius * 0.72;
    p.setPen(QPen(colour, 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(centre.x() + d + 1.2, centre.y() + d + 1.2),
               QPointF(centre.x() + d + 6.5, centre.y() + d + 6.5));
    p.restore();
}

// Three joined dots, the usual sign for passing something on.
void PaintShareGlyph(QPainter& p, const QRectF& box, const QColor& colour) {
    const QPointF a(box.right() - 2.5, box.top() + 2.5);
    const QPointF b(box.left() + 2.5, box.center().y());
    const QPointF c(box.right() - 2.5, box.bottom() - 2.5);
    p.save();
    p.setPen(QPen(colour, 1.6));
    p.drawLine(a, b);
    p.drawLine(b, c);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const QPointF& dot : {a, b, c}) {
        p.drawEllipse(dot, 2.6, 2.6);
    }
    p.restore();
}

// Lays out a glyph of the given width and the caption as one centred group on the face.
qreal GroupLeft(const QRectF& face, qreal glyphWidth, qreal gap, const QString& text,
                const CaptionStyle& style) {
    return face.center().x() - (glyphWidth + gap + CaptionWidth(text, style)) / 2;
}

} // namespace

QImage MakeStartButton() {
    QImage image = NewCanvas(300, 54);
    QPainter p(&image);
    PrepareForDrawing(p);
    const QRectF face = PaintButtonFace(
        p, image.size(), 9,
        {QColor(78, 198, 98), QColor(28, 146, 62), QColor(20, 118, 48), QColor(10, 70, 30, 110)});

    const QColor textShadow(0, 60, 20, 90);
    const CaptionStyle style{20, true, Qt::white, textShadow};
    const QString caption = "Start Scan";
    const qreal left = GroupLeft(face, 22, 11, caption, style);
    PaintMagnifier(p, QPointF(left + 8, face.center().y() - 3 + 1), 6.5, textShadow);
    PaintMagnifier(p, QPointF(left + 8, face.center().y() - 3), 6.5, Qt::white);
    PaintCaption(p, QRectF(left + 33, face.top(), face.width(), face.height()), Qt::AlignLeft,
                 caption, style);
    return image;
}

QImage MakeShareButton() {
    QImage image = NewCanvas(135, 34);
    QPainter p(&image);
    PrepareForDrawing(p);
    const QRectF face = PaintButtonFace(
        p, image.size(), 6,
        {QColor(64, 128, 240), QColor(18, 72, 200), QColor(14, 56, 160), QColor(10, 30, 90, 100)});

    const CaptionStyle style{13, true, Qt::white, QColor(0, 20, 80, 90)};
    const QString caption = "Share";
    const qreal left = GroupLeft(face, 13, 8, caption, style);
    PaintShareGlyph(p, QRectF(left, face.center().y() - 6.5, 13, 13), Qt::white);
    PaintCaption(p, QRectF(left + 21, face.top(), face.width(), face.height()), Qt::AlignLeft,
                 caption, style);
    return image;
}

} // namespace art
