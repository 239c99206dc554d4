// The drawn page items: the shipped welcome and scanning lists placed where their rects say, fonts
// that carry from item to item and activation to activation, pictures, both text forms, the debug
// fill, failures that stop a page, and the overlay shown with its white made transparent.

#include "controls/DUIRenderer.h"

#include "config/Errors.h"
#include "graphics/OEUnitResource.h"
#include "resources/CanvasTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using resources_test::Ink;
using resources_test::InkOf;

namespace {

const QSize kPageSize(594, 399);
const TRect kWindowClient{0, 0, 602, 491};
constexpr QRgb kWhite = 0xFFFFFFFFu;

void LoadShipped() {
    ASSERT_TRUE(ConfigerInstance().LoadStream(
        ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0001", "CFG")));
}

// A document with the given item lists for the three pages (JSON arrays, "[]" for none).
void LoadLists(const std::string& welcome, const std::string& scanning = "[]",
               const std::string& report = "[]") {
    const std::string text = R"({"form1": {"frame1": {"DUI": )" + welcome +
                             R"(}, "frame2": {"DUI": )" + scanning + R"(}, "frame3": {"DUI": )" +
                             report + "}}}";
    ASSERT_TRUE(ConfigerInstance().LoadText(text)) << text;
}

void DrawPage(TDUIOverlay& overlay, int page) {
    DrawDUIPage(overlay, kPageSize, kWindowClient, ConfigerInstance(), DUIListPath(page));
}

int LineHeight(TCanvas& canvas) {
    return MeasureFont(canvas.CurrentTextStyle()).Height();
}

TRect InkBox(const Ink& ink) {
    return {ink.left, ink.top, ink.right + 1, ink.bottom + 1};
}

class DrawnItemsTest : public ::testing::Test {
protected:
    // The item rectangle is the program's one; each test starts it where the program does.
    void SetUp() override { DUIRect() = {}; }
};

TEST_F(DrawnItemsTest, WelcomeListPlacesItsItemsWhereTheirRectsSay) {
    LoadShipped();
    QImage surface = resources_test::WhiteSurface(594, 399);
    TCanvas canvas(surface);
    const TRect expected[] = {
        {17, 20, 0, 0},       {17, 50, 0, 0},       {19, 62, 0, 0},
        {19, 250, 190, 270},  {211, 250, 385, 270}, {406, 250, 577, 270},
        {219, 278, 385, 328}, {414, 278, 577, 328}, {27, 278, 190, 327},
    };
    for (int i = 0; i < 9; ++i) {
        DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#" + std::to_string(i));
        const TRect& rect = DUIRect();
        EXPECT_EQ(rect, expected[i]) << "item " << i << ": " << rect.Left << ',' << rect.Top << ','
                                     << rect.Right << ',' << rect.Bottom;
        if (i == 0) {
            EXPECT_EQ(canvas.Font().Name(), "Tahoma");
            EXPECT_EQ(canvas.Font().Size(), 12);
            EXPECT_EQ(canvas.Font().Height(), -16);
            EXPECT_EQ(canvas.Font().Style(), fsBold);
            EXPECT_EQ(canvas.Font().Color(), static_cast<TColor>(RGB(0x00, 0x33, 0xDA)));
        }
        if (i == 2) {
            EXPECT_EQ(canvas.Font().Name(), "Tahoma");
            EXPECT_EQ(canvas.Font().Size(), 9);
            EXPECT_EQ(canvas.Font().Style(), 0u);
            EXPECT_EQ(canvas.Font().Color(), clBlack);
        }
    }
}

TEST_F(DrawnItemsTest, WelcomePageShowsItsTextsAndPictureWhereTheyArePlaced) {
    LoadShipped();
    TDUIOverlay overlay;
    DrawPage(overlay, 0);
    const QImage& page = overlay.Bitmap();
    ASSERT_EQ(page.size(), kPageSize);

    // Item 0, plain: its cell starts at (17, 20), in the heading blue with subpixel fringes.
    Ink heading = InkOf(page, kWhite, {0, 0, 594, 45});
    ASSERT_TRUE(heading.Any());
    EXPECT_GE(heading.left, 17);
    EXPECT_LE(heading.left, 19);
    EXPECT_GE(heading.top, 20);
    EXPECT_LE(heading.top, 24);
    EXPECT_GT(heading.coloured, 0);

    // Item 1, the picture: its own pixels from (17, 50), at its own size.
    const TGraphic picture = ResourceInstance()->LoadResourceGraphic(nullptr, "PNG_0102", "PNG");
    QImage expected = resources_test::WhiteSurface(594, 399);
    TCanvas reference(expected);
    reference.Draw(17, 50, picture);
    EXPECT_EQ(page.copy(0, 48, 594, 6), expected.copy(0, 48, 594, 6));

    // Item 2 starts at (19, 62), in black.
    Ink paragraph = InkOf(page, kWhite, {0, 55, 594, 90});
    ASSERT_TRUE(paragraph.Any());
    EXPECT_GE(paragraph.left, 19);
    EXPECT_LE(paragraph.left, 21);
    EXPECT_GE(paragraph.top, 62);
    EXPECT_LE(paragraph.top, 66);

    // Items 3 to 5: one line each, centred in their rectangles, starting at the top.
    const TRect centred[] = {{19, 250, 190, 270}, {211, 250, 385, 270}, {406, 250, 577, 270}};
    for (const TRect& rect : centred) {
        Ink ink = InkOf(page, kWhite, rect);
        ASSERT_TRUE(ink.Any()) << rect.Left;
        const int leftGap = ink.left - rect.Left;
        const int rightGap = rect.Right - 1 - ink.right;
        EXPECT_LE(std::abs(leftGap - rightGap), 3)
            << rect.Left << ": " << leftGap << " vs " << rightGap;
        EXPECT_GT(leftGap, 20) << rect.Left;
        EXPECT_LE(ink.top - rect.Top, 4) << rect.Left;
        // Nothing of the item outside its rectangle.
        EXPECT_FALSE(InkOf(page, kWhite, {rect.Left, rect.Bottom, rect.Right, 276}).Any());
    }

    // Items 6 to 8: wrapped onto several lines inside their rectangles, no partial line.
    TCanvas* canvas = overlay.ExistingCanvas();
    const int line = LineHeight(*canvas); // items 6 to 8 leave the canvas at 8 points
    const TRect wrapped[] = {{219, 278, 385, 328}, {414, 278, 577, 328}, {27, 278, 190, 327}};
    for (const TRect& rect : wrapped) {
        Ink ink = InkOf(page, kWhite, {rect.Left - 5, rect.Top, rect.Right + 5, rect.Bottom + 20});
        ASSERT_TRUE(ink.Any()) << rect.Left;
        EXPECT_GT(InkBox(ink).Height(), line * 3 / 2) << rect.Left << ": one line only";
        EXPECT_GE(ink.left, rect.Left);
        EXPECT_LT(ink.right, rect.Right);
        EXPECT_LE(ink.bottom, rect.Top + (rect.Height() / line) * line);
        EXPECT_LE(ink.left - rect.Left, 3) << "left aligned";
    }
}

TEST_F(DrawnItemsTest, ScanningPageFollowsOnFromTheWelcomePage) {
    LoadShipped();
    TDUIOverlay welcome;
    TDUIOverlay scanning;
    DrawPage(welcome, 0);
    DrawPage(scanning, 1);
    // Right and bottom stay where the welcome page's last item left them.
    EXPECT_EQ(DUIRect(), (TRect{18, 46, 190, 327}));
    const QImage& page = scanning.Bitmap();
    Ink heading = InkOf(page, kWhite, {0, 0, 594, 44});
    Ink paragraph = InkOf(page, kWhite, {0, 44, 594, 80});
    ASSERT_TRUE(heading.Any());
    ASSERT_TRUE(paragraph.Any());
    EXPECT_GE(heading.left, 17);
    EXPECT_LE(heading.left, 19);
    EXPECT_GE(heading.top, 20);
    EXPECT_LE(heading.top, 24);
    EXPECT_GE(paragraph.left, 18);
    EXPECT_LE(paragraph.left, 20);
    EXPECT_GE(paragraph.top, 46);
    EXPECT_LE(paragraph.top, 50);
}

TEST_F(DrawnItemsTest, RelativeFirstItemFollowsTheLastItemOfAnotherPage) {
    LoadLists(R"([{"text": "x", "rect": "100,200,10,10"}])",
              R"([{"text": "y", "rect": "+5,+7"}, {"font": {"size": "10"}}])");
    TDUIOverlay welcome;
    TDUIOverlay scanning;
    DrawPage(welcome, 0);
    DrawPage(scanning, 1);
    EXPECT_EQ(DUIRect(), (TRect{105, 207, 110, 210}));
    // And a second activation of the scanning page moves on again from there.
    DrawPage(scanning, 1);
    EXPECT_EQ(DUIRect(), (TRect{110, 214, 110, 210}));
}

TEST_F(DrawnItemsTest, PagesCallTheRendererOnceMoreThanTheyHaveItems) {
    // The call past the last item finds nothing and only sets the style to normal: the bold
    // of the last item does not outlive the page, its size does.
    LoadShipped();
    TDUIOverlay report;
    DrawPage(report, 2);
    EXPECT_EQ(report.ExistingCanvas()->Font().Style(), 0u);
    EXPECT_EQ(report.ExistingCanvas()->Font().Size(), 12);
    EXPECT_EQ(DUIRect(), (TRect{17, 20, 0, 0}));

    // A page without a list still makes the one call.
    TDUIOverlay missing;
    missing.Canvas(kPageSize).Font().SetStyle(fsItalic);
    DrawDUIPage(missing, kPageSize, kWindowClient, ConfigerInstance(), "form1#frame9#DUI");
    EXPECT_EQ(missing.ExistingCanvas()->Font().Style(), 0u);
    EXPECT_FALSE(InkOf(missing.Bitmap(), kWhite).Any());
    EXPECT_EQ(DUIRect(), (TRect{17, 20, 0, 0}));
}

TEST_F(DrawnItemsTest, AnItemWithoutPlacementChangesOnlyTheFont) {
    LoadLists(R"([{"font": {"size": "20", "color": "0000FF", "face": "DejaVu Serif",
                             "style": "italic"}},
                  {"text": "Hi", "rect": "0,0"}])");
    QImage surface = resources_test::WhiteSurface(200, 60);
    TCanvas canvas(surface);
    DUIRect() = {3, 4, 5, 6};
    DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
    EXPECT_FALSE(InkOf(surface, kWhite).Any());
    EXPECT_EQ(DUIRect(), (TRect{3, 4, 5, 6}));
    EXPECT_EQ(canvas.Font().Size(), 20);
    EXPECT_EQ(canvas.Font().Name(), "DejaVu Serif");
    EXPECT_EQ(canvas.Font().Style(), fsItalic);
    EXPECT_EQ(canvas.Font().Color(), static_cast<TColor>(RGB(0, 0, 0xFF)));

