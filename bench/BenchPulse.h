#pragma once
// The surroundings every window benchmark runs in: a folder of its own made the process's TMPDIR
// (the program unpacks its pictures into temporary files that it never deletes; they
// go with the folder), and a sound server of its own for the programs that open the mixer or play
// the test sound: the tests' private PulseAudio daemon, put into this process's environment, so
// whatever the benchmark starts reaches it and no session's own server or user manager is
// touched. Both go when the object goes.

#include "support/Command.h"
#include "support/PrivatePulse.h"

#include <optional>
#include <string>

class BenchPulse {
public:
    // `program` names the benchmark in messages and its folder.
    explicit BenchPulse(const std::string& program);
    ~BenchPulse();
    BenchPulse(const BenchPulse&) = delete;
    BenchPulse& operator=(const BenchPulse&) = delete;

    // Whether the daemon started; when not, says why on standard error.
    bool Ready() const;
    testing_support::PrivatePulse& Daemon() { return *pulse_; }

private:
    std::string program_;
    testing_support::ScratchDir temp_;
    // Made once TMPDIR names temp_, so the daemon's own folder lies inside it too.
    std::optional<testing_support::PrivatePulse> pulse_;
    std::optional<std::string> sessionBus_;
    bool started_ = false;
    std::string error_;
};
