// The program's icon for the desktop's menus and task bar: the product mark's speaker and sound
// waves in white on a blue tile, with a small green tick for "fixed". Drawn on a 256-unit grid
// and scaled, so every size the icon theme asks for comes from the same drawing.

#include "Painting.h"
#include "Products.h"

#include <QLinearGradient>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace art {
namespace {

constexpr qreal kGrid = 256;

QPainterPath Tile() {
    QPainterPath tile;
    tile.addRoundedRect(QRectF(16, 14, 224, 224), 50, 50);
    return tile;
}

void PaintTick(QPainter& p) {
    const QPointF centre(194, 192);
    const qreal radius = 38;
    // A ring of the tile's colour keeps the badge apart from the tile's edge and the waves.
    p.setPen(Qt::NoPen);
    p.setBrush(kHeaderDark);
    p.drawEllipse(centre, radius + 8, radius + 8);
    QLinearGradient fill(0, centre.y() - radius, 0, centre.y() + radius);
    fill.setColorAt(0, QColor(92, 204, 112));
    fill.setColorAt(1, QColor(30, 152, 66));
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-18, 1));
    tick.lineTo(centre + QPointF(-5, 14));
    tick.lineTo(centre + QPointF(19, -13));
    p.strokePath(tick, QPen(Qt::white, 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

} // namespace

QImage MakeAppIcon(int size) {
    QImage image = NewCanvas(size, size);
    QPainter p(&image);
    PrepareForDrawing(p);
    const qreal k = size / kGrid;

    // The shadow is made in pixels; below 32 pixels it would only blur the tile's edge.
    if (size >= 32) {
        const QPainterPath tile = QTransform::fromScale(k, k).map(Tile());
        const int blur = std::max(1, static_cast<int>(std::lround(5 * k)));
        PaintShadow(p, tile, QPointF(0, 4 * k), blur, QColor(0, 10, 60, 110));
    }

    p.scale(k, k);
    QLinearGradient base(16, 14, 240, 238);
    base.setColorAt(0, kHeaderLight);
    base.setColorAt(1, kHeaderDark);
    p.fillPath(Tile(), base);
    p.save();
    p.setClipPath(Tile());
    QLinearGradient sheen(0, 14, 0, 130);
    sheen.setColorAt(0, QColor(255, 255, 255, 60));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, kGrid, 130), sheen);
    p.restore();

    p.fillPath(SpeakerPath(QRectF(50, 72, 74, 108)), Qt::white);
    StrokeSoundWaves(p, QPointF(112, 126), 36, 32, 2, -50, 100, 16, Qt::white);
    PaintTick(p);
    return image;
}

} // namespace art
