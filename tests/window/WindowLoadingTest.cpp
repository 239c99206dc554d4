// What the window loads when it is made - configuration, pictures, image buttons, version - and
// how each load fails on its own: a reported error, an empty control, a working window.

#include "app/PicturePrefetch.h"
#include "config/OEUnitConfig.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/PNGExtra.h"
#include "platform/TempFiles.h"
#include "platform/testing/ScriptedTempFiles.h"
#include "platform/testing/ScriptedVersion.h"
#include "support/Command.h"
#include "support/WindowTestSupport.h"

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

using namespace window_test;

namespace {

using ResourceSlot = platform::ScopedBackend<platform::ModuleResourceBackend>;
using TempSlot = platform::ScopedBackend<platform::TempFileBackend>;

std::vector<TImage*> ConfiguredPictures(TOEM_FORM& f) {
    return {f.OEM_FORM_IMG_0,
            f.OEM_FORM_TAB_0_TTS_0_IMG_0,
            f.OEM_FORM_TAB_0_TTS_1_IMG_0,
            f.OEM_FORM_TAB_0_TTS_2_IMG_0,
            f.OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0,
            f.OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0};
}

// Every report is the general error report's box: the application title, OK, the stop icon.
void ExpectErrorReports(const std::vector<MessageBoxCall>& calls) {
    for (const MessageBoxCall& call : calls) {
        EXPECT_EQ(call.caption, "Quorvel Tonemender");
        EXPECT_EQ(call.flags, MB_OK | MB_ICONSTOP);
        EXPECT_FALSE(call.text.empty());
    }
}

TEST(WindowLoading, ShippedPicturesAndButtonImages) {
    FormUnderTest t;
    TOEM_FORM& f = *t.form;
    // The welcome page's own pictures come with the window; the other pages' with the first
    // of those pages.
    EXPECT_FALSE(f.OEM_FORM_IMG_0->Empty());
    EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_0_IMG_0->Empty());
    t.Show();
    QApplication::processEvents();
    EXPECT_FALSE(f.LaterPicturesLoaded()) << "a window idle on its welcome page";
    f.ShowPage(kScanningPage);
    EXPECT_TRUE(f.LaterPicturesLoaded());
    EXPECT_TRUE(t.boxes.Calls().empty());
    // Each control holds a picture of its own: had they kept the loader's shared picture,
    // all would show the last one loaded, the 16-pixel busy picture.
    for (TImage* background : {f.OEM_FORM_IMG_0, f.OEM_FORM_TAB_0_TTS_0_IMG_0,
                               f.OEM_FORM_TAB_0_TTS_1_IMG_0, f.OEM_FORM_TAB_0_TTS_2_IMG_0}) {
        EXPECT_GT(background->PictureSize().width(), 500) << background->objectName().toStdString();
        EXPECT_FALSE(background->Animated());
    }
    EXPECT_NE(f.OEM_FORM_TAB_0_TTS_0_IMG_0->Frame(0).pixel(300, 200),
              f.OEM_FORM_TAB_0_TTS_1_IMG_0->Frame(0).pixel(300, 200))
        << "the welcome and scanning pages have different backgrounds";
    for (TImage* busy : {f.OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0, f.OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0}) {
        EXPECT_EQ(busy->PictureSize().width(), 16);
        EXPECT_TRUE(busy->Animated());
    }
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().Width(), 300);
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_BTN_1->ImageNorm().Width(), 135);
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageDown().Empty());
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageOver().Empty());
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_IMG_2->Empty());
}

TEST(WindowLoading, VersionLabelShowsTheCompiledFileVersion) {
    FormUnderTest t;
    EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_1->text().toStdString(),
              "Tonemender is up to date (1.5.0.1902)");
}

TEST(WindowLoading, VersionLabelFormatsEachPartOfTheRecord) {
    struct Case {
        std::optional<VS_FIXEDFILEINFO> record;
        const char* text;
    };
    const Case cases[] = {
        {platform::MakeFixedFileInfo(65535, 0, 7, 65534),
         "Tonemender is up to date (65535.0.7.65534)"},
        {platform::MakeFixedFileInfo(2, 10, 300, 4), "Tonemender is up to date (2.10.300.4)"},
        {std::nullopt, "Tonemender is up to date (0.0.0.0)"},
    };
    for (const Case& c : cases) {
        auto version = std::make_unique<platform::ScriptedVersion>();
        version->SetRecord(c.record);
        platform::ScopedBackend<platform::VersionBackend> slot(platform::VersionSlot(),
                                                               std::move(version));
        FormUnderTest t;
        EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_LAB_1->text().toStdString(), c.text);
        EXPECT_TRUE(t.boxes.Calls().empty());
    }
}

