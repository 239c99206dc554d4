// The report list as the window uses it: rows with their records, the walk, removing every
// row, row rectangles, focusing by a real click, and the always-shown scroll bar.

#include "Pixels.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <vector>

using controls_test::At;
using controls_test::Px;

namespace {

// The report list as the window lays it out, painted by the report's own painter.
class ReportListTest : public ::testing::Test {
protected:
    void SetUp() override {
        page.resize(602, 430);
        list = new TVirtualDrawTree(&page);
        list->setGeometry(19, 75, 556, 247);
        list->OnDrawNode = &OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode;
        list->OnFreeNode = [this](TVirtualDrawTree* sender, PVirtualNode node) {
            ++freed[node];
            OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(sender, node);
        };
    }

    PVirtualNode AddRow(const std::string& title) {
        return AddResultRow(*list, 0, title, 0, &icon, "description", "Detected", "Not Fix");
    }

    void ShowPage() {
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    }

    QWidget page;
    TVirtualDrawTree* list = nullptr; // owned by page
    std::map<PVirtualNode, int> freed;
    TGraphic icon{2, 2, {TGraphicFrame{std::vector<std::uint32_t>(4, 0xFF00FF00u)}}};
};

TEST_F(ReportListTest, ListLooksAsTheReportNeedsIt) {
    ShowPage();
    EXPECT_EQ(list->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(list->DefaultNodeHeight(), 50);
    EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // Shown even with no rows to scroll, and the rows are as wide as what it leaves.
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->viewport()->width(), 556 - list->verticalScrollBar()->width());
    EXPECT_EQ(list->viewport()->height(), 247);
}

TEST_F(ReportListTest, RowsCarryTheirRecordsInOrder) {
    PVirtualNode blank = list->AddChild();
    const TRESULTNODE* empty = TVirtualDrawTree::GetNodeData(blank);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->RowKind, 0);
    EXPECT_EQ(empty->OrderKey, 0);
    EXPECT_EQ(empty->Icon, nullptr);
    EXPECT_TRUE(empty->Title.empty() && empty->Description.empty() && empty->Status.empty() &&
                empty->Outcome.empty());
    EXPECT_EQ(empty->RowFlag, 0);

    PVirtualNode row = AddResultRow(*list, 7, "Audio device muted", -3, &icon,
                                    "Unmute the audio device", "Detected", "Not Run");
    const TRESULTNODE* data = TVirtualDrawTree::GetNodeData(row);
    EXPECT_EQ(data->RowFlag, 7);
    EXPECT_EQ(data->RowKind, -3);
    EXPECT_EQ(data->OrderKey, 0);
    EXPECT_EQ(data->Icon, &icon);
    EXPECT_EQ(data->Title, "Audio device muted");
    EXPECT_EQ(data->Description, "Unmute the audio device");
    EXPECT_EQ(data->Status, "Detected");
    EXPECT_EQ(data->Outcome, "Not Run");

    PVirtualNode third = AddRow("third");
    EXPECT_EQ(list->RootNodeCount(), 3);
    std::vector<PVirtualNode> walked;
    for (PVirtualNode node = list->GetFirst(); node != nullptr; node = list->GetNext(node)) {
        walked.push_back(node);
    }
    EXPECT_EQ(walked, (std::vector<PVirtualNode>{blank, row, third}));
    EXPECT_EQ(list->GetNext(nullptr), nullptr);
}

TEST_F(ReportListTest, ClearingFreesEveryRowOnceAndKeepsTheIcons) {
    std::vector<PVirtualNode> rows{AddRow("one"), AddRow("two"), AddRow("three")};
    list->SetFocusedNode(rows[1]);
    list->OnFreeNode = [&](TVirtualDrawTree* sender, PVirtualNode node) {
        ++freed[node];
        OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(sender, node);
        const TRESULTNODE* data = TVirtualDrawTree::GetNodeData(node);
        EXPECT_TRUE(data->Title.empty() && data->Description.empty() && data->Status.empty() &&
                    data->Outcome.empty());
        EXPECT_EQ(data->Icon, &icon);
    };
    list->Clear();
    EXPECT_EQ(list->RootNodeCount(), 0);
    EXPECT_EQ(list->GetFirst(), nullptr);
    EXPECT_EQ(list->FocusedNode(), nullptr);
    ASSERT_EQ(freed.size(), 3u);
    for (PVirtualNode node : rows) {
        EXPECT_EQ(freed[node], 1);
    }
    // A second clear of the empty list frees nothing more; the icon is still whole.
    list->Clear();
    EXPECT_EQ(freed.size(), 3u);
    EXPECT_EQ(icon.Pixel(1, 1), 0xFF00FF00u);

    // The list is usable again for the next scan.
    PVirtualNode again = AddRow("again");
    EXPECT_EQ(list->GetFirst(), again);
    EXPECT_EQ(list->RootNodeCount(), 1);
}

