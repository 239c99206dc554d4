// How the ALSA backend turns control elements into mixer lines and raw values into mixer
// volumes, checked without any sound hardware or server.
#include "platform/AlsaMixerLayout.h"

#include <gtest/gtest.h>

using platform::AlsaControlBinding;
using platform::AlsaElement;
using platform::BuildAlsaMixerLayout;
using platform::MixerVolumeFromRaw;
using platform::RawFromMixerVolume;

namespace {

TEST(AlsaVolumeScale, ReadsRawValuesAsMixerVolumes) {
    struct Case {
        long raw, minimum, maximum;
        DWORD volume;
    };
    for (const Case& c : {
             Case{0, 0, 65536, 0}, Case{13107, 0, 65536, 13107},         // a server's 20 %
             Case{32768, 0, 65536, 32768}, Case{65536, 0, 65536, 65535}, // 100 %
             Case{98304, 0, 65536, 65535}, // 150 %: above the element's maximum
             Case{-5, 0, 65536, 0}, Case{16, 0, 31, 33825}, Case{31, 0, 31, 65535},
             Case{-2400, -4800, 0, 32768}, // centi-dB style ranges below zero
             Case{5, 5, 5, 65535},         // a single level is full volume
         }) {
        EXPECT_EQ(MixerVolumeFromRaw(c.raw, c.minimum, c.maximum), c.volume)
            << c.raw << " in " << c.minimum << ".." << c.maximum;
    }
}

TEST(AlsaVolumeScale, EveryVolumeWrittenToAServerRangeReadsBackUnchanged) {
    for (long maximum : {65535L, 65536L, 100000L}) {
        for (DWORD volume = 0; volume <= 65535; ++volume) {
            long raw = RawFromMixerVolume(volume, 0, maximum, 1);
            ASSERT_EQ(MixerVolumeFromRaw(raw, 0, maximum), volume) << volume << " of " << maximum;
        }
    }
    // pactl must see exactly half of the server's 0..65536 for the repair's 32768.
    EXPECT_EQ(RawFromMixerVolume(32768, 0, 65536, 1), 32768);
    EXPECT_EQ(RawFromMixerVolume(65535, 0, 65536, 1), 65536);
}

TEST(AlsaVolumeScale, OnACoarseRangeAVolumeReadsBackAsTheNearestLevelAtOrAbove) {
    struct Range {
        long minimum, maximum, step;
    };
    for (const Range& r :
         {Range{0, 31, 1}, Range{0, 87, 1}, Range{-10239, 400, 1}, Range{0, 255, 3}}) {
        for (DWORD volume = 0; volume <= 65535; ++volume) {
            long raw = RawFromMixerVolume(volume, r.minimum, r.maximum, r.step);
            ASSERT_GE(raw, r.minimum);
            ASSERT_LE(raw, r.maximum);
            ASSERT_GE(MixerVolumeFromRaw(raw, r.minimum, r.maximum), volume)
                << volume << " in " << r.minimum << ".." << r.maximum;
            long below = raw - (r.step > 1 ? r.step : 1);
            if (volume > 0 && below >= r.minimum && raw != r.maximum) {
                ASSERT_LT(MixerVolumeFromRaw(below, r.minimum, r.maximum), volume)
                    << "a lower level would also have done for " << volume;
            }
        }
    }
}

AlsaElement Volume(const std::string& base, unsigned count, long maximum = 87, unsigned index = 0) {
    AlsaElement e;
    e.name = base + " Playback Volume";
    e.index = index;
    e.kind = AlsaElement::Kind::Integer;
    e.count = count;
    e.maximum = maximum;
    e.step = 1;
    return e;
}

AlsaElement Switch(const std::string& base, unsigned count) {
    AlsaElement e;
    e.name = base + " Playback Switch";
    e.kind = AlsaElement::Kind::Boolean;
    e.count = count;
    e.maximum = 1;
    return e;
}

AlsaElement Other(const std::string& name, AlsaElement::Kind kind = AlsaElement::Kind::Other) {
    AlsaElement e;
    e.name = name;
    e.kind = kind;
    return e;
}

std::vector<std::string> SourceNames(const platform::AlsaMixerLayout& layout) {
    std::vector<std::string> names;
    for (const auto& source : layout.device.destinations.at(0).sources) {
        names.push_back(source.name);
    }
    return names;
}

TEST(AlsaMixerLayout, ChoosesTheMainPlaybackElementAndItsSources) {
    std::vector<AlsaElement> pulse = {
        Other("Capture Volume", AlsaElement::Kind::Integer),
        Other("Capture Switch", AlsaElement::Kind::Boolean),
        Volume("Master", 2, 65536),
        Switch("Master", 1),
    };
    std::vector<AlsaElement> laptop = {
        Volume("Headphone", 2),   Switch("Headphone", 2),  Volume("Speaker", 2),
        Switch("Speaker", 2),     Volume("Master", 1),     Switch("Master", 1),
        Volume("PCM", 2, 255),    Volume("Mic", 2),        Switch("Mic", 2),
        Volume("Line", 2),        Volume("Beep", 1),       Switch("Beep", 1),
        Other("Loopback Mixing"), Other("Auto-Mute Mode"), Volume("Loopback", 2),
    };
    std::vector<AlsaElement> usb = {Switch("Speaker", 1), Volume("PCM", 2, 127), Switch("PCM", 1)};
    std::vector<AlsaElement> serverWithMore = {Volume("Master", 2, 65536), Switch("Master", 1),
                                               Volume("Music", 2, 65536), Switch("Alerts", 1)};
    std::vector<AlsaElement> captureOnly = {Other("Capture Volume", AlsaElement::Kind::Integer),
                                            Switch("Mic", 1)};
    struct Case {
        const char* what;
        std::vector<AlsaElement>* elements;
        bool server;
        size_t destinations;
        std::string destination;
        std::vector<std::string> sources;
    };
    for (const Case& c : {
             Case{"sound server", &pulse, true, 1, "Master", {}},
             Case{"laptop card", &laptop, false, 1, "Master", {"PCM"}},
             Case{"card without Master", &usb, false, 1, "PCM", {}},
             Case{"server with more elements",
                  &serverWithMore,
                  true,
                  1,
                  "Master",
                  {"Music", "Alerts"}},
             Case{"nothing to play on", &captureOnly, false, 0, "", {}},
         }) {
        auto layout = BuildAlsaMixerLayout(*c.elements, c.server, "Card", 0x0102);
        ASSERT_EQ(layout.device.destinations.size(), c.destinations) << c.what;
        if (c.destinations == 0) {
            continue;
        }
        EXPECT_EQ(layout.device.destinations[0].line.name, c.destination) << c.what;
        EXPECT_EQ(SourceNames(layout), c.sources) << c.what;
    }
}

TEST(AlsaMixerLayout, ALineOffersVolumeAndMuteShapedLikeItsElements) {
    std::vector<AlsaElement> elements = {Volume("Master", 2, 65536), Switch("Master", 1),
                                         Volume("PCM", 1), Switch("PCM", 2)};
    elements[2].active = false;
    auto layout = BuildAlsaMixerLayout(elements, false, "Card", 0x0102);
    using Type = platform::MixerControl::Type;
    const auto& master = layout.device.destinations.at(0).line;
    const auto& pcm = layout.device.destinations[0].sources.at(0);
    struct Case {
        const platform::MixerLine* line;
        size_t control;
        Type type;
        bool uniform, disabled;
        const char* element;
    };
    ASSERT_EQ(master.controls.size(), 2u);
    ASSERT_EQ(pcm.controls.size(), 2u);
    EXPECT_EQ(master.channels, 2u);
    EXPECT_EQ(pcm.channels, 2u);
    for (const Case& c : {
             Case{&master, 0, Type::Volume, false, false, "Master Playback Volume"},
             Case{&master, 1, Type::Mute, true, false, "Master Playback Switch"},
             Case{&pcm, 0, Type::Volume, true, true, "PCM Playback Volume"},
             Case{&pcm, 1, Type::Mute, false, false, "PCM Playback Switch"},
         }) {
        const auto& control = c.line->controls[c.control];
        EXPECT_EQ(control.type, c.type) << c.element;
        EXPECT_EQ(control.uniform, c.uniform) << c.element;
        EXPECT_EQ(control.disabled, c.disabled) << c.element;
        // Each control is bound to its own element, and to the line it belongs to.
        const AlsaControlBinding* binding = layout.BindingOf(control.id);
        ASSERT_NE(binding, nullptr) << c.element;
        EXPECT_EQ(binding->elementName, c.element);
        EXPECT_EQ(binding->lineId, c.line->lineId) << c.element;
        EXPECT_EQ(binding->heldChannels, control.ValueCount(c.line->channels)) << c.element;
    }
    EXPECT_EQ(layout.bindings.size(), 4u);
    EXPECT_NE(master.lineId, pcm.lineId);
}

TEST(AlsaMixerLayout, MuteIsTheInvertedSwitchAndChannelsFollowTheElement) {
    AlsaControlBinding mute;
    mute.role = AlsaControlBinding::Role::Mute;
    mute.elementCount = 1;
    mute.heldChannels = 1;
    EXPECT_EQ(platform::HeldFromRaw(mute, {0}), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(platform::HeldFromRaw(mute, {1}), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(platform::RawFromHeld(mute, {1}), (std::vector<long>{0}));
    EXPECT_EQ(platform::RawFromHeld(mute, {0}), (std::vector<long>{1}));

    // A stereo line over a one-channel volume element reads that channel twice and writes the
    // first value.
    AlsaControlBinding volume;
    volume.role = AlsaControlBinding::Role::Volume;
    volume.elementCount = 1;
    volume.heldChannels = 2;
    volume.maximum = 65536;
    volume.step = 1;
    EXPECT_EQ(platform::HeldFromRaw(volume, {32768}), (std::vector<std::int32_t>{32768, 32768}));
    EXPECT_EQ(platform::RawFromHeld(volume, {32768, 100}), (std::vector<long>{32768}));
    // Out-of-range volumes are clamped, not wrapped.
    volume.elementCount = 2;
    EXPECT_EQ(platform::RawFromHeld(volume, {-5, 70000}), (std::vector<long>{0, 65536}));
}

} // namespace
