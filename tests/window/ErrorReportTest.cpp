// The general error report: wherever an error comes from - a handler Qt called, a message the
// window handled, the scan worker - it is shown once in a box with the application title, and
// the program carries on.

#include "app/ErrorReport.h"

#include "config/Errors.h"
#include "config/ExceptionGuard.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/PNGExtra.h"
#include "support/WindowTestSupport.h"

#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace window_test;

namespace {

TEST(ErrorReport, ShowsTheMessageWithTheApplicationTitleAndCarriesOn) {
    struct Case {
        std::function<void()> raise;
        std::string shown;
    };
    const Case cases[] = {
        {[] { throw PictureError("Damaged picture"); }, "Damaged picture"},
        {[] { throw InvalidCastError(); }, "Invalid class typecast"},
        {[] { throw std::runtime_error("plain failure"); }, "plain failure"},
        {[] { throw 42; }, "Unknown error"},
    };
    for (const Case& c : cases) {
        MessageBoxRecorder boxes;
        bool after = false;
        Guarded(c.raise);
        after = true;
        const auto calls = boxes.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].text, c.shown);
        EXPECT_EQ(calls[0].caption, "Quorvel Tonemender");
        EXPECT_EQ(calls[0].flags, MB_OK | MB_ICONSTOP);
        EXPECT_TRUE(after);
    }
}

TEST(ErrorReport, AnErrorWhileAReportIsOnScreenDoesNotStackAnotherBox) {
    int shown = 0;
    MessageBoxAnswerer previous =
        SetMessageBoxAnswerer([&](const std::string&, const std::string&, UINT) {
            ++shown;
            // Painting under the box fails again.
            Guarded([] { throw std::runtime_error("again"); });
            return IDOK;
        });
    Guarded([] { throw std::runtime_error("first"); });
    SetMessageBoxAnswerer(std::move(previous));
    EXPECT_EQ(shown, 1);
}

TEST(ErrorReport, AnErrorInAMessageTheWindowHandlesIsReportedAndTheWindowGoesOn) {
    FormUnderTest t;
    t.Show();
    t.form->OnPreparePage = [](SmallInt index) {
        if (index == kReportPage) {
            throw ConvertError("'x' is not a valid integer value");
        }
    };
    EXPECT_EQ(SendMessageA(t.form->Handle(), WM_SHOWPAGE, kReportPage, 0), 0);
    const auto calls = t.boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "'x' is not a valid integer value");
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kReportPage);
    EXPECT_EQ(SendMessageA(t.form->Handle(), WM_SHOWPAGE, kWelcomePage, 0), 0);
    EXPECT_EQ(t.form->OEM_FORM_TAB_0->ActivePageIndex(), kWelcomePage);
}

TEST(ErrorReport, AnErrorInAClickHandlerDoesNotLeaveTheEventLoop) {
    FormUnderTest t;
    t.Show();
    TPNGButton* start = t.form->OEM_FORM_TAB_0_TTS_0_BTN_0;
    start->OnClick = [](QObject*) { throw FormatError("Format 'x' invalid or incompatible"); };
    const QPoint at = start->mapTo(t.form.get(), QPoint(150, 27));
    QTest::mouseClick(t.form->windowHandle(), Qt::LeftButton, {}, at);
    ASSERT_EQ(t.boxes.Calls().size(), 1u);
    EXPECT_EQ(t.boxes.Calls()[0].text, "Format 'x' invalid or incompatible");
    EXPECT_EQ(start->State(), TPNGButton::TButtonState::Up);
}

TEST(ErrorReport, TheScanWorkersErrorIsShownOnTheWindowThreadWhileTheWorkerWaits) {
    FormUnderTest t;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        t.form->Engine->OnWorkerError(std::make_exception_ptr(InflateError()));
        returned = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    worker.join();
    const auto calls = t.boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "Error");
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
}

TEST(ErrorReport, AWorkerErrorAfterTheWindowClosedGoesNowhereNearIt) {
    FormUnderTest t;
    t.Show();
    t.form->close();
    std::thread worker(
        [] { ReportException(std::make_exception_ptr(std::runtime_error("late"))); });
    worker.join(); // returns without the window thread handling anything
    QTest::qWait(20);
    EXPECT_TRUE(t.boxes.Calls().empty());
}

} // namespace
