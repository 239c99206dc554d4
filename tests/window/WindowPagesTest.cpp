// What preparing each page puts on it: the drawn items in the page's overlay, the report icons
// loaded once, the report's heading, the link that fits its text - and a page whose drawn items
// cannot be drawn, which is reported while the window carries on.

#include "controls/DUIRenderer.h"
#include "controls/Image.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"
#include "platform/TempFiles.h"
#include "platform/testing/ScriptedTempFiles.h"
#include "support/Command.h"
#include "support/WindowTestSupport.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

using ResourceSlot = platform::ScopedBackend<platform::ModuleResourceBackend>;

// Pixels that are not the overlay's clear white, within (left, top)-(right, bottom).
int InkIn(const QImage& image, int left, int top, int right, int bottom) {
    int ink = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
        }
    }
    return ink;
}

// The darkest pixel's brightness (red + green + blue) within the box.
int Darkest(const QImage& image, int left, int top, int right, int bottom) {
    int darkest = 3 * 255;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const QRgb p = image.pixel(x, y);
            darkest = std::min(darkest, qRed(p) + qGreen(p) + qBlue(p));
        }
    }
    return darkest;
}

std::string WithReplaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(WindowPages, EachPageDrawsItsItemsIntoItsOverlay) {
    FormUnderTest t;
    t.Show();
    const QImage& welcome = t.form->OEM_FORM_TAB_0_TTS_0_IMG_1->Bitmap();
    ASSERT_EQ(welcome.size(), QSize(594, 399));
    EXPECT_GT(InkIn(welcome, 17, 20, 220, 40), 100) << "the heading";
    EXPECT_GT(InkIn(welcome, 19, 250, 190, 270), 20) << "a centred caption";
    EXPECT_EQ(InkIn(welcome, 0, 380, 594, 399), 0) << "the bottom stays clear";
    EXPECT_TRUE(t.form->OEM_FORM_TAB_0_TTS_1_IMG_1->Bitmap().isNull()) << "not prepared yet";

    t.form->ShowPage(kScanningPage);
    const QImage& scanning = t.form->OEM_FORM_TAB_0_TTS_1_IMG_1->Bitmap();
    EXPECT_GT(InkIn(scanning, 17, 20, 200, 38), 100);
    EXPECT_GT(InkIn(scanning, 18, 46, 300, 60), 100);
    EXPECT_EQ(InkIn(scanning, 0, 70, 594, 399), 0);
    EXPECT_TRUE(t.boxes.Calls().empty());
}

TEST(WindowPages, TheReportIconsAreLoadedTheFirstTimeTheScanningPageIsPrepared) {
    testing_support::ScratchDir temp("tm-icons");
    platform::ScopedBackend<platform::TempFileBackend> files(
        platform::TempFileSlot(),
        std::make_unique<platform::testing::ScriptedTempFiles>(temp.Path()));
    FormUnderTest t;
    t.Show();
    for (const auto& icon : t.form->Report->RowIcons) {
        EXPECT_TRUE(icon->Graphic().Empty());
    }
    t.form->ShowPage(kScanningPage);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(t.form->Report->RowIcons[static_cast<std::size_t>(slot)]->Graphic().Width(), 32)
            << slot;
    }
    EXPECT_TRUE(t.form->Report->RowIcons[4]->Graphic().Empty()) << "the fifth slot is never filled";
    // The scanning page's own items are texts: another preparation would load only icons.
    auto& scripted = static_cast<platform::testing::ScriptedTempFiles&>(*files);
    const int files1 = scripted.FilesMade();
    t.form->ShowPage(kScanningPage);
    EXPECT_EQ(scripted.FilesMade(), files1) << "a loaded slot is not loaded again";
    EXPECT_TRUE(t.boxes.Calls().empty());
}

