#pragma once
// The one-instance rule for the running program: one instance per executable path on the whole
// machine. A refused start asks the running instance to bring its window forward; the admitted
// instance listens for those requests once its window exists and lets its lock go as soon as
// it begins to close (at the latest when this object goes).

#include "platform/InstanceActivation.h"
#include "platform/InstanceLock.h"

#include <functional>
#include <memory>

class OneInstanceRule {
public:
    OneInstanceRule();
    ~OneInstanceRule();
    OneInstanceRule(const OneInstanceRule&) = delete;
    OneInstanceRule& operator=(const OneInstanceRule&) = delete;

    // False when another instance of this executable runs: it has been asked (within about a
    // second) to come forward, and this start must end. A lock that cannot be used does not
    // stop the program.
    bool Admit();

    // Needs the application object. Later starts' requests go to onRequest on this thread.
    void ListenForLaterStarts(std::function<void(const platform::ActivationRequest&)> onRequest);
    // Before the application object goes.
    void StopListening();
    // The first step of shutting down: stops listening and lets the lock go, so a start made
    // while this process is still ending is the new instance. Idempotent.
    void Leave();

private:
    std::unique_ptr<platform::InstanceLock> lock_;
    std::unique_ptr<platform::ActivationListener> listener_;
    bool admitted_ = false;
};
