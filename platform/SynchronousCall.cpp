#include "platform/SynchronousCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <cstdio>

namespace platform {

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
    QMetaObject::invokeMethod(
        context_,
        [self, ticket, task = std::move(task)]() mutable {
            {
                std::lock_guard inner(self->mutex_);
                if (self->closed_) {
                    return;
                }
            }
            self->RunGuarded(task);
            {
                std::lock_guard inner(self->mutex_);
                ticket->done = true;
            }
            self->wake_.notify_all();
        },
        Qt::QueuedConnection);
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
