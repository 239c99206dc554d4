#include "graphics/TextRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_LCD_FILTER_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "graphics/FontFiles.h"
#include "config/TextConvert.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A rendered glyph as FreeType left it, kept so the next draw of the same character in the
// same face, size and rendering copies it instead of loading, hinting and rasterising again.
struct GlyphImage {
    bool drawable = false; // false when the face could not load or render the glyph
    int left = 0;          // bitmap_left
    int top = 0;           // bitmap_top
    unsigned width = 0;
    unsigned rows = 0;
    unsigned pitch = 0;
    unsigned char pixelMode = 0;
    std::vector<unsigned char> buffer; // rows top to bottom, pitch bytes each
};

// Everything one face at one pixel size gives: its metrics, the advance of every character
// asked for so far, and the rendered glyphs in each rendering.
struct SizedFace {
    FT_Face face = nullptr;
    FontFile file;
    int em = 0;
    TextMetrics metrics;
    std::unordered_map<char32_t, int> advances;
    std::unordered_map<char32_t, GlyphImage> glyphs[3]; // by TextRendering
};

// Bounds of the caches. A page of the program draws a handful of faces and sizes with a few
// dozen characters each; the bounds only matter for hostile configurations (a size per item),
// and past them the caches start over rather than grow.
constexpr std::size_t kMaxSizedFaces = 64;
constexpr std::size_t kMaxGlyphBytes = 8u << 20;
constexpr std::size_t kMaxCachedGlyphBytes = 64u << 10; // larger glyphs are rendered each time

