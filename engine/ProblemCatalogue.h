#pragma once
// The problems a scan can find, in one table for every front end: when each one holds on the
// scan's result record, where its texts are in the configuration, how it is ranked and drawn,
// and how a repair is judged - each listed problem is checked again by the check that found
// it, and counts as fixed only when that check now confirms it is gone.
//
// A mixer value of -1 means the line has no such control (or could not be read). That is no
// finding: only a mute control that reads muted, or a volume control below half scale, is.

#include "engine/ScanResult.h"

#include <cstdint>
#include <span>
#include <vector>

struct TProblemEntry {
    DWORD Code;                  // the notification whose result it is evaluated on
    std::int32_t OrderKey;       // the report lists the highest first; distinct per entry
    const char* Entry;           // its configuration entry, e.g. "form1#frame3#RES#TEXT_VD_04"
    const char* TitlePath;       // Entry + "#text"
    const char* DescriptionPath; // Entry + "#desc"
    int IconSlot;                // slot of the report's row icons (ICON_20 .. ICON_23)
    const char* StatusPath;      // the detection word
    const char* OutcomePath;     // the outcome word
    TCheckSet Check;             // the check that finds it
    bool (*Holds)(const TSCANRESULT& Result);
    // After a repair: is what `Found` showed gone in `After` (the same check run again)?
    bool (*Gone)(const TSCANRESULT& Found, const TSCANRESULT& After);
};

// The configured status line of a notification that starts the scan or a check, for the window
// and the console alike; null for the codes that carry a result, for the end and for codes the
// engine does not send.
const char* StatusPathOf(DWORD Code);

// The entries in table order: playback, muted, low volume, service missing, service not
// running, then the device status findings: no output device, output switched off, sound going
// to the dummy output, speakers or headphones unplugged. The device findings are listed first,
// a missing output device at the very top: without a device no other repair brings sound back.
std::span<const TProblemEntry> ProblemCatalogue();

// The entries of that notification code that hold on Result, in table order (so for one code
// a muted entry comes before a low-volume one, a missing service before one not running).
// Codes that carry no result give none.
std::vector<const TProblemEntry*> ProblemsFound(DWORD Code, const TSCANRESULT& Result);

// nullptr when no entry has that key.
const TProblemEntry* ProblemByOrderKey(std::int32_t OrderKey);

// The checks to run again for the listed problems (by order key): the test sound only when
// playback was listed.
TCheckSet ChecksToRepeat(std::span<const std::int32_t> ListedKeys);

struct TRepairCount {
    int Listed = 0;
    int Fixed = 0;
    bool AllFixed() const { return Fixed == Listed; }
};

// How many of the listed problems (by order key; unknown keys count as listed and not fixed)
// the re-check After confirms gone, Found being the scan that listed them.
TRepairCount CountFixedProblems(std::span<const std::int32_t> ListedKeys, const TSCANRESULT& Found,
                                const TSCANRESULT& After);
