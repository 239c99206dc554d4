// tm-make-resources <output-folder>
//
// Draws every binary resource the program embeds and writes them into the folder (normally
// resources/ of the source tree). Run by hand after changing the artwork; the output is
// committed and the build only embeds it. Two runs on the same machine give the same bytes.

#include "OutputFiles.h"
#include "Painting.h"
#include "Products.h"

#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {

void WriteAll(const std::filesystem::path& folder) {
    using namespace art;
    WritePng(folder / "PNG_0001.PNG", MakeWindowImage());
    WritePng(folder / "PNG_0101.PNG", MakeWelcomeBackground());
    WritePng(folder / "PNG_0201.PNG", MakeScanningBackground());
    WritePng(folder / "PNG_0301.PNG", MakeReportBackground());
    WritePng(folder / "PNG_0102.PNG", MakeSeparator());
    WritePng(folder / "PNG_0110.PNG", MakeStartButton());
    WritePng(folder / "PNG_0111.PNG", MakeShareButton());

    // Both icon sets use the same order of meanings: information, warning, error, success.
    const IconMeaning meanings[] = {IconMeaning::Information, IconMeaning::Warning,
                                    IconMeaning::Error, IconMeaning::Success};
    for (int i = 0; i < 4; ++i) {
        const std::string digit = std::to_string(i);
        WritePng(folder / ("ICO_2" + digit + ".PNG"), MakeBadgeIcon(meanings[i]));
        WritePng(folder / ("ICO_1" + digit + ".PNG"), MakeOutlineIcon(meanings[i]));
    }

    WriteBytes(folder / "GIF_10.GIF", MakeSpinnerGif());
    WriteBytes(folder / "DING.WAV", MakeChimeWav());

    // The desktop's icon lives in a folder of its own: it is installed, never embedded.
    const std::filesystem::path desktop = folder / "desktop" / "icons";
    std::filesystem::create_directories(desktop);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        WritePng(desktop / ("tonemender-" + std::to_string(size) + ".png"), MakeAppIcon(size));
    }

    const Bytes script = MakeAudioServiceScript();
    WriteBytes(folder / "AUDIOSRV_5X.ZIP", FrameCompressed(script));
    std::printf("registry script: %zu bytes unpacked\n", script.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-folder>\n",
                     argc > 0 ? argv[0] : "tm-make-resources");
        return 2;
    }
    // Always offscreen: the pictures must not depend on whichever display happens to be there.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        art::RegisterArtFont();
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        WriteAll(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tm-make-resources: %s\n", e.what());
        return 1;
    }
    return 0;
}