int RoundScaled(long units, int em, int unitsPerEm) {
    return static_cast<int>(std::lround(static_cast<double>(units) * em / unitsPerEm));
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

// A face whose bold has only regular strokes (FontFile::thickenStrokes) is made bold here the
// way a bold face is at small sizes: its outline hinted to whole pixels, then every vertical
// stem widened by whole pixels to the right, the left edge kept - two full columns at 8 points
// where the regular face has one. A widening by a fraction of a pixel, or stems left between
// pixels, gives two half-inked columns instead, which read as a blurred regular stem. The
// subpixel filter would spread even a whole-pixel stem over four columns, none of them in the
// text's colour, so these glyphs are antialiased in grayscale in that rendering too.
int ThickeningPixels(int em) {
    return std::max(1, (em + 5) / 11);
}

FT_Int32 GlyphLoadFlags(const FontFile& file, TextRendering rendering) {
    return file.thickenStrokes ? FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO : LoadFlags(rendering);
}

FT_Render_Mode GlyphRenderMode(const FontFile& file, TextRendering rendering) {
    if (file.thickenStrokes && rendering == TextRendering::Subpixel) {
        return FT_RENDER_MODE_NORMAL;
    }
    return RenderMode(rendering);
}

TextMetrics ComputeMetrics(FT_Face face, int em) {
    TextMetrics metrics;
    if (face == nullptr) {
        metrics.ascent = em * 4 / 5;
        metrics.descent = em - metrics.ascent;
        return metrics;
    }
    const int upem = face->units_per_EM;
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

// The FreeType library, every face opened so far and the cache of sized faces. Plain C handles:
// safe to release at program end, after the application object. Every use holds the mutex,
// so text may be measured and drawn from any thread.
class FreeTypeFonts {
public:
    static FreeTypeFonts& Get() {
        static FreeTypeFonts fonts;
        return fonts;
    }

    ~FreeTypeFonts() {
        for (auto& [key, face] : faces_) {
            if (face.face != nullptr) {
                FT_Done_Face(face.face);
            }
        }
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }

    std::mutex mutex;

    // The face and size a style draws with. Valid until the next call. Caller holds the mutex.
    SizedFace& Sized(const TextStyle& style) {
        StyleKey key{style.face, style.height, style.bold, style.italic};
        if (auto found = sized_.find(key); found != sized_.end()) {
            return *found->second;
        }
        if (sized_.size() >= kMaxSizedFaces) {
            sized_.clear();
            glyphBytes_ = 0;
        }
        auto made = std::make_unique<SizedFace>(Prepare(style));
        return *sized_.emplace(std::move(key), std::move(made)).first->second;
    }

    int Advance(SizedFace& sized, char32_t c) {
        if (sized.face == nullptr) {
            return 0;
        }
        if (auto found = sized.advances.find(c); found != sized.advances.end()) {
            return found->second;
        }
        // Advances always come from the standard rendering, so a text takes the same room in
        // every quality.
        int advance = 0;
        if (LoadGlyph(sized, c, LoadFlags(TextRendering::Standard))) {
            advance = static_cast<int>((sized.face->glyph->advance.x + 32) >> 6);
        }
        sized.advances.emplace(c, advance);
        return advance;
    }

    // The rendered glyph, from the cache when it is there. An image too large to keep is
    // rendered into scratch, which then holds it until the next call.
    const GlyphImage& Glyph(SizedFace& sized, char32_t c, TextRendering rendering) {
        auto& glyphs = sized.glyphs[static_cast<int>(rendering)];
        if (auto found = glyphs.find(c); found != glyphs.end()) {
            return found->second;
        }
        scratch_ = Render(sized, c, rendering);
        const std::size_t bytes = scratch_.buffer.size() + sizeof(GlyphImage);
        if (scratch_.buffer.size() > kMaxCachedGlyphBytes) {
            return scratch_;
        }
        if (glyphBytes_ + bytes > kMaxGlyphBytes) {
            for (auto& [styleKey, entry] : sized_) {
                for (auto& perRendering : entry->glyphs) {
                    perRendering.clear();
                }
            }
            glyphBytes_ = 0;
        }
        glyphBytes_ += bytes;
        return glyphs.emplace(c, std::move(scratch_)).first->second;
    }

private:
    struct FaceEntry {
        FT_Face face = nullptr;
        int em = 0; // the pixel size the face is set to now
    };
    using StyleKey = std::tuple<std::string, int, bool, bool>;

    FreeTypeFonts() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        FT_Library_SetLcdFilter(library_, FT_LCD_FILTER_DEFAULT);
    }

    // nullptr when the file cannot be opened; text in such a face draws nothing.
    FaceEntry* Face(const FontFile& file) {
        if (library_ == nullptr || file.path.empty()) {
            return nullptr;
        }
        auto key = std::make_pair(file.path, file.index);
        auto found = faces_.find(key);
        if (found != faces_.end()) {
            return found->second.face != nullptr ? &found->second : nullptr;
        }
        FT_Face face = nullptr;
        if (!OpenFace(file, face) || !FT_IS_SCALABLE(face)) {
            if (face != nullptr) {
                FT_Done_Face(face);
            }
            face = nullptr;
        }
        FaceEntry& entry = faces_.emplace(key, FaceEntry{face, 0}).first->second;
        return face != nullptr ? &entry : nullptr;
    }

    // The file is read as FreeType asks for its parts rather than mapped whole: Qt maps the same
    // files for its own text, and every page of a mapping the program touches counts as its
    // own (a Tahoma face is about 140 KB). False when the face cannot be opened.
    bool OpenFace(const FontFile& file, FT_Face& face) {
        const int descriptor = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || info.st_size <= 0) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
            return false;
        }
        auto* stream = new FT_StreamRec{};
        stream->size = static_cast<unsigned long>(info.st_size);
        stream->descriptor.value = descriptor;
        stream->read = [](FT_Stream stream, unsigned long offset, unsigned char* buffer,
                          unsigned long count) -> unsigned long {
            if (count == 0) { // a seek: 0 when it lands inside the file
                return offset <= stream->size ? 0 : 1;
            }
            unsigned long done = 0;
            while (done < count) {
                const ssize_t got = ::pread(static_cast<int>(stream->descriptor.value),
                                            buffer + done, count - done,
                                            static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got <= 0) {
                    break;
                }
                done += static_cast<unsigned long>(got);
            }
            return done;
        };
        // FreeType closes the stream with the face, or when the face cannot be opened.
        stream->close = [](FT_Stream stream) {
            ::close(static_cast<int>(stream->descriptor.value));
            delete stream;
        };
        FT_Open_Args args{};
        args.flags = FT_OPEN_STREAM;
        args.stream = stream;
        return FT_Open_Face(library_, &args, file.index, &face) == 0;
    }

    // Sizes of different styles share one FreeType face; it is set to the size in hand only
    // when a glyph must really be loaded.
    bool SetSize(const SizedFace& sized) {
        FaceEntry* entry = Face(sized.file);
        if (entry == nullptr) {
            return false;
        }
        if (entry->em != sized.em) {
            if (FT_Set_Pixel_Sizes(entry->face, 0, static_cast<FT_UInt>(sized.em)) != 0) {
                entry->em = 0;
                return false;
            }
            entry->em = sized.em;
        }
        return true;
    }

    SizedFace Prepare(const TextStyle& style) {
        SizedFace sized;
        sized.file = FindFontFile(style.face, style.bold, style.italic);
        FaceEntry* entry = Face(sized.file);
        FT_Face face = entry != nullptr ? entry->face : nullptr;
        int em = style.height < 0 ? -style.height : 0;
        if (face != nullptr && style.height > 0) {
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
        sized.face = face;
        if (face != nullptr && !SetSize(sized)) {
            sized.face = nullptr;
        }
        sized.metrics = ComputeMetrics(sized.face, sized.em);
        return sized;
    }

    // Loads one glyph's outline with the made-up styles applied; false when the face cannot.
    bool LoadGlyph(const SizedFace& sized, char32_t c, FT_Int32 flags) {
        if (!SetSize(sized)) {
            return false;
        }
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
            FT_Outline_EmboldenXY(&sized.face->glyph->outline, ThickeningPixels(sized.em) * 64, 0);
        }
        return true;
    }

    GlyphImage Render(const SizedFace& sized, char32_t c, TextRendering rendering) {
        GlyphImage image;
        if (sized.face == nullptr || !LoadGlyph(sized, c, GlyphLoadFlags(sized.file, rendering)) ||
            FT_Render_Glyph(sized.face->glyph, GlyphRenderMode(sized.file, rendering)) != 0) {
            return image;
        }
        const FT_GlyphSlot slot = sized.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        image.drawable = true;
        image.left = slot->bitmap_left;
        image.top = slot->bitmap_top;
        image.width = bitmap.width;
        image.rows = bitmap.rows;
        image.pitch = static_cast<unsigned>(std::abs(bitmap.pitch));
        image.pixelMode = bitmap.pixel_mode;
        image.buffer.resize(static_cast<std::size_t>(image.pitch) * image.rows);
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* line =
                bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
            std::copy_n(line, image.pitch,
                        image.buffer.begin() + static_cast<std::ptrdiff_t>(row * image.pitch));
        }
        return image;
    }

    FT_Library library_ = nullptr;
    std::map<std::pair<std::string, int>, FaceEntry> faces_;
    std::map<StyleKey, std::unique_ptr<SizedFace>> sized_;
    std::size_t glyphBytes_ = 0;
    GlyphImage scratch_;
};

