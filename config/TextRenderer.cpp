#include "config/TextRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_LCD_FILTER_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "config/FontFiles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numeric>

namespace {

// The FreeType library and every face opened so far. Plain C handles: safe to release at
// program end, after the application object.
class FreeTypeFonts {
public:
    static FreeTypeFonts& Get() {
        static FreeTypeFonts fonts;
        return fonts;
    }

    ~FreeTypeFonts() {
        for (auto& [key, face] : faces_) {
            if (face != nullptr) {
                FT_Done_Face(face);
            }
        }
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }

    std::mutex mutex;

    // nullptr when the file cannot be opened; text in such a face draws nothing.
    FT_Face Face(const FontFile& file) {
        if (library_ == nullptr || file.path.empty()) {
            return nullptr;
        }
        auto key = std::make_pair(file.path, file.index);
        auto found = faces_.find(key);
        if (found != faces_.end()) {
            return found->second;
        }
        FT_Face face = nullptr;
        if (FT_New_Face(library_, file.path.c_str(), file.index, &face) != 0 ||
            !FT_IS_SCALABLE(face)) {
            if (face != nullptr) {
                FT_Done_Face(face);
            }
            face = nullptr;
        }
        faces_.emplace(key, face);
        return face;
    }

private:
    FreeTypeFonts() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        FT_Library_SetLcdFilter(library_, FT_LCD_FILTER_DEFAULT);
    }

    FT_Library library_ = nullptr;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
};

struct SizedFace {
    FT_Face face = nullptr;
    FontFile file;
    int em = 0;
};

int RoundScaled(long units, int em, int unitsPerEm) {
    return static_cast<int>(std::lround(static_cast<double>(units) * em / unitsPerEm));
}

// Caller holds the fonts' mutex.
SizedFace Prepare(const TextStyle& style) {
    SizedFace sized;
    sized.file = FindFontFile(style.face, style.bold, style.italic);
    sized.face = FreeTypeFonts::Get().Face(sized.file);
    if (sized.face == nullptr) {
        return sized;
    }
    FT_Face face = sized.face;
    int em = style.height < 0 ? -style.height : 0;
    if (style.height > 0) {
        // A positive height asks for the whole cell, ascent plus descent.
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        long cell = os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0
                        ? os2->usWinAscent + os2->usWinDescent
                        : face->ascender - face->descender;
        em = cell > 0 ? RoundScaled(face->units_per_EM, style.height, static_cast<int>(cell))
                      : style.height;
    }
    if (style.height == 0) {
        em = 11; // the platform's default font height
    }
    sized.em = std::clamp(em, 1, 2000);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(sized.em)) != 0) {
        sized.face = nullptr;
    }
    return sized;
}

FT_Int32 LoadFlags(TextRendering rendering) {
    switch (rendering) {
    case TextRendering::Plain:
        return FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO;
    case TextRendering::Subpixel:
        return FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LCD;
    case TextRendering::Standard:
        break;
    }
    return FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL;
}

// Loads one glyph's outline with the made-up styles applied; false when the face cannot.
bool LoadGlyph(const SizedFace& sized, char32_t c, FT_Int32 flags) {
    FT_UInt index = FT_Get_Char_Index(sized.face, c);
    if (FT_Load_Glyph(sized.face, index, flags) != 0) {
        return false;
    }
    if (sized.file.syntheticItalic) {
        FT_GlyphSlot_Oblique(sized.face->glyph);
    }
    if (sized.file.syntheticBold) {
        FT_GlyphSlot_Embolden(sized.face->glyph);
    }
    if (sized.file.thickenStrokes && sized.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        // About one pixel at 8 points, more at larger sizes, as a bold face's stems are.
        FT_Outline_EmboldenXY(&sized.face->glyph->outline, sized.em * 64 / 11, 0);
    }
    return true;
}

std::vector<int> AdvancesLocked(const SizedFace& sized, std::u32string_view text) {
    std::vector<int> advances(text.size(), 0);
    if (sized.face == nullptr) {
        return advances;
    }
    // Advances always come from the standard rendering, so a text takes the same room in
    // every quality.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (LoadGlyph(sized, text[i], LoadFlags(TextRendering::Standard))) {
            advances[i] = static_cast<int>((sized.face->glyph->advance.x + 32) >> 6);
        }
    }
    return advances;
}

TextMetrics MetricsLocked(const SizedFace& sized) {
    TextMetrics metrics;
    if (sized.face == nullptr) {
        metrics.ascent = sized.em * 4 / 5;
        metrics.descent = sized.em - metrics.ascent;
        return metrics;
    }
    FT_Face face = sized.face;
    const int upem = face->units_per_EM;
    const int em = sized.em;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
        metrics.ascent = RoundScaled(os2->usWinAscent, em, upem);
        metrics.descent = RoundScaled(os2->usWinDescent, em, upem);
        if (os2->yStrikeoutSize > 0) {
            metrics.strikeoutOffset = RoundScaled(os2->yStrikeoutPosition, em, upem);
            metrics.strikeoutThickness = std::max(1, RoundScaled(os2->yStrikeoutSize, em, upem));
        }
    } else {
        metrics.ascent = RoundScaled(face->ascender, em, upem);
        metrics.descent = RoundScaled(-face->descender, em, upem);
    }
    if (metrics.strikeoutOffset <= 0) {
        metrics.strikeoutOffset = std::max(1, metrics.ascent / 3);
    }
    metrics.underlineOffset = std::max(1, RoundScaled(-face->underline_position, em, upem));
    metrics.underlineThickness = std::max(1, RoundScaled(face->underline_thickness, em, upem));
    // Underline inside the cell, as the platform keeps it.
    if (metrics.underlineOffset + metrics.underlineThickness > metrics.descent) {
        metrics.underlineOffset = std::max(0, metrics.descent - metrics.underlineThickness);
    }
    return metrics;
}

