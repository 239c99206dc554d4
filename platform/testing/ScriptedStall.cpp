#include "platform/testing/ScriptedStall.h"

namespace platform::testing {

void ScriptedStall::Arm(bool armed) {
    std::lock_guard lock(mutex_);
    armed_ = armed;
}

bool ScriptedStall::Armed() const {
    std::lock_guard lock(mutex_);
    return armed_;
}

bool ScriptedStall::Pass(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    if (!armed_) {
        return true;
    }
    const unsigned long long release = releases_ + 1;
    ++stalling_;
    ++timesStalled_;
    changed_.notify_all();
    bool released = changed_.wait_for(lock, bound, [&] { return releases_ >= release; });
    --stalling_;
    changed_.notify_all();
    return released;
}

void ScriptedStall::Release() {
    std::lock_guard lock(mutex_);
    ++releases_;
    changed_.notify_all();
}

bool ScriptedStall::WaitUntilStalled(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return stalling_ > 0; });
}

int ScriptedStall::Stalling() const {
    std::lock_guard lock(mutex_);
    return stalling_;
}

int ScriptedStall::TimesStalled() const {
    std::lock_guard lock(mutex_);
    return timesStalled_;
}

} // namespace platform::testing
