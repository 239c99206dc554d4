// The worker that keeps a hanging platform call from hanging its caller.
#include "threading/BoundedWorker.h"

#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(BoundedWorker, RunsJobsToTheirEndInOrder) {
    platform::BoundedWorker worker;
    auto log = std::make_shared<std::vector<int>>();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(worker.Run([log, i] { log->push_back(i); }, 5s));
    }
    EXPECT_EQ(*log, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(worker.Busy());
}

TEST(BoundedWorker, GivesUpOnAJobThatOverrunsAndRefusesMoreUntilItReturns) {
    auto overruns = std::make_shared<std::atomic<int>>(0);
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        platform::BoundedWorker worker(overruns);
        EXPECT_FALSE(worker.Run(
            [released, finished] {
                released.wait();
                *finished = true;
            },
            50ms));
        EXPECT_TRUE(worker.Busy());
        EXPECT_EQ(overruns->load(), 1);

        auto ran = std::make_shared<std::atomic<bool>>(false);
        EXPECT_FALSE(worker.Run([ran] { *ran = true; }, 50ms));
        EXPECT_FALSE(*ran) << "a second job must not queue behind the stuck one";

        release->set_value();
        for (int i = 0; i < 200 && worker.Busy(); ++i) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_FALSE(worker.Busy());
        EXPECT_EQ(overruns->load(), 0);
        EXPECT_TRUE(worker.Run([ran] { *ran = true; }, 5s));
        EXPECT_TRUE(*ran);
    }
    EXPECT_TRUE(*finished);
}

TEST(BoundedWorker, DestroyingItWhileAJobIsStuckDoesNotWait) {
    auto overruns = std::make_shared<std::atomic<int>>(0);
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    {
        platform::BoundedWorker worker(overruns);
        EXPECT_FALSE(worker.Run([released] { released.wait(); }, 20ms));
    } // returns although the job still waits
    EXPECT_EQ(overruns->load(), 1);
    release->set_value();
    for (int i = 0; i < 400 && overruns->load() != 0; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(overruns->load(), 0) << "the abandoned thread finishes the job and reports it";
}

} // namespace
