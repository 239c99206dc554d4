// One report row by its pixels: the gradient, where each text starts and in which rendering,
// the icon, the outcome's box, and the dotted frame of the focused row.

#include "controls/ReportRows.h"
#include "resources/CanvasTestSupport.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int kWidth = 539; // the report list's client width beside its scroll bar
constexpr int kHeight = 50;

QImage Paint(const TRESULTNODE& row, bool focused = false) {
    QImage surface = resources_test::WhiteSurface(kWidth, kHeight);
    TCanvas canvas(surface);
    PaintReportRow(canvas, row, {0, 0, kWidth, kHeight}, focused);
    return surface;
}

TRESULTNODE Row(const std::string& title, const std::string& description, const std::string& status,
                const std::string& outcome) {
    TRESULTNODE row;
    row.Title = title;
    row.Description = description;
    row.Status = status;
    row.Outcome = outcome;
    return row;
}

// Where a painted row differs from the bare background, within area.
struct Marks {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right and bottom inclusive
    std::vector<QRgb> pixels;
    std::vector<QRgb> behind;
    bool Any() const { return right >= 0; }
};

Marks MarksOf(const QImage& painted, const QImage& background, const TRect& area) {
    Marks marks;
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) {
            if (painted.pixel(x, y) == background.pixel(x, y)) {
                continue;
            }
            marks.left = std::min(marks.left, x);
            marks.right = std::max(marks.right, x);
            marks.top = std::min(marks.top, y);
            marks.bottom = std::max(marks.bottom, y);
            marks.pixels.push_back(painted.pixel(x, y));
            marks.behind.push_back(background.pixel(x, y));
        }
    }
    return marks;
}

TEST(ReportRowPainter, GradientRunsTowardsOneLineBelowTheRowAndStaysInIt) {
    const QImage row = Paint(TRESULTNODE{});
    EXPECT_EQ(row.pixel(1, 0), qRgb(252, 250, 255));
    EXPECT_EQ(row.pixel(kWidth - 1, 0), qRgb(252, 250, 255));
    // The last visible line is one step short of the end colour (223, 235, 252).
    EXPECT_EQ(row.pixel(1, 49), qRgb(224, 235, 252));
    EXPECT_EQ(row.pixel(kWidth - 1, 49), qRgb(224, 235, 252));
    // The left edge is moved right by one: the first column keeps what was there.
    for (int y : {0, 25, 49}) {
        EXPECT_EQ(row.pixel(0, y), qRgb(255, 255, 255)) << y;
    }
    // Every line is one colour, and the lines darken downwards.
    for (int y = 1; y < kHeight; ++y) {
        EXPECT_EQ(row.pixel(1, y), row.pixel(kWidth / 2, y)) << y;
        EXPECT_LE(qRed(row.pixel(1, y)), qRed(row.pixel(1, y - 1))) << y;
    }
    // The line below the row, where the end colour would fall, is not the row's: painted on a
    // taller surface, the row leaves it as it was.
    QImage taller = resources_test::WhiteSurface(kWidth, kHeight + 1);
    TCanvas canvas(taller);
    PaintReportRow(canvas, TRESULTNODE{}, {0, 0, kWidth, kHeight}, false);
    for (int x : {0, 1, kWidth / 2, kWidth - 1}) {
        EXPECT_EQ(taller.pixel(x, kHeight), qRgb(255, 255, 255)) << x;
    }
    EXPECT_EQ(taller.copy(0, 0, kWidth, kHeight), row);
}