    // The next item keeps face, size and colour, and its own (absent) style is normal.
    DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#1");
    EXPECT_EQ(canvas.Font().Size(), 20);
    EXPECT_EQ(canvas.Font().Name(), "DejaVu Serif");
    EXPECT_EQ(canvas.Font().Style(), 0u);
    Ink ink = InkOf(surface, kWhite);
    ASSERT_TRUE(ink.Any());
    EXPECT_GT(InkBox(ink).Height(), 14) << "drawn at 20 points";
    int blue = 0;
    for (int y = ink.top; y <= ink.bottom; ++y) {
        for (int x = ink.left; x <= ink.right; ++x) {
            const QRgb p = surface.pixel(x, y);
            blue += qBlue(p) > 200 && qRed(p) < 100 && qGreen(p) < 100;
        }
    }
    EXPECT_GT(blue, 10) << "drawn in the blue the first item named";
}

TEST_F(DrawnItemsTest, StyleWordsAreOneAttributeInAnyCase) {
    const struct {
        const char* word;
        TFontStyles style;
    } cases[] = {
        {"bold", fsBold},
        {"Bold", fsBold},
        {"BOLD", fsBold},
        {"italic", fsItalic},
        {"Underline", fsUnderline},
        {"strikeOut", fsStrikeOut},
        {"bold,italic", 0},
        {"heavy", 0},
        {" bold", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        LoadLists(std::string(R"([{"font": {"style": ")") + c.word + R"("}}])");
        QImage surface = resources_test::WhiteSurface(10, 10);
        TCanvas canvas(surface);
        canvas.Font().SetStyle(fsItalic | fsBold);
        DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
        EXPECT_EQ(canvas.Font().Style(), c.style) << '"' << c.word << '"';
    }
}

TEST_F(DrawnItemsTest, PictureItemsDrawOnlyTheirPicture) {
    // With a text beside the picture, and with a debug mark: only the picture is drawn.
    LoadLists(R"([{"image": {"item": "ICO_20", "type": "PNG"}, "text": "WWWWWWWW",
                   "font": {"align": "1"}, "debug": "1", "rect": "10,12"}])");
    QImage surface = resources_test::WhiteSurface(120, 60);
    TCanvas canvas(surface);
    DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
    const TGraphic icon = ResourceInstance()->LoadResourceGraphic(nullptr, "ICO_20", "PNG");
    QImage expected = resources_test::WhiteSurface(120, 60);
    TCanvas reference(expected);
    reference.Draw(10, 12, icon);
    EXPECT_EQ(surface, expected);
    EXPECT_EQ(InkBox(InkOf(surface, kWhite)).Left, 10);

    // A scalar "image" is no picture: the item is a text.
    LoadLists(R"([{"image": "ICO_20", "text": "WWWW", "rect": "10,12"}])");
    QImage text = resources_test::WhiteSurface(120, 60);
    TCanvas textCanvas(text);
    DrawDUIItem(textCanvas, ConfigerInstance(), "form1#frame1#DUI#0");
    EXPECT_TRUE(InkOf(text, kWhite).Any());
    EXPECT_NE(text, expected);
}

