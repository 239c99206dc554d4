#include "graphics/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace {

QRgb ToPixel(COLORREF colour) {
    return qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

QImage& ThirtyTwoBit(QImage& surface) {
    QImage::Format format = surface.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        surface = surface.convertToFormat(QImage::Format_RGB32);
    }
    return surface;
}

TextRendering RenderingFor(TFontQuality quality) {
    switch (quality) {
    case TFontQuality::fqClearType:
    case TFontQuality::fqClearTypeNatural:
        return TextRendering::Subpixel;
    case TFontQuality::fqNonAntialiased:
        return TextRendering::Plain;
    default:
        return TextRendering::Standard;
    }
}

} // namespace

TCanvas::TCanvas(QImage& surface) : surface_(ThirtyTwoBit(surface)) {}

void TCanvas::RealizeBrush() {
    if (!brushChanged_) {
        return;
    }
    brushChanged_ = false;
    if (brush_.Style == TBrushStyle::bsSolid) {
        bkMode_ = OPAQUE;
        bkColor_ = ColorToRGB(brush_.Color);
    } else {
        bkMode_ = TRANSPARENT;
    }
}

int TCanvas::BkMode() {
    RealizeBrush();
    return bkMode_;
}

void TCanvas::SetBkMode(int mode) {
    RealizeBrush();
    bkMode_ = mode == TRANSPARENT ? TRANSPARENT : OPAQUE;
}

COLORREF TCanvas::BkColor() {
    RealizeBrush();
    return bkColor_;
}

void TCanvas::SetBkColor(TColor color) {
    RealizeBrush();
    bkColor_ = ColorToRGB(color);
}

void TCanvas::FillSolid(const TRect& rect, COLORREF colour) {
    TRect area = Intersect(rect, Bounds());
    const QRgb pixel = ToPixel(colour);
    for (int y = area.Top; y < area.Bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(surface_.scanLine(y));
        std::fill(line + area.Left, line + area.Right, pixel);
    }
}

void TCanvas::FillRect(const TRect& rect) {
    if (brush_.Style == TBrushStyle::bsSolid) {
        FillSolid(rect, ColorToRGB(brush_.Color));
    }
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    if (right - left < 1 || bottom - top < 1) {
        return;
    }
    bool border = pen_.Style == TPenStyle::psSolid;
    int inset = border ? 1 : 0;
    FillRect({left + inset, top + inset, right - inset, bottom - inset});
    if (border) {
        COLORREF colour = ColorToRGB(pen_.Color);
        FillSolid({left, top, right, top + 1}, colour);
        FillSolid({left, bottom - 1, right, bottom}, colour);
        FillSolid({left, top, left + 1, bottom}, colour);
        FillSolid({right - 1, top, right, bottom}, colour);
    }
}

void TCanvas::LineTo(int x, int y) {
    TPoint from = penPos_;
    penPos_ = {x, y};
    if (pen_.Style != TPenStyle::psSolid) {
        return;
    }
    // Bresenham from the start point; the end point itself is left out.
    const QRgb pixel = ToPixel(ColorToRGB(pen_.Color));
    int dx = std::abs(x - from.X), dy = -std::abs(y - from.Y);
    int sx = from.X < x ? 1 : -1, sy = from.Y < y ? 1 : -1;
    int error = dx + dy;
    int px = from.X, py = from.Y;
    while (px != x || py != y) {
        if (px >= 0 && py >= 0 && px < surface_.width() && py < surface_.height()) {
            reinterpret_cast<QRgb*>(surface_.scanLine(py))[px] = pixel;
        }
        int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            px += sx;
        }
        if (doubled <= dx) {
            error += dx;
            py += sy;
        }
    }
}

TColor TCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= surface_.width() || y >= surface_.height()) {
        return -1;
    }
    QRgb pixel = reinterpret_cast<const QRgb*>(surface_.constScanLine(y))[x];
    return static_cast<TColor>(RGB(qRed(pixel), qGreen(pixel), qBlue(pixel)));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (x >= 0 && y >= 0 && x < surface_.width() && y < surface_.height()) {
        reinterpret_cast<QRgb*>(surface_.scanLine(y))[x] = ToPixel(ColorToRGB(color));
    }
}

TextStyle TCanvas::CurrentTextStyle() const {
    TextStyle style;
    style.face = font_.Name();
    style.height = font_.Height();
    style.bold = (font_.Style() & fsBold) != 0;
    style.italic = (font_.Style() & fsItalic) != 0;
    style.underline = (font_.Style() & fsUnderline) != 0;
    style.strikeout = (font_.Style() & fsStrikeOut) != 0;
    style.rendering = RenderingFor(font_.Quality());
    return style;
}

void TCanvas::DrawTextLine(int x, int y, std::u32string_view text, const TRect& clip) {
    TextStyle style = CurrentTextStyle();
    if (BkMode() == OPAQUE) {
        std::vector<int> advances = TextAdvances(style, text);
        int width = std::accumulate(advances.begin(), advances.end(), 0);
        FillSolid(Intersect({x, y, x + width, y + MeasureFont(style).Height()}, clip), bkColor_);
    }
    RenderText(surface_, clip, x, y, text, style, ColorToRGB(font_.Color()));
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    DrawTextLine(x, y, DecodeNarrowText(text), Bounds());
}

TSize TCanvas::TextExtent(const std::string& text) {
    TextStyle style = CurrentTextStyle();
    std::vector<int> advances = TextAdvances(style, DecodeNarrowText(text));
    return {std::accumulate(advances.begin(), advances.end(), 0), MeasureFont(style).Height()};
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic, std::size_t frame) {
    if (graphic.Empty() || frame >= graphic.FrameCount()) {
        return;
    }
    const std::vector<std::uint32_t>& pixels = graphic.Frame(frame).pixels;
    TRect area = Intersect({x, y, x + graphic.Width(), y + graphic.Height()}, Bounds());
    for (int row = area.Top; row < area.Bottom; ++row) {
        auto* line = reinterpret_cast<QRgb*>(surface_.scanLine(row));
        const std::uint32_t* source =
            pixels.data() + static_cast<std::size_t>(row - y) * graphic.Width();
        for (int col = area.Left; col < area.Right; ++col) {
            std::uint32_t s = source[col - x];
            int alpha = static_cast<int>(s >> 24);
            if (alpha == 255) {
                line[col] = s;
            } else if (alpha != 0) {
                QRgb d = line[col];
                auto mix = [alpha](int fg, int bg) {
                    return (fg * alpha + bg * (255 - alpha) + 127) / 255;
                };
                line[col] =
                    qRgb(mix(qRed(s), qRed(d)), mix(qGreen(s), qGreen(d)), mix(qBlue(s), qBlue(d)));
            }
        }
    }
}
