#pragma once
// A canvas over a 32-bit off-screen surface with the drawing operations of the original
// platform's device context, as the controls and drawing routines use them: rectangles with
// right and bottom excluded, lines that stop short of their end point, text placed by the top
// left corner of its cell, DrawText with its format flags, and pictures laid over the surface
// through their own alpha. The surface is treated as opaque.

#include "graphics/Font.h"
#include "graphics/Geometry.h"
#include "graphics/Picture.h"
#include "graphics/TextRenderer.h"

#include <QImage>
#include <cstddef>
#include <string>

// Background modes of text output.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// DrawText format flags.
constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;
constexpr UINT DT_EDITCONTROL = 0x2000;

class TCanvas {
public:
    // Draws on surface, which must outlive the canvas. A surface that is not 32-bit is
    // converted to Format_RGB32 first.
    explicit TCanvas(QImage& surface);

    QImage& Surface() { return surface_; }
    int Width() const { return surface_.width(); }
    int Height() const { return surface_.height(); }

    TFont& Font() { return font_; }
    // A change of the brush decides the next text's background, as on the platform: a solid
    // brush draws text cells opaque in its colour, a clear one leaves them transparent.
    TBrush& Brush() {
        brushChanged_ = true;
        return brush_;
    }
    TPen& Pen() { return pen_; }

    // The text background mode (TRANSPARENT or OPAQUE) and colour; SetBkMode overrides what
    // the brush chose until the brush changes again.
    int BkMode();
    void SetBkMode(int mode);
    COLORREF BkColor();
    void SetBkColor(TColor color);

    // Fills rect with the brush (nothing with a clear brush).
    void FillRect(const TRect& rect);
    // Pen border on the outermost ring of (left, top)-(right, bottom), brush inside.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    // A one-pixel line in the pen colour from the pen position up to, not including, (x, y).
    void LineTo(int x, int y);
    TPoint PenPos() const { return penPos_; }

    // 0x00BBGGRR, or -1 (CLR_INVALID) outside the surface.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Text with the top-left corner of its cell at (x, y), in the font's colour, quality and
    // style, over the background the mode asks for.
    void TextOut(int x, int y, const std::string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }

    // A frame of a picture with its top-left corner at (x, y), blended through its alpha.
    void Draw(int x, int y, const TGraphic& graphic, std::size_t frame = 0);

    // The text style the font stands for (what TextOut draws with).
    TextStyle CurrentTextStyle() const;
    // Text output clipped to clip; the worker behind TextOut and DrawText.
    void DrawTextLine(int x, int y, std::u32string_view text, const TRect& clip);
    void FillSolid(const TRect& rect, COLORREF colour);

private:
    void RealizeBrush();
    TRect Bounds() const { return {0, 0, surface_.width(), surface_.height()}; }

    QImage& surface_;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    TPoint penPos_;
    bool brushChanged_ = true;
    int bkMode_ = OPAQUE;
    COLORREF bkColor_ = RGB(255, 255, 255);
};

// Draws text in rect by the format flags; returns the height of the text drawn (with
// DT_VCENTER or DT_BOTTOM, measured from rect's top). DT_CALCRECT only measures: rect's right
// and bottom are set to fit the text. An ampersand underlines the character after it and
// "&&" draws one, unless DT_NOPREFIX.
int DrawTextA(TCanvas& canvas, const std::string& text, TRect& rect, UINT format);
