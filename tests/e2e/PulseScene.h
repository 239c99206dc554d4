#pragma once
// What the window's end-to-end tests need around the private PulseAudio daemon besides the
// daemon and its busy sink (tests/support): a daemon that no client library starts behind the
// test's back, and no session bus.

#include "support/PrivatePulse.h"
#include "support/ScopedUnset.h"

#include <optional>
#include <string>

namespace e2e {

using testing_support::ScopedUnset;

// The daemon must never be started behind a test's back by a client library: autospawn off in
// the daemon's own HOME.
void TurnOffAutospawn(const testing_support::PrivatePulse& pulse);

} // namespace e2e