TEST_F(DrawnItemsTest, AmpersandsUnderlineOnlyInTheAlignedForm) {
    auto draw = [](const char* text, bool aligned) {
        LoadLists(std::string(R"([{"text": ")") + text + R"(", "font": {"size": "12")" +
                  (aligned ? R"(, "align": "0")" : "") + R"(}, "rect": "4,4,200,40"}])");
        QImage surface = resources_test::WhiteSurface(220, 50);
        TCanvas canvas(surface);
        DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
        return surface;
    };
    const QImage alignedMarked = draw("&Wx", true);
    const QImage alignedPlain = draw("Wx", true);
    const QImage plainMarked = draw("&Wx", false);
    const QImage plainPlain = draw("Wx", false);

    // Aligned: the ampersand is not drawn, the W gets a line under it.
    const Ink marked = InkOf(alignedMarked, kWhite);
    const Ink unmarked = InkOf(alignedPlain, kWhite);
    EXPECT_EQ(marked.left, unmarked.left);
    EXPECT_EQ(marked.right, unmarked.right);
    EXPECT_GT(marked.bottom, unmarked.bottom) << "the underline lies below the letters";
    EXPECT_GT(marked.pixels, unmarked.pixels);

    // Plain: the ampersand is drawn as it is, in front of the W; nothing is underlined.
    const Ink drawn = InkOf(plainMarked, kWhite);
    const Ink bare = InkOf(plainPlain, kWhite);
    EXPECT_GT(drawn.right, bare.right + 5);
    EXPECT_EQ(drawn.bottom, bare.bottom);
}

TEST_F(DrawnItemsTest, AnOverTallTextDropsItsPartialLastLine) {
    const std::string words = "one two three four five six seven eight nine ten eleven twelve";
    auto draw = [&](int height) {
        LoadLists(R"([{"text": ")" + words + R"(", "font": {"size": "8", "face": "Tahoma",
                       "align": "0"}, "rect": "0,0,90,)" +
                  std::to_string(height) + R"("}])");
        QImage surface = resources_test::WhiteSurface(100, 120);
        TCanvas canvas(surface);
        DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
        return std::make_pair(surface, LineHeight(canvas));
    };
    const auto [tall, line] = draw(100);
    ASSERT_GT(InkOf(tall, kWhite).bottom, 2 * line) << "the text needs three lines or more";

    // Room for two and a half lines shows two; the third would be cut, so it is left out.
    const auto [cut, sameLine] = draw(line * 5 / 2);
    const Ink ink = InkOf(cut, kWhite);
    EXPECT_GT(ink.bottom, line) << "the second line is there";
    EXPECT_LT(ink.bottom, 2 * line);
    EXPECT_EQ(cut.copy(0, 0, 100, 2 * line), tall.copy(0, 0, 100, 2 * line));

    // Less than one line still shows the first, cut at the rectangle.
    const auto [low, lowLine] = draw(line / 2);
    const Ink first = InkOf(low, kWhite);
    ASSERT_TRUE(first.Any());
    EXPECT_LT(first.bottom, line / 2);
}