TEST(WindowLoading, MissingConfigurationReportsAndLeavesAWorkingWindowWithEmptyTexts) {
    ResourceSlot resources(platform::ModuleResourceSlot(), ShippedResourcesExcept({"CFG_0001"}));
    FormUnderTest t;
    TOEM_FORM& f = *t.form;
    const auto calls = t.boxes.Calls();
    // Every picture the configuration would name fails for this one cause: one box.
    ASSERT_EQ(calls.size(), 1u);
    ExpectErrorReports(calls);
    EXPECT_FALSE(ConfigerInstance().HasDocument());
    ASSERT_NE(f.Engine, nullptr);
    EXPECT_TRUE(static_cast<bool>(f.Engine->OnStateChange));
    for (TImage* picture : ConfiguredPictures(f)) {
        EXPECT_TRUE(picture->Empty()) << picture->objectName().toStdString();
    }
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().Empty());

    t.Show();
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_LAB_1->text().isEmpty());
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_LAB_0->text().isEmpty());
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_0_LAB_0->URL().empty());
    EXPECT_TRUE(f.OEM_FORM_TAB_0_TTS_1_BTN_0->Caption().empty());
    // The window still works: pages switch, progress moves.
    EXPECT_EQ(SendMessageA(f.Handle(), WM_SHOWPAGE, 1, 0), 0);
    EXPECT_EQ(f.OEM_FORM_TAB_0->ActivePageIndex(), 1);
    SendMessageA(f.Handle(), WM_SETPROGRESS, 3, 0);
    EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->Position(), 3);
    EXPECT_EQ(t.boxes.Calls().size(), calls.size()) << "nothing more goes wrong once it runs";
}

TEST(WindowLoading, NoTemporaryFileStaysWhileTheWindowShows) {
    testing_support::ScratchDir temp("tm-window-temp");
    TempSlot files(platform::TempFileSlot(),
                   std::make_unique<platform::testing::ScriptedTempFiles>(temp.Path()));
    FormUnderTest t;
    t.Show();
    t.form->ShowPage(kScanningPage);
    EXPECT_EQ(t.form->Report->RowIcons[0]->Graphic().Width(), 32);
    EXPECT_GT(static_cast<platform::testing::ScriptedTempFiles&>(*files).FilesMade(), 0)
        << "the pictures went through temporary files";
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
    EXPECT_TRUE(t.boxes.Calls().empty());
}

// A full or read-only temporary folder: the pictures come from memory, and the window looks
// and works as it always does.
TEST(WindowLoading, AFolderThatTakesNoFileChangesNothingTheUserSees) {
    testing_support::ScratchDir temp("tm-window-temp");
    auto scripted = std::make_unique<platform::testing::ScriptedTempFiles>(temp.Path());
    platform::testing::ScriptedTempFiles& folder = *scripted;
    TempSlot files(platform::TempFileSlot(), std::move(scripted));
    QImage welcome[2]; // by whether the folder refuses files
    for (bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "refusing folder" : "usable folder");
        folder.refuseFiles = refuse;
        const int madeBefore = folder.FilesMade();
        FormUnderTest t;
        t.Show();
        welcome[refuse] = t.form->grab().toImage();
        t.form->ShowPage(kScanningPage);
        EXPECT_EQ(folder.FilesMade() > madeBefore, !refuse);
        EXPECT_TRUE(t.boxes.Calls().empty());
        for (TImage* picture : ConfiguredPictures(*t.form)) {
            EXPECT_FALSE(picture->Empty()) << picture->objectName().toStdString();
        }
        EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().Width(), 300);
        EXPECT_EQ(t.form->OEM_FORM_TAB_0_TTS_0_BTN_1->ImageNorm().Width(), 135);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(t.form->Report->RowIcons[static_cast<std::size_t>(slot)]->Graphic().Width(),
                      32);
        }
    }
    ASSERT_FALSE(welcome[0].isNull());
    EXPECT_TRUE(welcome[1] == welcome[0]) << "the welcome page looks the same";
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

template <std::size_t Count> std::vector<std::string> Entries(const char* const (&names)[Count]) {
    std::vector<std::string> entries;
    for (const char* name : names) {
        entries.push_back(kWelcomePicturePrefix + std::string(name));
    }
    return entries;
}

std::vector<std::string> WelcomeEntries() {
    return Entries(kWelcomePictures);
}

