#pragma once
// A sound server of the benchmark's own for the programs that open the mixer or play the test
// sound: the tests' private PulseAudio daemon, started and put into this process's environment,
// so whatever the benchmark starts reaches it and no session's own server or user manager is
// touched. The daemon goes when the object goes.

#include "support/PrivatePulse.h"

#include <optional>
#include <string>

class BenchPulse {
public:
    // Starts the daemon; Started() says whether that worked, Error() why not.
    BenchPulse();
    ~BenchPulse();
    BenchPulse(const BenchPulse&) = delete;
    BenchPulse& operator=(const BenchPulse&) = delete;

    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }
    testing_support::PrivatePulse& Daemon() { return pulse_; }

private:
    testing_support::PrivatePulse pulse_;
    std::optional<std::string> sessionBus_;
    bool started_ = false;
    std::string error_;
};
