#include "controls/ProgressBarPainter.h"

#include "graphics/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

Rgb Resolve(TColor colour) {
    COLORREF c = ColorToRGB(colour);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

QRgb ToPixel(const Rgb& c) {
    return qRgb(c.r, c.g, c.b);
}

// Division rounding toward minus infinity; C++ division rounds toward zero.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// x + (y - x) * k / n per channel, the quotient truncated toward zero.
Rgb Lerp(const Rgb& x, const Rgb& y, std::int64_t k, std::int64_t n) {
    auto one = [k, n](int from, int to) {
        return static_cast<int>(from + static_cast<std::int64_t>(to - from) * k / n);
    };
    return {one(x.r, y.r), one(x.g, y.g), one(x.b, y.b)};
}

// Rounds to nearest with halves to even, independent of the floating-point rounding mode, and
// saturates far outside any surface so that no fraction can overflow an int.
int RoundHalfEven(long double value) {
    constexpr long double kLimit = 1 << 30;
    if (std::isnan(value)) {
        return 0;
    }
    value = std::clamp(value, -kLimit, kLimit);
    long double whole = std::floor(value);
    long double rest = value - whole;
    if (rest > 0.5L || (rest == 0.5L && std::fmod(whole, 2.0L) != 0)) {
        whole += 1;
    }
    return static_cast<int>(whole);
}

// The six colours of the glass: the light part's ramp, the dark part's ramp and the side shade.
struct GlassColours {
    Rgb t1, t2, b1, b2, s1, s2;
};

GlassColours GlassColoursFor(TColor colour, bool greyMode) {
    if (greyMode) {
        return {{253, 253, 253}, {218, 218, 218}, {160, 160, 160},
                {213, 213, 213}, {200, 200, 200}, {253, 253, 253}};
    }
    auto blend = [colour](TColor over, int percent) {
        COLORREF c = BlendColor(colour, over, percent);
        return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
    };
    return {blend(clWhite, 5),  blend(clWhite, 50), blend(clBlack, 60),
            blend(clBlack, 80), blend(clBlack, 50), blend(clWhite, 50)};
}

// How far a pixel moves from its base colour toward the side shade.
enum class ShadeStep { Eighth, Quarter, Half };

Rgb Shade(const Rgb& base, const Rgb& side, ShadeStep step) {
    auto one = [step](int from, int to) {
        int diff = to - from;
        switch (step) {
        // Eighths and quarters are floored (an arithmetic shift), halves truncated.
        case ShadeStep::Eighth:
            return from + (diff >> 3);
        case ShadeStep::Quarter:
            return from + (diff >> 2);
        case ShadeStep::Half:
            break;
        }
        return from + diff / 2;
    };
    return {one(base.r, side.r), one(base.g, side.g), one(base.b, side.b)};
}

constexpr int kShadeRamp = 25;

// The side shade and the pixel for every distance from the nearer side, for one line of the
// glass along which the base colour is fixed. Beyond the ramp every pixel is the same.
struct GlassLine {
    QRgb middle;
    QRgb edge[kShadeRamp];

    GlassLine(const GlassColours& c, const Rgb& base, bool quarter) {
        for (int d = 0; d < kShadeRamp; ++d) {
            const Rgb side = Lerp(c.s1, c.s2, d, kShadeRamp);
            ShadeStep step =
                d == 0 ? ShadeStep::Eighth : (quarter ? ShadeStep::Quarter : ShadeStep::Half);
            edge[d] = ToPixel(Shade(base, side, step));
        }
        middle = ToPixel(Shade(base, c.s2, quarter ? ShadeStep::Quarter : ShadeStep::Half));
    }

    QRgb At(std::int64_t d) const { return d < kShadeRamp ? edge[d] : middle; }
};

// The drawing below writes whole 32-bit pixels; any other surface is converted first.
void MakeThirtyTwoBit(QImage& surface) {
    const QImage::Format format = surface.format();
    if (!surface.isNull() && format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        surface = surface.convertToFormat(QImage::Format_RGB32);
    }
}

} // namespace

COLORREF BlendColor(TColor a, TColor b, int percent) {
    percent = std::clamp(percent, 0, 100);
    // Round(p * 2.56) has no ties for whole percentages, so integer rounding matches it.
    const int f = ((percent * 256 + 50) / 100) % 256;
    const Rgb over = Resolve(a);
    const Rgb under = Resolve(b);
    auto one = [f](int top, int bottom) {
        return static_cast<BYTE>(bottom +
                                 FloorDiv(static_cast<std::int64_t>(top - bottom) * f, 256));
    };
    return RGB(one(over.r, under.r), one(over.g, under.g), one(over.b, under.b));
}