TEST_F(DrawnItemsTest, DebugFillOnlyInTheAlignedForm) {
    const struct {
        const char* font;
        bool green;
    } cases[] = {
        {R"({"align": "1"})", true},
        {R"({"align": "left"})", true}, // no digits: alignment 0, still the aligned form
        {R"({"size": "8"})", false},    // no alignment: the plain form, never filled
    };
    for (const auto& c : cases) {
        // The rectangle (10, 10) to (70, 40).
        LoadLists(std::string(R"([{"text": "Go", "debug": "yes", "font": )") + c.font +
                  R"(, "rect": "10,10,60,30"}])");
        QImage surface = resources_test::WhiteSurface(80, 50);
        TCanvas canvas(surface);
        DrawDUIItem(canvas, ConfigerInstance(), "form1#frame1#DUI#0");
        // Corners of the rectangle, away from the short text.
        EXPECT_EQ(surface.pixel(69, 39) == qRgb(0, 255, 0), c.green) << c.font;
        EXPECT_EQ(surface.pixel(10, 39) == qRgb(0, 255, 0), c.green) << c.font;
        EXPECT_EQ(surface.pixel(70, 39), qRgb(255, 255, 255)) << c.font;
        EXPECT_EQ(surface.pixel(10, 40), qRgb(255, 255, 255)) << c.font;
        EXPECT_EQ(surface.pixel(9, 39), qRgb(255, 255, 255)) << c.font;
    }
}

