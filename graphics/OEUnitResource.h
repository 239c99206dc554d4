#pragma once
// The resource loader: resources built into the program, found by name and type, loaded into
// memory, written to temporary files, or decoded into pictures; the configured pictures and
// files named by configuration entries; the temporary-file names, the "ZIP" unpacker and the
// drawing routines shared by the report list and the drawn page items.

#include "config/MemoryStream.h"
#include "graphics/Colors.h"
#include "graphics/Picture.h"
#include "platform/Win32Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TCanvas;
class TOEConfiger;
class TFont;
struct TRect;

class TOEResource {
public:
    // There is only ever one loader: Create hands out the existing one, or makes it. Release
    // destroys it, and a later Create makes a new one.
    static TOEResource* Create();
    static void Release();
    ~TOEResource();
    TOEResource(const TOEResource&) = delete;
    TOEResource& operator=(const TOEResource&) = delete;

    // Reused by every load: what one load hands out is replaced by the next. Callers copy it.
    TMemoryStream& SharedStream() { return sharedStream_; }
    TPicture& SharedPicture() { return sharedPicture_; }

    // A null module means the program's own. A resource that does not exist is no error: the
    // stream stays empty, the extracted file is empty.
    void CopyResourceToStream(HMODULE module, const std::string& name, const std::string& type,
                              TMemoryStream& destination);
    TMemoryStream& LoadResourceToMemory(HMODULE module, const std::string& name,
                                        const std::string& type);
    // Writes the resource to a fresh temporary file named after the type and returns its name.
    // The file stays until the program ends; the program's own pictures do not go this way.
    std::string ExtractResourceToFile(HMODULE module, const std::string& name,
                                      const std::string& type);
    // Decodes the resource with the decoder its type names ("PNG", "GIF"); raises PictureError
    // when it cannot. The graphic belongs to SharedPicture. The bytes pass through a temporary
    // file named after the type, removed as soon as it is read back; where no file can be made
    // (a full or read-only folder) the decoder takes them from memory, with the same result.
    const TGraphic& LoadResourceGraphic(HMODULE module, const std::string& name,
                                        const std::string& type);

    // The picture, or the extracted file's name, of the configuration entry at path: the
    // resource name is the entry's "item", or with a key the field it names (a leading "#"
    // is optional), the type its "type"; read with ReadTextIndexed when indexed, ReadText
    // otherwise. Always the program's own module.
    const TGraphic& LoadConfiguredGraphic(const std::string& path, const std::string& key,
                                          bool indexed);
    std::string ExtractConfiguredFile(const std::string& path, const std::string& key,
                                      bool indexed);

private:
    TOEResource() = default;

    TMemoryStream sharedStream_;
    TPicture sharedPicture_;
};

// The resource a configuration entry names: with no key its "item", else the field the key
// names (a leading "#" is optional), and its "type"; read with ReadTextIndexed when indexed.
struct ConfiguredResource {
    std::string name;
    std::string type;
};
ConfiguredResource LookUpConfiguredResource(TOEConfiger& configer, const std::string& path,
                                            const std::string& key, bool indexed);

// The loader, made on first use and destroyed at program end.
TOEResource* ResourceInstance();

// A fresh file name in the temporary folder: the platform makes "~qv<unique>.tmp" (created,
// empty, only for us); a non-empty extension is added after a further ".", and that second
// name is not created here. Raises FileCreateError when the platform cannot make the file.
std::string MakeTempFileName(const std::string& extension);

// A MakeTempFileName name for one use. When it goes, the file written under Name() and the
// empty one the platform made for it are removed, as far as they are still the files this
// program made. Raises FileCreateError as MakeTempFileName does.
class TTempFile {
public:
    explicit TTempFile(const std::string& extension);
    ~TTempFile();
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string made_;
};

// Inflates a "ZIP" resource file (4-byte little-endian size, then a zlib stream) into target,
// replacing it. Raises InflateError ("Error") unless the stream is whole and delivers exactly
// the announced size, which must not pass kMaxInflatedSize; nothing is written then.
void InflateFile(const std::string& source, const std::string& target);
std::vector<unsigned char> InflateSizedStream(const std::vector<unsigned char>& source);
constexpr std::uint32_t kMaxInflatedSize = 64u * 1024 * 1024;

// Fills rows Top to Bottom inclusive (Bottom - Top + 1 of them, none when Bottom < Top) across
// the rectangle's width, each in the colour a running sum reaches from startColor towards
// endColor, rounded with halves to even: the first row is startColor, the last endColor.
void PaintVerticalGradient(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor);

// Text in the smoothest rendering there is (subpixel), its top-left at the rectangle's
// top-left (right and bottom are not used), in font's attributes, which the canvas font takes
// on. The quality stays on the canvas font until its face, size or style changes.
void TextOutClearType(TCanvas& canvas, const TFont& font, const TRect& rect,
                      const std::string& text);
// The same with the canvas's own font at (x, y).
void TextOutClearTypeAt(TCanvas& canvas, int x, int y, const std::string& text);