void DrawGlassBar(QImage& surface, const TRect& rect, TColor colour, TVPBOrientation orientation,
                  bool greyMode) {
    // The glass's own size, in 64 bits so that a rectangle reaching far past the surface (an
    // overrunning fill) is still measured exactly; only the visible part is visited.
    const std::int64_t glassW = static_cast<std::int64_t>(rect.Right) - rect.Left - 1;
    const std::int64_t glassH = static_cast<std::int64_t>(rect.Bottom) - rect.Top - 1;
    if (glassW <= 0 || glassH <= 1 || surface.isNull()) {
        return;
    }
    MakeThirtyTwoBit(surface);
    const GlassColours c = GlassColoursFor(colour, greyMode);
    const bool vertical = orientation == vpbVertical;
    // Along the bar the base colour is fixed; across it the light part gives way to the dark.
    const std::int64_t across = vertical ? glassW : glassH;
    const std::int64_t along = vertical ? glassH : glassW;
    const std::int64_t split = vertical ? across * 2 / 5 : across * 4 / 9;

    const std::int64_t x0 = std::max<std::int64_t>(0, rect.Left);
    const std::int64_t x1 = std::min<std::int64_t>(surface.width(), rect.Left + glassW);
    const std::int64_t y0 = std::max<std::int64_t>(0, rect.Top);
    const std::int64_t y1 = std::min<std::int64_t>(surface.height(), rect.Top + glassH);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }

    auto lineFor = [&](std::int64_t i) {
        Rgb base = i < split ? Lerp(c.t1, c.t2, i, split) : Lerp(c.b1, c.b2, i, across);
        return GlassLine(c, base, i < split || i == across - 1);
    };
    auto distance = [along](std::int64_t j) { return std::min(j, along - 1 - j); };

    if (!vertical) {
        for (std::int64_t y = y0; y < y1; ++y) {
            const GlassLine line = lineFor(y - rect.Top);
            auto* row = reinterpret_cast<QRgb*>(surface.scanLine(static_cast<int>(y)));
            std::int64_t x = x0;
            while (x < x1) {
                const std::int64_t d = distance(x - rect.Left);
                if (d < kShadeRamp) {
                    row[x++] = line.edge[d];
                    continue;
                }
                // The plain middle runs until the right side's ramp begins.
                const std::int64_t end = std::min(x1, rect.Left + along - kShadeRamp);
                std::fill(row + x, row + end, line.middle);
                x = end;
            }
        }
        return;
    }
    std::vector<GlassLine> columns;
    columns.reserve(static_cast<std::size_t>(x1 - x0));
    for (std::int64_t x = x0; x < x1; ++x) {
        columns.push_back(lineFor(x - rect.Left));
    }
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::int64_t d = distance(y - rect.Top);
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(static_cast<int>(y)));
        for (std::int64_t x = x0; x < x1; ++x) {
            row[x] = columns[static_cast<std::size_t>(x - x0)].At(d);
        }
    }
}

std::vector<int> MarqueeWeights(int length, int fadePercent) {
    std::vector<int> weights(static_cast<std::size_t>(std::max(0, length)), 0);
    const int n = static_cast<int>(std::trunc(length / 100.0 * fadePercent));
    // Entries this loop does not reach stay 0, so a fade over half the block leaves its middle
    // in the pure bar colour, and a fade over all of it the whole block.
    for (int i = 0; i <= length - 1 - n; ++i) {
        if (i < n) {
            const int weight = static_cast<int>(std::trunc(159.0 / n * (n - i))) + 95;
            weights[static_cast<std::size_t>(i)] = weight;
            weights[static_cast<std::size_t>(length - 1 - i)] = weight;
        } else {
            weights[static_cast<std::size_t>(i)] = 96;
        }
    }
    return weights;
}

void DrawMarqueeBlock(QImage& surface, const TRect& rect, TColor colour,
                      TVPBOrientation orientation, int fadePercent, int sizePercent) {
    if (surface.isNull() || static_cast<std::int64_t>(rect.Right) - rect.Left - 1 <= 0 ||
        static_cast<std::int64_t>(rect.Bottom) - rect.Top - 1 <= 1) {
        return;
    }
    MakeThirtyTwoBit(surface);
    const bool vertical = orientation == vpbVertical;
    const int extent = vertical ? surface.height() : surface.width();
    const int length = static_cast<int>(std::trunc(extent / 100.0 * std::max(0, sizePercent)));
    const std::vector<int> weights = MarqueeWeights(length, std::max(0, fadePercent));
    const Rgb c = Resolve(colour);
    auto blend = [&c](QRgb pixel, int weight) {
        auto one = [weight](int p, int cc) {
            // An arithmetic shift floors, as the blend wants for pixels darker than C.
            return cc + (((p - cc) * weight) >> 8);
        };
        return qRgb(one(qRed(pixel), c.r), one(qGreen(pixel), c.g), one(qBlue(pixel), c.b));
    };
    // The block's pixels that land on the surface: i runs along the block, first..last.
    const std::int64_t start = vertical ? rect.Top : rect.Left;
    const std::int64_t first = std::max<std::int64_t>(0, -start);
    const std::int64_t last = std::min<std::int64_t>(length, extent - start);
    for (int y = 0; y < surface.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        if (!vertical) {
            for (std::int64_t i = first; i < last; ++i) {
                QRgb& pixel = row[start + i];
                pixel = blend(pixel, weights[static_cast<std::size_t>(i)]);
            }
            continue;
        }
        const std::int64_t i = y - start;
        if (i >= first && i < last) {
            const int weight = weights[static_cast<std::size_t>(i)];
            for (int x = 0; x < surface.width(); ++x) {
                row[x] = blend(row[x], weight);
            }
        }
    }
}

