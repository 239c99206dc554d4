#pragma once
// The shared look: colours, the typeface, soft shadows, cards and the sound-wave motif that
// the window, the pages and the buttons have in common.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace art {

// The page titles are configured as "0033AD" and the program reads that text reversed, so on
// screen they come out as RGB(0, 51, 218). The whole palette is built around that blue.
inline const QColor kBrandBlue{0, 51, 218};
inline const QColor kHeaderDark{9, 37, 138};
inline const QColor kHeaderLight{27, 98, 229};
inline const QColor kCardBorder{219, 227, 238};
inline const QColor kPanelFill{247, 250, 253}; // the scanning panel's own colour
inline const QColor kTintBlue{232, 240, 253};

// Page pictures are 592 wide on a 594-wide page and centred, so page x is picture x + 1.
constexpr int kPageToPictureX = -1;
QRectF FromPage(qreal x, qreal y, qreal w, qreal h);

// Registers Tahoma from the fonts-wine package; throws when it is missing, since a substitute
// face would silently change every caption. Tahoma Bold from the same package is left out on
// purpose: its outlines are no heavier than the regular ones (see PaintCaption).
void RegisterArtFont();
QFont ArtFont(int pixelSize);

QImage NewCanvas(int width, int height); // transparent, premultiplied ARGB
void PrepareForDrawing(QPainter& painter);

// A blurred copy of the shape in one colour, drawn under whatever comes next.
void PaintShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, int blurRadius,
                 const QColor& colour);

// A white (or given fill) rounded card with a hairline border and a soft shadow.
void PaintCard(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill,
               const QColor& border, int shadowAlpha);

// Speaker body (magnet box and cone) filling the given box, facing right.
QPainterPath SpeakerPath(const QRectF& box);

// Concentric arcs around centre, opening towards startAngle (degrees, Qt's counter-clockwise
// convention) and spanning span degrees.
void StrokeSoundWaves(QPainter& painter, QPointF centre, qreal firstRadius, qreal step, int count,
                      qreal startAngle, qreal span, qreal width, const QColor& colour);

// The faint rings in the top right corner that all three page backgrounds share.
void PaintCornerWaves(QPainter& painter, int width);

struct CaptionStyle {
    int pixelSize;
    bool bold;
    QColor colour;
    QColor shadow; // drawn one pixel lower first; fully transparent for none
};

// One line of text inside rect: horizontally as flags say (left or centred), vertically with
// its capital letters centred, which looks centred on a button whatever the descenders do.
// Bold is drawn by thickening the regular outline: the Wine Tahoma Bold outlines are no
// heavier than the regular ones, only wider spaced, so they would look thin and loose.
void PaintCaption(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                  const CaptionStyle& style);
qreal CaptionWidth(const QString& text, const CaptionStyle& style);

} // namespace art
