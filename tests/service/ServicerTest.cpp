// The audio service check and start, run against a scripted service manager: what state is
// reported, what the start asks the manager for, and when the wait for the start ends.
#include "engine/OEUnitServicer.h"
#include "platform/testing/ScriptedServices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using platform::ScriptedService;
using platform::ScriptedServices;
using platform::StatusOf;
using testing::ElementsAre;

// A clock that only the wait's own sleeps move, so waits of seconds take no time.
struct FakeTime {
    std::chrono::steady_clock::time_point now{};
    std::vector<std::chrono::milliseconds> sleeps;

    ServiceWaitLimits Limits(std::chrono::milliseconds bound = 30s) {
        ServiceWaitLimits limits;
        limits.totalBound = bound;
        limits.sleep = [this](std::chrono::milliseconds span) {
            sleeps.push_back(span);
            now += span;
        };
        limits.now = [this] { return now; };
        return limits;
    }
    std::chrono::milliseconds Slept() const {
        std::chrono::milliseconds total{0};
        for (auto span : sleeps) {
            total += span;
        }
        return total;
    }
};

class ServicerTest : public testing::Test {
protected:
    ServicerTest()
        : owned_(std::make_unique<ScriptedServices>()), manager_(*owned_),
          scope_(platform::ServiceSlot(), std::move(owned_)) {}

    ScriptedService& AudioSrv(ScriptedService service = {}) {
        return manager_.Add("AudioSrv", std::move(service));
    }

    std::unique_ptr<ScriptedServices> owned_;
    ScriptedServices& manager_;
    platform::ScopedBackend<platform::ServiceBackend> scope_;
    FakeTime time_;
};

TEST_F(ServicerTest, RunningServiceIsRunningAndNotMissing) {
    AudioSrv().beforeStart = {StatusOf(SERVICE_RUNNING)};

    EXPECT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_RUNNING);
    EXPECT_EQ(IsServiceMissing("AudioSrv", ""), 0);
    EXPECT_THAT(manager_.Log(),
                ElementsAre("OpenSCManagerA  (null) 0x1", "OpenServiceA AudioSrv 0x4",
                            "QueryServiceStatus AudioSrv", "CloseServiceHandle AudioSrv",
                            "CloseServiceHandle manager", "OpenSCManagerA  (null) 0x1",
                            "OpenServiceA AudioSrv 0x4", "QueryServiceStatus AudioSrv",
                            "CloseServiceHandle AudioSrv", "CloseServiceHandle manager"));
    EXPECT_EQ(manager_.OpenHandles(), 0);
}

