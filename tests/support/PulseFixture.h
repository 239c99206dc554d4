#pragma once
// A test with a PulseAudio daemon of its own, as the engine's and the mixer's end-to-end tests
// use it: no client library may start a daemon behind the test's back, and the process talks to
// this daemon only. The daemon starts when the test asks.

#include "support/PrivatePulse.h"

#include <gtest/gtest.h>
#include <sys/types.h>

namespace testing_support {

class PulseFixture : public ::testing::Test {
protected:
    // Autospawn off in the daemon's HOME, and the daemon's environment applied to the process.
    void SetUp() override;

    // Starts the daemon; a failure fails the test and says why.
    void StartDaemon();

    // The pid in the daemon's pid file - also of a daemon the code under test started - or 0.
    pid_t DaemonPid() const;

    PrivatePulse pulse;
};

} // namespace testing_support
