// The main window as a container: its control tree, its frame, the private page and progress
// messages (also sent from another thread), showing, minimising and closing.

#include "app/ProcessDefaults.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/PNGExtra.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"
#include "support/WindowTestSupport.h"

#include <QLabel>
#include <QTabBar>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace window_test;

namespace {

struct Placed {
    const char* name;
    const char* parent;
    QRect rect;
};

// Where every control lies: its parent and its rectangle in the parent's client area. The report
// list's busy marker has been moved onto the list's client area (the viewport).
const Placed kControlTree[] = {
    {"OEM_FORM_IMG_0", "OEM_FORM", {0, 0, 602, 491}},
    {"OEM_FORM_TAB_0", "OEM_FORM", {0, 61, 602, 430}},
    {"OEM_FORM_TAB_0_TTS_0", "OEM_FORM_TAB_0", {4, 4, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_0_IMG_0", "OEM_FORM_TAB_0_TTS_0", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_0_IMG_1", "OEM_FORM_TAB_0_TTS_0", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_0_BTN_0", "OEM_FORM_TAB_0_TTS_0", {147, 128, 300, 54}},
    {"OEM_FORM_TAB_0_TTS_0_BTN_1", "OEM_FORM_TAB_0_TTS_0", {36, 335, 135, 34}},
    {"OEM_FORM_TAB_0_TTS_0_LAB_0", "OEM_FORM_TAB_0_TTS_0", {414, 339, 155, 13}},
    {"OEM_FORM_TAB_0_TTS_0_IMG_2", "OEM_FORM_TAB_0_TTS_0", {37, 288, 32, 32}},
    {"OEM_FORM_TAB_0_TTS_0_LAB_1", "OEM_FORM_TAB_0_TTS_0", {219, 339, 158, 32}},
    {"OEM_FORM_TAB_0_TTS_1", "OEM_FORM_TAB_0", {4, 4, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_1_IMG_0", "OEM_FORM_TAB_0_TTS_1", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_1_IMG_1", "OEM_FORM_TAB_0_TTS_1", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_1_PAL_0", "OEM_FORM_TAB_0_TTS_1", {19, 85, 558, 41}},
    {"OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0", "OEM_FORM_TAB_0_TTS_1_PAL_0", {0, 0, 16, 16}},
    {"OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0", "OEM_FORM_TAB_0_TTS_1_PAL_0", {23, 1, 535, 13}},
    {"OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0", "OEM_FORM_TAB_0_TTS_1_PAL_0", {0, 26, 558, 15}},
    {"OEM_FORM_TAB_0_TTS_1_BTN_0", "OEM_FORM_TAB_0_TTS_1", {462, 350, 116, 34}},
    {"OEM_FORM_TAB_0_TTS_2", "OEM_FORM_TAB_0", {4, 4, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_2_IMG_0", "OEM_FORM_TAB_0_TTS_2", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_2_IMG_1", "OEM_FORM_TAB_0_TTS_2", {0, 0, 594, 399}},
    {"OEM_FORM_TAB_0_TTS_2_BTN_0", "OEM_FORM_TAB_0_TTS_2", {462, 350, 116, 34}},
    {"OEM_FORM_TAB_0_TTS_2_VDT_0", "OEM_FORM_TAB_0_TTS_2", {19, 75, 556, 247}},
    {"OEM_FORM_TAB_0_TTS_2_PAL_0", "qt_scrollarea_viewport", {574, 4, 16, 16}},
    {"OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0", "OEM_FORM_TAB_0_TTS_2_PAL_0", {0, 0, 16, 16}},
};

TEST(MainWindow, ControlsHaveTheirNamesParentsAndPlaces) {
    FormUnderTest t;
    for (const Placed& placed : kControlTree) {
        SCOPED_TRACE(placed.name);
        QWidget* control = t.form->findChild<QWidget*>(QString::fromLatin1(placed.name));
        ASSERT_NE(control, nullptr);
        ASSERT_NE(control->parentWidget(), nullptr);
        EXPECT_EQ(control->parentWidget()->objectName().toStdString(), placed.parent);
        EXPECT_EQ(control->geometry(), placed.rect);
    }
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_2_PAL_0->parentWidget(),
              t.form->OEM_FORM_TAB_0_TTS_2_VDT_0->viewport());
}

TEST(MainWindow, FieldsReferToTheNamedControls) {
    FormUnderTest t;
    TOEM_FORM& f = *t.form;
    const std::pair<QWidget*, const char*> fields[] = {
        {f.OEM_FORM_TAB_0, "OEM_FORM_TAB_0"},
        {f.OEM_FORM_TAB_0_TTS_0_BTN_0, "OEM_FORM_TAB_0_TTS_0_BTN_0"},
        {f.OEM_FORM_TAB_0_TTS_0_LAB_0, "OEM_FORM_TAB_0_TTS_0_LAB_0"},
        {f.OEM_FORM_TAB_0_TTS_0_LAB_1, "OEM_FORM_TAB_0_TTS_0_LAB_1"},
        {f.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0, "OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0"},
        {f.OEM_FORM_TAB_0_TTS_1_BTN_0, "OEM_FORM_TAB_0_TTS_1_BTN_0"},
        {f.OEM_FORM_TAB_0_TTS_2_BTN_0, "OEM_FORM_TAB_0_TTS_2_BTN_0"},
        {f.OEM_FORM_TAB_0_TTS_2_VDT_0, "OEM_FORM_TAB_0_TTS_2_VDT_0"},
        {f.OEM_FORM_TAB_0_TTS_2_PAL_0, "OEM_FORM_TAB_0_TTS_2_PAL_0"},
    };
    for (const auto& [field, name] : fields) {
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(field->objectName().toStdString(), name);
    }
    EXPECT_EQ(f.OEM_FORM_TAB_0->PageCount(), 3);
    EXPECT_EQ(f.OEM_FORM_TAB_0->Pages(2), f.OEM_FORM_TAB_0_TTS_2);
}

TEST(MainWindow, FixedFrameTitledWithTheApplication) {
    FormUnderTest t;
    t.Show();
    TOEM_FORM& f = *t.form;
    EXPECT_EQ(f.windowTitle().toStdString(), "Quorvel Tonemender");
    EXPECT_EQ(f.size(), QSize(602, 491));
    EXPECT_EQ(f.minimumSize(), QSize(602, 491));
    EXPECT_EQ(f.maximumSize(), QSize(602, 491));
    const Qt::WindowFlags flags = f.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(f.font().family().toStdString(), "Tahoma");
    EXPECT_EQ(f.font().pixelSize(), 11);
    // No tab row anywhere: the pages are switched by the program only.
    EXPECT_TRUE(f.findChildren<QTabBar*>().isEmpty());
}

TEST(MainWindow, ControlPropertiesAsLaidOut) {
    FormUnderTest t;
    TOEM_FORM& f = *t.form;
    TVistaProBar* bar = f.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0;
    EXPECT_EQ(bar->Max(), 12);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(bar->MarqueeSize(), 40);
    EXPECT_EQ(bar->MarqueeFade(), 30);
    EXPECT_EQ(bar->MarqueeSpeed(), 25);
    EXPECT_EQ(bar->Color(), clLime);
    EXPECT_FALSE(bar->Percentage() || bar->ShowPosText() || bar->AltMode() || bar->Marquee());
    for (TOEButtonEx* button : {f.OEM_FORM_TAB_0_TTS_1_BTN_0, f.OEM_FORM_TAB_0_TTS_2_BTN_0}) {
        EXPECT_NE(button->Gradient(), 0);
        EXPECT_TRUE(static_cast<bool>(button->OnClick)) << "clicks go to the window";
    }
    for (TPNGButton* button : {f.OEM_FORM_TAB_0_TTS_0_BTN_0, f.OEM_FORM_TAB_0_TTS_0_BTN_1}) {
        EXPECT_TRUE(static_cast<bool>(button->OnClick));
        EXPECT_FALSE(button->Check());
    }
    // The hand cursor on what opens something or starts the scan, the arrow on the status line.
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_BTN_0->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_BTN_1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_LAB_0->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0->cursor().shape(), Qt::ArrowCursor);
    // The link: blue, underlined Tahoma of 11 pixels; the version line wraps.
    QLabel* link = f.OEM_FORM_TAB_0_TTS_0_LAB_0;
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().pixelSize(), 11);
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_LAB_1->wordWrap());
    TVirtualDrawTree* list = f.OEM_FORM_TAB_0_TTS_2_VDT_0;
    EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(list->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(list->DefaultNodeHeight(), 50);
    EXPECT_TRUE(list->ShowHint());
    EXPECT_TRUE(static_cast<bool>(list->OnDrawNode));
    EXPECT_TRUE(static_cast<bool>(list->OnFreeNode));
    // The panels paint their own light colour; pictures and pages paint nothing of their own.
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_1_PAL_0->palette().color(QPalette::Window),
              QColor(247, 250, 253));
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_1_PAL_0->autoFillBackground());
    EXPECT_FALSE(f.OEM_FORM_TAB_0->autoFillBackground());
    EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_0->autoFillBackground());
}