TEST_F(DrawnItemsTest, ABadNumberStopsThePageWithItsMessage) {
    const struct {
        const char* font;
        const char* message;
    } cases[] = {
        {R"({"size": "12a"})", "'12a' is not a valid integer value"},
        {R"({"size": "99999999999"})", "'99999999999' is not a valid integer value"},
        {R"({"color": "0033AG"})", "'$GA3300' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        LoadLists(std::string(R"([{"text": "AAAA", "rect": "0,0"},
                                  {"text": "BBBB", "rect": "100,0", "font": )") +
                  c.font + R"(}, {"text": "CCCC", "rect": "200,0"}])");
        TDUIOverlay overlay;
        try {
            DrawPage(overlay, 0);
            ADD_FAILURE() << c.font << ": no error";
        } catch (const ConvertError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        // What came before stays; the failing item and those after it are not drawn.
        EXPECT_TRUE(InkOf(overlay.Bitmap(), kWhite, {0, 0, 100, 40}).Any()) << c.font;
        EXPECT_FALSE(InkOf(overlay.Bitmap(), kWhite, {100, 0, 594, 40}).Any()) << c.font;
        EXPECT_EQ(DUIRect().Left, 0) << "the failing item's placement was not reached";
    }
    // The next activation with a sound list draws normally.
    LoadShipped();
    TDUIOverlay overlay;
    DrawPage(overlay, 1);
    EXPECT_TRUE(InkOf(overlay.Bitmap(), kWhite).Any());
}

TEST_F(DrawnItemsTest, OverlayKeepsItsBitmapAndFontBetweenActivations) {
    LoadLists(R"([{"text": "Big", "font": {"size": "20"}, "rect": "0,0", "debug": "1"}])");
    TDUIOverlay overlay;
    EXPECT_FALSE(overlay.HasBitmap());
    EXPECT_TRUE(overlay.TransparentImage().isNull());
    DrawPage(overlay, 0);
    const uchar* bits = overlay.Bitmap().constBits();

    // The page's list no longer names a size: the next activation draws at the size the last
    // one left, in the same bitmap, cleared first.
    LoadLists(R"([{"text": "Big", "rect": "0,100"}])");
    DrawDUIPage(overlay, QSize(50, 50), kWindowClient, ConfigerInstance(), DUIListPath(0));
    EXPECT_EQ(overlay.Bitmap().size(), kPageSize);
    EXPECT_EQ(overlay.Bitmap().constBits(), bits);
    EXPECT_EQ(overlay.ExistingCanvas()->Font().Size(), 20);
    EXPECT_FALSE(InkOf(overlay.Bitmap(), kWhite, {0, 0, 594, 100}).Any());
    const Ink kept = InkOf(overlay.Bitmap(), kWhite);

    TDUIOverlay fresh;
    DrawPage(fresh, 0);
    EXPECT_LT(InkBox(InkOf(fresh.Bitmap(), kWhite)).Height(), InkBox(kept).Height());
}

TEST_F(DrawnItemsTest, TheBottomLeftColourIsWhatShowsThrough) {
    LoadLists(R"([{"text": "Seen", "font": {"align": "0"}, "rect": "5,5,80,30"}])");
    TDUIOverlay overlay;
    DrawPage(overlay, 0);
    QImage shown = overlay.TransparentImage();
    ASSERT_EQ(shown.size(), kPageSize);
    EXPECT_EQ(qAlpha(shown.pixel(0, 398)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(300, 200)), 0);
    const Ink ink = InkOf(overlay.Bitmap(), kWhite);
    ASSERT_TRUE(ink.Any());
    int opaque = 0;
    for (int y = ink.top; y <= ink.bottom; ++y) {
        for (int x = ink.left; x <= ink.right; ++x) {
            if (overlay.Bitmap().pixel(x, y) != kWhite) {
                EXPECT_EQ(qAlpha(shown.pixel(x, y)), 255);
                EXPECT_EQ(shown.pixel(x, y), overlay.Bitmap().pixel(x, y));
                ++opaque;
            }
        }
    }
    EXPECT_EQ(opaque, ink.pixels);

    // Whatever lies at that corner is the key: a debug fill reaching it turns clear instead.
    LoadLists(R"([{"text": "", "debug": "1", "font": {"align": "0"}, "rect": "0,300,40,99"}])");
    DrawPage(overlay, 0);
    shown = overlay.TransparentImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 398)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(300, 100)), 255);
}

