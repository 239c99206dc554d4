#pragma once
// Runs work on the thread that owns a window and waits for it, the way a message sent to a
// window is handled on the window's thread while the sender waits. Qt only wakes the window's
// thread (a queued call); the waiting is ours (a mutex and a condition variable), so a thread
// sanitiser sees every hand-over.
//
// A window that is closing closes its caller first. From then on nothing more is run: calls
// that were still queued are dropped, waiting senders return at once, later calls return at
// once. A scan worker blocked in a call therefore never deadlocks against a window that is
// being destroyed and waits for that worker.
//
// Because a sender may return while its task still runs (the window closed in the middle of
// it, say under a message box the task opened), a task must own everything it uses: capture
// by value, never refer to the sender's stack.

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace platform {

class SynchronousCaller {
public:
    using Task = std::function<void()>;
    // Where an exception thrown by a task goes, on the window's thread. Unset: standard error.
    using ErrorHandler = std::function<void(std::exception_ptr error)>;

    // context: an object living on the window's thread, alive until Close() (or the caller's
    // destruction, which closes). Made on that thread.
    explicit SynchronousCaller(QObject* context, ErrorHandler onError = {});
    ~SynchronousCaller();
    SynchronousCaller(const SynchronousCaller&) = delete;
    SynchronousCaller& operator=(const SynchronousCaller&) = delete;

    // Runs task on the window's thread: inline when called there, otherwise queued to it while
    // this thread waits. True when the task ran to its end; false when the caller was closed
    // before that (the task then never started, or is left to finish on its own). An exception
    // from the task goes to the error handler, never to the sender.
    bool Call(Task task);

    // Refuses every later call and lets every waiting sender go. Called on the window's thread.
    void Close();
    bool Closed() const;

    // The shared part, so something that outlives a look-up (a window handle) can still call in
    // safely after the owner closed it.
    class Channel;
    std::shared_ptr<Channel> SharedChannel() const { return channel_; }
    static bool Call(const std::shared_ptr<Channel>& channel, Task task);

private:
    std::shared_ptr<Channel> channel_;
};

} // namespace platform