ProgressFill ProgressFillRect(int width, int height, const ProgressBarLook& look) {
    ProgressFill fill;
    TRect& r = fill.Rect;
    r = {1, 1, width, height};
    const bool vertical = look.Orientation == vpbVertical;
    // Each edge is width (or height) times a fraction; multiplying before dividing keeps an
    // exact half an exact half, so halves go to even as intended.
    if (look.Marquee) {
        const long double step = look.MarqueeStep;
        const long double size = look.MarqueeSize;
        if (vertical) {
            r.Top = height - RoundHalfEven(height * step / 100);
            r.Bottom = r.Top + RoundHalfEven(height * size / 100);
        } else {
            r.Right = RoundHalfEven(width * step / 100);
            r.Left = r.Right - RoundHalfEven(width * size / 100);
        }
    } else {
        long double scaled = 0; // the extent times the fraction filled
        const long double range = static_cast<long double>(look.Max) - look.Min;
        const long double done = static_cast<long double>(look.Position) - look.Min;
        const int extent = vertical ? height : width;
        if (range != 0) {
            scaled = extent * done / range;
        }
        if (vertical) {
            r.Top = std::max(1, height - RoundHalfEven(scaled));
        } else {
            r.Right = RoundHalfEven(scaled);
        }
    }
    fill.Drawn = r.Right > 0;
    return fill;
}

std::string ProgressText(const ProgressBarLook& look) {
    std::string text;
    if (look.Percentage) {
        long double percent = 0;
        if (look.Marquee) {
            percent = look.MarqueeStep;
        } else if (look.Max != look.Min) {
            percent = 100.0L * (static_cast<long double>(look.Position) - look.Min) /
                      (static_cast<long double>(look.Max) - look.Min);
        }
        text = std::to_string(RoundHalfEven(percent)) + "%";
    } else {
        text = std::to_string(look.Position);
    }
    return look.PosTextPrefix + text + look.PosTextSuffix;
}

void ComposeProgressBar(QImage& frame, int width, int height, const ProgressBarLook& look) {
    if (width <= 0 || height <= 0) {
        frame = QImage();
        return;
    }
    if (frame.width() != width || frame.height() != height ||
        frame.format() != QImage::Format_RGB32) {
        frame = QImage(width, height, QImage::Format_RGB32);
        if (frame.isNull()) {
            return; // no memory for the surface: nothing to draw on
        }
    }
    TCanvas canvas(frame);
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = look.BackColor;
    canvas.Pen().Style = TPenStyle::psSolid;
    canvas.Pen().Color = look.BorderColor;
    canvas.Rectangle(0, 0, width, height);

    // The top edge catches the light.
    const COLORREF topEdge = BlendColor(look.BorderColor, clWhite, 99);
    canvas.FillSolid({1, 0, width - 1, 1}, topEdge);
    // Softened corners, outside toward the parent's colour, inside toward the track's.
    const auto corner = static_cast<TColor>(BlendColor(look.BorderColor, look.CornerColor, 15));
    canvas.SetPixel(0, 0, corner);
    canvas.SetPixel(0, height - 1, corner);
    canvas.SetPixel(width - 1, 0, corner);
    canvas.SetPixel(width - 1, height - 1, corner);
    const auto inner = static_cast<TColor>(BlendColor(look.BorderColor, look.BackColor, 65));
    canvas.SetPixel(1, 1, inner);
    canvas.SetPixel(1, height - 2, inner);
    canvas.SetPixel(width - 2, 1, inner);
    canvas.SetPixel(width - 2, height - 2, inner);

    if (!look.AltMode) {
        DrawGlassBar(frame, {1, 1, width, height}, look.Color, look.Orientation, true);
    }

    const ProgressFill fill = ProgressFillRect(width, height, look);
    if (fill.Drawn) {
        if (look.Marquee) {
            DrawMarqueeBlock(frame, fill.Rect, look.Color, look.Orientation, look.MarqueeFade,
                             look.MarqueeSize);
        } else {
            DrawGlassBar(frame, fill.Rect, look.Color, look.Orientation, false);
        }
    }

    if (look.ShowPosText) {
        const std::string text = ProgressText(look);
        canvas.Font().Assign(look.Font);
        canvas.Brush().Style = TBrushStyle::bsClear;
        const TSize size = canvas.TextExtent(text);
        canvas.TextOut((width - size.cx) / 2, (height - size.cy) / 2, text);
    }
}
