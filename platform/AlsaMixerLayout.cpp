#include "platform/AlsaMixerLayout.h"

#include <algorithm>
#include <optional>

namespace platform {

namespace {

constexpr const char* kVolumeSuffix = " Playback Volume";
constexpr const char* kSwitchSuffix = " Playback Switch";

// The playback volume and switch that belong to one simple element ("PCM", index 0).
struct PlaybackElement {
    std::string base;
    unsigned index = 0;
    const AlsaElement* volume = nullptr;
    const AlsaElement* mute = nullptr;
};

std::optional<std::string> BaseName(const std::string& name, const std::string& suffix) {
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    return name.substr(0, name.size() - suffix.size());
}

std::vector<PlaybackElement> GroupPlaybackElements(const std::vector<AlsaElement>& elements) {
    std::vector<PlaybackElement> groups;
    auto groupFor = [&](const std::string& base, unsigned index) -> PlaybackElement& {
        for (auto& group : groups) {
            if (group.base == base && group.index == index) {
                return group;
            }
        }
        groups.push_back(PlaybackElement{base, index});
        return groups.back();
    };
    for (const auto& element : elements) {
        if (element.count == 0) {
            continue;
        }
        if (element.kind == AlsaElement::Kind::Integer) {
            if (auto base = BaseName(element.name, kVolumeSuffix)) {
                auto& group = groupFor(*base, element.index);
                if (group.volume == nullptr) {
                    group.volume = &element;
                }
            }
        } else if (element.kind == AlsaElement::Kind::Boolean) {
            if (auto base = BaseName(element.name, kSwitchSuffix)) {
                auto& group = groupFor(*base, element.index);
                if (group.mute == nullptr) {
                    group.mute = &element;
                }
            }
        }
    }
    return groups;
}

std::string LineName(const PlaybackElement& element) {
    return element.index == 0 ? element.base : element.base + " " + std::to_string(element.index);
}

constexpr DWORD kFullScale = 65535;

// Line ids: a destination is 0xFFFF0000 + its index, a source its index in the high word and its
// destination's in the low word.
constexpr DWORD DestinationLineId(DWORD destination) {
    return 0xFFFF0000u + destination;
}
constexpr DWORD SourceLineId(DWORD destination, DWORD source) {
    return (source << 16) | destination;
}

class LayoutBuilder {
public:
    explicit LayoutBuilder(AlsaMixerLayout& layout) : layout_(layout) {}

    MixerLine Line(const PlaybackElement& element, DWORD lineId) {
        MixerLine line;
        line.lineId = lineId;
        unsigned channels = 1;
        for (const AlsaElement* part : {element.volume, element.mute}) {
            if (part != nullptr) {
                channels = std::max(channels, part->count);
            }
        }
        line.channels = channels;
        line.name = LineName(element);
        if (element.volume != nullptr) {
            line.controls.push_back(
                Control(*element.volume, line, AlsaControlBinding::Role::Volume));
        }
        if (element.mute != nullptr) {
            line.controls.push_back(Control(*element.mute, line, AlsaControlBinding::Role::Mute));
        }
        return line;
    }

private:
    MixerControl Control(const AlsaElement& element, const MixerLine& line,
                         AlsaControlBinding::Role role) {
        MixerControl control;
        control.id = nextControlId_++;
        bool volume = role == AlsaControlBinding::Role::Volume;
        control.type = volume ? MixerControl::Type::Volume : MixerControl::Type::Mute;
        control.uniform = element.count == 1;
        control.disabled = !element.writable || !element.active;

        AlsaControlBinding binding;
        binding.controlId = control.id;
        binding.lineId = line.lineId;
        binding.role = role;
        binding.elementName = element.name;
        binding.elementIndex = element.index;
        binding.elementCount = element.count;
        binding.minimum = element.minimum;
        binding.maximum = element.maximum;
        binding.step = element.step;
        binding.heldChannels = static_cast<DWORD>(control.ValueCount(line.channels));
        layout_.bindings.push_back(binding);
        return control;
    }

