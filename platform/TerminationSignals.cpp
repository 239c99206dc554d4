// The classic self-pipe: the signal handler only writes a byte, which is async-signal-safe;
// the event loop reads it and makes the call.

#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> wakeFd{-1};

void OnSignal(int) {
    const int saved = errno;
    int fd = wakeFd.load();
    if (fd >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

class TerminationRequests::Impl {
public:
    explicit Impl(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {
        int expected = -1;
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        if (!wakeFd.compare_exchange_strong(expected, fds_[1])) {
            Close();
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { Drain(); });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : kSignals) {
            ::sigaction(signal, &action, nullptr);
        }
        listening_ = true;
    }

    ~Impl() {
        if (listening_) {
            for (int signal : kSignals) {
                ::signal(signal, SIG_DFL);
            }
            wakeFd.store(-1);
        }
        notifier_.reset();
        Close();
    }

    bool Listening() const { return listening_; }

private:
    void Drain() {
        char buffer[16];
        while (::read(fds_[0], buffer, sizeof buffer) > 0) {
        }
        if (onRequest_) {
            onRequest_();
        }
    }

    void Close() {
        for (int& fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        }
    }

    std::function<void()> onRequest_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    bool listening_ = false;
};

TerminationRequests::TerminationRequests(std::function<void()> onRequest)
    : impl_(std::make_unique<Impl>(std::move(onRequest))) {}

TerminationRequests::~TerminationRequests() = default;

bool TerminationRequests::Listening() const {
    return impl_->Listening();
}

} // namespace platform
