#include "controls/QtFont.h"

#include <cstdlib>

QFont ToQFont(const TFont& font) {
    QFont result(QString::fromStdString(font.Name()));
    // A negative height is the em height; a positive one the whole cell, of which the em is
    // about seven eighths for the faces we draw with.
    int pixels = font.Height() < 0 ? -font.Height() : font.Height() * 7 / 8;
    result.setPixelSize(pixels > 0 ? pixels : 1);
    result.setBold((font.Style() & fsBold) != 0);
    result.setItalic((font.Style() & fsItalic) != 0);
    result.setUnderline((font.Style() & fsUnderline) != 0);
    result.setStrikeOut((font.Style() & fsStrikeOut) != 0);
    return result;
}

QColor ToQColor(TColor color) {
    COLORREF rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
