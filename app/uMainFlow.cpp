// What the user sees of a scan and a repair: the four buttons and the window's reaction to each
// of the engine's notifications. The repair's walk down the report is the report page's.
//
// The notifications arrive on the scan worker's thread. Everything one of them changes in the
// window is carried to the window's thread in one hand-off and done there, in order, while the
// worker waits; a window that is closing lets the worker go at once instead.

#include "app/Application.h"
#include "app/ConfigText.h"
#include "app/MessageBox.h"
#include "app/PumpDelay.h"
#include "app/ScanFlow.h"
#include "app/uMain.h"
#include "config/ExceptionGuard.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/PNGExtra.h"
#include "platform/Shell.h"

#include <QLabel>
#include <utility>

bool TOEM_FORM::CarryToWindow(std::function<void()> task) {
    return WindowThread().Call(std::move(task));
}

void TOEM_FORM::StateChange(DWORD Code, TSCANRESULT* Result) {
    TScanFlowState& state = ScanFlowState();
    const TFlowStep step = ApplyNotification(state, Code, Result, ReadConfigText);
    if (Code == ScanCode::ScanEnded) {
        ScanEnded();
        return;
    }
    const QString status = QString::fromStdString(state.StatusText);
    const auto progress = static_cast<WPARAM>(state.ScanProgress);
    CarryToWindow([this, clear = step.ClearReport, status, progress] {
        if (clear) {
            Report->Clear();
        }
        OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0->setText(status);
        // Sent from the window's own thread, it is handled at once, as the worker's would be.
        SendMessageA(Handle(), WM_SETPROGRESS, progress, 0);
    });
    if (step.HoldsWorker && boundEngine_ != nullptr) {
        // The window stays responsive meanwhile; only the window's closing cuts this short.
        boundEngine_->HoldWorker(settings_.HoldSpan);
    }
}

void TOEM_FORM::ScanEnded() {
    TScanFlowState& state = ScanFlowState();
    // Cancelled (or ended by an error, or the window is closing): nothing is listed.
    const bool cancelled = boundEngine_ == nullptr || boundEngine_->CancelRequested;
    std::vector<TRESULTNODE> entries;
    std::string fixCaption;
    if (!cancelled) {
        if (state.PendingOrder.empty()) {
            fixCaption = ReadConfigText("form1#frame3#RES#TEXT_BUTTON_01#text");
        } else {
            entries = ReportEntries(state);
        }
    }
    const SmallInt page = cancelled ? kWelcomePage : kReportPage;
    CarryToWindow([this, cancelled, entries = std::move(entries), fixCaption, page] {
        if (!cancelled) {
            Report->List(entries, fixCaption);
        }
        // Sent from the window's own thread, so the window knows whose message it is serving.
        ++servingScanEnd_;
        struct Served {
            int& count;
            ~Served() { --count; }
        } served{servingScanEnd_};
        SendMessageA(Handle(), WM_SHOWPAGE, static_cast<WPARAM>(page), 0);
    });
}

void TOEM_FORM::XBtnClick(QObject* Sender) {
    if (Sender == OEM_FORM_TAB_0_TTS_0_BTN_0) {
        StartClicked();
    } else if (Sender == OEM_FORM_TAB_0_TTS_0_BTN_1) {
        SocialClicked();
    } else if (Sender == OEM_FORM_TAB_0_TTS_1_BTN_0) {
        CancelClicked();
    } else if (Sender == OEM_FORM_TAB_0_TTS_2_BTN_0) {
        FixClicked();
    }
}

void TOEM_FORM::StartClicked() {
    if (servingScanEnd_ > 0) {
        return;
    }
    ShowPage(kScanningPage);
    if (Engine->StartScan() == kScanWorkerFailed) {
        // No worker, so no notification will bring the window back.
        ShowPage(kWelcomePage);
    }
}

void TOEM_FORM::SocialClicked() {
    const std::string site = ReadConfigText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1#site");
    ShellExecuteA(Handle(), "OPEN", site.c_str(), nullptr, nullptr, SW_SHOW);
}

void TOEM_FORM::CancelClicked() {
    if (Engine->Idle) {
        return;
    }
    CloseDeferral deferral(*this);
    TOEVolumeFixer* engine = Engine.get();
    engine->SetPaused(true);
    struct Resume {
        TOEVolumeFixer* engine;
        ~Resume() { engine->SetPaused(false); }
    } resume{engine};
    const int answer = FlowMessageBox(ReadConfigText("form1#frame2#RES#TEXT_MSGBOX_00#text"),
                                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDYES) {
        engine->CancelRequested = true;
    }
}

void TOEM_FORM::FixClicked() {
    if (Engine->Repaired) {
        ShowPage(kWelcomePage);
        return;
    }
    CloseDeferral deferral(*this);
    TOEButtonEx* fix = OEM_FORM_TAB_0_TTS_2_BTN_0;
    fix->setEnabled(false);
    struct Enable {
        TOEButtonEx* button;
        ~Enable() { button->setEnabled(true); }
    } enable{fix};
    const TRepairCount count = RunRepair();
    // The user has asked to close: the repair is done, and the window goes without a word.
    if (!closePending_) {
        if (count.AllFixed()) {
            FlowMessageBox(FormatConfigText("form1#frame3#RES#TEXT_MSGBOX_00#text", {count.Fixed}),
                           MB_OK | MB_ICONINFORMATION);
        } else {
            FlowMessageBox(FormatConfigText("form1#frame3#RES#TEXT_MSGBOX_01#text",
                                            {count.Fixed, count.Listed}),
                           MB_OK | MB_ICONWARNING);
        }
    }
    ShowPage(kWelcomePage);
}

TRepairCount TOEM_FORM::RunRepair() {
    CloseDeferral deferral(*this);
    return Report->RunRepair(*Engine, [this] { return closing_; });
}

int TOEM_FORM::FlowMessageBox(const std::string& text, UINT flags) {
    CloseDeferral deferral(*this);
    return ApplicationMessageBox(text, ApplicationTitle(), flags);
}
