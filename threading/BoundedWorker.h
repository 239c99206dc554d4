#pragma once
// A thread of its own for calls that may block without end - the ALSA pulse plugin waits
// forever for a sound server that has stopped answering - so the caller can give up after a
// bound instead of hanging with it.
//
// Run() hands a job to the worker and waits at most the bound. A job that overruns keeps the
// worker busy: Run() then refuses further jobs at once, and the worker carries on alone until
// the job returns. A job may outlive its caller, so it must own everything it touches (capture
// by value or by shared pointer, never a reference to the caller's stack).

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace platform {

class BoundedWorker {
public:
    // overruns, when given, counts the jobs of this worker (and of any other worker sharing the
    // counter) that have overrun their bound and not yet returned.
    explicit BoundedWorker(std::shared_ptr<std::atomic<int>> overruns = nullptr);
    ~BoundedWorker(); // joins the thread, or leaves it to finish an overrun job alone
    BoundedWorker(const BoundedWorker&) = delete;
    BoundedWorker& operator=(const BoundedWorker&) = delete;

    // True when the job ran to its end within bound; false when it overran (it goes on running)
    // or the worker was still busy with an earlier overrun job (it did not run at all).
    bool Run(std::function<void()> job, std::chrono::milliseconds bound);

    // The Run() waiting now (or the next one, if none waits) stops waiting at once and returns
    // false, as if its job had overrun; the job itself is not stopped, only no longer waited for.
    void GiveUp();

    // An overrun job is still running.
    bool Busy() const;

    struct State; // shared with the thread, which may outlive this object

private:
    std::shared_ptr<State> state_;
};

} // namespace platform
