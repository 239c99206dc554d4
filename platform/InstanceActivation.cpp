#include "platform/InstanceActivation.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

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

class ActivationListener::Impl {
public:
    explicit Impl(Handler handler) : handler_(std::move(handler)) {
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        server_.setMaxPendingConnections(kMaxOpenConnections);
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { AcceptAll(); });
    }

    ~Impl() {
        server_.close();
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
        if (!server_.listen(QString::fromStdString(path))) {
            return false;
        }
        path_ = path;
        return true;
    }

private:
    void AcceptAll() {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            if (open_ >= kMaxOpenConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++open_;
            Serve(socket);
        }
    }

    void Serve(QLocalSocket* socket) {
        auto buffer = std::make_shared<std::string>();
        auto answered = std::make_shared<bool>(false);
        QPointer<QLocalSocket> guard(socket);
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QObject::destroyed, &server_, [this] { --open_; });
        // Nobody holds a connection open for long.
        QTimer::singleShot(kConnectionTimeoutMs, socket, [guard] {
            if (guard) {
                guard->abort();
            }
        });
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, guard, buffer, answered] {
            if (!guard || *answered) {
                return;
            }
            QByteArray bytes = guard->readAll();
            buffer->append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            if (buffer->size() > kMaxActivationRequestBytes) {
                guard->abort();
                return;
            }
            if (buffer->find("\n\n") == std::string::npos) {
                return;
            }
            *answered = true;
            std::optional<ActivationRequest> request = ParseActivationRequest(*buffer);
            if (!request) {
                guard->abort();
                return;
            }
            try {
                if (handler_) {
                    handler_(*request);
                }
            } catch (const std::exception& error) {
                std::fprintf(stderr, "tonemender: activation failed: %s\n", error.what());
            } catch (...) {
                std::fprintf(stderr, "tonemender: activation failed\n");
            }
            if (guard) {
                guard->write(kAnswer.data(), static_cast<qint64>(kAnswer.size()));
                guard->flush();
                guard->disconnectFromServer();
            }
        });
    }

    Handler handler_;
    QLocalServer server_;
    std::string path_;
    int open_ = 0;
};

ActivationListener::ActivationListener(Handler handler)
    : impl_(std::make_unique<Impl>(std::move(handler))) {}

ActivationListener::~ActivationListener() = default;

bool ActivationListener::Listen(const std::string& socketPath) {
    return impl_->Listen(socketPath);
}

} // namespace platform
