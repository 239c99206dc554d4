// The private PulseAudio daemon every end-to-end test stands on: it must start, obey pactl,
// and die when killed, without touching anybody else's daemon.
#include "support/PrivatePulse.h"

#include <gtest/gtest.h>

using testing_support::PrivatePulse;

TEST(PrivatePulse, StartsWithANullSinkAndObeysPactl) {
    PrivatePulse pulse;
    std::string error;
    ASSERT_TRUE(pulse.Start(&error)) << error;
    EXPECT_TRUE(pulse.Answers());

    ASSERT_EQ(pulse.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(pulse.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    EXPECT_EQ(pulse.SinkMuted(), true);
    EXPECT_EQ(pulse.SinkVolume(), 13107);

    pulse.Kill();
    EXPECT_FALSE(pulse.Answers());
    EXPECT_FALSE(pulse.SinkVolume().has_value());
}

TEST(PrivatePulse, TwoDaemonsDoNotSeeEachOther) {
    PrivatePulse first;
    PrivatePulse second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    ASSERT_EQ(first.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "30%"}).exitCode, 0);
    ASSERT_EQ(second.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "70%"}).exitCode, 0);
    first.Kill();
    EXPECT_FALSE(first.Answers());
    EXPECT_TRUE(second.Answers());
    EXPECT_EQ(second.SinkVolume(), 45875);
}
