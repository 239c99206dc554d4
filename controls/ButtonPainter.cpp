#include "controls/ButtonPainter.h"

#include "graphics/Canvas.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TColor C(BYTE r, BYTE g, BYTE b) {
    return static_cast<TColor>(RGB(r, g, b));
}

// Disabled, normal, hot and down, in that order.
constexpr std::array<ButtonColourSet, 4> kColourSets = {{
    {C(244, 244, 244), C(244, 244, 244), C(244, 244, 244), C(244, 244, 244), C(173, 178, 181),
     C(252, 252, 252), C(252, 252, 252), C(131, 131, 157)},
    {C(242, 242, 242), C(235, 235, 235), C(221, 221, 221), C(207, 207, 207), C(112, 112, 112),
     C(252, 252, 252), C(243, 243, 243), C(0, 0, 0)},
    {C(234, 246, 253), C(217, 240, 252), C(190, 230, 253), C(167, 217, 245), C(60, 127, 177),
     C(250, 253, 254), C(250, 253, 254), C(0, 0, 0)},
    {C(229, 244, 252), C(196, 229, 246), C(152, 209, 239), C(104, 179, 219), C(44, 98, 139),
     C(158, 176, 186), C(85, 146, 181), C(0, 0, 0)},
}};

// Rounds to nearest with halves to even, whatever rounding mode is in force.
int RoundHalfEven(double value) {
    double whole = std::floor(value);
    double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) {
        whole += 1;
    }
    return static_cast<int>(whole);
}

// Rows from to to, both included, each a full-width line in a colour that grows from start
// toward end by an even step per row, kept as a running sum in double precision.
void Gradient(QImage& surface, int from, int to, TColor start, TColor end) {
    if (to <= from) {
        return; // no step to take (a face without height)
    }
    const COLORREF a = ColorToRGB(start);
    const COLORREF b = ColorToRGB(end);
    const double rows = to - from;
    const double stepR = (static_cast<double>(GetRValue(b)) - GetRValue(a)) / rows;
    const double stepG = (static_cast<double>(GetGValue(b)) - GetGValue(a)) / rows;
    const double stepB = (static_cast<double>(GetBValue(b)) - GetBValue(a)) / rows;
    double r = GetRValue(a), g = GetGValue(a), bl = GetBValue(a);
    for (int y = from; y <= to; ++y) {
        if (y >= 0 && y < surface.height()) {
            auto channel = [](double v) { return std::clamp(RoundHalfEven(v), 0, 255); };
            const QRgb pixel = qRgb(channel(r), channel(g), channel(bl));
            auto* line = reinterpret_cast<QRgb*>(surface.scanLine(y));
            std::fill(line, line + surface.width(), pixel);
        }
        r += stepR;
        g += stepG;
        bl += stepB;
    }
}

} // namespace

const ButtonColourSet& ButtonColours(bool enabled, TButtonState state) {
    if (!enabled) {
        return kColourSets[0];
    }
    switch (state) {
    case TButtonState::Hot:
        return kColourSets[2];
    case TButtonState::Down:
        return kColourSets[3];
    case TButtonState::Normal:
        break;
    }
    return kColourSets[1];
}

void ComposeButtonFace(QImage& surface, int width, int height, const ButtonFace& face) {
    if (width <= 0 || height <= 0) {
        surface = QImage();
        return;
    }
    if (surface.width() != width || surface.height() != height ||
        surface.format() != QImage::Format_RGB32) {
        surface = QImage(width, height, QImage::Format_RGB32);
        if (surface.isNull()) {
            return;
        }
    }
    const ButtonColourSet& colours =
        face.Colours != nullptr ? *face.Colours : ButtonColours(true, TButtonState::Normal);
    TCanvas canvas(surface);

    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = colours[0];
    canvas.FillRect({0, 0, width, height});

    if (face.Gradient) {
        const int split = face.SplitSpace;
        if (split > 0 && split < height) {
            // The split row is drawn twice and ends in the lower gradient's start colour.
            Gradient(surface, 0, split, colours[0], colours[1]);
            Gradient(surface, split, height, colours[2], colours[3]);
        } else {
            Gradient(surface, 0, height, colours[0], colours[3]);
        }
    }

    if (!face.Caption.empty()) {
        canvas.Font().Assign(face.Font);
        canvas.Font().SetColor(colours[7]);
        const TSize size = canvas.TextExtent(face.Caption);
        const int left = (width - size.cx) / 2;
        const int top = (height - size.cy) / 2;
        TRect rect{left, top, left + size.cx, top + size.cy};
        canvas.Brush().Style = TBrushStyle::bsClear;
        DrawTextA(canvas, face.Caption, rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }

    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.Pen().Style = TPenStyle::psSolid;
    canvas.Pen().Color = colours[4];
    canvas.Rectangle(0, 0, width, height);

    // The bevel: light on the left and top, a shade darker on the right and bottom.
    canvas.Pen().Color = colours[5];
    canvas.MoveTo(1, height - 2);
    canvas.LineTo(1, 1);
    canvas.LineTo(width - 1, 1);
    canvas.Pen().Color = colours[6];
    canvas.MoveTo(width - 2, 1);
    canvas.LineTo(width - 2, height - 2);
    canvas.LineTo(1, height - 2);

    if (face.FocusDots) {
        for (int x = 2; x <= width - 3; x += 2) {
            canvas.SetPixel(x, 2, face.FocusDotColor);
            canvas.SetPixel(x, height - 3, face.FocusDotColor);
        }
        for (int y = 2; y <= height - 3; y += 2) {
            canvas.SetPixel(2, y, face.FocusDotColor);
            canvas.SetPixel(width - 3, y, face.FocusDotColor);
        }
    }
}
