// The audio service against a real PulseAudio daemon of the test's own, without a systemd user
// manager (as on build machines and in containers): the daemon is the service. And what the
// service reads of a private PipeWire session's parts, which must be this session's only.
#include "engine/OEUnitServicer.h"
#include "platform/PulseProbe.h"
#include "platform/SoundServerProbe.h"
#include "support/PrivatePipeWire.h"
#include "support/PrivatePulse.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace {

using testing_support::PrivatePipeWire;
using testing_support::PrivatePulse;
using testing_support::ScratchDir;

class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_, value->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

long DaemonPid(const PrivatePulse& pulse) {
    std::ifstream pidFile(pulse.RuntimeDir() + "/pid");
    long pid = 0;
    pidFile >> pid;
    return pid;
}

class ServiceEndToEnd : public testing::Test {
protected:
    ServiceEndToEnd() { pulse_.ApplyToProcess(); }

    PrivatePulse pulse_;
    // The session bus would be looked for in the private runtime folder, where there is none:
    // daemon mode, and the real user manager of whoever runs the tests is never touched.
    ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", std::nullopt};
};

TEST_F(ServiceEndToEnd, RunningStoppedAndStartedAgain) {
    std::string error;
    ASSERT_TRUE(pulse_.Start(&error)) << error;
    EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_RUNNING);
    EXPECT_EQ(IsServiceMissing("AudioSrv", ""), 0);

    pulse_.Kill();
    ASSERT_FALSE(pulse_.Answers());
    EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_STOPPED);
    EXPECT_EQ(IsServiceMissing("AudioSrv", ""), 0);

    EXPECT_EQ(StartServiceAndWait("AudioSrv", ""), -1);
    EXPECT_TRUE(pulse_.Answers()) << "pactl info does not reach the started daemon";
    EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_RUNNING);
    // A start of a service that already runs is refused, and not waited for.
    EXPECT_EQ(StartServiceAndWait("AudioSrv", ""), 0);

    // The daemon we started lives in the private runtime folder and goes with it.
    long started = DaemonPid(pulse_);
    ASSERT_GT(started, 0);
    pulse_.Kill();
    EXPECT_FALSE(kill(static_cast<pid_t>(started), 0) == 0 || errno == EPERM);
}

TEST_F(ServiceEndToEnd, WithoutAnyServerInstalledTheManagerCannotBeOpened) {
    ScratchDir emptyBin("tm-nobin");
    {
        ScopedEnv path("PATH", emptyBin.Path());
        // Nothing answers and nothing is installed: no way to look after a server at all,
        // which reads as an installed service that does not run, and a start that cannot be.
        EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_STOPPED);
        EXPECT_EQ(IsServiceMissing("AudioSrv", ""), 0);
        EXPECT_EQ(StartServiceAndWait("AudioSrv", ""), 0);
    }
    EXPECT_FALSE(pulse_.Answers());

    std::string error;
    ASSERT_TRUE(pulse_.Start(&error)) << error;
    ScopedEnv path("PATH", emptyBin.Path());
    // A server that answers is there, wherever its program lives.
    EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_RUNNING);
    EXPECT_EQ(QueryServiceState("Spooler", ""), 0u);
    EXPECT_EQ(IsServiceMissing("Spooler", ""), -1);
}

TEST(PipeWireParts, AreReadFromThisSessionOnly) {
    PrivatePipeWire session;
    // A stranger's session on the same machine, with every part running.
    PrivatePipeWire stranger;
    std::string error;
    ASSERT_TRUE(stranger.Start(&error)) << error;
    ASSERT_TRUE(session.Start(&error)) << error;
    session.ApplyToProcess();

    platform::PipeWireFacts facts = platform::ReadPipeWireFacts(true);
    EXPECT_TRUE(facts.coreAnswers);
    EXPECT_EQ(facts.sessionManagerRunning, "wireplumber");
    EXPECT_TRUE(facts.pulseProcess);
    EXPECT_EQ(platform::SessionProcesses("wireplumber").size(), 1u);
    EXPECT_TRUE(platform::ReadSessionTraces().pipewireRuntime);
    EXPECT_EQ(platform::ProbePulseServer(std::chrono::seconds(2), true).sinks, 1);

    // The core's socket file stays behind, but nobody takes connections on it.
    session.KillPart(PrivatePipeWire::kCore);
    session.KillPart(PrivatePipeWire::kSessionManager);
    facts = platform::ReadPipeWireFacts(false);
    EXPECT_FALSE(facts.coreAnswers);
    EXPECT_EQ(facts.sessionManagerRunning, "");
    EXPECT_TRUE(platform::ReadSessionTraces().pipewireRuntime);

    // Stopping this session's pulse server leaves the stranger's alone.
    platform::StopSessionProcesses("pipewire-pulse");
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kPulse), 0);
    EXPECT_EQ(stranger.CountPart(PrivatePipeWire::kPulse), 1);
    EXPECT_EQ(stranger.CountPart(PrivatePipeWire::kCore), 1);
    EXPECT_TRUE(stranger.Answers());
}

} // namespace
