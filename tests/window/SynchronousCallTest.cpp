// Work carried to the window's thread while the sender waits, and what closing does to it.

#include "threading/SynchronousCall.h"

#include "threading/SendMessage.h"

#include <QObject>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

using platform::SynchronousCaller;
using namespace std::chrono_literals;

// Runs body on a thread of its own while this thread keeps handling events; true when it ended
// within the time.
bool RunWhilePumping(const std::function<void()>& body, int timeoutMs = 5000) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, timeoutMs);
    worker.join();
    return ended;
}

TEST(SynchronousCall, OnTheWindowThreadTheTaskRunsInline) {
    QObject window;
    SynchronousCaller caller(&window);
    bool ran = false;
    EXPECT_TRUE(caller.Call([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(SynchronousCall, FromAnotherThreadTheTaskRunsOnTheWindowThreadWhileTheSenderWaits) {
    QObject window;
    SynchronousCaller caller(&window);
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread sender([&] {
        result = caller.Call([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned.load()) << "nothing runs until the window thread handles events";
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    sender.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(SynchronousCall, ManySendersAreServedOneAtATime) {
    QObject window;
    SynchronousCaller caller(&window);
    int counter = 0; // only ever touched on the window thread
    EXPECT_TRUE(RunWhilePumping([&] {
        std::vector<std::thread> senders;
        for (int s = 0; s < 4; ++s) {
            senders.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    EXPECT_TRUE(caller.Call([&] { ++counter; }));
                }
            });
        }
        for (std::thread& sender : senders) {
            sender.join();
        }
    }));
    EXPECT_EQ(counter, 200);
}

TEST(SynchronousCall, ClosingLetsAWaitingSenderGoAndDropsItsTask) {
    QObject window;
    SynchronousCaller caller(&window);
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};
    bool result = true;
    std::thread sender([&] {
        result = caller.Call([&] { ran = true; });
        returned = true;
    });
    std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(returned.load());
    caller.Close();
    sender.join();
    EXPECT_FALSE(result);
    QTest::qWait(20);
    EXPECT_FALSE(ran.load()) << "the queued task never runs";
    EXPECT_FALSE(caller.Call([&] { ran = true; }));
    EXPECT_FALSE(ran.load());
    EXPECT_TRUE(caller.Closed());
}

TEST(SynchronousCall, ClosingWhileTheTaskRunsLetsTheSenderGoAtOnce) {
    QObject window;
    SynchronousCaller caller(&window);
    bool result = true;
    std::atomic<bool> taskEnded{false};
    EXPECT_TRUE(RunWhilePumping([&] {
        result = caller.Call([&] {
            // The window closes while the task is still busy (a box it opened, say).
            caller.Close();
            QTest::qWait(100);
            taskEnded = true;
        });
    }));
    EXPECT_FALSE(result);
    EXPECT_TRUE(taskEnded.load());
}

TEST(SynchronousCall, ATaskErrorGoesToTheHandlerOnTheWindowThread) {
    QObject window;
    std::string reported;
    std::thread::id reportedOn;
    SynchronousCaller caller(&window, [&](std::exception_ptr error) {
        reportedOn = std::this_thread::get_id();
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            reported = e.what();
        }
    });
    bool result = false;
    EXPECT_TRUE(RunWhilePumping(
        [&] { result = caller.Call([] { throw std::runtime_error("window task failed"); }); }));
    EXPECT_TRUE(result) << "the task ran; its error was the window's to report";
    EXPECT_EQ(reported, "window task failed");
    EXPECT_EQ(reportedOn, std::this_thread::get_id());
    EXPECT_TRUE(caller.Call([] { throw std::logic_error("inline too"); }));
    EXPECT_EQ(reported, "inline too");
}

TEST(SendMessage, UnknownAndGoneHandlesAnswerZeroWithoutAnything) {
    EXPECT_EQ(SendMessageA(nullptr, WM_USER, 1, 2), 0);
    int dummy = 0;
    EXPECT_EQ(SendMessageA(&dummy, WM_USER, 1, 2), 0);
    QObject window;
    int calls = 0;
    auto target =
        std::make_unique<platform::MessageTarget>(&window, [&](UINT, WPARAM, LPARAM) -> LRESULT {
            ++calls;
            return 42;
        });
    // Kept as a number, as a window handle is: only compared, never followed.
    volatile std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(target->Handle());
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(handle), WM_USER, 0, 0), 42);
    target.reset();
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(handle), WM_USER, 0, 0), 0);
    EXPECT_EQ(calls, 1);
}

TEST(SendMessage, TheResultComesBackToTheSendingThread) {
    QObject window;
    platform::MessageTarget target(&window, [](UINT message, WPARAM wParam, LPARAM lParam) {
        return static_cast<LRESULT>(message + wParam * 10 + static_cast<WPARAM>(lParam) * 100);
    });
    LRESULT result = 0;
    EXPECT_TRUE(RunWhilePumping([&] { result = SendMessageA(target.Handle(), 1, 2, 3); }));
    EXPECT_EQ(result, 321);
}

} // namespace