TEST(MainWindow, EngineIsCreatedAndBound) {
    FormUnderTest t;
    ASSERT_NE(t.form->Engine, nullptr);
    EXPECT_TRUE(static_cast<bool>(t.form->Engine->OnStateChange));
    EXPECT_TRUE(static_cast<bool>(t.form->Engine->OnWorkerError));
    EXPECT_TRUE(t.form->Engine->Idle);
    for (const auto& icon : t.form->Report->RowIcons) {
        ASSERT_NE(icon, nullptr);
        EXPECT_TRUE(icon->Graphic().Empty());
    }
}

TEST(MainWindow, MakingTheWindowSetsEnglishDatesForTheWholeProcess) {
    FormUnderTest t;
    const TFormatSettings& format = ProcessDefaults().FormatSettings;
    EXPECT_EQ(format.DateSeparator, '-');
    EXPECT_EQ(format.ShortDateFormat, "yyyy-mm-dd");
    EXPECT_EQ(format.LongDateFormat, "yyyy-mm-dd");
    EXPECT_EQ(format.ShortDayNames[0], "Sun");
    EXPECT_EQ(format.ShortDayNames[6], "Sat");
    EXPECT_EQ(format.LongMonthNames[0], "January");
    EXPECT_EQ(format.LongMonthNames[11], "December");
    EXPECT_EQ(ProcessDefaults().HandPointCursor.shape(), Qt::PointingHandCursor);
}

