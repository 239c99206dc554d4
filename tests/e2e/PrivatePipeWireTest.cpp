// The private PipeWire session the PipeWire end-to-end tests stand on: it must start with the
// sink asked for, lose exactly the part a test kills, start only what is missing, and leave no
// process of its own behind.
#include "support/PrivatePipeWire.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;
using testing_support::PrivatePipeWire;
using Sink = PrivatePipeWire::Sink;

struct SinkCase {
    Sink sink;
    const char* defaultSink;
    bool dummyListed;
};

class PrivatePipeWireSinks : public testing::TestWithParam<SinkCase> {};

TEST_P(PrivatePipeWireSinks, StartsWithTheDefaultSinkAskedFor) {
    std::string runtime;
    {
        PrivatePipeWire session(GetParam().sink);
        runtime = session.RuntimeDir();
        std::string error;
        ASSERT_TRUE(session.Start(&error)) << error;
        EXPECT_THAT(session.Pactl({"info"}).output,
                    HasSubstr("Server Name: PulseAudio (on PipeWire"));
        EXPECT_EQ(session.Pactl({"get-default-sink"}).output,
                  std::string(GetParam().defaultSink) + "\n");
        EXPECT_EQ(session.Pactl({"list", "short", "sinks"}).output.find("\tauto_null\t") !=
                      std::string::npos,
                  GetParam().dummyListed);
        for (const char* part :
             {PrivatePipeWire::kCore, PrivatePipeWire::kSessionManager, PrivatePipeWire::kPulse}) {
            EXPECT_EQ(session.CountPart(part), 1) << part;
        }
    }
    EXPECT_TRUE(PrivatePipeWire::ProcessesIn(runtime).empty()) << "the bus included";
}

INSTANTIATE_TEST_SUITE_P(Sinks, PrivatePipeWireSinks,
                         testing::Values(SinkCase{Sink::None, "auto_null", true},
                                         SinkCase{Sink::Loaded, "tm_null", false},
                                         SinkCase{Sink::Configured, "tm_null", false}));

TEST(PrivatePipeWire, KillsOnePartAndStartsOnlyWhatIsMissing) {
    PrivatePipeWire session;
    std::string error;
    ASSERT_TRUE(session.Start(&error)) << error;

    EXPECT_EQ(session.KillPart(PrivatePipeWire::kPulse), 1);
    EXPECT_FALSE(session.Answers());
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kPulse), 0);
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kCore), 1);
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kSessionManager), 1);

    ASSERT_TRUE(session.Start(&error)) << error;
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kPulse), 1);
    EXPECT_EQ(session.CountPart(PrivatePipeWire::kSessionManager), 1);
    EXPECT_EQ(session.Pactl({"get-default-sink"}).output, "tm_null\n")
        << "the configured sink outlives the pulse server";

    // Without a session manager nobody picks the default sink.
    EXPECT_EQ(session.KillPart(PrivatePipeWire::kSessionManager), 1);
    EXPECT_THAT(session.Pactl({"info"}).output, HasSubstr("Default Sink: @DEFAULT_SINK@"));

    session.Kill();
    EXPECT_FALSE(session.Answers());
    EXPECT_EQ(session.Processes().size(), 1u) << "only the bus stays";
}

TEST(PrivatePipeWire, TwoSessionsDoNotSeeEachOther) {
    PrivatePipeWire first;
    PrivatePipeWire second;
    std::string error;
    ASSERT_TRUE(first.Start(&error)) << error;
    ASSERT_TRUE(second.Start(&error)) << error;
    ASSERT_EQ(first.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "30%"}).exitCode, 0);
    ASSERT_EQ(second.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "70%"}).exitCode, 0);
    first.KillPart(PrivatePipeWire::kPulse);
    EXPECT_FALSE(first.Answers());
    EXPECT_TRUE(second.Answers());
    EXPECT_EQ(second.CountPart(PrivatePipeWire::kPulse), 1);
    EXPECT_EQ(second.SinkVolume(), 45875);
}

} // namespace
