#include "engine/WorkerGate.h"

void WorkerGate::SetPaused(bool paused) {
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    changed_.notify_all();
}

bool WorkerGate::Paused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool WorkerGate::Pass() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !paused_ || stopping_.load(); });
    return !stopping_.load();
}

bool WorkerGate::Hold(std::chrono::milliseconds span) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, span, [&] { return stopping_.load(); });
}

void WorkerGate::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_.store(true);
    }
    changed_.notify_all();
}
