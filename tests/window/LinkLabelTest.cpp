// TOEXLabel: a click raises OnClick first and then, with an address, hands it to the browser.

#include "controls/OEUnitXLabel.h"
#include "support/WindowTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

struct LinkPage {
    platform::ScopedBackend<platform::ShellBackend> shell{
        platform::ShellSlot(), std::make_unique<platform::ScriptedShell>()};
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TOEXLabel* label = new TOEXLabel(window.get()); // owned by the window
    std::vector<std::string> events;

    LinkPage() {
        window->resize(300, 100);
        label->setGeometry(20, 20, 155, 13);
        label->setText("Click here");
        label->OnClick = [this](QObject* sender) {
            events.push_back(sender == label ? "click" : "click from elsewhere");
            events.push_back("opened so far: " + std::to_string(Shell().Calls().size()));
        };
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    platform::ScriptedShell& Shell() { return static_cast<platform::ScriptedShell&>(*shell); }
    void ClickAt(QPoint at) { QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at); }
};

TEST(LinkLabel, ClickWithAnAddressRaisesOnClickThenOpensIt) {
    LinkPage page;
    page.label->SetURL("https://support.example/help");
    page.ClickAt({30, 25});
    EXPECT_EQ(page.events, (std::vector<std::string>{"click", "opened so far: 0"}));
    const auto calls = page.Shell().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, nullptr);
    EXPECT_EQ(calls[0].operation, std::optional<std::string>("OPEN"));
    EXPECT_EQ(calls[0].file, std::optional<std::string>("https://support.example/help"));
    EXPECT_EQ(calls[0].parameters, std::nullopt);
    EXPECT_EQ(calls[0].directory, std::nullopt);
    EXPECT_EQ(calls[0].showCommand, SW_SHOW);
}

TEST(LinkLabel, ClickWithoutAnAddressOnlyRaisesOnClick) {
    LinkPage page;
    page.ClickAt({30, 25});
    EXPECT_EQ(page.events, (std::vector<std::string>{"click", "opened so far: 0"}));
    EXPECT_TRUE(page.Shell().Calls().empty());
}

TEST(LinkLabel, ReleaseElsewhereIsNoClick) {
    LinkPage page;
    page.label->SetURL("https://support.example/help");
    QTest::mousePress(page.window->windowHandle(), Qt::LeftButton, {}, {30, 25});
    QTest::mouseMove(page.window->windowHandle(), {250, 80});
    QTest::mouseRelease(page.window->windowHandle(), Qt::LeftButton, {}, {250, 80});
    EXPECT_TRUE(page.events.empty());
    EXPECT_TRUE(page.Shell().Calls().empty());
}

TEST(LinkLabel, OpeningFailureIsNotReported) {
    LinkPage page;
    MessageBoxRecorder boxes;
    page.Shell().SetResult(SE_ERR_NOASSOC);
    page.label->SetURL("https://support.example/help");
    page.ClickAt({30, 25});
    EXPECT_EQ(page.Shell().Calls().size(), 1u);
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST(LinkLabel, TheWindowsSupportLinkOpensItsConfiguredAddress) {
    FormUnderTest t;
    t.Show();
    TOEXLabel* link = t.form->OEM_FORM_TAB_0_TTS_0_LAB_0;
    const QPoint at = link->mapTo(t.form.get(), QPoint(10, 6));
    QTest::mouseClick(t.form->windowHandle(), Qt::LeftButton, {}, at);
    const auto calls = t.Shell().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file,
              std::optional<std::string>("https://support.quorvel.example/tonemender"));
}

} // namespace
