// TPNGButton with real mouse events: which picture shows in which state, the order of click and
// release, Check, the disabled caption, and blending over the parent.

#include "controls/PNGExtra.h"
#include "support/WindowTestSupport.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

TGraphic Solid(int width, int height, std::uint32_t argb) {
    return TGraphic(width, height,
                    {TGraphicFrame{std::vector<std::uint32_t>(width * height, argb), 0}});
}

const std::uint32_t kNormal = 0xFFFF0000; // red
const std::uint32_t kDown = 0xFF00FF00;   // green
const std::uint32_t kOver = 0xFF0000FF;   // blue

// The button on a white window, shown and active.
struct Page {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TPNGButton* button = new TPNGButton(window.get()); // owned by the window
    std::vector<std::string> events;

    const QPoint inside{50 + 40, 50 + 20};
    const QPoint outside{300, 150};

    explicit Page(bool allPictures = true) {
        window->resize(400, 200);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, Qt::white);
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        button->setGeometry(50, 50, 100, 40);
        button->SetImageNorm(Solid(100, 40, kNormal));
        if (allPictures) {
            button->SetImageDown(Solid(100, 40, kDown));
            button->SetImageOver(Solid(100, 40, kOver));
        }
        button->OnClick = [this](QObject* sender) {
            events.push_back(sender == button ? "click" : "click from elsewhere");
        };
        button->OnMouseDown = [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            events.push_back("down");
        };
        button->OnMouseUp = [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            events.push_back("up");
        };
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseMove(Handle(), outside);
    }

    QWindow* Handle() { return window->windowHandle(); }

    // The colour in the middle of the button as it is on screen.
    Rgb Shown() { return PixelAt(window->grab().toImage(), 50 + 50, 50 + 20); }
};

const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};

TEST(ImageButton, PictureFollowsPointerAndPress) {
    Page page;
    EXPECT_EQ(page.Shown(), kRed);
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_TRUE(page.button->MouseOver());
    EXPECT_EQ(page.Shown(), kBlue);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Down);
    EXPECT_EQ(page.Shown(), kGreen);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.Shown(), kBlue);
    QTest::mouseMove(page.Handle(), page.outside);
    EXPECT_EQ(page.Shown(), kRed);
}

TEST(ImageButton, PressDragOffAndBackShowsPressedAgainAndStillClicks) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    ASSERT_EQ(page.Shown(), kGreen);

    QTest::mouseMove(page.Handle(), page.outside);
    EXPECT_FALSE(page.button->MouseOver());
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Down);
    EXPECT_EQ(page.Shown(), kRed) << "off the button while held: the normal picture";

    QTest::mouseMove(page.Handle(), page.inside + QPoint(10, 5));
    EXPECT_TRUE(page.button->MouseOver());
    EXPECT_EQ(page.Shown(), kGreen) << "back on while held: pressed again";

    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside + QPoint(10, 5));
    EXPECT_EQ(page.events, (std::vector<std::string>{"down", "click", "up"}))
        << "the click comes before the release";
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Up);
}

TEST(ImageButton, ReleaseOffTheButtonIsNoClick) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    QTest::mouseMove(page.Handle(), page.outside);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.outside);
    QApplication::processEvents();
    EXPECT_EQ(page.events, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Up);
    EXPECT_EQ(page.Shown(), kRed);
}

TEST(ImageButton, CheckShowsPressedAlwaysAndReleaseRaisesOnlyTheClick) {
    Page page;
    page.button->SetCheck(true);
    EXPECT_EQ(page.Shown(), kGreen);
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_EQ(page.Shown(), kGreen);
    QTest::mouseClick(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.events, (std::vector<std::string>{"down", "click"}));
    QTest::mouseMove(page.Handle(), page.outside);
    EXPECT_EQ(page.Shown(), kGreen);
    page.button->setEnabled(false);
    EXPECT_EQ(page.Shown(), kGreen);
}

TEST(ImageButton, CheckWithoutPressedPictureShowsNothingOfItsOwn) {
    Page page(false);
    page.button->SetCheck(true);
    EXPECT_TRUE(page.button->ChosenPicture().Empty());
    EXPECT_EQ(page.Shown(), (Rgb{255, 255, 255}));
}

TEST(ImageButton, OnlyANormalPictureShowsInEveryState) {
    Page page(false);
    QTest::mouseMove(page.Handle(), page.inside);
    EXPECT_EQ(page.Shown(), kRed);
    QTest::mousePress(page.Handle(), Qt::LeftButton, {}, page.inside);
    EXPECT_EQ(page.Shown(), kRed);
    QTest::mouseRelease(page.Handle(), Qt::LeftButton, {}, page.inside);
    page.button->setEnabled(false);
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Disabled);
    EXPECT_EQ(page.Shown(), kRed);
    page.button->setEnabled(true);
    EXPECT_EQ(page.button->State(), TPNGButton::TButtonState::Up);
}

TEST(ImageButton, DisabledButtonShowsNoPointerOverPicture) {
    Page page;
    QTest::mouseMove(page.Handle(), page.inside);
    ASSERT_EQ(page.Shown(), kBlue);
    page.button->setEnabled(false);
    EXPECT_EQ(page.Shown(), kRed);
}

// The darkest pixel of the button's caption area.
int DarkestCaptionLevel(Page& page) {
    const QImage shot = page.window->grab(QRect(50, 50, 100, 40)).toImage();
    int darkest = 255;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            Rgb p = PixelAt(shot, x, y);
            darkest = std::min(darkest, std::min({p.r, p.g, p.b}));
        }
    }
    return darkest;
}

TEST(ImageButton, CaptionIsCentredAndGreyWhenDisabled) {
    Page page;
    page.button->SetImageNorm(TGraphic());
    page.button->SetCaption("Scan now");
    const int enabled = DarkestCaptionLevel(page);
    EXPECT_LT(enabled, 60) << "black text";
    page.button->setEnabled(false);
    const int disabled = DarkestCaptionLevel(page);
    // The system's grey text colour is (109, 109, 109); antialiasing only lightens it.
    EXPECT_GE(disabled, 100);
    EXPECT_LT(disabled, 200);

    // Centred: as much white to the left of the text as to its right.
    page.button->setEnabled(true);
    const QImage shot = page.window->grab(QRect(50, 50, 100, 40)).toImage();
    int left = shot.width();
    int right = -1;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (PixelAt(shot, x, y).r < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, left);
    EXPECT_LE(std::abs(left - (shot.width() - 1 - right)), 3);
}

TEST(ImageButton, PictureBlendsOverWhatTheParentPainted) {
    Page page;
    page.button->SetImageNorm(Solid(100, 40, 0x80FF0000)); // half-transparent red
    const Rgb shown = page.Shown();
    EXPECT_EQ(shown.r, 255);
    EXPECT_NEAR(shown.g, 127, 2);
    EXPECT_NEAR(shown.b, 127, 2);
}

TEST(ImageButton, SettersCopyThePicture) {
    Page page;
    TGraphic picture = Solid(100, 40, kOver);
    page.button->SetImageNorm(picture);
    picture = Solid(1, 1, kDown);
    EXPECT_EQ(page.button->ImageNorm().Width(), 100);
    EXPECT_EQ(page.Shown(), kBlue);
}

} // namespace
