#include "graphics/Colors.h"

#include <array>

COLORREF GetSysColor(int index) {
    // The classic light scheme of the platform the program was designed on.
    static constexpr std::array<COLORREF, 31> kColours = {
        RGB(200, 200, 200), // scroll bar
        RGB(0, 0, 0),       // desktop
        RGB(153, 180, 209), // active caption
        RGB(191, 205, 219), // inactive caption
        RGB(240, 240, 240), // menu
        RGB(255, 255, 255), // window
        RGB(100, 100, 100), // window frame
        RGB(0, 0, 0),       // menu text
        RGB(0, 0, 0),       // window text
        RGB(0, 0, 0),       // caption text
        RGB(180, 180, 180), // active border
        RGB(244, 247, 252), // inactive border
        RGB(171, 171, 171), // application workspace
        RGB(0, 120, 215),   // highlight
        RGB(255, 255, 255), // highlight text
        RGB(240, 240, 240), // button face
        RGB(160, 160, 160), // button shadow
        RGB(109, 109, 109), // grey text
        RGB(0, 0, 0),       // button text
        RGB(0, 0, 0),       // inactive caption text
        RGB(255, 255, 255), // button highlight
        RGB(105, 105, 105), // 3D dark shadow
        RGB(227, 227, 227), // 3D light
        RGB(0, 0, 0),       // tooltip text
        RGB(255, 255, 225), // tooltip background
        RGB(0, 0, 0),       // (unused index)
        RGB(0, 102, 204),   // hot-tracked item
        RGB(185, 209, 234), // active caption gradient
        RGB(215, 228, 242), // inactive caption gradient
        RGB(0, 120, 215),   // menu highlight
        RGB(240, 240, 240), // menu bar
    };
    if (index < 0 || index >= static_cast<int>(kColours.size())) {
        return 0;
    }
    return kColours[static_cast<std::size_t>(index)];
}

COLORREF ColorToRGB(TColor color) {
    if (color < 0) {
        return GetSysColor(color & 0xFF);
    }
    return static_cast<COLORREF>(color) & 0x00FFFFFF;
}