TEST(ReportRowPainter, TextsStartWhereTheRowPlacesThemInTheirColours) {
    const QImage background = Paint(TRESULTNODE{});
    const QImage row = Paint(
        Row("Audio device muted", "Unmute the audio device to play sound", "Detected", "Not Fix"));
    const struct {
        const char* what;
        TRect area;
        int left;    // where the text's cell starts, or -1
        int right;   // where it ends, right-aligned texts, or -1
        int top;     // top of the text's cell
        int r, g, b; // a colour the strongest ink comes close to
    } texts[] = {
        {"title", {40, 0, kWidth - 95, 25}, 61, -1, 9, 0, 102, 204},
        {"status", {kWidth - 95, 0, kWidth, 25}, kWidth - 89, -1, 9, 0, 0, 0},
        {"description", {40, 25, kWidth - 145, 50}, 62, -1, 29, 0, 0, 0},
        {"outcome", {kWidth - 145, 25, kWidth, 50}, -1, kWidth - 38, 29, 255, 0, 0},
    };
    for (const auto& text : texts) {
        const Marks marks = MarksOf(row, background, text.area);
        ASSERT_TRUE(marks.Any()) << text.what;
        if (text.left >= 0) {
            // The subpixel filter may spread a faint fringe one pixel to the left of the cell.
            EXPECT_GE(marks.left, text.left - 1) << text.what;
            EXPECT_LE(marks.left, text.left + 2) << text.what;
        }
        if (text.right >= 0) {
            EXPECT_LT(marks.right, text.right) << text.what;
            EXPECT_GE(marks.right, text.right - 3) << text.what;
        }
        EXPECT_GE(marks.top, text.top) << text.what;
        EXPECT_LE(marks.top, text.top + 4) << text.what;
        int closest = 1 << 30;
        for (QRgb p : marks.pixels) {
            closest = std::min(closest, std::abs(qRed(p) - text.r) + std::abs(qGreen(p) - text.g) +
                                            std::abs(qBlue(p) - text.b));
        }
        EXPECT_LT(closest, 60) << text.what;
    }
}

TEST(ReportRowPainter, OutcomeInStandardQualityTheOtherTextsSubpixel) {
    const QImage background = Paint(TRESULTNODE{});
    const QImage row = Paint(
        Row("Low audio device volume", "Increase the audio device volume", "Detected", "Not Fix"));
    // Subpixel text covers each channel of a pixel separately: black text shows colour.
    const Marks description = MarksOf(row, background, {40, 25, kWidth - 145, 50});
    int fringed = 0;
    for (QRgb p : description.pixels) {
        fringed +=
            std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) >
            60;
    }
    EXPECT_GT(fringed, 5);

    // Standard text covers the three channels alike: red over the gradient darkens green and
    // blue by the same share.
    const Marks outcome = MarksOf(row, background, {kWidth - 145, 25, kWidth, 50});
    ASSERT_FALSE(outcome.pixels.empty());
    for (std::size_t i = 0; i < outcome.pixels.size(); ++i) {
        const double green = 1.0 - double(qGreen(outcome.pixels[i])) / qGreen(outcome.behind[i]);
        const double blue = 1.0 - double(qBlue(outcome.pixels[i])) / qBlue(outcome.behind[i]);
        EXPECT_NEAR(green, blue, 0.03) << "pixel " << i;
    }
}

TEST(ReportRowPainter, IconSitsAtItsPlaceThroughItsOwnAlpha) {
    std::vector<std::uint32_t> pixels(16, 0xFFFF00FFu);
    pixels[15] = 0x00000000u; // its bottom-right pixel is clear
    const TGraphic icon(4, 4, {TGraphicFrame{pixels}});
    TRESULTNODE with = Row("t", "d", "s", "o");
    with.Icon = &icon;
    const QImage row = Paint(with);
    const QImage without = Paint(Row("t", "d", "s", "o"));
    EXPECT_EQ(row.pixel(15, 5), qRgb(255, 0, 255));
    EXPECT_EQ(row.pixel(17, 7), qRgb(255, 0, 255));
    EXPECT_EQ(row.pixel(18, 8), without.pixel(18, 8));
    // Everything but the icon is as in the row without one.
    const Marks marks = MarksOf(row, without, {0, 0, kWidth, kHeight});
    EXPECT_EQ(marks.left, 15);
    EXPECT_EQ(marks.top, 5);
    EXPECT_EQ(marks.right, 18);
    EXPECT_EQ(marks.bottom, 8);
    EXPECT_EQ(marks.pixels.size(), 15u);
}