TEST(WindowPages, TheReportHeadingCountsTheRowsUnderTheItems) {
    FormUnderTest t;
    t.Show();
    TVirtualDrawTree* list = t.form->OEM_FORM_TAB_0_TTS_2_VDT_0;
    QImage shown[2];
    for (int rows : {1, 3}) {
        list->Clear();
        for (int i = 0; i < rows; ++i) {
            AddResultRow(*list, 0, "Title", 0, nullptr, "", "Detected", "Not Fix");
        }
        t.form->ShowPage(kReportPage);
        ASSERT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
        shown[rows / 2] = t.form->OEM_FORM_TAB_0_TTS_2_IMG_1->Bitmap().copy();
    }
    // "Problems found (n)" at (24, 55), in small black text; only the number differs.
    for (const QImage& image : shown) {
        EXPECT_GT(InkIn(image, 24, 55, 140, 68), 60);
        EXPECT_LT(Darkest(image, 24, 55, 140, 68), 120);
        EXPECT_EQ(InkIn(image, 0, 52, 22, 70), 0) << "nothing left of it";
        EXPECT_GT(InkIn(image, 17, 20, 220, 40), 100) << "the page's own heading is there too";
    }
    int differing = 0;
    for (int y = 55; y < 68; ++y) {
        for (int x = 24; x < 140; ++x) {
            differing += shown[0].pixel(x, y) != shown[1].pixel(x, y);
        }
    }
    EXPECT_GT(differing, 0);
    EXPECT_LT(differing, 60) << "only the count changes";
    EXPECT_FALSE(t.form->OEM_FORM_TAB_0_TTS_2_PAL_0->isVisible());
    EXPECT_TRUE(t.boxes.Calls().empty());
}

TEST(WindowPages, AnEmptyReportSaysAllIsWellAndGoesBackToTheWelcomePage) {
    FormUnderTest t;
    t.Show();
    t.prepared.clear();
    t.form->ShowPage(kReportPage);
    EXPECT_EQ(t.prepared, (std::vector<SmallInt>{kReportPage, kWelcomePage}));
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kWelcomePage);
    ASSERT_EQ(t.boxes.Calls().size(), 1u);
    EXPECT_EQ(t.boxes.Calls()[0].text, "Your computer sound works fine.");
    EXPECT_EQ(t.boxes.Calls()[0].flags, MB_OK | MB_ICONINFORMATION);
}

TEST(WindowPages, TheSupportLinkShowsItsWholeTextFromItsDesignedPlace) {
    FormUnderTest t;
    t.Show();
    TOEXLabel* link = t.form->OEM_FORM_TAB_0_TTS_0_LAB_0;
    EXPECT_EQ(link->pos(), QPoint(414, 339));
    EXPECT_EQ(link->height(), 13);
    EXPECT_GE(link->width(), 155);
    EXPECT_GE(link->width(), QFontMetrics(link->font()).horizontalAdvance(link->text()));
    EXPECT_LE(link->geometry().right(), t.form->OEM_FORM_TAB_0_TTS_0->width() - 1);
}

TEST(WindowPages, AnItemThatCannotBeDrawnStopsItsPageAndIsReported) {
    const std::string document =
        WithReplaced(ShippedResource("CFG_0001"), "\"size\": \"09\"", "\"size\": \"9x\"");
    ResourceSlot resources(platform::ModuleResourceSlot(),
                           ShippedResourcesExcept({}, {{"CFG_0001", document}}));
    FormUnderTest t;
    t.Show();

    const auto calls = t.boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "'9x' is not a valid integer value");
    EXPECT_EQ(calls[0].flags, MB_OK | MB_ICONSTOP);
    // The items before the failing one stay; it and those after it are not drawn.
    const QImage& welcome = t.form->OEM_FORM_TAB_0_TTS_0_IMG_1->Bitmap();
    EXPECT_GT(InkIn(welcome, 17, 20, 220, 40), 100);
    EXPECT_EQ(InkIn(welcome, 19, 62, 594, 80), 0);
    EXPECT_EQ(InkIn(welcome, 19, 250, 577, 330), 0);
    // The window goes on: the welcome page is active with its texts, other pages prepare.
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kWelcomePage);
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_0->text().toStdString(),
              "Click here for FREE tech support");
    t.form->ShowPage(kScanningPage);
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kScanningPage);
    EXPECT_GT(InkIn(t.form->OEM_FORM_TAB_0_TTS_1_IMG_1->Bitmap(), 17, 20, 200, 38), 100);
    EXPECT_EQ(t.boxes.Calls().size(), 1u);
    // The next activation of the welcome page meets the same item and says so again.
    t.form->ShowPage(kWelcomePage);
    EXPECT_EQ(t.boxes.Calls().size(), 2u);
}

} // namespace