    AlsaMixerLayout& layout_;
    DWORD nextControlId_ = 1;
};

} // namespace

AlsaMixerLayout BuildAlsaMixerLayout(const std::vector<AlsaElement>& elements, bool serverControl,
                                     const std::string& productName, DWORD driverVersion) {
    AlsaMixerLayout layout;
    // No maker or product id stands for an ALSA driver: both stay 0.
    layout.device.driverVersion = driverVersion;
    layout.device.productName = productName;

    std::vector<PlaybackElement> groups = GroupPlaybackElements(elements);
    auto main = std::find_if(groups.begin(), groups.end(), [](const PlaybackElement& g) {
        return g.base == "Master" && g.index == 0 && g.volume != nullptr;
    });
    if (main == groups.end()) {
        main = std::find_if(groups.begin(), groups.end(),
                            [](const PlaybackElement& g) { return g.volume != nullptr; });
    }
    if (main == groups.end()) {
        return layout;
    }

    std::vector<const PlaybackElement*> sources;
    for (const auto& group : groups) {
        if (&group == &*main) {
            continue;
        }
        if (serverControl || group.base == "PCM") {
            sources.push_back(&group);
        }
    }

    LayoutBuilder builder(layout);
    MixerDestination destination;
    destination.line = builder.Line(*main, DestinationLineId(0));
    for (size_t i = 0; i < sources.size(); ++i) {
        destination.sources.push_back(
            builder.Line(*sources[i], SourceLineId(0, static_cast<DWORD>(i))));
    }
    layout.device.destinations.push_back(std::move(destination));
    return layout;
}

std::vector<std::int32_t> HeldFromRaw(const AlsaControlBinding& binding,
                                      const std::vector<long>& raw) {
    std::vector<std::int32_t> held(binding.heldChannels, 0);
    if (raw.empty()) {
        return held;
    }
    for (size_t channel = 0; channel < held.size(); ++channel) {
        long value = raw[std::min(channel, raw.size() - 1)];
        if (binding.role == AlsaControlBinding::Role::Volume) {
            held[channel] = static_cast<std::int32_t>(
                MixerVolumeFromRaw(value, binding.minimum, binding.maximum));
        } else {
            held[channel] = value == 0 ? 1 : 0;
        }
    }
    return held;
}

std::vector<long> RawFromHeld(const AlsaControlBinding& binding,
                              const std::vector<std::int32_t>& held) {
    std::vector<long> raw(binding.elementCount, 0);
    if (held.empty()) {
        return raw;
    }
    for (size_t channel = 0; channel < raw.size(); ++channel) {
        std::int32_t value = held[std::min(channel, held.size() - 1)];
        if (binding.role == AlsaControlBinding::Role::Volume) {
            DWORD volume = value < 0 ? 0 : static_cast<DWORD>(std::min<std::int32_t>(value, 65535));
            raw[channel] =
                RawFromMixerVolume(volume, binding.minimum, binding.maximum, binding.step);
        } else {
            raw[channel] = value != 0 ? 0 : 1;
        }
    }
    return raw;
}

const AlsaControlBinding* AlsaMixerLayout::BindingOf(DWORD controlId) const {
    for (const auto& binding : bindings) {
        if (binding.controlId == controlId) {
            return &binding;
        }
    }
    return nullptr;
}

DWORD MixerVolumeFromRaw(long raw, long minimum, long maximum) {
    if (maximum <= minimum) {
        // An element with a single level cannot be turned down: it plays at full volume.
        return kFullScale;
    }
    if (raw <= minimum) {
        return 0;
    }
    // 128 bits: element ranges are longs and may be wide.
    __int128 range = static_cast<__int128>(maximum) - minimum;
    __int128 scaled = (static_cast<__int128>(raw) - minimum) * kFullScale;
    __int128 volume = (scaled + range - 1) / range;
    return volume > kFullScale ? kFullScale : static_cast<DWORD>(volume);
}

long RawFromMixerVolume(DWORD volume, long minimum, long maximum, long step) {
    if (maximum <= minimum || volume == 0) {
        return minimum;
    }
    if (volume >= kFullScale) {
        return maximum;
    }
    __int128 range = static_cast<__int128>(maximum) - minimum;
    __int128 offset = (static_cast<__int128>(volume) - 1) * range / kFullScale + 1;
    if (step > 1) {
        // Elements only take multiples of their step; going up keeps the read-back promise.
        offset = (offset + step - 1) / step * step;
    }
    if (offset > range) {
        offset = range;
    }
    return static_cast<long>(minimum + offset);
}

} // namespace platform