TEST_F(ReportListTest, DestroyingTheListDoesNotCallTheOwnersHandler) {
    auto own = std::make_unique<TVirtualDrawTree>();
    int calls = 0;
    own->OnFreeNode = [&](TVirtualDrawTree*, PVirtualNode) { ++calls; };
    AddResultRow(*own, 0, "t", 0, nullptr, "d", "s", "o");
    own.reset();
    EXPECT_EQ(calls, 0);
}

TEST_F(ReportListTest, RowRectanglesFollowTheRowsAndTheScrolling) {
    ShowPage();
    std::vector<PVirtualNode> rows;
    for (int i = 0; i < 6; ++i) {
        rows.push_back(AddRow("row " + std::to_string(i)));
    }
    const int width = list->viewport()->width();
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list->GetDisplayRect(rows[static_cast<std::size_t>(i)]),
                  (TRect{0, 50 * i, width, 50 * i + 50}))
            << "row " << i;
    }
    EXPECT_EQ(list->GetDisplayRect(nullptr), TRect{});
    // A handle of another list names no row here.
    TVirtualDrawTree other;
    AddResultRow(other, 0, "", 0, nullptr, "", "", "");
    PVirtualNode foreign = AddResultRow(other, 0, "", 0, nullptr, "", "", "");
    EXPECT_EQ(list->GetDisplayRect(foreign), TRect{});
    EXPECT_EQ(list->GetNext(foreign), nullptr);
    list->SetFocusedNode(foreign);
    EXPECT_EQ(list->FocusedNode(), nullptr);
    // Six rows of 50 in 247 pixels scroll by 53.
    EXPECT_EQ(list->verticalScrollBar()->maximum(), 300 - 247);
    list->verticalScrollBar()->setValue(20);
    EXPECT_EQ(list->GetDisplayRect(rows[1]), (TRect{0, 30, width, 80}));
    EXPECT_EQ(list->GetNodeAt(5, 29), rows[0]);
    EXPECT_EQ(list->GetNodeAt(5, 30), rows[1]);
}

TEST_F(ReportListTest, AClickFocusesTheRowUnderThePointer) {
    ShowPage();
    PVirtualNode first = AddRow("first");
    PVirtualNode second = AddRow("second");
    QApplication::processEvents();
    QWidget* viewport = list->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(300, 75));
    EXPECT_EQ(list->FocusedNode(), second);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(3, 2));
    EXPECT_EQ(list->FocusedNode(), first);
    // Below the last row, and with the right button: nothing changes.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(300, 75));
    EXPECT_EQ(list->FocusedNode(), first);

    // A disabled list ignores the pointer.
    list->setEnabled(false);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(300, 75));
    EXPECT_EQ(list->FocusedNode(), first);
    list->setEnabled(true);

    // The focused row, and only that one, carries the dotted frame once painted.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(300, 75));
    viewport->repaint();
    const QImage& frame = list->Frame();
    const Px gradientTop{252, 250, 255};
    const Px invertedTop{255 - 252, 255 - 250, 255 - 255};
    EXPECT_EQ(At(frame, 2, 50), gradientTop);            // (2, 0) of the row: x + y even, kept
    EXPECT_EQ(At(frame, 1, 50), invertedTop);            // the frame's first pixel is inverted
    EXPECT_EQ(At(frame, 1, 0), gradientTop);             // the first row has no frame
    EXPECT_EQ(At(frame, 300, 150), (Px{255, 255, 255})); // below the rows: white
}

TEST_F(ReportListTest, KeysMoveTheFocusThroughTheRows) {
    ShowPage();
    std::vector<PVirtualNode> rows{AddRow("a"), AddRow("b"), AddRow("c"),
                                   AddRow("d"), AddRow("e"), AddRow("f")};
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->FocusedNode(), rows[0]);
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->FocusedNode(), rows[5]);
    // The last row was scrolled into view.
    EXPECT_EQ(list->GetDisplayRect(rows[5]).Bottom, list->viewport()->height());
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->FocusedNode(), rows[5]);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->FocusedNode(), rows[4]);
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_EQ(list->FocusedNode(), rows[0]);
    EXPECT_EQ(list->GetDisplayRect(rows[0]).Top, 0);
}

TEST_F(ReportListTest, RepaintingOneRowShowsItAtOnce) {
    ShowPage();
    PVirtualNode first = AddRow("first");
    AddRow("second");
    list->viewport()->repaint();
    EXPECT_EQ(At(list->Frame(), 1, 0), (Px{252, 250, 255}));

    // The repair's walk: focus, then repaint that row, with no event handled in between.
    list->SetFocusedNode(first);
    list->RepaintNode(first);
    EXPECT_EQ(At(list->Frame(), 1, 0), (Px{3, 5, 0}));
    list->SetFocusedNode(nullptr);
    list->RepaintNode(first);
    EXPECT_EQ(At(list->Frame(), 1, 0), (Px{252, 250, 255}));
}

TEST_F(ReportListTest, HintShowsOnlyWhenAsked) {
    list->SetHint("problems");
    EXPECT_TRUE(list->toolTip().isEmpty());
    list->SetShowHint(true);
    EXPECT_EQ(list->toolTip(), QString("problems"));
}

} // namespace
