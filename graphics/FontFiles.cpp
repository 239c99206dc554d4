#include "graphics/FontFiles.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <filesystem>
#include <fontconfig/fontconfig.h>
#include <map>
#include <mutex>
#include <tuple>

namespace {

bool SameFace(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool SystemHasFamily(const std::string& family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    bool found = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) {
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

FontFile MatchWithFontconfig(const std::string& face, bool bold, bool italic) {
    FontFile result;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(
        pattern, FC_FAMILY,
        reinterpret_cast<const FcChar8*>(face.empty() ? "sans-serif" : face.c_str()));
    // A face we do not have falls back to a sans face, never to a serif one.
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult outcome = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &outcome);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        int index = 0;
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            result.path = reinterpret_cast<const char*>(file);
        }
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        result.index = index;
        result.syntheticBold = bold && weight < FC_WEIGHT_DEMIBOLD;
        result.syntheticItalic = italic && slant == FC_SLANT_ROMAN;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return result;
}

bool Exists(const char* path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// fonts-wine's Tahoma Bold draws its bold shapes only in bitmaps for a few pixel sizes; its
// outlines are the regular face's. Known by the file itself, so that it is thickened whether
// it was picked here or by fontconfig (which lists it once Qt registered the faces).
bool IsWineTahomaBold(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::equivalent(path, kWineTahomaBold, error);
}

} // namespace

FontFile FindFontFile(const std::string& face, bool bold, bool italic) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, bool, bool>, FontFile> cache;
    std::lock_guard lock(mutex);
    auto key = std::make_tuple(face, bold, italic);
    if (auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    FontFile result;
    if (SameFace(face, "Tahoma") && !SystemHasFamily("Tahoma") && Exists(kWineTahoma)) {
        bool haveBold = Exists(kWineTahomaBold);
        result.path = bold && haveBold ? kWineTahomaBold : kWineTahoma;
        result.syntheticBold = bold && !haveBold;
        result.syntheticItalic = italic; // Tahoma has no italic face anywhere
    } else {
        result = MatchWithFontconfig(face, bold, italic);
    }
    result.thickenStrokes = bold && !result.syntheticBold && IsWineTahomaBold(result.path);
    cache.emplace(key, result);
    return result;
}

void PrepareProgramFonts() {
    if (FcInit() != FcTrue || SystemHasFamily("Tahoma")) {
        return;
    }
    for (const char* path : {kWineTahoma, kWineTahomaBold}) {
        if (Exists(path)) {
            FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path));
        }
    }
}

QString RegisterProgramFonts() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (!QFontDatabase::families().contains(tahoma, Qt::CaseInsensitive)) {
        for (const char* path : {kWineTahoma, kWineTahomaBold}) {
            if (Exists(path)) {
                QFontDatabase::addApplicationFont(QString::fromUtf8(path));
            }
        }
    }
    if (QFontDatabase::families().contains(tahoma, Qt::CaseInsensitive)) {
        return tahoma;
    }
    QString fallback = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont::insertSubstitution(tahoma, fallback);
    return fallback;
}
