#pragma once
// Which font file draws a face. Tahoma comes from the system when it has one, else from the
// faces the fonts-wine package ships; any other face is the system's closest match, a sans
// face when nothing is closer. A style the file lacks is made up (emboldened or slanted).

#include <QString>
#include <string>

struct FontFile {
    std::string path; // empty when the system has no font at all
    int index = 0;    // face index inside a collection file
    bool syntheticBold = false;
    bool syntheticItalic = false;
    // The file has bold spacing but strokes of the regular weight (fonts-wine's Tahoma Bold,
    // however it was found): thicken the strokes, keep the advances.
    bool thickenStrokes = false;
};

FontFile FindFontFile(const std::string& face, bool bold, bool italic);

// Where fonts-wine puts its Tahoma faces.
inline const char* const kWineTahoma = "/usr/share/wine/fonts/tahoma.ttf";
inline const char* const kWineTahomaBold = "/usr/share/wine/fonts/tahomabd.ttf";

// Reads fontconfig's configuration and caches (the slow part of the first font lookup) and makes
// the fonts-wine Tahoma faces known to it when the system has no Tahoma. Runs on any thread and
// needs no application object, so the window's start runs it beside the application object's
// making; RegisterProgramFonts then finds the faces known.
void PrepareProgramFonts();

// Makes "Tahoma" available to Qt's own widgets: registers the fonts-wine faces when the system
// has no Tahoma, or points the name at the closest sans face when those are missing too.
// Needs the application object; returns the family Qt will draw "Tahoma" with.
QString RegisterProgramFonts();
