#include "threading/SynchronousCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <cstdio>

namespace platform {

namespace {

// Qt hands a queued call to the window's thread behind a lock of its own, which a thread
// sanitiser cannot see inside the uninstrumented Qt library. This one is taken by the sender
// while the call is made and by whoever runs or discards the call before anything of it is
// read, so the hand-over is visible; it is held only for those moments. Recursive: the
// sender's own copies of the call are made and dropped while it holds the lock.
std::recursive_mutex& HandOverLock() {
    static std::recursive_mutex lock;
    return lock;
}

} // namespace

class SynchronousCaller::Channel {
public:
    Channel(QObject* context, ErrorHandler onError)
        : context_(context), onError_(std::move(onError)) {}

    bool Call(const std::shared_ptr<Channel>& self, Task task);
    void Close();
    bool Closed() const {
        std::lock_guard lock(mutex_);
        return closed_;
    }

private:
    struct Ticket {
        bool done = false;
    };

    // What a queued call carries across. Made under the hand-over lock; its destruction takes
    // the lock before its parts are touched, also when the call is discarded unrun.
    struct QueuedCall {
        std::shared_ptr<Channel> self;
        std::shared_ptr<Ticket> ticket;
        Task task;
        ~QueuedCall() { std::lock_guard handOver(HandOverLock()); }
    };

    void RunGuarded(Task& task) noexcept;

    // Set at construction, read only under the mutex while not closed: the window goes only
    // after closing the channel, so a queued call is never posted to a destroyed object.
    QObject* context_;
    ErrorHandler onError_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool closed_ = false;
};

void SynchronousCaller::Channel::RunGuarded(Task& task) noexcept {
    try {
        task();
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        try {
            if (onError_) {
                onError_(error);
                return;
            }
            std::rethrow_exception(error);
        } catch (const std::exception& unreported) {
            std::fprintf(stderr, "tonemender: %s\n", unreported.what());
        } catch (...) {
            std::fprintf(stderr, "tonemender: a window task failed\n");
        }
    }
}

bool SynchronousCaller::Channel::Call(const std::shared_ptr<Channel>& self, Task task) {
    std::unique_lock lock(mutex_);
    if (closed_ || context_ == nullptr) {
        return false;
    }
    if (QThread::currentThread() == context_->thread()) {
        lock.unlock();
        RunGuarded(task);
        return true;
    }
    auto ticket = std::make_shared<Ticket>();
    // Posted under our lock, so Close() (which takes it) cannot slip in between the check above
    // and the post.
    {
        std::lock_guard handOver(HandOverLock());
        QMetaObject::invokeMethod(
            context_,
            [call = QueuedCall{self, ticket, std::move(task)}]() mutable {
                { std::lock_guard handOver(HandOverLock()); }
                Channel& channel = *call.self;
                {
                    std::lock_guard inner(channel.mutex_);
                    if (channel.closed_) {
                        return;
                    }
                }
                channel.RunGuarded(call.task);
                {
                    std::lock_guard inner(channel.mutex_);
                    call.ticket->done = true;
                }
                channel.wake_.notify_all();
            },
            Qt::QueuedConnection);
    }
    wake_.wait(lock, [&] { return ticket->done || closed_; });
    return ticket->done;
}

void SynchronousCaller::Channel::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        context_ = nullptr;
    }
    wake_.notify_all();
}

SynchronousCaller::SynchronousCaller(QObject* context, ErrorHandler onError)
    : channel_(std::make_shared<Channel>(context, std::move(onError))) {}

SynchronousCaller::~SynchronousCaller() {
    channel_->Close();
}

bool SynchronousCaller::Call(Task task) {
    return channel_->Call(channel_, std::move(task));
}

bool SynchronousCaller::Call(const std::shared_ptr<Channel>& channel, Task task) {
    return channel != nullptr && channel->Call(channel, std::move(task));
}

void SynchronousCaller::Close() {
    channel_->Close();
}

bool SynchronousCaller::Closed() const {
    return channel_->Closed();
}

} // namespace platform
