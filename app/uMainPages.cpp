// The main window's pages: switching to one and preparing it - its captions and link, its
// drawn items, the report icons, the report's heading and, for a report with nothing in it,
// the "works fine" message.

#include "app/ConfigText.h"
#include "app/FormLayout.h"
#include "app/MessageBox.h"
#include "app/uMain.h"
#include "config/Colors.h"
#include "config/ExceptionGuard.h"
#include "config/OEUnitResource.h"
#include "controls/DUIRenderer.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/VirtualDrawTree.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

constexpr const char* kRowIconPaths[] = {
    "form1#frame3#RES#ICON_20",
    "form1#frame3#RES#ICON_21",
    "form1#frame3#RES#ICON_22",
    "form1#frame3#RES#ICON_23",
};

} // namespace

void TOEM_FORM::ShowPage(SmallInt Index) {
    OEM_FORM_TAB_0->SetActivePageIndex(Index);
}

void TOEM_FORM::PreparePage(SmallInt Index) {
    if (OnPreparePage) {
        OnPreparePage(Index);
    }
    if (Index == kScanningPage || Index == kReportPage) {
        LoadLaterPictures();
    }
    switch (Index) {
    case kWelcomePage:
        PrepareWelcomeControls();
        DrawPageItems(Index, OEM_FORM_TAB_0_TTS_0_IMG_1);
        break;
    case kScanningPage:
        DrawPageItems(Index, OEM_FORM_TAB_0_TTS_1_IMG_1);
        LoadRowIcons();
        break;
    case kReportPage:
        OEM_FORM_TAB_0_TTS_2_PAL_0->hide();
        DrawPageItems(Index, OEM_FORM_TAB_0_TTS_2_IMG_1);
        DrawReportHeading();
        if (OEM_FORM_TAB_0_TTS_2_VDT_0->RootNodeCount() == 0) {
            // A close asked for under the box waits until the welcome page is back.
            CloseDeferral deferral(*this);
            ShowNoProblems();
            ShowPage(kWelcomePage);
        }
        break;
    default:
        break;
    }
}

void TOEM_FORM::PrepareWelcomeControls() {
    OEM_FORM_TAB_0_TTS_1_BTN_0->SetCaption(ReadConfigText("form1#frame2#RES#TEXT_BUTTON_00#text"));
    OEM_FORM_TAB_0_TTS_2_BTN_0->SetCaption(ReadConfigText("form1#frame3#RES#TEXT_BUTTON_01#text"));
    TOEXLabel* link = OEM_FORM_TAB_0_TTS_0_LAB_0;
    const QString text =
        QString::fromStdString(ReadConfigText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_0#text"));
    link->setText(text);
    link->setToolTip(text);
    link->SetURL(ReadConfigText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_0#site"));
    FitLinkLabel();
}

// The link was laid out for the designer's font; with the faces a Linux desktop has, its text
// can come out a few pixels wider than the label and lose its last letter. A link that is cut
// off reads as broken, so the label keeps its place and designed size but grows to the right
// as far as its text needs - never past the page's edge.
void TOEM_FORM::FitLinkLabel() {
    TOEXLabel* link = OEM_FORM_TAB_0_TTS_0_LAB_0;
    const int designed = 155;
    const int needed = QFontMetrics(link->font()).horizontalAdvance(link->text()) + 1;
    const int room = std::max(designed, OEM_FORM_TAB_0_TTS_0->width() - link->x());
    link->resize(std::clamp(needed, designed, room), link->height());
}

void TOEM_FORM::DrawPageItems(SmallInt Index, TImage* overlay) {
    // What was drawn before a failing item stays, and shows.
    struct Show {
        TImage* overlay;
        ~Show() { overlay->update(); }
    } show{overlay};
    DrawDUIPage(overlay->Overlay(), overlay->size(),
                TRect{0, 0, kFormClientWidth, kFormClientHeight}, ConfigerInstance(),
                DUIListPath(Index));
}

void TOEM_FORM::LoadRowIcons() {
    // Icons that fail for one cause are reported once.
    FirstErrorReport steps;
    for (int slot = 0; slot < static_cast<int>(std::size(kRowIconPaths)); ++slot) {
        TPicture& icon = *RowIcons[static_cast<std::size_t>(slot)];
        // A slot the configuration names no picture for stays empty without complaint; one whose
        // picture cannot be loaded stays empty too (its rows have no icon), and is reported.
        if (!icon.Graphic().Empty() ||
            ReadConfigText(std::string(kRowIconPaths[slot]) + "#item").empty()) {
            continue;
        }
        steps.Step([&] {
            icon.Assign(ResourceInstance()->LoadConfiguredGraphic(kRowIconPaths[slot], "", false));
        });
    }
}

const TGraphic* TOEM_FORM::RowIcon(int slot) const {
    if (slot < 0 || slot >= kRowIconCount || !RowIcons[static_cast<std::size_t>(slot)]) {
        return nullptr;
    }
    const TGraphic& graphic = RowIcons[static_cast<std::size_t>(slot)]->Graphic();
    return graphic.Empty() ? nullptr : &graphic;
}

void TOEM_FORM::DrawReportHeading() {
    TImage* overlay = OEM_FORM_TAB_0_TTS_2_IMG_1;
    TVirtualDrawTree* list = OEM_FORM_TAB_0_TTS_2_VDT_0;
    TCanvas& canvas = overlay->Canvas();
    // Face and style stay as the page's items left them.
    canvas.Font().SetSize(8);
    canvas.Font().SetColor(clBlack);
    const std::string heading =
        FormatConfigText("form1#frame3#RES#TEXT_VD_00#text", {list->RootNodeCount()});
    TextOutClearTypeAt(canvas, list->x() + 5, list->y() - 20, heading);
    overlay->update();
}

void TOEM_FORM::ShowNoProblems() {
    FlowMessageBox(ReadConfigText("form1#frame2#RES#TEXT_MSGBOX_01#text"),
                   MB_OK | MB_ICONINFORMATION);
}
