#pragma once
// The polite requests to end (SIGTERM from a session that logs out, SIGINT from a terminal,
// SIGHUP from a closed terminal) turned into a call on the thread that listens for them, from
// its Qt event loop. The program then closes its window the usual way and leaves the
// one-instance registry and its temporary files tidy, instead of dying where it stands.

#include <functional>
#include <memory>

namespace platform {

class TerminationRequests {
public:
    // Only one may exist at a time; a second one listens for nothing.
    explicit TerminationRequests(std::function<void()> onRequest);
    // The signals' default handling comes back.
    ~TerminationRequests();
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

    bool Listening() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
