// The worker's gate: a pause holds it, a hold runs its span, and a stop ends both for good.
#include "engine/WorkerGate.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(WorkerGate, APausedGateHoldsUntilResumed) {
    WorkerGate gate;
    EXPECT_TRUE(gate.Pass());

    gate.SetPaused(true);
    auto passed = std::async(std::launch::async, [&] { return gate.Pass(); });
    EXPECT_EQ(passed.wait_for(100ms), std::future_status::timeout);

    gate.SetPaused(false);
    EXPECT_TRUE(passed.get());
}

TEST(WorkerGate, AStopOpensAPausedGateAndEndsAHold) {
    WorkerGate gate;
    gate.SetPaused(true);
    auto passed = std::async(std::launch::async, [&] { return gate.Pass(); });
    auto held = std::async(std::launch::async, [&] { return gate.Hold(60s); });
    std::this_thread::sleep_for(50ms);

    gate.Stop();

    ASSERT_EQ(passed.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(held.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(passed.get());
    EXPECT_FALSE(held.get());
}

TEST(WorkerGate, AStopIsForGood) {
    WorkerGate gate;
    gate.Stop();
    gate.SetPaused(true);
    gate.SetPaused(false);
    EXPECT_TRUE(gate.Stopping());
    EXPECT_FALSE(gate.Pass());
    EXPECT_FALSE(gate.Hold(10s));
}

TEST(WorkerGate, AHoldRunsItsSpanPausedOrNot) {
    WorkerGate gate;
    EXPECT_TRUE(gate.Hold(20ms));
    gate.SetPaused(true);
    EXPECT_TRUE(gate.Hold(20ms));
    EXPECT_TRUE(gate.Hold(0ms));
}

} // namespace
