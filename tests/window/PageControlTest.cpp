// TPageControlEx and TTabSheetEx: one page at a time, no tab row, nothing painted of their own,
// every setting of the active page reported and followed by a repaint of the parent.

#include "controls/OEUnitPageControlEx.h"

#include <QEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QObject* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

struct Pages {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TPageControlEx* container = new TPageControlEx(window.get()); // owned by the window
    TTabSheetEx* pages[3] = {new TTabSheetEx(container), new TTabSheetEx(container),
                             new TTabSheetEx(container)};
    PaintCounter windowPaints{window.get()};
    std::vector<TTabSheetEx*> changes;

    Pages() {
        window->resize(602, 491);
        container->setGeometry(0, 61, 602, 430);
        container->SetActivePageIndex(0);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void Listen() {
        container->OnTabChange = [this](TTabSheetEx* page) { changes.push_back(page); };
    }
};

TEST(PageControl, PagesLieInsideWithAMarginAndTheTabStripFree) {
    Pages p;
    for (TTabSheetEx* page : p.pages) {
        EXPECT_EQ(page->geometry(), QRect(4, 4, 594, 399));
    }
    EXPECT_EQ(p.pages[2]->PageIndex(), 2);
    EXPECT_EQ(p.pages[1]->PageControl(), p.container);
}

TEST(PageControl, OnlyTheActivePageIsVisible) {
    Pages p;
    const int order[] = {2, 0, 1, 1};
    for (int index : order) {
        p.container->SetActivePageIndex(index);
        EXPECT_EQ(p.container->ActivePageIndex(), index);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(p.pages[i]->isVisible(), i == index) << index << " " << i;
        }
    }
}

TEST(PageControl, EverySettingIsReportedAlsoForTheActivePageAndRepaintsTheParent) {
    Pages p;
    p.Listen();
    const int before = p.windowPaints.count;
    p.container->SetActivePageIndex(0);
    EXPECT_EQ(p.changes, std::vector<TTabSheetEx*>{p.pages[0]});
    EXPECT_GT(p.windowPaints.count, before) << "the parent is repainted at once";
    const int afterFirst = p.windowPaints.count;
    p.container->SetActivePage(p.pages[0]);
    p.container->SetActivePageIndex(2);
    EXPECT_EQ(p.changes, (std::vector<TTabSheetEx*>{p.pages[0], p.pages[0], p.pages[2]}));
    EXPECT_GE(p.windowPaints.count, afterFirst + 2);
}

TEST(PageControl, SettingsBeforeTheListenerIsSetReachNobody) {
    Pages p;
    p.container->SetActivePageIndex(1);
    p.Listen();
    EXPECT_TRUE(p.changes.empty());
    EXPECT_EQ(p.container->ActivePageIndex(), 1);
}

TEST(PageControl, AnIndexOutOfRangeLeavesNoPageActive) {
    Pages p;
    p.Listen();
    for (int index : {3, -1, 70}) {
        p.container->SetActivePageIndex(index);
        EXPECT_EQ(p.container->ActivePage(), nullptr);
        EXPECT_EQ(p.container->ActivePageIndex(), -1);
        for (TTabSheetEx* page : p.pages) {
            EXPECT_FALSE(page->isVisible());
        }
    }
    EXPECT_EQ(p.changes, (std::vector<TTabSheetEx*>{nullptr, nullptr, nullptr}));
}

TEST(PageControl, PagesShowWhatLiesBehindThem) {
    Pages p;
    QPalette palette = p.window->palette();
    palette.setColor(QPalette::Window, QColor(10, 200, 30));
    p.window->setPalette(palette);
    p.window->setAutoFillBackground(true);
    const QImage shot = p.window->grab().toImage();
    // Inside the container and inside the active page: still the window's own colour.
    EXPECT_EQ(shot.pixelColor(300, 250), QColor(10, 200, 30));
    EXPECT_EQ(shot.pixelColor(2, 63), QColor(10, 200, 30));
}

TEST(PageControl, ARemovedPageLeavesTheContainer) {
    Pages p;
    p.container->SetActivePageIndex(1);
    delete p.pages[1]; // a page deleted on its own, as Qt allows
    EXPECT_EQ(p.container->PageCount(), 2);
    EXPECT_EQ(p.container->ActivePage(), nullptr);
    EXPECT_EQ(p.pages[2]->PageIndex(), 1);
}

} // namespace
