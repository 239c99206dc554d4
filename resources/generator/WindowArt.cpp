// The window picture: a blue header band with the product mark over a white body, and the
// separator rule drawn under the welcome page's title.

#include "Painting.h"
#include "Products.h"

#include <QLinearGradient>
#include <cmath>

namespace art {
namespace {

constexpr int kWindowWidth = 606;
constexpr int kWindowHeight = 475;
constexpr int kHeaderHeight = 61; // the page container starts right below

// A calm waveform across the right part of the band, swelling towards the right edge.
void PaintHeaderWaveform(QPainter& p) {
    const qreal left = 250;
    const qreal right = kWindowWidth;
    const qreal mid = kHeaderHeight / 2.0;
    const struct {
        qreal frequency;
        qreal phase;
        qreal amplitude;
        int alpha;
    } lines[] = {{0.045, 0.0, 15, 46}, {0.032, 1.7, 11, 32}, {0.058, 3.1, 8, 24}};
    for (const auto& line : lines) {
        QPainterPath wave;
        for (qreal x = left; x <= right; x += 1.0) {
            const qreal t = (x - left) / (right - left); // 0 at the left end, 1 at the edge
            const qreal envelope = std::sin(t * M_PI / 2) * (0.35 + 0.65 * t);
            const qreal y =
                mid + line.amplitude * envelope * std::sin(x * line.frequency + line.phase);
            if (x == left) {
                wave.moveTo(x, y);
            } else {
                wave.lineTo(x, y);
            }
        }
        // Fade in from nothing so the lines do not start abruptly in the middle of the band.
        QLinearGradient ink(left, 0, right, 0);
        ink.setColorAt(0, QColor(255, 255, 255, 0));
        ink.setColorAt(0.4, QColor(255, 255, 255, line.alpha));
        ink.setColorAt(1, QColor(255, 255, 255, line.alpha));
        p.strokePath(wave, QPen(QBrush(ink), 1.6));
    }
}

void PaintProductMark(QPainter& p) {
    const QRectF badge(14, 12, 37, 37);
    QPainterPath badgeShape;
    badgeShape.addRoundedRect(badge, 9, 9);
    PaintShadow(p, badgeShape, QPointF(0, 1.5), 2, QColor(0, 10, 60, 90));
    QLinearGradient face(badge.topLeft(), badge.bottomLeft());
    face.setColorAt(0, QColor(255, 255, 255));
    face.setColorAt(1, QColor(226, 236, 252));
    p.fillPath(badgeShape, face);

    p.fillPath(SpeakerPath(QRectF(21, 21.5, 12, 18)), kBrandBlue);
    StrokeSoundWaves(p, QPointF(31, 30.5), 5.5, 5, 2, -48, 96, 2.4, kBrandBlue);

    PaintCaption(p, QRectF(62, 9, 300, 28), Qt::AlignLeft, "Tonemender",
                 {24, true, Qt::white, QColor(0, 10, 60, 70)});
    PaintCaption(p, QRectF(63, 37, 300, 14), Qt::AlignLeft, "by Quorvel",
                 {11, false, QColor(205, 221, 255), QColor(0, 0, 0, 0)});
}

} // namespace

QImage MakeWindowImage() {
    QImage image = NewCanvas(kWindowWidth, kWindowHeight);
    image.fill(Qt::white);
    QPainter p(&image);
    PrepareForDrawing(p);

    const QRectF band(0, 0, kWindowWidth, kHeaderHeight);
    QLinearGradient base(0, 0, kWindowWidth, kHeaderHeight);
    base.setColorAt(0, kHeaderDark);
    base.setColorAt(1, kHeaderLight);
    p.fillRect(band, base);
    QLinearGradient sheen(0, 0, 0, kHeaderHeight);
    sheen.setColorAt(0, QColor(255, 255, 255, 30));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.fillRect(band, sheen);

    PaintHeaderWaveform(p);
    PaintProductMark(p);

    // A darker last row closes the band crisply against the white body.
    p.fillRect(QRectF(0, kHeaderHeight - 1, kWindowWidth, 1), QColor(6, 28, 104, 150));
    return image;
}

QImage MakeSeparator() {
    // Two rows: a brand-blue rule fading out towards the right, and a pale echo below it.
    constexpr int kWidth = 562;
    QImage image = NewCanvas(kWidth, 2);
    for (int x = 0; x < kWidth; ++x) {
        const double t = static_cast<double>(x) / (kWidth - 1);
        const double rise = std::min(1.0, t / 0.03);
        const double fall = t < 0.35 ? 1.0 : std::max(0.0, 1.0 - (t - 0.35) / 0.65);
        const double strength = rise * fall * fall;
        const QColor top(kBrandBlue.red(), kBrandBlue.green(), kBrandBlue.blue(),
                         static_cast<int>(std::lround(255 * strength)));
        const QColor echo(120, 160, 240, static_cast<int>(std::lround(90 * strength)));
        image.setPixelColor(x, 0, top);
        image.setPixelColor(x, 1, echo);
    }
    return image;
}

} // namespace art
