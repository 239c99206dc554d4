// The drawing routines the report list and the drawn page items share.

#include "graphics/Canvas.h"
#include "graphics/OEUnitResource.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace {

// Rounds to nearest with halves to even, whatever rounding mode someone left behind.
int RoundHalfEven(double value) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return static_cast<int>(rounded);
}

BYTE Channel(double value) {
    return static_cast<BYTE>(std::clamp(RoundHalfEven(value), 0, 255));
}

} // namespace

void PaintVerticalGradient(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor) {
    if (rect.Bottom < rect.Top) {
        return;
    }
    const COLORREF start = ColorToRGB(startColor);
    const COLORREF end = ColorToRGB(endColor);
    const int span = rect.Bottom - rect.Top;
    // A rectangle of no height has one row, in the start colour; there is no step to take.
    auto step = [span](BYTE from, BYTE to) {
        return span == 0 ? 0.0 : (static_cast<double>(to) - from) / span;
    };
    const double stepR = step(GetRValue(start), GetRValue(end));
    const double stepG = step(GetGValue(start), GetGValue(end));
    const double stepB = step(GetBValue(start), GetBValue(end));
    double r = GetRValue(start), g = GetGValue(start), b = GetBValue(start);
    for (int y = rect.Top; y <= rect.Bottom; ++y) {
        canvas.Pen().Color = static_cast<TColor>(RGB(Channel(r), Channel(g), Channel(b)));
        canvas.MoveTo(rect.Left, y);
        canvas.LineTo(rect.Right, y);
        r += stepR;
        g += stepG;
        b += stepB;
    }
}

void TextOutClearType(TCanvas& canvas, const TFont& font, const TRect& rect,
                      const std::string& text) {
    // The canvas font may be the very font passed in; copy it before changing anything.
    TFont attributes = font;
    canvas.Font().Assign(attributes);
    canvas.Font().SetQuality(TFontQuality::fqClearType);
    canvas.TextOut(rect.Left, rect.Top, text);
}

void TextOutClearTypeAt(TCanvas& canvas, int x, int y, const std::string& text) {
    canvas.Font().SetQuality(TFontQuality::fqClearType);
    canvas.TextOut(x, y, text);
}
