#pragma once
// The canvas's font, brush and pen, with the platform's meanings: a font size in points maps to
// a pixel height at 96 pixels per inch; the output quality chosen for the font lasts until its
// face, size or style changes (a new colour keeps it).

#include "graphics/Colors.h"

#include <string>

enum TFontStyle : unsigned {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};
using TFontStyles = unsigned;

enum class TFontQuality {
    fqDefault = 0,
    fqDraft = 1,
    fqProof = 2,
    fqNonAntialiased = 3,
    fqAntialiased = 4,
    fqClearType = 5, // CLEARTYPE_QUALITY: subpixel text
    fqClearTypeNatural = 6,
};
constexpr int CLEARTYPE_QUALITY = 5;

constexpr int kScreenPixelsPerInch = 96;

// The platform's MulDiv: a × b / c rounded to nearest, halves away from zero.
int MulDiv(int a, int b, int c);

class TFont {
public:
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);

    // Points. Setting it sets Height to -MulDiv(size, 96, 72): 8 points are 11 pixels.
    int Size() const;
    void SetSize(int points);

    // Pixels; negative means the em height (the usual case), positive the whole cell height.
    int Height() const { return height_; }
    void SetHeight(int pixels);

    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);

    TColor Color() const { return color_; }
    void SetColor(TColor color) { color_ = color; }

    TFontQuality Quality() const { return quality_; }
    void SetQuality(TFontQuality quality) { quality_ = quality; }

    // Copies every attribute, quality included.
    void Assign(const TFont& other) { *this = other; }

private:
    std::string name_ = "Tahoma";
    int height_ = -11;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    TFontQuality quality_ = TFontQuality::fqDefault;
};

enum class TBrushStyle { bsSolid, bsClear };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
};

enum class TPenStyle { psSolid, psClear };

struct TPen {
    TColor Color = clBlack;
    TPenStyle Style = TPenStyle::psSolid;
};
