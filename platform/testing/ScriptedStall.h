#pragma once
// A platform call that hangs on demand, as a sound server that stopped answering makes it hang:
// while armed, every call that passes through Pass() waits until the test releases it or the
// bound the real backend would give up after has passed.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform::testing {

class ScriptedStall {
public:
    void Arm(bool armed);
    bool Armed() const;

    // Returns at once (true) when not armed; otherwise waits and returns true when released,
    // false when the bound passed first.
    bool Pass(std::chrono::milliseconds bound);

    // Lets every call that is stalling now go on; calls arriving later stall again while armed.
    void Release();

    // Waits up to timeout until at least one call is stalling.
    bool WaitUntilStalled(std::chrono::milliseconds timeout) const;
    int Stalling() const;
    int TimesStalled() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool armed_ = false;
    unsigned long long releases_ = 0;
    int stalling_ = 0;
    int timesStalled_ = 0;
};

} // namespace platform::testing
