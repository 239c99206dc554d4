#pragma once
// Colours as the program writes them: 0x00BBGGRR values (red in the low byte), or references to
// a system colour (0xFF000000 + the system colour's index), resolved to red, green and blue
// before any use. The system colours are fixed values, not the desktop's palette, so every
// machine draws the same pixels.

#include "platform/Win32Types.h"

#include <cstdint>

using TColor = std::int32_t;
using COLORREF = DWORD;

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
    return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 |
           static_cast<COLORREF>(blue) << 16;
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>(c >> 16);
}

// System colour indices.
enum : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
};

// The fixed value of a system colour; black for an index that names none.
COLORREF GetSysColor(int index);

// A colour value with any system-colour reference resolved.
COLORREF ColorToRGB(TColor color);

constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor SystemColorRef(int index) {
    return clSystemColor | index;
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clBtnFace = SystemColorRef(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColorRef(COLOR_BTNSHADOW);
constexpr TColor clBtnHighlight = SystemColorRef(COLOR_BTNHIGHLIGHT);
constexpr TColor clBtnText = SystemColorRef(COLOR_BTNTEXT);
constexpr TColor cl3DDkShadow = SystemColorRef(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColorRef(COLOR_3DLIGHT);
constexpr TColor clGrayText = SystemColorRef(COLOR_GRAYTEXT);
constexpr TColor clWindow = SystemColorRef(COLOR_WINDOW);
constexpr TColor clWindowText = SystemColorRef(COLOR_WINDOWTEXT);
constexpr TColor clWindowFrame = SystemColorRef(COLOR_WINDOWFRAME);
constexpr TColor clHighlight = SystemColorRef(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColorRef(COLOR_HIGHLIGHTTEXT);
constexpr TColor clHotLight = SystemColorRef(COLOR_HOTLIGHT);
constexpr TColor clMenu = SystemColorRef(COLOR_MENU);
constexpr TColor clMenuText = SystemColorRef(COLOR_MENUTEXT);
constexpr TColor clInfoBk = SystemColorRef(COLOR_INFOBK);
constexpr TColor clInfoText = SystemColorRef(COLOR_INFOTEXT);
