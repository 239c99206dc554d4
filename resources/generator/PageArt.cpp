// The three page backgrounds. Every text the configuration draws on a page, and every control,
// sits on white or on the panel colour: the drawn texts are backed by white glyph cells, so
// anything else under them would show as a pale box. Decoration lives only in the free space.

#include "Painting.h"
#include "Products.h"

#include <QLinearGradient>
#include <QRadialGradient>

namespace art {
namespace {

constexpr int kWidth = 592;
constexpr int kHeight = 400;

// White ground with the shared corner rings; the painter is left open on the picture.
void BeginPage(QPainter& p, QImage& image) {
    image = NewCanvas(kWidth, kHeight);
    image.fill(Qt::white);
    p.begin(&image);
    PrepareForDrawing(p);
    PaintCornerWaves(p, kWidth);
}

// A large, very light loudspeaker with waves: an illustration for empty areas.
void PaintFaintSpeaker(QPainter& p, const QRectF& speakerBox, int waves, qreal waveStep,
                       const QColor& colour) {
    p.fillPath(SpeakerPath(speakerBox), colour);
    const QPointF centre(speakerBox.right() - speakerBox.width() * 0.1, speakerBox.center().y());
    StrokeSoundWaves(p, centre, speakerBox.height() * 0.42, waveStep, waves, -50, 100,
                     speakerBox.height() * 0.11, colour);
}

// The three columns of the welcome page (headings at y 250, paragraphs from 278, a button or
// label at about 339) each get a white card with a thin accent along its top.
void PaintColumnCards(QPainter& p) {
    const QRectF cards[] = {FromPage(12, 240, 186, 142), FromPage(204, 240, 188, 142),
                            FromPage(398, 240, 187, 142)};
    for (const QRectF& card : cards) {
        PaintCard(p, card, 6, Qt::white, kCardBorder, 34);
        QPainterPath top;
        top.addRoundedRect(card, 6, 6);
        p.save();
        p.setClipPath(top);
        QLinearGradient accent(card.topLeft(), card.topRight());
        accent.setColorAt(0, kHeaderDark);
        accent.setColorAt(1, kHeaderLight);
        p.fillRect(QRectF(card.left(), card.top(), card.width(), 3), accent);
        p.restore();
    }
}

} // namespace

QImage MakeWelcomeBackground() {
    QImage image;
    QPainter p;
    BeginPage(p, image);

    // A pale stage for the start button (147,128 300x54), wide and soft.
    const QRectF stage = FromPage(12, 92, 573, 126);
    QPainterPath stageShape;
    stageShape.addRoundedRect(stage, 10, 10);
    QLinearGradient stageFill(stage.topLeft(), stage.bottomLeft());
    stageFill.setColorAt(0, QColor(236, 243, 254));
    stageFill.setColorAt(1, QColor(246, 249, 255));
    p.fillPath(stageShape, stageFill);
    p.save();
    p.setClipPath(stageShape);
    PaintFaintSpeaker(p, FromPage(44, 122, 44, 66), 3, 13, QColor(207, 222, 248));
    StrokeSoundWaves(p, FromPage(600, 155, 0, 0).topLeft(), 44, 17, 4, 125, 110, 3,
                     QColor(218, 230, 250));
    p.restore();

    PaintColumnCards(p);
    p.end();
    return image;
}

QImage MakeScanningBackground() {
    QImage image;
    QPainter p;
    BeginPage(p, image);

    // The status panel (19,85 558x41) is painted in the panel colour, so the card around it
    // uses the same colour and the panel disappears into it.
    PaintCard(p, FromPage(8, 72, 580, 67), 8, kPanelFill, kCardBorder, 30);

    PaintFaintSpeaker(p, FromPage(214, 178, 70, 104), 3, 22, QColor(238, 243, 252));
    p.end();
    return image;
}

QImage MakeReportBackground() {
    QImage image;
    QPainter p;
    BeginPage(p, image);

    // The report list (19,75 556x247) is white and borderless; a frame one pixel outside it
    // gives it an edge and a little depth.
    PaintCard(p, FromPage(18, 74, 558, 249), 3, Qt::white, QColor(203, 213, 228), 40);
    p.end();
    return image;
}

} // namespace art
