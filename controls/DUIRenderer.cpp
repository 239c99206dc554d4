#include "controls/DUIRenderer.h"

#include "graphics/OEUnitResource.h"
#include "controls/DUINumberRules.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameWord(const std::string& text, const char* word) {
    std::size_t i = 0;
    for (; i < text.size() && word[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return i == text.size() && word[i] == '\0';
}

TFontStyles StyleFromWord(const std::string& word) {
    if (SameWord(word, "bold")) {
        return fsBold;
    }
    if (SameWord(word, "italic")) {
        return fsItalic;
    }
    if (SameWord(word, "underline")) {
        return fsUnderline;
    }
    if (SameWord(word, "strikeout")) {
        return fsStrikeOut;
    }
    return 0;
}

// The item rectangle may hold any 32-bit values. Everything drawn from it is kept within a
// range where no position or width arithmetic can overflow; that range is far wider than any
// surface, so what shows is the same.
TRect Drawable(const TRect& rect) {
    static constexpr int kLimit = 1 << 24;
    auto clamp = [](int v) { return std::clamp(v, -kLimit, kLimit); };
    return {clamp(rect.Left), clamp(rect.Top), clamp(rect.Right), clamp(rect.Bottom)};
}

} // namespace

TRect& DUIRect() {
    static TRect rect;
    return rect;
}

void DrawDUIItem(TCanvas& canvas, TOEConfiger& configuration, const std::string& itemPath) {
    auto read = [&](const char* key) { return configuration.ReadTextIndexed(itemPath + key, '#'); };
    const std::string style = read("#font#style");
    const std::string face = read("#font#face");
    const std::string rect = read("#rect");
    const std::string colour = read("#font#color");
    const std::string size = read("#font#size");
    const std::string text = read("#text");
    const std::string align = read("#font#align");
    const std::int32_t images = configuration.ReadCountIndexed(itemPath + "#image", '#');
    const std::string debug = read("#debug");

    TFont& font = canvas.Font();
    font.SetStyle(style.empty() ? 0 : StyleFromWord(style));
    std::int32_t alignment = 0;
    if (!align.empty()) {
        alignment = LenientNumber(align);
    }
    if (!colour.empty()) {
        font.SetColor(ColorFromText(colour));
    }
    if (!size.empty()) {
        font.SetSize(StrictNumberOrThrow(size));
    }
    if (!face.empty()) {
        font.SetName(face);
    }
    if (rect.empty()) {
        return;
    }
    ApplyRectText(DUIRect(), rect);
    const TRect place = Drawable(DUIRect());

    if (images >= 1) {
        // The loader's picture is replaced by its next load; draw from our own copy.
        const TGraphic picture =
            ResourceInstance()->LoadConfiguredGraphic(itemPath + "#image", "", true);
        canvas.Draw(place.Left, place.Top, picture);
        return;
    }
    if (align.empty()) {
        TextOutClearType(canvas, canvas.Font(), place, text);
        return;
    }
    if (!debug.empty()) {
        canvas.FillSolid(place, RGB(0, 255, 0));
    }
    // Flags other than the alignment's own pass on as they are; a measuring flag among them
    // must not move the item rectangle, which only the placement rule changes.
    TRect box = place;
    DrawTextA(canvas, text, box, static_cast<UINT>(alignment) | DT_WORDBREAK | DT_EDITCONTROL);
}

std::string DUIListPath(int pageIndex) {
    if (pageIndex < 0 || pageIndex > 2) {
        return {};
    }
    return "form1#frame" + std::to_string(pageIndex + 1) + "#DUI";
}

void DrawDUIPage(TDUIOverlay& overlay, QSize overlaySize, const TRect& clientRect,
                 TOEConfiger& configuration, const std::string& listPath) {
    TCanvas& canvas = overlay.Canvas(overlaySize);
    canvas.Brush().Color = clWhite;
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.FillRect(clientRect);
    const std::int64_t count = configuration.ReadCount(listPath, '#');
    for (std::int64_t i = 0; i <= count; ++i) {
        DrawDUIItem(canvas, configuration, listPath + "#" + std::to_string(i));
    }
}
