#pragma once
// Reading a screenshot the way a person reads the screen: where the report's rows are, whether
// a row carries the red outcome text, where a dialog's button is, and whether a text or picture
// we expect is on screen. Plain functions over a 32-bit image, so each can be checked against a
// made-up picture.

#include <QImage>
#include <QRect>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A vertical run of pixels in one column.
struct Band {
    int top = 0;
    int height = 0;
};

// The runs down the column x, from top for height pixels, where the colour has the report
// rows' blue tint (blue clearly above red). A report row's background runs from near white at
// its top to light blue at its bottom, so each row shows as one run, and the white below the
// last row as none. Gaps of a pixel or two (a focus frame's dots) do not split a run.
std::vector<Band> TintedBands(const QImage& shot, int x, int top, int height);

std::string Describe(const std::vector<Band>& bands);

// How many pixels inside rect are the strong red the report writes its outcomes in.
int RedInk(const QImage& shot, const QRect& rect);

// The lowest group of pixel rows inside rect that differ from the background (the colour at
// the rect's bottom-left corner), as the rectangle that holds them: in a message box, whose
// buttons are the lowest thing on it, the button row. nullopt when rect shows only background.
std::optional<QRect> LowestFeature(const QImage& shot, const QRect& rect);

// The smallest rectangle of image holding every pixel that is not background.
QRect InkBox(const QImage& image, QRgb background);

struct Match {
    QPoint at;
    double difference = 0; // mean absolute difference per colour channel, 0..255
};

// Where pattern lies best on shot with its top-left corner inside area.
Match BestMatch(const QImage& shot, const QImage& pattern, const QRect& area);

// The share (0..1) of picture's fully opaque pixels that lie on shot, with picture's top-left
// at at, within tolerance per channel. A picture blended over a background is recognised by its
// opaque parts, whatever shows through the rest.
double OpaqueAgreement(const QImage& shot, const QImage& picture, QPoint at, int tolerance);

} // namespace e2e
