#pragma once
// Text drawn with FreeType straight onto a 32-bit surface, so that every machine draws the same
// pixels whatever its desktop's font settings: glyph shapes, hinting and antialiasing are
// chosen here. Three renderings: plain (black and white), standard (grayscale antialiasing) and
// subpixel (ClearType-like: red, green and blue coverage per pixel, in RGB order, with
// FreeType's default LCD filter), composited channel by channel. Bold strokes that are made up
// from a face's regular outlines are whole pixels wide in every rendering (see the source).
//
// Layout follows the original platform's text output: integer advances per character, no
// kerning, the text cell's top at the given y and the baseline at y + ascent.
//
// Metrics, advances and rendered glyphs are kept between calls, within fixed bounds. Every
// function here may be called from any thread; they share one lock.

#include "graphics/Colors.h"
#include "graphics/Geometry.h"

#include <QImage>
#include <string>
#include <string_view>
#include <vector>

enum class TextRendering { Plain, Standard, Subpixel };

struct TextStyle {
    std::string face = "Tahoma";
    int height = -11; // as TFont::Height: negative the em height in pixels, positive the cell
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    TextRendering rendering = TextRendering::Standard;
};

struct TextMetrics {
    int ascent = 0;
    int descent = 0;
    int underlineOffset = 1; // below the baseline
    int underlineThickness = 1;
    int strikeoutOffset = 0; // above the baseline
    int strikeoutThickness = 1;
    int Height() const { return ascent + descent; }
};

// Narrow texts are UTF-8; what is not becomes U+FFFD (see TextConvert.h).
std::u32string DecodeNarrowText(std::string_view text);

TextMetrics MeasureFont(const TextStyle& style);

// The advance of every character of text, in pixels.
std::vector<int> TextAdvances(const TextStyle& style, std::u32string_view text);

// Draws text with the top of its cell at top and the pen starting at x, in colour, clipped to
// clip (and to the surface). Underline and strikeout run across the whole text.
void RenderText(QImage& surface, const TRect& clip, int x, int top, std::u32string_view text,
                const TextStyle& style, COLORREF colour);