TEST(MainWindow, FirstShowMakesTheWelcomePageActiveAndPreparesIt) {
    FormUnderTest t;
    EXPECT_TRUE(t.prepared.empty()) << "nothing is prepared before the window shows";
    t.Show();
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kWelcomePage);
    EXPECT_EQ(t.prepared, std::vector<SmallInt>{kWelcomePage});
    EXPECT_TRUE(t.form->OEM_FORM_TAB_0_TTS_0->isVisible());
    EXPECT_FALSE(t.form->OEM_FORM_TAB_0_TTS_1->isVisible());
    // The welcome page's own controls get their texts and the link its address.
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_0->text().toStdString(),
              "Click here for FREE tech support");
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_0->toolTip().toStdString(),
              "Click here for FREE tech support");
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_0->URL(),
              "https://support.quorvel.example/tonemender");
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_1_BTN_0->Caption(), "Cancel");
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_2_BTN_0->Caption(), "Fix");
    EXPECT_TRUE(t.boxes.Calls().empty());
}

TEST(MainWindow, ShowPageMessageTakesTheLowSixteenBitsAsSigned) {
    struct Case {
        WPARAM wParam;
        int page;
    };
    const Case cases[] = {{2, 2}, {65538, 2}, {0x10001, 1}, {0x30000, 0}, {0xFFFF, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wParam);
        FormUnderTest t;
        t.Show();
        // A report with a row stays on its page (an empty one goes back to the welcome page).
        AddResultRow(*t.form->OEM_FORM_TAB_0_TTS_2_VDT_0, 0, "Title", 0, nullptr, "", "", "");
        t.prepared.clear();
        EXPECT_EQ(SendMessageA(t.form->Handle(), WM_SHOWPAGE, c.wParam, 0), 0);
        EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), c.page);
        EXPECT_EQ(t.prepared, std::vector<SmallInt>{static_cast<SmallInt>(c.page)});
    }
}

TEST(MainWindow, ShowingTheActivePageAgainPreparesItAgain) {
    FormUnderTest t;
    t.Show();
    t.prepared.clear();
    SendMessageA(t.form->Handle(), WM_SHOWPAGE, 1, 0);
    SendMessageA(t.form->Handle(), WM_SHOWPAGE, 1, 0);
    t.form->ShowPage(1);
    EXPECT_EQ(t.prepared, (std::vector<SmallInt>{1, 1, 1}));
}

TEST(MainWindow, ProgressMessageSetsTheBarWithinItsRange) {
    FormUnderTest t;
    TVistaProBar* bar = t.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0;
    const std::pair<WPARAM, int> cases[] = {{5, 5}, {20, 12}, {12, 12}, {0, 0}};
    for (const auto& [wParam, position] : cases) {
        EXPECT_EQ(SendMessageA(t.form->Handle(), WM_SETPROGRESS, wParam, 0), 0);
        EXPECT_EQ(bar->Position(), position) << wParam;
    }
}

TEST(MainWindow, OtherMessagesGoToTheDefaultProcedure) {
    FormUnderTest t;
    t.Show();
    t.prepared.clear();
    EXPECT_EQ(SendMessageA(t.form->Handle(), WM_USER + 102, 2, 0), 0);
    EXPECT_EQ(SendMessageA(t.form->Handle(), WM_USER + 99, 2, 0), 0);
    EXPECT_TRUE(t.prepared.empty());
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), 0);
}