TEST_F(ServicerTest, StateAndMissingFollowWhatTheManagerCanTell) {
    struct Case {
        const char* name;
        bool managerOpens;
        bool installed;
        platform::ScriptedStatus status;
        DWORD state;
        BOOL missing;
    };
    const Case cases[] = {
        // A manager that cannot be opened looks like an installed, stopped service.
        {"no manager", false, true, StatusOf(SERVICE_RUNNING), SERVICE_STOPPED, 0},
        {"not installed", true, false, StatusOf(SERVICE_RUNNING), 0, -1},
        {"status unreadable", true, true, platform::kQueryFails, 0, -1},
        {"stopped", true, true, StatusOf(SERVICE_STOPPED), SERVICE_STOPPED, 0},
        {"starting", true, true, StatusOf(SERVICE_START_PENDING, 1, 500), SERVICE_START_PENDING, 0},
        {"paused", true, true, StatusOf(SERVICE_PAUSED), SERVICE_PAUSED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto owned = std::make_unique<ScriptedServices>();
        ScriptedServices& installed = *owned;
        installed.SetManagerOpens(c.managerOpens);
        if (c.installed) {
            ScriptedService service;
            service.beforeStart = {c.status};
            installed.Add("AudioSrv", service);
        }
        platform::ScopedBackend<platform::ServiceBackend> scope(platform::ServiceSlot(),
                                                                std::move(owned));

        EXPECT_EQ(QueryServiceState("AudioSrv", ""), c.state);
        EXPECT_EQ(IsServiceMissing("AudioSrv", ""), c.missing);
        EXPECT_EQ(installed.OpenHandles(), 0);
    }
}

TEST_F(ServicerTest, DisabledStoppedServiceIsMadeAutomaticStartedAndWaitedFor) {
    ScriptedService& service = AudioSrv();
    service.startType = SERVICE_DISABLED;
    service.beforeStart = {StatusOf(SERVICE_STOPPED)};
    service.afterStart = {StatusOf(SERVICE_START_PENDING, 1, 300),
                          StatusOf(SERVICE_START_PENDING, 2, 700), StatusOf(SERVICE_RUNNING)};

    ASSERT_EQ(QueryServiceState("AudioSrv", ""), SERVICE_STOPPED);
    EXPECT_EQ(StartServiceAndWait("AudioSrv", "", time_.Limits()), -1);

    EXPECT_EQ(manager_.Service("AudioSrv").startType, SERVICE_AUTO_START);
    EXPECT_EQ(manager_.Service("AudioSrv").startRequests, 1);
    EXPECT_THAT(time_.sleeps, ElementsAre(300ms, 700ms));
    std::vector<std::string> log = manager_.Log();
    std::vector<std::string> repair(log.begin() + 5, log.end());
    EXPECT_THAT(repair, ElementsAre("OpenSCManagerA  (null) 0x1", "OpenServiceA AudioSrv 0xf01ff",
                                    "ChangeServiceConfigA AudioSrv start=2",
                                    "StartServiceA AudioSrv", "QueryServiceStatus AudioSrv",
                                    "QueryServiceStatus AudioSrv", "QueryServiceStatus AudioSrv",
                                    "CloseServiceHandle AudioSrv", "CloseServiceHandle manager"));
    EXPECT_EQ(manager_.OpenHandles(), 0);
}

TEST_F(ServicerTest, StartThatRunsAtOnceIsNotWaitedFor) {
    AudioSrv().afterStart = {StatusOf(SERVICE_RUNNING)};

    EXPECT_EQ(StartServiceAndWait("AudioSrv", "", time_.Limits()), -1);
    EXPECT_TRUE(time_.sleeps.empty());
    EXPECT_EQ(manager_.Service("AudioSrv").queriesAfterStart, 1);
}

TEST_F(ServicerTest, WaitEndsWhenTheStartStopsMakingProgress) {
    struct Case {
        const char* name;
        std::vector<platform::ScriptedStatus> afterStart;
        std::vector<std::chrono::milliseconds> sleeps;
    };
    const Case cases[] = {
        // The start job ended without the server running: the check point drops to 0.
        {"failed start job",
         {StatusOf(SERVICE_START_PENDING, 1, 250), StatusOf(SERVICE_STOPPED, 0, 0)},
         {250ms}},
        {"check point goes backwards",
         {StatusOf(SERVICE_START_PENDING, 5, 400), StatusOf(SERVICE_START_PENDING, 2, 400),
          StatusOf(SERVICE_RUNNING)},
         {400ms}},
        {"status query fails while waiting",
         {StatusOf(SERVICE_START_PENDING, 1, 200), platform::kQueryFails,
          StatusOf(SERVICE_RUNNING)},
         {200ms}},
        {"status query fails at once", {platform::kQueryFails, StatusOf(SERVICE_RUNNING)}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTime time;
        AudioSrv().afterStart = c.afterStart;
        EXPECT_EQ(StartServiceAndWait("AudioSrv", "", time.Limits()), 0);
        EXPECT_EQ(time.sleeps, c.sleeps);
        EXPECT_EQ(manager_.OpenHandles(), 0);
    }
}

TEST_F(ServicerTest, StalledStartEndsAtTheBoundWithoutSpinning) {
    struct Case {
        const char* name;
        DWORD waitHint;
        std::size_t sleeps;
    };
    const Case cases[] = {
        {"no wait hint sleeps the shortest wait", 0, 20},
        {"a usual hint", 500, 4},
        {"a hint beyond the bound is cut to it", 0xFFFFFFFF, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTime time;
        AudioSrv().afterStart = {StatusOf(SERVICE_START_PENDING, 3, c.waitHint)};
        EXPECT_EQ(StartServiceAndWait("AudioSrv", "", time.Limits(2s)), 0);
        EXPECT_EQ(time.sleeps.size(), c.sleeps);
        EXPECT_EQ(time.Slept(), 2s);
        for (auto span : time.sleeps) {
            EXPECT_GE(span, 100ms);
        }
    }
}

TEST_F(ServicerTest, AWaitGivenUpEndsAfterTheSleepInProgress) {
    AudioSrv().afterStart = {StatusOf(SERVICE_START_PENDING, 3, 250)};
    ServiceWaitLimits limits = time_.Limits(30s);
    limits.abandon = [this] { return time_.sleeps.size() >= 2; };
    EXPECT_EQ(StartServiceAndWait("AudioSrv", "", limits), 0);
    EXPECT_EQ(time_.sleeps.size(), 2u);
}

TEST_F(ServicerTest, StartThatCannotHappenReturnsAtOnce) {
    struct Case {
        const char* name;
        bool managerOpens;
        bool installed;
        bool refuseFullAccess;
        bool startAccepted;
        std::vector<platform::ScriptedStatus> afterStart;
        DWORD startTypeAfter;
        int startRequests;
    };
    const Case cases[] = {
        {"no manager", false, true, false, true, {StatusOf(SERVICE_RUNNING)}, SERVICE_DISABLED, 0},
        {"not installed",
         true,
         false,
         false,
         true,
         {StatusOf(SERVICE_RUNNING)},
         SERVICE_DISABLED,
         0},
        // Without the rights to change it, the service is neither changed nor started.
        {"full access refused",
         true,
         true,
         true,
         true,
         {StatusOf(SERVICE_RUNNING)},
         SERVICE_DISABLED,
         0},
        // A refused start (or one of a service that already runs) is not waited for.
        {"start refused",
         true,
         true,
         false,
         false,
         {StatusOf(SERVICE_RUNNING)},
         SERVICE_AUTO_START,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto owned = std::make_unique<ScriptedServices>();
        ScriptedServices& installed = *owned;
        installed.SetManagerOpens(c.managerOpens);
        if (c.installed) {
            ScriptedService service;
            service.startType = SERVICE_DISABLED;
            service.refuseFullAccess = c.refuseFullAccess;
            service.startAccepted = c.startAccepted;
            service.afterStart = c.afterStart;
            installed.Add("AudioSrv", service);
        }
        platform::ScopedBackend<platform::ServiceBackend> scope(platform::ServiceSlot(),
                                                                std::move(owned));
        FakeTime time;

        EXPECT_EQ(StartServiceAndWait("AudioSrv", "", time.Limits()), 0);
        EXPECT_TRUE(time.sleeps.empty());
        EXPECT_EQ(installed.OpenHandles(), 0);
        if (c.installed) {
            EXPECT_EQ(installed.Service("AudioSrv").startType, c.startTypeAfter);
            EXPECT_EQ(installed.Service("AudioSrv").startRequests, c.startRequests);
            EXPECT_EQ(installed.Service("AudioSrv").queries, 0);
        }
    }
}

} // namespace
