#include "support/FlowTestSupport.h"

#include "controls/OEUnitPageControlEx.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"

#include <QLabel>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>

namespace flow_test {

Boxes::Boxes() {
    previous_ = SetMessageBoxAnswerer(
        [this](const std::string& text, const std::string& caption, UINT flags) {
            Box box{text, caption, flags};
            calls_.push_back(box);
            open_ = true;
            struct Closed {
                bool& open;
                ~Closed() { open = false; }
            } closed{open_};
            if (script_) {
                return script_(box);
            }
            return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;
        });
}

Boxes::~Boxes() {
    SetMessageBoxAnswerer(std::move(previous_));
}

std::vector<std::string> Boxes::Texts() const {
    std::vector<std::string> texts;
    for (const Box& box : calls_) {
        texts.push_back(box.text);
    }
    return texts;
}

LRESULT RecordingForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETPROGRESS) {
        progress.push_back(static_cast<int>(wParam));
        status.push_back(OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0->text().toStdString());
    } else if (message == WM_SHOWPAGE) {
        pagesSent.push_back(static_cast<int>(wParam));
    }
    return TOEM_FORM::WndProc(message, wParam, lParam);
}

std::vector<DWORD> CodeLog::Codes() const {
    std::lock_guard lock(mutex_);
    return codes_;
}

bool CodeLog::Has(DWORD code) const {
    std::lock_guard lock(mutex_);
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

int CodeLog::CountOf(DWORD code) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(codes_.begin(), codes_.end(), code));
}

void CodeLog::OnCode(DWORD code, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_.emplace_back(code, std::move(action));
}

TStateChange CodeLog::Wrap(TStateChange inner) {
    return [this, inner](DWORD code, TSCANRESULT* result) {
        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(mutex_);
            codes_.push_back(code);
            for (const auto& [when, action] : actions_) {
                if (when == code) {
                    due.push_back(action);
                }
            }
        }
        for (const auto& action : due) {
            action();
        }
        inner(code, result);
    };
}

Rig::Rig(RigOptions options) : world(options.world) {
    TFormSettings settings;
    settings.HoldSpan = options.hold;
    settings.RowWalkSpan = options.walk;
    settings.Engine.StartWorker = options.startWorker;
    form = std::make_unique<RecordingForm>(settings);
    form->OnPreparePage = [this](SmallInt index) { prepared.push_back(index); };
    form->Engine->OnStateChange = codes.Wrap(form->Engine->OnStateChange);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

Rig::~Rig() {
    form.reset();
}

void Rig::Click(QWidget* button) {
    form->XBtnClick(button);
}

void Rig::ClickStart() {
    endsBefore_ = codes.CountOf(ScanCode::ScanEnded);
    Click(form->OEM_FORM_TAB_0_TTS_0_BTN_0);
}

bool Rig::WaitForScanEnd(std::chrono::milliseconds timeout) {
    // The page changes as the last notification's final step.
    return QTest::qWaitFor(
        [&] {
            return form->Engine->Idle && codes.CountOf(ScanCode::ScanEnded) > endsBefore_ &&
                   ActivePage() != 1;
        },
        static_cast<int>(timeout.count()));
}

bool Rig::Scan(std::chrono::milliseconds timeout) {
    ClickStart();
    return WaitForScanEnd(timeout);
}

int Rig::ActivePage() const {
    return form->OEM_FORM_TAB_0->ActivePageIndex();
}

std::vector<Row> Rig::Rows() const {
    std::vector<Row> rows;
    TVirtualDrawTree* list = form->OEM_FORM_TAB_0_TTS_2_VDT_0;
    for (PVirtualNode node = list->GetFirst(); node != nullptr; node = list->GetNext(node)) {
        const TRESULTNODE& data = *TVirtualDrawTree::GetNodeData(node);
        rows.push_back({data.Title, data.Description, data.Status, data.Outcome, data.Icon});
    }
    return rows;
}

std::vector<std::string> Rig::Titles() const {
    std::vector<std::string> titles;
    for (const Row& row : Rows()) {
        titles.push_back(row.title);
    }
    return titles;
}

bool Deliver(TOEM_FORM& form, const std::vector<Note>& notes, std::chrono::milliseconds timeout) {
    std::atomic<bool> done{false};
    std::thread worker([&form, notes, &done] {
        for (Note note : notes) {
            form.StateChange(note.code, note.result ? &*note.result : nullptr);
        }
        done = true;
    });
    const bool inTime =
        QTest::qWaitFor([&] { return done.load(); }, static_cast<int>(timeout.count()));
    if (!inTime) {
        // Let the thread go before it is joined: closing lets every pending send return.
        form.close();
    }
    worker.join();
    return inTime;
}

std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace flow_test
