// The main window's pages: switching to one and preparing it - its captions and link and its
// drawn items; the report page's own part (its icons and heading) is the report page's. A
// report with nothing in it is answered here, once the switch is done, with the "works fine"
// message and the way back to the welcome page.

#include "app/ConfigText.h"
#include "app/FormLayout.h"
#include "app/MessageBox.h"
#include "app/uMain.h"
#include "controls/DUIRenderer.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitXLabel.h"

#include <QFontMetrics>
#include <algorithm>
#include <utility>

void TOEM_FORM::ShowPage(SmallInt Index) {
    reportFoundNothing_ = false;
    // The container prepares the page (XTabChange) before it repaints.
    OEM_FORM_TAB_0->SetActivePageIndex(Index);
    if (!std::exchange(reportFoundNothing_, false)) {
        return;
    }
    // A close asked for under the box waits until the welcome page is back.
    CloseDeferral deferral(*this);
    ShowNoProblems();
    OEM_FORM_TAB_0->SetActivePageIndex(kWelcomePage);
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
        Report->LoadRowIcons(laterPrefetch_.get());
        break;
    case kReportPage:
        // Left unset when the preparation fails: a page that could not be shown in full says
        // nothing about what was found.
        reportFoundNothing_ =
            Report->Prepare([this](TImage* overlay) { DrawPageItems(kReportPage, overlay); });
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

void TOEM_FORM::ShowNoProblems() {
    FlowMessageBox(ReadConfigText("form1#frame2#RES#TEXT_MSGBOX_01#text"),
                   MB_OK | MB_ICONINFORMATION);
}
