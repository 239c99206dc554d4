#pragma once
// The gradient button's face, drawn on a 32-bit surface: the state's colours, the two-part
// gradient, the caption, the border, the bevel lines and the focus dots. Kept apart from the
// widget so every pixel can be checked without a window.

#include "graphics/Colors.h"
#include "graphics/Font.h"

#include <QImage>
#include <array>
#include <string>

enum class TButtonState : BYTE { Normal = 0, Hot = 1, Down = 2 };

// Eleven colour slots per state; only 0 to 7 are used: 0 fill and gradient start, 1 end of the
// upper gradient, 2 start of the lower one, 3 end of the lower one, 4 outer border, 5 inner line
// left and top, 6 inner line right and bottom, 7 caption.
using ButtonColourSet = std::array<TColor, 11>;

// The disabled colours when not enabled, else those of state.
const ButtonColourSet& ButtonColours(bool enabled, TButtonState state);

struct ButtonFace {
    const ButtonColourSet* Colours = nullptr;
    bool Gradient = false;
    int SplitSpace = 0; // first row of the lower gradient
    std::string Caption;
    TFont Font;
    bool FocusDots = false;
    TColor FocusDotColor = clBlack;
};

// Composes the face into surface, which becomes a width x height 32-bit image; a button with
// no area leaves it null.
void ComposeButtonFace(QImage& surface, int width, int height, const ButtonFace& face);