// Settling keeps only the rows that show something: the bitmap, what it shows and how it paints
// must come out as before, and drawing goes on from there with the same font.
TEST_F(DrawnItemsTest, ASettledOverlayShowsAndDrawsOnAsBefore) {
    LoadLists(R"([{"text": "Top", "font": {"size": "14"}, "rect": "3,2"},
                  {"text": "", "debug": "1", "font": {"align": "0"}, "rect": "500,150,540,160"},
                  {"text": "Lower line", "font": {"align": "0"}, "rect": "40,300,300,330"}])");
    TDUIOverlay overlay;
    DrawPage(overlay, 0);
    const QImage drawn = overlay.Bitmap().copy();
    const QRegion shown = overlay.ShownRegion();
    const auto paint = [&](bool transparent) {
        QImage out(kPageSize + QSize(20, 20), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::blue);
        QPainter painter(&out);
        overlay.Paint(painter, QPoint(7, 11), transparent);
        return out;
    };
    const QImage paintedClear = paint(true);
    const QImage paintedOpaque = paint(false);

    overlay.Settle();
    ASSERT_TRUE(overlay.Settled());
    EXPECT_EQ(overlay.Size(), kPageSize);
    EXPECT_EQ(overlay.Bitmap(), drawn);
    EXPECT_EQ(overlay.ShownRegion(), shown);
    EXPECT_EQ(paint(true), paintedClear);
    EXPECT_EQ(paint(false), paintedOpaque);

    // Drawing again starts from the same bitmap and font.
    TCanvas& canvas = overlay.Canvas(QSize(1, 1));
    EXPECT_FALSE(overlay.Settled());
    EXPECT_EQ(canvas.Font().Size(), 14);
    EXPECT_EQ(overlay.Bitmap(), drawn);
    canvas.Brush().Color = clBlack;
    canvas.FillRect({0, 390, 4, 399});
    EXPECT_EQ(QColor(overlay.Bitmap().pixel(1, 398)), QColor(Qt::black));
}

TEST_F(DrawnItemsTest, AbsurdPlacementsAndSizesDrawNothingHarmful) {
    LoadLists(R"([{"text": "edge", "font": {"align": "1", "size": "-2147483648"},
                   "debug": "1", "rect": "2147483647,2147483647,2147483647,2147483647"},
                  {"text": "far", "rect": "+2147483647,+2147483647"},
                  {"image": {"item": "ICO_20", "type": "PNG"}, "rect": "2147483600,-2147483648"},
                  {"text": "any", "font": {"align": "-1", "size": "0"},
                   "rect": "-2147483648,-2147483648,-1,-1"},
                  {"text": "huge", "font": {"size": "1610612736"}, "rect": "0,-500"},
                  {"text": "huge", "font": {"size": "-1610612736"}, "rect": "0,-3000"}])");
    TDUIOverlay overlay;
    DrawPage(overlay, 0);
    EXPECT_FALSE(InkOf(overlay.Bitmap(), kWhite).Any());
}

} // namespace
