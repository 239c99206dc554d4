#include "app/ReportPage.h"

#include "app/ConfigText.h"
#include "app/PicturePrefetch.h"
#include "app/PumpDelay.h"
#include "graphics/Colors.h"
#include "config/ExceptionGuard.h"
#include "graphics/OEUnitResource.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"

#include <QWidget>
#include <algorithm>
#include <iterator>
#include <utility>

namespace {

constexpr const char* kRowIconPaths[] = {
    "form1#frame3#RES#ICON_20",
    "form1#frame3#RES#ICON_21",
    "form1#frame3#RES#ICON_22",
    "form1#frame3#RES#ICON_23",
};

constexpr float kWalkSliceMs = 50;

} // namespace

TReportPage::TReportPage(TVirtualDrawTree* list, QWidget* marker, TImage* overlay, TOEButtonEx* fix,
                         std::chrono::milliseconds rowWalkSpan)
    : list_(list), marker_(marker), overlay_(overlay), fix_(fix), rowWalkSpan_(rowWalkSpan) {
    for (auto& icon : RowIcons) {
        icon = std::make_unique<TPicture>();
    }
}

std::vector<std::string> TReportPage::RowIconEntries() {
    return {std::begin(kRowIconPaths), std::end(kRowIconPaths)};
}

void TReportPage::LoadRowIcons(TPicturePrefetch* prefetched) {
    // Icons that fail for one cause are reported once.
    FirstErrorReport steps;
    for (int slot = 0; slot < static_cast<int>(std::size(kRowIconPaths)); ++slot) {
        TPicture* icon = RowIcons[static_cast<std::size_t>(slot)].get();
        // A slot the configuration names no picture for stays empty without complaint; one whose
        // picture cannot be loaded stays empty too (its rows have no icon), and is reported.
        if (icon == nullptr || !icon->Graphic().Empty() ||
            ReadConfigText(std::string(kRowIconPaths[slot]) + "#item").empty()) {
            continue;
        }
        steps.Step([&] {
            if (auto ready = prefetched ? prefetched->TakeGraphic(kRowIconPaths[slot])
                                        : std::nullopt) {
                icon->Assign(std::move(*ready));
                return;
            }
            icon->Assign(ResourceInstance()->LoadConfiguredGraphic(kRowIconPaths[slot], "", false));
        });
    }
}

const TGraphic* TReportPage::RowIcon(int slot) const {
    if (slot < 0 || slot >= kRowIconCount || !RowIcons[static_cast<std::size_t>(slot)]) {
        return nullptr;
    }
    const TGraphic& graphic = RowIcons[static_cast<std::size_t>(slot)]->Graphic();
    return graphic.Empty() ? nullptr : &graphic;
}

void TReportPage::FreeRowIcons() {
    for (auto& icon : RowIcons) {
        icon.reset();
    }
}

void TReportPage::Clear() {
    list_->Clear();
    listedKeys_.clear();
}

void TReportPage::List(const std::vector<TRESULTNODE>& entries, const std::string& fixCaption) {
    if (entries.empty()) {
        fix_->SetCaption(fixCaption);
        return;
    }
    for (const TRESULTNODE& entry : entries) {
        const TProblemEntry* problem = ProblemByOrderKey(entry.OrderKey);
        AddResultRow(*list_, 0, entry.Title, entry.RowKind,
                     problem != nullptr ? RowIcon(problem->IconSlot) : nullptr, entry.Description,
                     entry.Status, entry.Outcome);
        listedKeys_.push_back(entry.OrderKey);
    }
}

bool TReportPage::Empty() const {
    return list_->RootNodeCount() == 0;
}

bool TReportPage::Prepare(const std::function<void(TImage* overlay)>& drawItems) {
    marker_->hide();
    drawItems(overlay_);
    DrawHeading();
    return Empty();
}

void TReportPage::DrawHeading() {
    TCanvas& canvas = overlay_->Canvas();
    // Face and style stay as the page's items left them.
    canvas.Font().SetSize(8);
    canvas.Font().SetColor(clBlack);
    const std::string heading =
        FormatConfigText("form1#frame3#RES#TEXT_VD_00#text", {list_->RootNodeCount()});
    TextOutClearTypeAt(canvas, list_->x() + 5, list_->y() - 20, heading);
    overlay_->update();
}

TRepairCount TReportPage::RunRepair(TOEVolumeFixer& engine, const std::function<bool()>& closing) {
    struct Restore {
        TVirtualDrawTree* list;
        QWidget* marker;
        ~Restore() {
            list->setEnabled(true);
            list->SetFocusedNode(nullptr);
            list->viewport()->update();
            marker->hide();
        }
    } restore{list_, marker_};
    marker_->raise();
    marker_->show();
    list_->setEnabled(false);

    // A repair step that fails (the registry script cannot be unpacked) is reported; the
    // re-check below then tells what the rest achieved.
    Guarded([&] { engine.Repair(); });

    // By position, not by handle: the rows are looked up afresh after every wait. A close
    // ends the walk: nobody is left to watch it.
    for (int index = 0; !closing(); ++index) {
        PVirtualNode node = list_->GetFirst();
        for (int i = 0; i < index && node != nullptr; ++i) {
            node = list_->GetNext(node);
        }
        if (node == nullptr) {
            break;
        }
        const TRect row = list_->GetDisplayRect(node);
        marker_->move(row.Right - 27, row.Top + 17);
        list_->SetFocusedNode(node);
        list_->RepaintNode(node);
        // In short slices, so that a close ends the walk at once.
        const auto rowEnds = std::chrono::steady_clock::now() + rowWalkSpan_;
        for (auto now = std::chrono::steady_clock::now(); !closing() && now < rowEnds;
             now = std::chrono::steady_clock::now()) {
            const auto left = std::chrono::duration<float, std::milli>(rowEnds - now).count();
            PumpDelay(std::min(left, kWalkSliceMs));
        }
    }

    TRepairCount count;
    count.Listed = static_cast<int>(listedKeys_.size());
    if (closing()) {
        return count; // nobody will read it, and the re-check plays the test sound again
    }
    Guarded([&] {
        const TSCANRESULT after = engine.Recheck(ChecksToRepeat(listedKeys_));
        count = CountFixedProblems(listedKeys_, engine.ScanResult, after);
    });
    return count;
}
