#include "platform/InstanceActivation.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kHeader = "TONEMENDER-ACTIVATE 1";
constexpr std::string_view kAnswer = "OK\n";
constexpr int kMaxOpenConnections = 8;
constexpr int kConnectionTimeoutMs = 2000;

bool IsToken(std::string_view text) {
    if (text.empty() || text.size() > kMaxActivationTokenLength) {
        return false;
    }
    for (char c : text) {
        if (c < 0x21 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && IsToken(value) ? std::string(value) : std::string();
}

using Clock = std::chrono::steady_clock;

// One attempt: connect, send, read the answer, each bounded by what is left of the time.
enum class Attempt { Done, NotYetListening, Failed };

Attempt TryOnce(const sockaddr_un& address, const std::string& message,
                Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return Attempt::Failed;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Attempt::Failed;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const timeval bound{static_cast<time_t>(left.count() / 1000000),
                        static_cast<suseconds_t>(left.count() % 1000000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return errno == ENOENT || errno == ECONNREFUSED ? Attempt::NotYetListening
                                                        : Attempt::Failed;
    }
    // A stream socket sends whole small messages; a timeout or a closed peer is a failure.
    if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(message.size())) {
        return Attempt::Failed;
    }
    std::string answer;
    char buffer[16];
    ssize_t n = 0;
    while (answer.size() < kAnswer.size() && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer.compare(0, kAnswer.size(), kAnswer) == 0 ? Attempt::Done : Attempt::Failed;
}

} // namespace

std::string FormatActivationRequest(const ActivationRequest& request) {
    std::string text(kHeader);
    text += "\n";
    if (IsToken(request.activationToken)) {
        text += "TOKEN " + request.activationToken + "\n";
    }
    if (IsToken(request.startupId)) {
        text += "STARTUP " + request.startupId + "\n";
    }
    return text + "\n";
}

std::optional<ActivationRequest> ParseActivationRequest(std::string_view text) {
    if (text.size() > kMaxActivationRequestBytes) {
        return std::nullopt;
    }
    std::size_t end = text.find("\n\n");
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(0, end + 1);
    ActivationRequest request;
    bool header = false;
    while (!text.empty()) {
        std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd + 1);
        if (!header) {
            if (line != kHeader) {
                return std::nullopt;
            }
            header = true;
            continue;
        }
        std::size_t space = line.find(' ');
        std::string_view key = line.substr(0, space);
        std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
        if (key == "TOKEN" || key == "STARTUP") {
            if (!IsToken(value)) {
                return std::nullopt;
            }
            (key == "TOKEN" ? request.activationToken : request.startupId) = std::string(value);
        }
        // Other keys are for later versions; they do not spoil the request.
    }
    if (!header) {
        return std::nullopt;
    }
    return request;
}

ActivationRequest ActivationRequestFromEnvironment() {
    return {Environment("XDG_ACTIVATION_TOKEN"), Environment("DESKTOP_STARTUP_ID")};
}

bool RequestActivation(const std::string& socketPath, const ActivationRequest& request,
                       std::chrono::milliseconds bound) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const std::string message = FormatActivationRequest(request);
    const Clock::time_point deadline = Clock::now() + bound;
    while (true) {
        switch (TryOnce(address, message, deadline)) {
        case Attempt::Done:
            return true;
        case Attempt::Failed:
            return false;
        case Attempt::NotYetListening:
            break;
        }
        // The first instance takes the lock before it listens; give it a moment.
        if (deadline - Clock::now() < std::chrono::milliseconds(20)) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A plain socket watched by the event loop: Qt's local server would bring Qt Network and its
// Kerberos and proxy libraries into every start for a three-line exchange.
class ActivationListener::Impl {
public:
    explicit Impl(Handler handler) : handler_(std::move(handler)) {
        sweep_.setInterval(kConnectionTimeoutMs / 4);
        QObject::connect(&sweep_, &QTimer::timeout, [this] { DropOverdue(); });
    }

    ~Impl() {
        for (auto& [fd, connection] : connections_) {
            delete connection.readable;
            ::close(fd);
        }
        if (listening_) {
            delete listening_;
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    bool Listen(const std::string& path) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) {
            if (!S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid() ||
                ::unlink(path.c_str()) != 0) {
                return false;
            }
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (listening_ || path.empty() || path.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        // Only this user may connect.
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 ||
            ::listen(fd, kMaxOpenConnections) != 0) {
            ::close(fd);
            return false;
        }
        fd_ = fd;
        path_ = path;
        listening_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
        QObject::connect(listening_, &QSocketNotifier::activated, [this] { AcceptAll(); });
        return true;
    }

private:
    struct Connection {
        QSocketNotifier* readable = nullptr; // deleted later: it may be the one raising now
        std::string received;
        std::chrono::steady_clock::time_point deadline;
    };

    void AcceptAll() {
        int fd = -1;
        while ((fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
            if (connections_.size() >= static_cast<std::size_t>(kMaxOpenConnections)) {
                ::close(fd);
                continue;
            }
            Connection& connection = connections_[fd];
            // Nobody holds a connection open for long.
            connection.deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectionTimeoutMs);
            connection.readable = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(connection.readable, &QSocketNotifier::activated,
                             [this, fd] { Serve(fd); });
            sweep_.start();
        }
    }

    void Serve(int fd) {
        auto it = connections_.find(fd);
        if (it == connections_.end()) {
            return;
        }
        std::string& received = it->second.received;
        char buffer[1024];
        ssize_t n = 0;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            if (received.size() > kMaxActivationRequestBytes) {
                Drop(fd);
                return;
            }
        }
        const bool more = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        if (received.find("\n\n") == std::string::npos) {
            if (!more) {
                Drop(fd); // closed, or failed, before the request was whole
            }
            return;
        }
        std::optional<ActivationRequest> request = ParseActivationRequest(received);
        if (request) {
            try {
                if (handler_) {
                    handler_(*request);
                }
            } catch (const std::exception& error) {
                std::fprintf(stderr, "tonemender: activation failed: %s\n", error.what());
            } catch (...) {
                std::fprintf(stderr, "tonemender: activation failed\n");
            }
            // Three bytes fit in any socket buffer; a peer that left does not matter.
            ::send(fd, kAnswer.data(), kAnswer.size(), MSG_NOSIGNAL);
        }
        Drop(fd);
    }

    void Drop(int fd) {
        auto it = connections_.find(fd);
        if (it == connections_.end()) {
            return;
        }
        it->second.readable->setEnabled(false);
        it->second.readable->deleteLater();
        ::close(fd);
        connections_.erase(it);
        if (connections_.empty()) {
            sweep_.stop();
        }
    }

    void DropOverdue() {
        const auto now = std::chrono::steady_clock::now();
        std::vector<int> overdue;
        for (const auto& [fd, connection] : connections_) {
            if (connection.deadline <= now) {
                overdue.push_back(fd);
            }
        }
        for (int fd : overdue) {
            Drop(fd);
        }
    }

    Handler handler_;
    int fd_ = -1;
    QSocketNotifier* listening_ = nullptr;
    std::map<int, Connection> connections_;
    QTimer sweep_;
    std::string path_;
};

ActivationListener::ActivationListener(Handler handler)
    : impl_(std::make_unique<Impl>(std::move(handler))) {}

ActivationListener::~ActivationListener() = default;

bool ActivationListener::Listen(const std::string& socketPath) {
    return impl_->Listen(socketPath);
}

} // namespace platform