// Writes down on which thread each message was handled.
class ThreadRecordingForm : public TOEM_FORM {
public:
    std::atomic<std::thread::id> handledOn{};
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        handledOn = std::this_thread::get_id();
        return TOEM_FORM::WndProc(message, wParam, lParam);
    }
};

TEST(MainWindow, ProgressSentFromAnotherThreadIsHandledOnTheWindowThreadWhileTheSenderWaits) {
    ThreadRecordingForm* recording = nullptr;
    FormUnderTest t([&] {
        auto made = std::make_unique<ThreadRecordingForm>();
        recording = made.get();
        return made;
    });
    TVistaProBar* bar = t.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0;
    HWND handle = t.form->Handle();
    std::atomic<bool> returned{false};
    int positionSeenBySender = -1;
    LRESULT result = -1;
    std::thread sender([&] {
        result = SendMessageA(handle, WM_SETPROGRESS, 20, 0);
        // Safe to read here: the send returned only after the window thread set it.
        positionSeenBySender = bar->Position();
        returned = true;
    });
    // The window thread does not handle messages for a while: the sender has to wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(returned.load());
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(positionSeenBySender, 12);
    EXPECT_EQ(recording->handledOn.load(), std::this_thread::get_id());
}

TEST(MainWindow, RestoringFromMinimisedKeepsThePageAndDoesNotShowAgain) {
    FormUnderTest t;
    t.Show();
    AddResultRow(*t.form->OEM_FORM_TAB_0_TTS_2_VDT_0, 0, "Title", 0, nullptr, "", "", "");
    t.form->ShowPage(kReportPage);
    t.prepared.clear();
    t.form->showMinimized();
    QTest::qWait(20);
    t.form->showNormal();
    QTest::qWait(20);
    // A second show would have made the welcome page active and prepared it.
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
    EXPECT_TRUE(t.prepared.empty());
    // Hiding and showing the window is no first show either.
    t.form->hide();
    t.form->show();
    QTest::qWait(20);
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
}

TEST(MainWindow, BroughtToFrontWhenAnotherStartAsks) {
    FormUnderTest t;
    t.form->showMinimized();
    QTest::qWait(20);
    ASSERT_TRUE(t.form->isMinimized());
    t.form->BringToFront({});
    QTest::qWait(20);
    EXPECT_FALSE(t.form->isMinimized());
    EXPECT_TRUE(t.form->isVisible());
}

TEST(MainWindow, ASendToAClosingWindowReturnsWithoutTouchingIt) {
    FormUnderTest t;
    t.Show();
    TVistaProBar* bar = t.form->OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0;
    HWND handle = t.form->Handle();
    std::atomic<bool> returned{false};
    LRESULT result = -1;
    std::thread sender([&] {
        result = SendMessageA(handle, WM_SETPROGRESS, 7, 0);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_FALSE(returned.load()) << "the sender waits for the window";
    // The window closes without having handled the message; the waiting sender is let go.
    t.form->close();
    sender.join();
    EXPECT_EQ(result, 0);
    QTest::qWait(20);
    EXPECT_EQ(bar->Position(), 0) << "the message queued before closing is dropped";
    // Sends after closing, from any thread, return at once and change nothing.
    EXPECT_EQ(SendMessageA(handle, WM_SHOWPAGE, 2, 0), 0);
    std::thread late([&] { EXPECT_EQ(SendMessageA(handle, WM_SETPROGRESS, 3, 0), 0); });
    late.join();
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), 0);
}

TEST(MainWindow, TheHandleOfADestroyedWindowIsRefused) {
    FormUnderTest t;
    HWND handle = t.form->Handle();
    t.form.reset();
    EXPECT_EQ(SendMessageA(handle, WM_SETPROGRESS, 3, 0), 0);
}

} // namespace

namespace {

TEST(MainWindow, ReportListPaintsItsRowsThroughTheRowPainter) {
    FormUnderTest t;
    t.Show();
    t.form->ShowPage(kReportPage);
    TVirtualDrawTree* list = t.form->OEM_FORM_TAB_0_TTS_2_VDT_0;
    const QImage empty = list->viewport()->grab().toImage();
    AddResultRow(*list, 0, "Sound playing not functioning", 0, nullptr, "There might be a problem",
                 "Detected", "Not Fix");
    const QImage withRow = list->viewport()->grab().toImage();
    int changed = 0;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < withRow.width(); ++x) {
            changed += withRow.pixel(x, y) != empty.pixel(x, y);
        }
    }
    EXPECT_GT(changed, 200) << "the first row is painted";
    list->Clear();
    EXPECT_EQ(list->RootNodeCount(), 0);
}

} // namespace
