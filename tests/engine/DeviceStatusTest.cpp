// The device status rules on states recorded from real machines (tests/fixtures/pactl), and on
// a few made-up states for what no recording shows.
#include "engine/DeviceStatus.h"

#include "support/PactlListing.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace platform {
void PrintTo(const SoundChange& c, std::ostream* os) {
    *os << "{kind " << static_cast<int>(c.kind) << ", " << c.target << ", " << c.value << ", "
        << c.stream << "}";
}
} // namespace platform

namespace {

using platform::PortAvailable;
using platform::SoundChange;
using platform::SoundServerState;
using testing_support::LoadPactlFixture;
using Changes = std::vector<SoundChange>;
using Kind = SoundChange::Kind;

std::string Flags(const TDeviceStatus& s) {
    return std::string(s.NoOutputDevice ? "NoOutputDevice " : "") +
           (s.OutputToDummy ? "OutputToDummy " : "") +
           (s.OutputSwitchedOff ? "OutputSwitchedOff " : "") +
           (s.OutputUnplugged ? "OutputUnplugged " : "");
}

const char* const kLaptopSink = "alsa_output.pci-0000_06_00.6.HiFi__hw_Generic__sink";
const char* const kDesktopAnalog = "alsa_output.pci-0000_00_08.0.analog-stereo";
const char* const kRyzenAnalog = "alsa_output.pci-0000_28_00.3.analog-stereo";

// What the rules below cannot show: links pactl does not print, old formats, unreadable lines.
TEST(DeviceStatus, RecordingsReadAsTheServersPrintedThem) {
    const SoundServerState laptop = LoadPactlFixture("pipewire_laptop_nvidia_hdmi_off.txt");
    EXPECT_EQ(laptop.sinks.at(0).card, 45u);
    const SoundServerState desktop = LoadPactlFixture("pulseaudio4_analog_hdmi_card.txt");
    EXPECT_EQ(desktop.cards.at(0).profiles.at(5).priority, 5400u); // "priority. 5400"
    EXPECT_EQ(desktop.sources.at(0).monitorOf, 0u);

    const SoundServerState odd = testing_support::ParsePactlListing(
        "Sink #x\nSink #7\n\tCard: N/A\n\tPorts:\n\t\tbroken\n\t\t: (\n"
        "\t\tp: P (priority: 99999999999, available)\nCard #\nSink Input #2\n");
    ASSERT_EQ(odd.sinks.size(), 1u);
    EXPECT_EQ(odd.sinks[0].card, platform::kNoIndex);
    ASSERT_EQ(odd.sinks[0].ports.size(), 1u);
    EXPECT_EQ(odd.sinks[0].ports[0].priority, 0u);
    EXPECT_EQ(odd.streams.size(), 1u);
}

struct Recorded {
    const char* fixture;
    const char* defaultSink; // nullptr: the recording's own "Default Sink:"
    std::string flags;
    Changes routing;
};

TEST(DeviceStatus, RecordedMachines) {
    const Recorded cases[] = {
        {"pipewire_laptop_nvidia_hdmi_off.txt", kLaptopSink, "", {}},
        {"pulseaudio4_analog_hdmi_card.txt", nullptr, "", {}},
        {"pulseaudio4_analog_hdmi_card.txt",
         "alsa_output.usb-Generic_headset-00.analog-stereo",
         "OutputToDummy ",
         {{Kind::DefaultSink, kDesktopAnalog, {}}}},
        {"pulseaudio_lineout_unplugged.txt",
         kRyzenAnalog,
         "OutputUnplugged ",
         {{Kind::SinkPort, kRyzenAnalog, "analog-output-headphones"}}},
        {"pulseaudio_lineout_unplugged.txt",
         "alsa_output.pci-0000_26_00.1.hdmi-stereo-extra5",
         "",
         {}},
        {"pipewire_dummy_output_only.txt", "auto_null", "NoOutputDevice ", {}},
        {"pulseaudio_dummy_output_only.txt", "auto_null", "NoOutputDevice ", {}},
    };
    for (const Recorded& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " default " + (c.defaultSink ? c.defaultSink : "-"));
        SoundServerState state = LoadPactlFixture(c.fixture);
        if (c.defaultSink != nullptr) {
            state.defaultSink = c.defaultSink;
        }
        EXPECT_EQ(Flags(AssessDeviceStatus(state)), c.flags);
        EXPECT_EQ(PlanCardRepair(state), Changes{}); // no recording has a card to switch on
        EXPECT_EQ(PlanRoutingRepair(state), c.routing);
    }
}

