#pragma once
// The report page's own part of the main window: the list of problems found, the icons its rows
// show, the heading above it, the order keys of the rows listed, and the repair with its busy
// marker walking down the rows. The window keeps the switching of pages and its message boxes;
// it hands this page what a scan found and asks it to repair.
//
// Everything here runs on the window's thread. The controls belong to the window; the page only
// refers to them.

#include "app/WindowEngine.h"
#include "graphics/Picture.h"
#include "controls/ResultNode.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class TImage;
class TOEButtonEx;
class TPicturePrefetch;
class TVirtualDrawTree;

constexpr int kRowIconCount = 5;

class TReportPage {
public:
    // The report page's controls: the problem list, the busy marker on it, the overlay the
    // page's items and heading are drawn on, and the Fix button. rowWalkSpan is how long the
    // marker stays on each row.
    TReportPage(TVirtualDrawTree* list, QWidget* marker, TImage* overlay, TOEButtonEx* fix,
                std::chrono::milliseconds rowWalkSpan);

    // Icons of the report rows; rows refer to the graphic a slot holds and do not own it.
    std::array<std::unique_ptr<TPicture>, kRowIconCount> RowIcons;

    // Fills the icon slots that have none yet from the configuration, once: a loaded slot is
    // never loaded again. A slot without a configured picture stays empty; one whose picture
    // fails stays empty too and is reported (once for one cause). Icons decoded ahead (in
    // prefetched, when given) are taken from there.
    void LoadRowIcons(TPicturePrefetch* prefetched = nullptr);
    // The configuration entries of the icon slots.
    static std::vector<std::string> RowIconEntries();
    // The graphic a slot holds, or null for an empty or unknown slot.
    const TGraphic* RowIcon(int slot) const;
    // Frees the icons; the rows must not be painted after this.
    void FreeRowIcons();

    // Every row goes, with its key (a scan starts).
    void Clear();
    // What a scan ended with: entries, highest order key first, become the rows; with none the
    // Fix button is captioned fixCaption instead.
    void List(const std::vector<TRESULTNODE>& entries, const std::string& fixCaption);
    bool Empty() const;

    // Prepares the page as it becomes active: hides the marker, has drawItems draw the page's
    // items onto overlay, and draws the heading with the number of rows over them. True when the
    // page was prepared with nothing listed.
    bool Prepare(const std::function<void(TImage* overlay)>& drawItems);

    // Repairs, walks the busy marker down the rows, and checks each listed problem again: what
    // the re-check confirms fixed. closing ends the walk at once and skips the re-check. The
    // list and the marker are back as they were on every way out.
    TRepairCount RunRepair(TOEVolumeFixer& engine, const std::function<bool()>& closing);

private:
    void DrawHeading();

    TVirtualDrawTree* const list_;
    QWidget* const marker_;
    TImage* const overlay_;
    TOEButtonEx* const fix_;
    const std::chrono::milliseconds rowWalkSpan_;
    // The order keys of the rows, first row first, for judging the repair.
    std::vector<std::int32_t> listedKeys_;
};
