#pragma once
// What the window's end-to-end tests need around the private PulseAudio daemon besides the
// daemon and its busy sink (tests/support): a daemon that no client library starts behind the
// test's back, and no session bus.

#include "support/PrivatePulse.h"

#include <optional>
#include <string>

namespace e2e {

// An environment variable left out for an object's lifetime.
class ScopedUnset {
public:
    explicit ScopedUnset(const char* name);
    ~ScopedUnset();
    ScopedUnset(const ScopedUnset&) = delete;
    ScopedUnset& operator=(const ScopedUnset&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The daemon must never be started behind a test's back by a client library: autospawn off in
// the daemon's own HOME.
void TurnOffAutospawn(const testing_support::PrivatePulse& pulse);

} // namespace e2e
