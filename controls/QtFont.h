#pragma once
// The Qt font that draws a TFont in Qt's own widgets: same face, pixel height and style.

#include "graphics/Font.h"

#include <QColor>
#include <QFont>

QFont ToQFont(const TFont& font);

// A colour value (system colours resolved) as Qt takes it.
QColor ToQColor(TColor color);