// The program decodes the welcome page's pictures while its application object is made; the
// window must end up with exactly what it would have loaded itself.
TEST(WindowLoading, PicturesDecodedAheadAreTheOnesTheWindowLoads) {
    std::vector<QImage> loaded;
    std::vector<std::vector<std::uint32_t>> buttons;
    {
        FormUnderTest t;
        for (const char* name : kWelcomePictures) {
            loaded.push_back(t.form->findChild<TImage*>(name)->Frame(0));
        }
        for (const char* name : kWelcomeImageButtons) {
            buttons.push_back(t.form->findChild<TPNGButton*>(name)->ImageNorm().Frame(0).pixels);
        }
    }
    TPicturePrefetch prefetch(WelcomeEntries(), Entries(kWelcomeImageButtons));
    FormUnderTest t([&] {
        TFormSettings settings;
        settings.Prefetched = &prefetch;
        return std::make_unique<TOEM_FORM>(std::move(settings));
    });
    EXPECT_TRUE(t.boxes.Calls().empty());
    for (std::size_t i = 0; i < std::size(kWelcomePictures); ++i) {
        EXPECT_EQ(t.form->findChild<TImage*>(kWelcomePictures[i])->Frame(0), loaded[i])
            << kWelcomePictures[i];
        EXPECT_FALSE(prefetch.Take(WelcomeEntries()[i])) << "handed over once";
    }
    for (std::size_t i = 0; i < std::size(kWelcomeImageButtons); ++i) {
        const TGraphic& shown =
            t.form->findChild<TPNGButton*>(kWelcomeImageButtons[i])->ImageNorm();
        ASSERT_EQ(shown.FrameCount(), 1u) << kWelcomeImageButtons[i];
        EXPECT_EQ(shown.Frame(0).pixels, buttons[i]) << kWelcomeImageButtons[i];
        EXPECT_FALSE(prefetch.TakeGraphic(Entries(kWelcomeImageButtons)[i])) << "handed over once";
    }
}

// With or without the pictures decoded ahead: the one that cannot be decoded is reported once.
TEST(WindowLoading, DamagedPictureReportsOnceAndOnlyItsControlStaysEmpty) {
    for (bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "decoded ahead" : "loaded by the window");
        ResourceSlot resources(
            platform::ModuleResourceSlot(),
            ShippedResourcesExcept({}, {{"PNG_0001", "\x89PNG\r\n\x1a\n garbage"}}));
        std::optional<TPicturePrefetch> prefetch;
        if (ahead) {
            prefetch.emplace(WelcomeEntries());
        }
        FormUnderTest t([&] {
            TFormSettings settings;
            settings.Prefetched = prefetch ? &*prefetch : nullptr;
            return std::make_unique<TOEM_FORM>(std::move(settings));
        });
        TOEM_FORM& f = *t.form;
        const auto calls = t.boxes.Calls();
        ASSERT_EQ(calls.size(), 1u);
        ExpectErrorReports(calls);
        EXPECT_TRUE(f.OEM_FORM_IMG_0->Empty());
        EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_0_IMG_0->Empty());
        EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().Empty());
        EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_0_LAB_1->text().toStdString(),
                  "Tonemender is up to date (1.5.0.1902)");
        ASSERT_NE(f.Engine, nullptr);
        EXPECT_TRUE(static_cast<bool>(f.Engine->OnStateChange));
        t.Show();
        EXPECT_EQ(f.OEM_FORM_TAB_0->ActivePageIndex(), 0);
        f.ShowPage(kScanningPage);
        EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0->Empty()) << "the later pages load";
        EXPECT_EQ(t.boxes.Calls().size(), 1u);
    }
}

// The other pages' pictures and the report's icons, decoded once the first frame is up, are
// what the window would have loaded itself when the scanning page came first.
TEST(WindowLoading, LaterPicturesDecodedAfterTheFirstFrameAreTheOnesTheWindowLoads) {
    const auto shownOnScanningPage = [](FormUnderTest& t) {
        std::vector<QImage> shown;
        for (TImage* picture : ConfiguredPictures(*t.form)) {
            for (std::size_t i = 0; i < picture->FrameCount(); ++i) {
                shown.push_back(picture->Frame(i));
            }
        }
        for (const auto& icon : t.form->Report->RowIcons) {
            const TGraphic& graphic = icon->Graphic();
            shown.push_back(graphic.Empty() ? QImage()
                                            : QImage(reinterpret_cast<const uchar*>(
                                                         graphic.Frame(0).pixels.data()),
                                                     graphic.Width(), graphic.Height(),
                                                     QImage::Format_ARGB32)
                                                  .copy());
        }
        return shown;
    };
    FormUnderTest loaded;
    loaded.form->PreparePage(kScanningPage);
    ASSERT_FALSE(loaded.form->LaterPicturesDecodingAhead()) << "prepared before any frame";
    FormUnderTest ahead;
    ahead.Show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ahead.form->LaterPicturesDecodingAhead(); }, 5000));
    ahead.form->ShowPage(kScanningPage);
    const std::vector<QImage> expected = shownOnScanningPage(loaded);
    ASSERT_EQ(expected.size(), 4u + 2 * 12 + kRowIconCount) << "busy pictures of 12 frames";
    EXPECT_EQ(shownOnScanningPage(ahead), expected);
    EXPECT_TRUE(ahead.boxes.Calls().empty());
}