std::vector<int> AdvancesLocked(FreeTypeFonts& fonts, SizedFace& sized, std::u32string_view text) {
    std::vector<int> advances(text.size(), 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        advances[i] = fonts.Advance(sized, text[i]);
    }
    return advances;
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

void DrawBitmap(Target& target, const GlyphImage& glyph, int left, int top) {
    for (unsigned row = 0; row < glyph.rows; ++row) {
        const unsigned char* line =
            glyph.buffer.data() + static_cast<std::ptrdiff_t>(row) * glyph.pitch;
        int y = top + static_cast<int>(row);
        switch (glyph.pixelMode) {
        case FT_PIXEL_MODE_MONO:
            for (unsigned col = 0; col < glyph.width; ++col) {
                int on = (line[col >> 3] >> (7 - (col & 7))) & 1 ? 255 : 0;
                target.Blend(left + static_cast<int>(col), y, on, on, on);
            }
            break;
        case FT_PIXEL_MODE_GRAY:
            for (unsigned col = 0; col < glyph.width; ++col) {
                target.Blend(left + static_cast<int>(col), y, line[col], line[col], line[col]);
            }
            break;
        case FT_PIXEL_MODE_LCD:
            for (unsigned col = 0; col + 2 < glyph.width; col += 3) {
                target.Blend(left + static_cast<int>(col / 3), y, line[col], line[col + 1],
                             line[col + 2]);
            }
            break;
        default:
            break;
        }
    }
}

} // namespace

std::u32string DecodeNarrowText(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        out.push_back(NextUtf8CodePoint(text, at));
    }
    return out;
}

TextMetrics MeasureFont(const TextStyle& style) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    return fonts.Sized(style).metrics;
}

std::vector<int> TextAdvances(const TextStyle& style, std::u32string_view text) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    return AdvancesLocked(fonts, fonts.Sized(style), text);
}

void RenderText(QImage& surface, const TRect& clip, int x, int top, std::u32string_view text,
                const TextStyle& style, COLORREF colour) {
    FreeTypeFonts& fonts = FreeTypeFonts::Get();
    std::lock_guard lock(fonts.mutex);
    SizedFace& sized = fonts.Sized(style);
    const TextMetrics metrics = sized.metrics;
    std::vector<int> advances = AdvancesLocked(fonts, sized, text);
    Target target{surface, Intersect(clip, TRect{0, 0, surface.width(), surface.height()}),
                  GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    if (target.clip.IsEmpty()) {
        return;
    }
    const int baseline = top + metrics.ascent;
    int pen = x;
    if (sized.face != nullptr) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const GlyphImage& glyph = fonts.Glyph(sized, text[i], style.rendering);
            if (glyph.drawable) {
                DrawBitmap(target, glyph, pen + glyph.left, baseline - glyph.top);
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