struct Target {
    QImage& surface;
    TRect clip;
    int r, g, b;

    void Blend(int x, int y, int coverR, int coverG, int coverB) {
        if (!clip.Contains(x, y) || (coverR | coverG | coverB) == 0) {
            return;
        }
        auto* pixel = reinterpret_cast<QRgb*>(surface.scanLine(y)) + x;
        auto mix = [](int fg, int bg, int cover) {
            return (fg * cover + bg * (255 - cover) + 127) / 255;
        };
        *pixel = qRgb(mix(r, qRed(*pixel), coverR), mix(g, qGreen(*pixel), coverG),
                      mix(b, qBlue(*pixel), coverB));
    }

    void Fill(int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                Blend(x, y, 255, 255, 255);
            }
        }
    }
};

void DrawBitmap(Target& target, const FT_Bitmap& bitmap, int left, int top) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        int y = top + static_cast<int>(row);
        switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
            for (unsigned col = 0; col < bitmap.width; ++col) {
                int on = (line[col >> 3] >> (7 - (col & 7))) & 1 ? 255 : 0;
                target.Blend(left + static_cast<int>(col), y, on, on, on);
            }
            break;
        case FT_PIXEL_MODE_GRAY:
            for (unsigned col = 0; col < bitmap.width; ++col) {
                target.Blend(left + static_cast<int>(col), y, line[col], line[col], line[col]);
            }
            break;
        case FT_PIXEL_MODE_LCD:
            for (unsigned col = 0; col + 2 < bitmap.width; col += 3) {
                target.Blend(left + static_cast<int>(col / 3), y, line[col], line[col + 1],
                             line[col + 2]);
            }
            break;
        default:
            break;
        }
    }
}

FT_Render_Mode RenderMode(TextRendering rendering) {
    switch (rendering) {
    case TextRendering::Plain:
        return FT_RENDER_MODE_MONO;
    case TextRendering::Subpixel:
        return FT_RENDER_MODE_LCD;
    case TextRendering::Standard:
        break;
    }
    return FT_RENDER_MODE_NORMAL;
}

bool ValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t follow = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
        } else if (c >= 0x80) {
            return false;
        }
        if (follow > text.size() - i - 1) {
            return false;
        }
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += follow + 1;
    }
    return true;
}

} // namespace

std::u32string DecodeNarrowText(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    if (ValidUtf8(text)) {
        for (std::size_t i = 0; i < text.size();) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            int follow = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
            char32_t value = follow == 0 ? c : c & (0x3F >> follow);
            for (int k = 1; k <= follow; ++k) {
                value = value << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
            out.push_back(value);
            i += static_cast<std::size_t>(follow) + 1;
        }
        return out;
    }
    // Windows-1252: Latin-1 except for the row 0x80..0x9F.
    static constexpr char16_t kRow80[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        out.push_back(c >= 0x80 && c < 0xA0 ? kRow80[c - 0x80] : c);
    }
    return out;
}

TextMetrics MeasureFont(const TextStyle& style) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    return MetricsLocked(Prepare(style));
}

std::vector<int> TextAdvances(const TextStyle& style, std::u32string_view text) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    return AdvancesLocked(Prepare(style), text);
}

void RenderText(QImage& surface, const TRect& clip, int x, int top, std::u32string_view text,
                const TextStyle& style, COLORREF colour) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    SizedFace sized = Prepare(style);
    TextMetrics metrics = MetricsLocked(sized);
    std::vector<int> advances = AdvancesLocked(sized, text);
    Target target{surface, Intersect(clip, TRect{0, 0, surface.width(), surface.height()}),
                  GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    if (target.clip.IsEmpty()) {
        return;
    }
    const int baseline = top + metrics.ascent;
    int pen = x;
    if (sized.face != nullptr) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (LoadGlyph(sized, text[i], LoadFlags(style.rendering)) &&
                FT_Render_Glyph(sized.face->glyph, RenderMode(style.rendering)) == 0) {
                const FT_GlyphSlot slot = sized.face->glyph;
                DrawBitmap(target, slot->bitmap, pen + slot->bitmap_left,
                           baseline - slot->bitmap_top);
            }
            pen += advances[i];
        }
    }
    const int width = std::accumulate(advances.begin(), advances.end(), 0);
    if (style.underline) {
        int y = baseline + metrics.underlineOffset;
        target.Fill(x, y, x + width, y + metrics.underlineThickness);
    }
    if (style.strikeout) {
        int y = baseline - metrics.strikeoutOffset;
        target.Fill(x, y, x + width, y + metrics.strikeoutThickness);
    }
}
