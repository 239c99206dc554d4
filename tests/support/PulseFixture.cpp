#include "support/PulseFixture.h"

#include <fstream>
#include <string>

namespace testing_support {

void PulseFixture::SetUp() {
    pulse.TurnOffAutospawn();
    pulse.ApplyToProcess();
}

void PulseFixture::StartDaemon() {
    std::string error;
    ASSERT_TRUE(pulse.Start(&error)) << error;
}

pid_t PulseFixture::DaemonPid() const {
    std::ifstream in(pulse.RuntimeDir() + "/pid");
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
}

} // namespace testing_support
