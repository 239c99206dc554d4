// The screenshot readers the desktop test judges the program by, on pictures made here: they
// must tell one, two and three report rows apart as the report paints them, find a dialog's
// button, and find a text or picture where it lies.

#include "support/ScreenReading.h"

#include "graphics/Canvas.h"
#include "controls/ReportRows.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

using e2e::Band;

constexpr int kListWidth = 556;
constexpr int kListHeight = 247;

QImage ReportList(int rows, int focusedRow) {
    QImage surface(kListWidth, kListHeight, QImage::Format_RGB32);
    surface.fill(Qt::white);
    TCanvas canvas(surface);
    for (int row = 0; row < rows; ++row) {
        TRESULTNODE node;
        node.Title = "Audio device muted";
        node.Description = "Unmute the audio device to play sound";
        node.Status = "Detected";
        node.Outcome = "Not Fix";
        PaintReportRow(canvas, node, {0, row * 50, kListWidth, row * 50 + 50}, row == focusedRow);
    }
    return surface;
}

TEST(ScreenReading, EachPaintedReportRowIsOneBandWithRedInk) {
    struct Case {
        int rows;
        int focusedRow;
    };
    for (const Case& c :
         {Case{0, -1}, Case{1, -1}, Case{2, -1}, Case{3, -1}, Case{2, 0}, Case{3, 2}, Case{4, 1}}) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, focused " << c.focusedRow);
        const QImage list = ReportList(c.rows, c.focusedRow);
        const std::vector<Band> bands = e2e::TintedBands(list, 5, 0, kListHeight);
        ASSERT_EQ(bands.size(), static_cast<size_t>(c.rows)) << e2e::Describe(bands);
        for (int row = 0; row < c.rows; ++row) {
            EXPECT_GE(bands[row].top, row * 50);
            // A row's gradient reaches one pixel into the next row's place.
            EXPECT_LE(bands[row].top + bands[row].height, row * 50 + 51);
            EXPECT_GE(bands[row].height, 25);
            EXPECT_GT(e2e::RedInk(list, QRect(kListWidth / 2, row * 50, kListWidth / 2, 50)), 20);
        }
        EXPECT_EQ(e2e::RedInk(list, QRect(0, c.rows * 50, kListWidth, 50)), 0);
    }
}

TEST(ScreenReading, TheLowestFeatureOfADialogIsItsButton) {
    QImage dialog(300, 120, QImage::Format_RGB32);
    dialog.fill(qRgb(239, 239, 239));
    QPainter painter(&dialog);
    painter.fillRect(QRect(20, 20, 32, 32), Qt::blue);   // icon
    painter.fillRect(QRect(70, 28, 180, 12), Qt::black); // text
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(QRect(200, 80, 80, 25));           // button frame
    painter.fillRect(QRect(225, 88, 20, 9), Qt::black); // its caption
    painter.end();

    // Placed on a larger screen, as a screenshot shows it.
    QImage screen(640, 480, QImage::Format_RGB32);
    screen.fill(Qt::darkGray);
    QPainter(&screen).drawImage(QPoint(100, 50), dialog);
    auto button = e2e::LowestFeature(screen, QRect(100, 50, 300, 120));
    ASSERT_TRUE(button);
    EXPECT_EQ(*button, QRect(300, 130, 81, 26));

    QImage blank(300, 120, QImage::Format_RGB32);
    blank.fill(qRgb(239, 239, 239));
    EXPECT_FALSE(e2e::LowestFeature(blank, blank.rect()));
}

TEST(ScreenReading, APatternIsFoundWhereItLies) {
    QImage pattern(30, 10, QImage::Format_RGB32);
    pattern.fill(Qt::white);
    QPainter(&pattern).fillRect(QRect(3, 2, 20, 5), Qt::black);
    QImage screen(200, 100, QImage::Format_RGB32);
    screen.fill(Qt::white);
    QPainter(&screen).drawImage(QPoint(57, 41), pattern);

    e2e::Match found = e2e::BestMatch(screen, pattern, QRect(40, 30, 40, 30));
    EXPECT_EQ(found.at, QPoint(57, 41));
    EXPECT_EQ(found.difference, 0.0);
    // Outside the area it is not looked for.
    EXPECT_GT(e2e::BestMatch(screen, pattern, QRect(100, 50, 20, 20)).difference, 10.0);
}

TEST(ScreenReading, APictureIsRecognisedByItsOpaquePixels) {
    QImage picture(20, 20, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 0));
    for (int y = 4; y < 16; ++y) {
        for (int x = 2; x < 18; ++x) {
            picture.setPixel(x, y, qRgba(20 + 10 * x, 200, 40 + 8 * y, 255));
        }
    }
    QImage screen(100, 100, QImage::Format_RGB32);
    screen.fill(qRgb(250, 250, 250));
    QPainter(&screen).drawImage(QPoint(30, 30), picture);

    EXPECT_DOUBLE_EQ(e2e::OpaqueAgreement(screen, picture, QPoint(30, 30), 0), 1.0);
    EXPECT_LT(e2e::OpaqueAgreement(screen, picture, QPoint(33, 30), 4), 0.5);
    EXPECT_DOUBLE_EQ(e2e::OpaqueAgreement(screen, picture, QPoint(100, 100), 255), 0.0);
}

} // namespace
