#include "Painting.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace art {
namespace {

QString g_family;

// One pass of a running-sum box filter along rows or columns, in integers so every run gives
// the same pixels.
void BoxPass(std::vector<int>& values, int width, int height, int radius, bool alongRows) {
    const int lines = alongRows ? height : width;
    const int length = alongRows ? width : height;
    std::vector<int> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> int& {
            return alongRows ? values[static_cast<size_t>(l * width + i)]
                             : values[static_cast<size_t>(i * width + l)];
        };
        for (int i = 0; i < length; ++i) {
            line[static_cast<size_t>(i)] = at(i);
        }
        int sum = 0;
        for (int i = -radius; i <= radius; ++i) {
            if (i >= 0 && i < length) {
                sum += line[static_cast<size_t>(i)];
            }
        }
        for (int i = 0; i < length; ++i) {
            at(i) = (sum + window / 2) / window;
            const int leaving = i - radius;
            const int entering = i + radius + 1;
            if (leaving >= 0) {
                sum -= line[static_cast<size_t>(leaving)];
            }
            if (entering < length) {
                sum += line[static_cast<size_t>(entering)];
            }
        }
    }
}

// The emboldening stroke grows every glyph by half its width on each side, so the letters are
// spread by the same amount to keep their spacing.
qreal BoldStroke(const CaptionStyle& style) {
    return style.bold ? style.pixelSize * 0.075 : 0.0;
}

QFont CaptionFont(const CaptionStyle& style) {
    QFont font = ArtFont(style.pixelSize);
    font.setLetterSpacing(QFont::AbsoluteSpacing, BoldStroke(style));
    return font;
}

} // namespace

QRectF FromPage(qreal x, qreal y, qreal w, qreal h) {
    return {x + kPageToPictureX, y, w, h};
}

void RegisterArtFont() {
    const char* file = "/usr/share/wine/fonts/tahoma.ttf";
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        throw std::runtime_error(std::string("cannot load ") + file +
                                 " (install the fonts-wine package)");
    }
    g_family = families.front();
}

QFont ArtFont(int pixelSize) {
    QFont font(g_family);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

QImage NewCanvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void PrepareForDrawing(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

void PaintShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, int blurRadius,
                 const QColor& colour) {
    const int margin = 3 * blurRadius + 2;
    const QRect box =
        shape.boundingRect().toAlignedRect().adjusted(-margin, -margin, margin, margin);
    QImage mask = NewCanvas(box.width(), box.height());
    {
        QPainter p(&mask);
        PrepareForDrawing(p);
        p.translate(-box.topLeft());
        p.fillPath(shape, Qt::black);
    }
    const int w = mask.width();
    const int h = mask.height();
    std::vector<int> alpha(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            alpha[static_cast<size_t>(y * w + x)] = qAlpha(row[x]);
        }
    }
    // Three box passes each way come close enough to a Gaussian.
    for (int pass = 0; pass < 3 && blurRadius > 0; ++pass) {
        BoxPass(alpha, w, h, blurRadius, true);
        BoxPass(alpha, w, h, blurRadius, false);
    }
    QImage shadow(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = alpha[static_cast<size_t>(y * w + x)] * colour.alpha() / 255;
            row[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), a));
        }
    }
    painter.drawImage(box.topLeft() + offset, shadow);
}

void PaintCard(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill,
               const QColor& border, int shadowAlpha) {
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    if (shadowAlpha > 0) {
        PaintShadow(painter, shape, QPointF(0, 2), 3, QColor(40, 70, 120, shadowAlpha));
    }
    painter.fillPath(shape, fill);
    // A hairline exactly on the pixel grid: half a pixel inside the card's outer edge.
    QPainterPath outline;
    outline.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(outline, QPen(border, 1.0));
}

QPainterPath SpeakerPath(const QRectF& box) {
    // Proportions of a classic loudspeaker symbol: a small magnet box and a wide cone.
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF magnet(box.left(), box.top() + h * 0.32, w * 0.36, h * 0.36);
    QPainterPath path;
    path.addRoundedRect(magnet, w * 0.06, w * 0.06);
    QPolygonF cone;
    cone << QPointF(box.left() + w * 0.30, box.top() + h * 0.32)
         << QPointF(box.left() + w * 0.92, box.top())
         << QPointF(box.left() + w, box.top() + h * 0.06)
         << QPointF(box.left() + w, box.top() + h * 0.94)
         << QPointF(box.left() + w * 0.92, box.bottom())
         << QPointF(box.left() + w * 0.30, box.top() + h * 0.68);
    QPainterPath conePath;
    conePath.addPolygon(cone);
    conePath.closeSubpath();
    return path.united(conePath);
}

void StrokeSoundWaves(QPainter& painter, QPointF centre, qreal firstRadius, qreal step, int count,
                      qreal startAngle, qreal span, qreal width, const QColor& colour) {
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const qreal r = firstRadius + step * i;
        painter.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r),
                        static_cast<int>(startAngle * 16), static_cast<int>(span * 16));
    }
    painter.restore();
}

void PaintCornerWaves(QPainter& painter, int width) {
    // Rings centred just outside the top right corner, fading as they grow. They stay clear of
    // the titles and text lines on the left and end above y 85, where panels and cards begin.
    const QPointF centre(width + 10, -24);
    for (int i = 0; i < 4; ++i) {
        const qreal r = 40 + 22 * i;
        QColor c = kBrandBlue;
        c.setAlpha(24 - 4 * i);
        painter.save();
        painter.setPen(QPen(c, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, r, r);
        painter.restore();
    }
}

qreal CaptionWidth(const QString& text, const CaptionStyle& style) {
    return QFontMetricsF(CaptionFont(style)).horizontalAdvance(text) - BoldStroke(style);
}

void PaintCaption(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                  const CaptionStyle& style) {
    const QFont font = CaptionFont(style);
    const QFontMetricsF metrics(font);
    const qreal width = CaptionWidth(text, style);
    qreal x = rect.left();
    if (flags & Qt::AlignHCenter) {
        x = rect.center().x() - width / 2;
    } else if (flags & Qt::AlignRight) {
        x = rect.right() - width;
    }
    const qreal baseline = std::round(rect.center().y() + metrics.capHeight() / 2);
    const qreal stroke = BoldStroke(style);

    auto draw = [&](QPointF origin, const QColor& colour) {
        if (stroke > 0) {
            QPainterPath path;
            path.addText(origin, font, text);
            painter.fillPath(path, colour);
            painter.strokePath(path,
                               QPen(colour, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        } else {
            painter.save();
            painter.setFont(font);
            painter.setPen(colour);
            painter.drawText(origin, text);
            painter.restore();
        }
    };
    if (style.shadow.alpha() > 0) {
        draw(QPointF(x, baseline + 1), style.shadow);
    }
    draw(QPointF(x, baseline), style.colour);
}

} // namespace art
