// What the user sees of a scan and a repair: the four buttons, the window's reaction to each
// of the engine's notifications, and the repair with its busy marker walking down the report.
//
// The notifications arrive on the scan worker's thread. Everything they change in the window
// is carried to the window's thread and done there while the worker waits, in the order it is
// asked for; a window that is closing lets the worker go at once instead.

#include "app/Application.h"
#include "app/ConfigText.h"
#include "app/MessageBox.h"
#include "app/PumpDelay.h"
#include "app/ScanFlow.h"
#include "app/uMain.h"
#include "config/ExceptionGuard.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/PNGExtra.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"
#include "platform/Shell.h"

#include <QLabel>
#include <algorithm>
#include <chrono>
#include <utility>

namespace {

constexpr float kWalkSliceMs = 50;

} // namespace

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
    if (step.ClearReport) {
        CarryToWindow([this] {
            OEM_FORM_TAB_0_TTS_2_VDT_0->Clear();
            listedKeys_.clear();
        });
    }
    const QString status = QString::fromStdString(state.StatusText);
    CarryToWindow([this, status] { OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0->setText(status); });
    SendMessageA(Handle(), WM_SETPROGRESS, static_cast<WPARAM>(state.ScanProgress), 0);
    if (step.HoldsWorker && boundEngine_ != nullptr) {
        // The window stays responsive meanwhile; only the window's closing cuts this short.
        boundEngine_->HoldWorker(settings_.HoldSpan);
    }
}

void TOEM_FORM::ScanEnded() {
    TScanFlowState& state = ScanFlowState();
    if (boundEngine_ == nullptr || boundEngine_->CancelRequested) {
        // Cancelled (or ended by an error, or the window is closing): nothing is listed.
        SendScanEndPage(kWelcomePage);
        return;
    }
    if (state.PendingOrder.empty()) {
        const std::string caption = ReadConfigText("form1#frame3#RES#TEXT_BUTTON_01#text");
        CarryToWindow([this, caption] { OEM_FORM_TAB_0_TTS_2_BTN_0->SetCaption(caption); });
    } else {
        std::vector<TRESULTNODE> entries = ReportEntries(state);
        CarryToWindow([this, entries] {
            for (const TRESULTNODE& entry : entries) {
                const TProblemEntry* problem = ProblemByOrderKey(entry.OrderKey);
                AddResultRow(*OEM_FORM_TAB_0_TTS_2_VDT_0, 0, entry.Title, entry.RowKind,
                             problem != nullptr ? RowIcon(problem->IconSlot) : nullptr,
                             entry.Description, entry.Status, entry.Outcome);
                listedKeys_.push_back(entry.OrderKey);
            }
        });
    }
    SendScanEndPage(kReportPage);
}

void TOEM_FORM::SendScanEndPage(SmallInt Page) {
    // Sent from the window's own thread, so the window knows whose message it is serving.
    CarryToWindow([this, Page] {
        ++servingScanEnd_;
        struct Served {
            int& count;
            ~Served() { --count; }
        } served{servingScanEnd_};
        SendMessageA(Handle(), WM_SHOWPAGE, static_cast<WPARAM>(Page), 0);
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
    TVirtualDrawTree* list = OEM_FORM_TAB_0_TTS_2_VDT_0;
    QWidget* marker = OEM_FORM_TAB_0_TTS_2_PAL_0;
    struct Restore {
        TVirtualDrawTree* list;
        QWidget* marker;
        ~Restore() {
            list->setEnabled(true);
            list->SetFocusedNode(nullptr);
            list->viewport()->update();
            marker->hide();
        }
    } restore{list, marker};
    marker->raise();
    marker->show();
    list->setEnabled(false);

    // A repair step that fails (the registry script cannot be unpacked) is reported; the
    // re-check below then tells what the rest achieved.
    Guarded([this] { Engine->Repair(); });

    // By position, not by handle: the rows are looked up afresh after every wait. A close
    // ends the walk: nobody is left to watch it.
    for (int index = 0; !closing_; ++index) {
        PVirtualNode node = list->GetFirst();
        for (int i = 0; i < index && node != nullptr; ++i) {
            node = list->GetNext(node);
        }
        if (node == nullptr) {
            break;
        }
        const TRect row = list->GetDisplayRect(node);
        marker->move(row.Right - 27, row.Top + 17);
        list->SetFocusedNode(node);
        list->RepaintNode(node);
        // In short slices, so that a close ends the walk at once.
        const auto rowEnds = std::chrono::steady_clock::now() + settings_.RowWalkSpan;
        for (auto now = std::chrono::steady_clock::now(); !closing_ && now < rowEnds;
             now = std::chrono::steady_clock::now()) {
            const auto left = std::chrono::duration<float, std::milli>(rowEnds - now).count();
            PumpDelay(std::min(left, kWalkSliceMs));
        }
    }

    TRepairCount count;
    count.Listed = static_cast<int>(listedKeys_.size());
    if (closing_) {
        return count; // nobody will read it, and the re-check plays the test sound again
    }
    Guarded([&] {
        const TSCANRESULT after = Engine->Recheck(ChecksToRepeat(listedKeys_));
        count = CountFixedProblems(listedKeys_, Engine->ScanResult, after);
    });
    return count;
}

int TOEM_FORM::FlowMessageBox(const std::string& text, UINT flags) {
    CloseDeferral deferral(*this);
    return ApplicationMessageBox(text, ApplicationTitle(), flags);
}
