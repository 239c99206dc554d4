#pragma once
// Where the scan worker waits: the pause gate it passes before every step and notification,
// the holds the window asks for between checks, and the stop that ends both for good when the
// engine is destroyed. One lock and one condition variable, so a stop can never slip between a
// waiter's test and its wait.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class WorkerGate {
public:
    void SetPaused(bool paused);
    bool Paused() const;

    // Waits while paused. False when the gate has been stopped (at once, paused or not).
    bool Pass();

    // Waits the whole span, paused or not. False when a stop ended it early (or came before).
    bool Hold(std::chrono::milliseconds span);

    // Opens the gate and ends every hold, now and for good. Nothing resets it.
    void Stop();
    bool Stopping() const { return stopping_.load(); }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool paused_ = false;
    std::atomic<bool> stopping_{false};
};
