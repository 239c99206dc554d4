// Waiting while the window goes on: on time, without spinning, with the window's events
// handled meanwhile, and never past the application's quitting.

#include "app/PumpDelay.h"

#include "support/FlowTestSupport.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace flow_test;
using Clock = std::chrono::steady_clock;

TEST(PumpDelay, NothingToWaitReturnsAtOnce) {
    for (float ms : {0.0f, -1.0f, -1e9f, std::nanf("")}) {
        SCOPED_TRACE(ms);
        const auto started = Clock::now();
        EXPECT_TRUE(PumpDelay(ms));
        EXPECT_LT(Clock::now() - started, 20ms);
    }
}

TEST(PumpDelay, AnIdleWaitEndsOnTimeWithoutSpinning) {
    for (float ms : {1.0f, 40.5f, 300.0f}) {
        SCOPED_TRACE(ms);
        const auto cpuBefore = ThreadCpuTime();
        const auto started = Clock::now();
        EXPECT_TRUE(PumpDelay(ms));
        const auto waited = Clock::now() - started;
        const auto cpu = ThreadCpuTime() - cpuBefore;
        using Ms = std::chrono::duration<float, std::milli>;
        EXPECT_GE(Ms(waited).count(), ms);
        EXPECT_LT(Ms(waited).count(), ms + 80.0f);
        EXPECT_LT(cpu, 30ms) << "a wait that spins burns the whole span";
    }
}

TEST(PumpDelay, TheWindowsEventsAreHandledDuringTheWait) {
    QObject context;
    std::vector<std::pair<int, Clock::duration>> fired;
    const auto started = Clock::now();
    QTimer::singleShot(30, &context, [&] { fired.emplace_back(1, Clock::now() - started); });
    QTimer::singleShot(120, &context, [&] { fired.emplace_back(2, Clock::now() - started); });
    QMetaObject::invokeMethod(
        &context, [&] { fired.emplace_back(0, Clock::now() - started); }, Qt::QueuedConnection);
    EXPECT_TRUE(PumpDelay(200));
    EXPECT_GE(Clock::now() - started, 200ms) << "events do not end the wait";
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0].first, 0);
    EXPECT_EQ(fired[1].first, 1);
    EXPECT_EQ(fired[2].first, 2);
    EXPECT_LT(fired[2].second, 200ms);
}

TEST(PumpDelay, TheApplicationQuittingEndsTheWaitWithoutSpinning) {
    bool waitedWhole = true;
    Clock::duration waited{};
    std::chrono::nanoseconds cpu{};
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        QTimer::singleShot(100, &context, [] { QCoreApplication::exit(0); });
        const auto cpuBefore = ThreadCpuTime();
        const auto started = Clock::now();
        waitedWhole = PumpDelay(3000);
        waited = Clock::now() - started;
        cpu = ThreadCpuTime() - cpuBefore;
    });
    QCoreApplication::exec();
    EXPECT_FALSE(waitedWhole);
    EXPECT_LT(waited, 1s);
    EXPECT_LT(cpu, 50ms);
    // The next wait is a whole one again.
    EXPECT_TRUE(PumpDelay(20));
}

} // namespace
