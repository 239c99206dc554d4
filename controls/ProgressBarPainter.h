#pragma once
// The progress bar's face, drawn pixel by pixel on a 32-bit surface: the glass track and fill,
// the soft-edged marquee block and the whole frame with its text. Kept apart from the widget so
// every pixel can be checked without a window.

#include "graphics/Colors.h"
#include "graphics/Font.h"
#include "graphics/Geometry.h"

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

enum TVPBOrientation { vpbHorizontal, vpbVertical };

// Lays percent (0..100, clamped) of a over b, channel by channel on the resolved colours.
// Percentages are quantised to 256ths, so 100 wraps round to 0 and yields b.
COLORREF BlendColor(TColor a, TColor b, int percent);

// The glass look in rect (right and bottom excluded, and one pixel short of them again: the
// glass covers right - left - 1 by bottom - top - 1 pixels from the top-left corner). Grey mode
// is the track, which ignores colour; colour mode the fill. Nothing when the glass would be
// narrower than one pixel or lower than two. Whatever falls outside surface is cut off.
void DrawGlassBar(QImage& surface, const TRect& rect, TColor colour, TVPBOrientation orientation,
                  bool greyMode);

// The marquee's weight per block pixel along its length: 256ths of the underlying pixel kept
// over the bar colour (0 means pure bar colour).
std::vector<int> MarqueeWeights(int length, int fadePercent);

// Lays the marquee block over the pixels already on surface, along the bar from rect's left
// (horizontal) or top (vertical) edge, across the whole surface including the frame. Its length
// is sizePercent of the surface's width (height when vertical).
void DrawMarqueeBlock(QImage& surface, const TRect& rect, TColor colour,
                      TVPBOrientation orientation, int fadePercent, int sizePercent);

// Everything the bar's face depends on.
struct ProgressBarLook {
    bool AltMode = false;
    TColor BackColor = clBtnFace;
    TColor BorderColor = 0xC0C0C0;
    TColor CornerColor = clBtnFace;
    TColor Color = clLime;
    bool Marquee = false;
    int MarqueeSize = 40;
    int MarqueeFade = 30;
    std::int32_t MarqueeStep = 0;
    std::int32_t Max = 100;
    std::int32_t Min = 0;
    std::int32_t Position = 0;
    TVPBOrientation Orientation = vpbHorizontal;
    bool Percentage = false;
    bool ShowPosText = false;
    std::string PosTextPrefix;
    std::string PosTextSuffix;
    TFont Font;
};

// Where the fill or the marquee block goes on a width x height bar, and whether it is drawn.
struct ProgressFill {
    TRect Rect;
    bool Drawn = false;
};
ProgressFill ProgressFillRect(int width, int height, const ProgressBarLook& look);

// The text the bar prints in its middle when ShowPosText is on (prefix and suffix included).
std::string ProgressText(const ProgressBarLook& look);

// Composes the whole face into frame, which becomes a width x height 32-bit image. A bar with no
// area leaves frame null.
void ComposeProgressBar(QImage& frame, int width, int height, const ProgressBarLook& look);
