#include "threading/BoundedWorker.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

struct BoundedWorker::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> job;
    bool hasJob = false;
    bool running = false;
    bool overrun = false;
    bool stop = false;
    bool givenUp = false;
    unsigned long long finished = 0;
    std::shared_ptr<std::atomic<int>> overruns;
    std::thread thread;
};

namespace {

void WorkerLoop(std::shared_ptr<BoundedWorker::State> state);

} // namespace

BoundedWorker::BoundedWorker(std::shared_ptr<std::atomic<int>> overruns)
    : state_(std::make_shared<State>()) {
    state_->overruns = std::move(overruns);
    state_->thread = std::thread(WorkerLoop, state_);
}

BoundedWorker::~BoundedWorker() {
    bool busy = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->stop = true;
        busy = state_->running;
    }
    state_->wake.notify_all();
    if (busy) {
        // The thread holds its own reference to the state and ends when the job returns.
        state_->thread.detach();
    } else {
        state_->thread.join();
    }
}

bool BoundedWorker::Run(std::function<void()> job, std::chrono::milliseconds bound) {
    std::unique_lock lock(state_->mutex);
    if (state_->running || state_->hasJob) {
        state_->givenUp = false;
        return false;
    }
    state_->job = std::move(job);
    state_->hasJob = true;
    unsigned long long target = state_->finished + 1;
    state_->wake.notify_all();
    bool done = state_->wake.wait_for(
        lock, bound, [&] { return state_->finished >= target || state_->givenUp; });
    done = state_->finished >= target;
    state_->givenUp = false;
    if (!done) {
        state_->overrun = true;
        if (state_->overruns) {
            state_->overruns->fetch_add(1);
        }
    }
    return done;
}

void BoundedWorker::GiveUp() {
    {
        std::lock_guard lock(state_->mutex);
        state_->givenUp = true;
    }
    state_->wake.notify_all();
}

bool BoundedWorker::Busy() const {
    std::lock_guard lock(state_->mutex);
    return state_->running || state_->hasJob;
}

namespace {

void WorkerLoop(std::shared_ptr<BoundedWorker::State> state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->hasJob || state->stop; });
        if (state->stop) {
            // A job still waiting here has already been given up by its caller.
            if (state->hasJob) {
                state->job = nullptr;
                state->hasJob = false;
                if (state->overrun && state->overruns) {
                    state->overruns->fetch_sub(1);
                }
                state->overrun = false;
            }
            return;
        }
        std::function<void()> job = std::move(state->job);
        state->job = nullptr;
        state->hasJob = false;
        state->running = true;
        lock.unlock();
        job();
        job = nullptr; // whatever the job owns goes on this thread, before it reports back
        lock.lock();
        state->running = false;
        ++state->finished;
        if (state->overrun) {
            state->overrun = false;
            if (state->overruns) {
                state->overruns->fetch_sub(1);
            }
        }
        state->wake.notify_all();
    }
}

} // namespace

} // namespace platform