TEST(ReportRowPainter, FocusedRowHasTheDottedFrame) {
    const TRESULTNODE data = Row("Sound playing not functioning", "desc", "Detected", "Not Fix");
    const QImage plain = Paint(data);
    const QImage framed = Paint(data, true);
    // The frame lies on (1, 0) to (kWidth - 1, 49), right and bottom excluded; of its pixels,
    // every other one is inverted, the first being its top-left corner.
    const int left = 1, top = 0, right = kWidth - 2, bottom = kHeight - 2;
    int inverted = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool onFrame = ((y == top || y == bottom) && x >= left && x <= right) ||
                                 ((x == left || x == right) && y >= top && y <= bottom);
            const bool expected = onFrame && (x - left + y - top) % 2 == 0;
            const QRgb before = plain.pixel(x, y);
            const QRgb after = framed.pixel(x, y);
            if (expected) {
                ASSERT_EQ(after,
                          qRgb(255 - qRed(before), 255 - qGreen(before), 255 - qBlue(before)))
                    << x << ',' << y;
                ++inverted;
            } else {
                ASSERT_EQ(after, before) << x << ',' << y;
            }
        }
    }
    EXPECT_EQ(framed.pixel(1, 0), qRgb(3, 5, 0));
    EXPECT_EQ(inverted, (2 * (right - left + 1) + 2 * (bottom - top - 1)) / 2);
}

TEST(ReportRowPainter, OutcomeStaysInItsBoxKeepingItsRightEnd) {
    const QImage background = Paint(Row("t", "d", "s", ""));
    const TRect box{kWidth - 140, 29, kWidth - 38, kHeight};
    // No outcome: nothing in the box.
    const Marks empty = MarksOf(Paint(Row("t", "d", "s", "")), Paint(TRESULTNODE{}), box);
    EXPECT_FALSE(empty.Any());

    // Too long for the box: the right end stays at the box's right edge and the left part is
    // cut off at its left edge; nothing reaches outside.
    const QImage longRow = Paint(Row("t", "d", "s", "Not Fix, Not Run, Not Fix, Not Run"));
    const Marks longMarks = MarksOf(longRow, background, {0, 25, kWidth, kHeight});
    const Marks shortMarks =
        MarksOf(Paint(Row("t", "d", "s", "Not Fix")), background, {0, 25, kWidth, kHeight});
    ASSERT_TRUE(longMarks.Any());
    EXPECT_EQ(longMarks.right, shortMarks.right);
    EXPECT_LT(longMarks.right, box.Right);
    EXPECT_GE(longMarks.left, box.Left);
    EXPECT_LE(longMarks.left, box.Left + 2);
}

TEST(ReportRowPainter, LongTitleRunsOnToTheRowsEdge) {
    const QImage background = Paint(TRESULTNODE{});
    const QImage row = Paint(Row(std::string(120, 'W'), "", "", ""));
    const Marks marks = MarksOf(row, background, {0, 0, kWidth, 25});
    EXPECT_GE(marks.left, 60);
    EXPECT_LE(marks.left, 63);
    EXPECT_GE(marks.right, kWidth - 3);
}

TEST(ReportRowPainter, ListHandlersPaintAndReleaseTheirRow) {
    TVirtualDrawTree list;
    const TGraphic icon(1, 1, {TGraphicFrame{{0xFF0000FFu}}});
    PVirtualNode node = AddResultRow(list, 0, "title", 0, &icon, "d", "s", "o");
    list.SetNodeHeight(node, 30);

    QImage surface = resources_test::WhiteSurface(kWidth, kHeight);
    TCanvas canvas(surface);
    list.SetFocusedNode(node);
    OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode(&list, TVTPaintInfo{canvas, node, {0, 0, kWidth, 50}});
    EXPECT_EQ(list.NodeHeight(node), 50) << "the painter gives its row the row height";
    EXPECT_EQ(surface, Paint(node->Data, true));

    OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(&list, node);
    EXPECT_TRUE(node->Data.Title.empty() && node->Data.Description.empty() &&
                node->Data.Status.empty() && node->Data.Outcome.empty());
    EXPECT_EQ(node->Data.Icon, &icon);
    EXPECT_EQ(icon.Pixel(0, 0), 0xFF0000FFu);
}

} // namespace
