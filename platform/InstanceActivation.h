#pragma once
// How a refused second start reaches the running instance: over a local socket beside the
// registry record it asks the first instance to bring its window forward, handing on the
// desktop's activation token (Wayland) or startup id (X11) when it was given one, and waits for
// the answer that it was done.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct ActivationRequest {
    std::string activationToken; // XDG_ACTIVATION_TOKEN of the second start, if any
    std::string startupId;       // DESKTOP_STARTUP_ID of the second start, if any
    friend bool operator==(const ActivationRequest&, const ActivationRequest&) = default;
};

// A request travels as text lines ending in an empty line. Whatever arrives is checked: a
// missing header, an oversized request or a token with anything but visible ASCII in it is no
// request at all.
std::string FormatActivationRequest(const ActivationRequest& request);
std::optional<ActivationRequest> ParseActivationRequest(std::string_view text);
inline constexpr std::size_t kMaxActivationRequestBytes = 4096;
inline constexpr std::size_t kMaxActivationTokenLength = 512;

// The tokens this process was started with.
ActivationRequest ActivationRequestFromEnvironment();

// Asks the instance listening at socketPath and waits for its answer, trying again while it
// is still starting up, all within bound. True when it answered that it was done.
bool RequestActivation(const std::string& socketPath, const ActivationRequest& request,
                       std::chrono::milliseconds bound);

// The first instance's side: listens at a socket path and hands every well-formed request to
// the handler on the thread that made the listener (its Qt event loop must run). Each request is
// answered after the handler returned.
class ActivationListener {
public:
    using Handler = std::function<void(const ActivationRequest& request)>;

    explicit ActivationListener(Handler handler);
    ~ActivationListener();
    ActivationListener(const ActivationListener&) = delete;
    ActivationListener& operator=(const ActivationListener&) = delete;

    // Replaces a socket of ours that a crashed instance left behind; anything else at the path
    // (another user's socket, a file, a link) is left alone and the listener does not listen.
    bool Listen(const std::string& socketPath);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