// A later page's picture is reported once, when the first of the later pages is prepared (the
// window shown or not yet, its decoding ahead begun or not), and only its control stays empty.
TEST(WindowLoading, DamagedLaterPagePictureIsReportedOnceWhenALaterPageIsFirstPrepared) {
    const struct {
        const char* resource;
        bool showFirst; // otherwise the scanning page is prepared before any frame
    } cases[] = {{"PNG_0201", true}, {"GIF_10", true}, {"PNG_0301", false}, {"ICO_21", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resource);
        ResourceSlot resources(platform::ModuleResourceSlot(),
                               ShippedResourcesExcept({}, {{c.resource, "GIF89a garbage"}}));
        FormUnderTest t;
        TOEM_FORM& f = *t.form;
        if (c.showFirst) {
            t.Show();
            ASSERT_TRUE(QTest::qWaitFor([&] { return f.LaterPicturesDecodingAhead(); }, 5000));
        }
        EXPECT_TRUE(t.boxes.Calls().empty()) << "nothing of the welcome page failed";
        f.PreparePage(kScanningPage);
        t.Show();
        const auto calls = t.boxes.Calls();
        ASSERT_EQ(calls.size(), 1u);
        ExpectErrorReports(calls);
        const std::string name = c.resource;
        EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_1_IMG_0->Empty(), name == "PNG_0201");
        EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_2_IMG_0->Empty(), name == "PNG_0301");
        EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0->Empty(), name == "GIF_10");
        EXPECT_EQ(f.OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0->Empty(), name == "GIF_10");
        EXPECT_EQ(f.Report->RowIcon(1) == nullptr, name == "ICO_21");
        EXPECT_FALSE(f.OEM_FORM_TAB_0_TTS_0_IMG_0->Empty());
        f.ShowPage(kScanningPage);
        f.ShowPage(kWelcomePage);
        QApplication::processEvents();
        // A picture is reported once only; an icon's slot stays empty and is tried again at the
        // next preparation of the scanning page.
        EXPECT_EQ(t.boxes.Calls().size(), name == "ICO_21" ? 2u : 1u);
    }
}

TEST(WindowLoading, DamagedButtonImageLeavesThatButtonWithoutAPicture) {
    ResourceSlot resources(platform::ModuleResourceSlot(),
                           ShippedResourcesExcept({}, {{"PNG_0111", "not a picture"}}));
    FormUnderTest t;
    EXPECT_EQ(t.boxes.Calls().size(), 1u);
    EXPECT_FALSE(t.form->OEM_FORM_TAB_0_TTS_0_BTN_0->ImageNorm().Empty());
    EXPECT_TRUE(t.form->OEM_FORM_TAB_0_TTS_0_BTN_1->ImageNorm().Empty());
}

TEST(WindowLoading, BadVersionTemplateIsReportedAndTheLabelStaysEmpty) {
    std::string document = ShippedResource("CFG_0001");
    const std::string good = "Tonemender is up to date (%s)";
    const std::size_t at = document.find(good);
    ASSERT_NE(at, std::string::npos);
    document.replace(at, good.size(), "Tonemender is up to date (%d)");
    ResourceSlot slot(platform::ModuleResourceSlot(),
                      ShippedResourcesExcept({}, {{"CFG_0001", document}}));
    FormUnderTest t;
    const auto calls = t.boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].text.find("invalid or incompatible"), std::string::npos) << calls[0].text;
    EXPECT_TRUE(t.form->OEM_FORM_TAB_0_TTS_0_LAB_1->text().isEmpty());
    EXPECT_TRUE(static_cast<bool>(t.form->Engine->OnStateChange));
}

TEST(WindowLoading, BusyPictureAnimatesWhileItsPageIsShown) {
    FormUnderTest t;
    t.Show();
    TImage* busy = t.form->OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0;
    EXPECT_FALSE(busy->Animating()) << "its page is not shown";
    t.form->ShowPage(kScanningPage);
    EXPECT_TRUE(busy->Animating());
    const std::size_t first = busy->CurrentFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return busy->CurrentFrame() != first; }, 2000));
    t.form->ShowPage(kWelcomePage);
    EXPECT_FALSE(busy->Animating());
}

} // namespace