// Headphones pulled out of a laptop whose speaker has no jack detection: the speaker reads
// "availability unknown", which is where the sound has to go.
TEST(DeviceStatus, UnpluggedHeadphonesFallBackToASpeakerWithoutJackDetection) {
    SoundServerState laptop = LoadPactlFixture("pipewire_laptop_nvidia_hdmi_off.txt");
    laptop.defaultSink = kLaptopSink;
    laptop.sinks.at(0).activePort = "[Out] Headphones";
    EXPECT_EQ(Flags(AssessDeviceStatus(laptop)), "OutputUnplugged ");
    EXPECT_EQ(PlanRoutingRepair(laptop), (Changes{{Kind::SinkPort, kLaptopSink, "[Out] Speaker"}}));
}

platform::SoundEndpoint Endpoint(std::uint32_t index, const char* name, const char* driver,
                                 std::uint32_t card = platform::kNoIndex,
                                 std::uint32_t monitorOf = platform::kNoIndex) {
    platform::SoundEndpoint e;
    e.index = index;
    e.name = name;
    e.driver = driver;
    e.card = card;
    e.monitorOf = monitorOf;
    return e;
}

TEST(DeviceStatus, OnlyTheServersOwnFallbackIsTheDummy) {
    struct Case {
        const char* name;
        const char* driver;
        const char* factory;
        bool dummy;
    } cases[] = {
        {"auto_null", "module-null-sink.c", "", true},              // PulseAudio
        {"auto_null", "PipeWire", "support.null-audio-sink", true}, // PipeWire
        {"tm_null", "module-null-sink.c", "", false},               // loaded on purpose
        {"tm_null", "PipeWire", "support.null-audio-sink", false},  // loaded on purpose
        {"auto_null", "module-alsa-card.c", "", false},             // a card's sink
    };
    for (const Case& c : cases) {
        platform::SoundEndpoint sink = Endpoint(0, c.name, c.driver);
        sink.factory = c.factory;
        EXPECT_EQ(IsDummySink(sink), c.dummy) << c.name << " " << c.driver;
    }
}

// A PulseAudio session whose default went to the dummy beside a card's sink and a virtual one.
SoundServerState MadeUp() {
    SoundServerState s;
    s.defaultSink = "auto_null";
    s.defaultSource = "auto_null.monitor";
    s.sinks = {Endpoint(0, "auto_null", "module-null-sink.c"),
               Endpoint(1, "tm_null", "module-null-sink.c"),
               Endpoint(2, "analog", "module-alsa-card.c", 0)};
    s.sinks[2].ports = {{"speaker", "Speakers", 100, PortAvailable::Yes}};
    s.sinks[2].activePort = "speaker";
    s.sources = {Endpoint(3, "auto_null.monitor", "module-null-sink.c", platform::kNoIndex, 0),
                 Endpoint(4, "mic", "module-alsa-card.c", 0)};
    s.cards = {{0, "pci", {{"off", "", 0, 0, 0, true}, {"duplex", "", 1, 1, 6565, true}}, "duplex"},
               {1, "hdmi", {{"off", "", 0, 0, 0, true}, {"hdmi", "", 1, 0, 9000, false}}, "off"}};
    s.streams = {{10, 0}, {11, 1}, {12, 42}};
    return s;
}

TEST(DeviceStatus, SoundLeftOnTheDummyGoesToTheCardAndVirtualStreamsStay) {
    const SoundServerState s = MadeUp();
    EXPECT_EQ(Flags(AssessDeviceStatus(s)), "OutputToDummy "); // the HDMI card off is no fault
    EXPECT_EQ(PlanCardRepair(s), Changes{});
    EXPECT_EQ(PlanRoutingRepair(s), (Changes{{Kind::DefaultSink, "analog", {}},
                                             {Kind::MoveStream, {}, "analog", 10},
                                             {Kind::MoveStream, {}, "analog", 12},
                                             {Kind::DefaultSource, "mic", {}}}));
}

TEST(DeviceStatus, CardsAllOffAreSwitchedOnToTheirBestAvailableOutput) {
    SoundServerState s = MadeUp();
    s.sinks.resize(1); // only the dummy is left
    s.sources.resize(1);
    s.streams.clear();
    s.cards[0].activeProfile = "off";
    EXPECT_EQ(Flags(AssessDeviceStatus(s)), "OutputSwitchedOff ");
    EXPECT_EQ(PlanCardRepair(s), (Changes{{Kind::CardProfile, "pci", "duplex"}}));
    EXPECT_EQ(PlanRoutingRepair(s), Changes{}); // nothing real to route to yet
}

} // namespace
