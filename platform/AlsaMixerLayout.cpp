#include "platform/AlsaMixerLayout.h"

#include "platform/MixerVolumeScale.h"

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

class LayoutBuilder {
public:
    explicit LayoutBuilder(AlsaMixerLayout& layout) : layout_(layout) {}

    MixerLineDescription Line(const PlaybackElement& element, DWORD lineId, DWORD destination,
                              DWORD source, bool isSource) {
        MixerLineDescription line;
        line.lineId = lineId;
        line.destination = destination;
        line.source = source;
        line.flags = MIXERLINE_LINEF_ACTIVE | (isSource ? MIXERLINE_LINEF_SOURCE : 0);
        bool pcm = element.base == "PCM";
        if (!isSource) {
            line.componentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
            line.targetType = MIXERLINE_TARGETTYPE_WAVEOUT;
        } else {
            line.componentType =
                pcm ? MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT : MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
            line.targetType = pcm ? MIXERLINE_TARGETTYPE_WAVEOUT : MIXERLINE_TARGETTYPE_UNDEFINED;
        }
        unsigned channels = 1;
        if (element.volume != nullptr) {
            channels = std::max(channels, element.volume->count);
        }
        if (element.mute != nullptr) {
            channels = std::max(channels, element.mute->count);
        }
        line.channels = channels;
        line.shortName = LineName(element);
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
    MixerControlDescription Control(const AlsaElement& element, const MixerLineDescription& line,
                                    AlsaControlBinding::Role role) {
        MixerControlDescription control;
        control.controlId = nextControlId_++;
        bool volume = role == AlsaControlBinding::Role::Volume;
        control.controlType =
            volume ? MIXERCONTROL_CONTROLTYPE_VOLUME : MIXERCONTROL_CONTROLTYPE_MUTE;
        if (element.count == 1) {
            control.flags |= MIXERCONTROL_CONTROLF_UNIFORM;
        }
        if (!element.writable || !element.active) {
            control.flags |= MIXERCONTROL_CONTROLF_DISABLED;
        }
        control.shortName = volume ? "Volume" : "Mute";
        control.name = line.name + (volume ? " Volume" : " Mute");
        control.minimum = 0;
        control.maximum = volume ? 65535 : 1;
        if (volume) {
            long range = element.maximum - element.minimum;
            long steps = element.step > 1 ? range / element.step : range;
            control.steps = static_cast<DWORD>(std::clamp(steps, 0L, 65535L));
        }

        AlsaControlBinding binding;
        binding.controlId = control.controlId;
        binding.role = role;
        binding.elementName = element.name;
        binding.elementIndex = element.index;
        binding.elementCount = element.count;
        binding.minimum = element.minimum;
        binding.maximum = element.maximum;
        binding.step = element.step;
        binding.heldChannels = HeldChannels(control, line);
        layout_.bindings.push_back(binding);
        return control;
    }

    AlsaMixerLayout& layout_;
    DWORD nextControlId_ = 1;
};

} // namespace

AlsaMixerLayout BuildAlsaMixerLayout(const std::vector<AlsaElement>& elements, bool serverControl,
                                     const std::string& productName, MMVERSION driverVersion) {
    AlsaMixerLayout layout;
    layout.device.manufacturerId = 0; // no winmm manufacturer id stands for an ALSA driver
    layout.device.productId = 0;
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
    MixerDestinationDescription destination;
    destination.line = builder.Line(*main, DestinationLineId(0), 0, 0, false);
    for (size_t i = 0; i < sources.size(); ++i) {
        DWORD source = static_cast<DWORD>(i);
        destination.sources.push_back(
            builder.Line(*sources[i], SourceLineId(0, source), 0, source, true));
    }
    layout.device.destinations.push_back(std::move(destination));
    return layout;
}

std::vector<LONG> HeldFromRaw(const AlsaControlBinding& binding, const std::vector<long>& raw) {
    std::vector<LONG> held(binding.heldChannels, 0);
    if (raw.empty()) {
        return held;
    }
    for (size_t channel = 0; channel < held.size(); ++channel) {
        long value = raw[std::min(channel, raw.size() - 1)];
        if (binding.role == AlsaControlBinding::Role::Volume) {
            held[channel] =
                static_cast<LONG>(MixerVolumeFromRaw(value, binding.minimum, binding.maximum));
        } else {
            held[channel] = value == 0 ? 1 : 0;
        }
    }
    return held;
}

std::vector<long> RawFromHeld(const AlsaControlBinding& binding, const std::vector<LONG>& held) {
    std::vector<long> raw(binding.elementCount, 0);
    if (held.empty()) {
        return raw;
    }
    for (size_t channel = 0; channel < raw.size(); ++channel) {
        LONG value = held[std::min(channel, held.size() - 1)];
        if (binding.role == AlsaControlBinding::Role::Volume) {
            DWORD volume = value < 0 ? 0 : static_cast<DWORD>(std::min<LONG>(value, 65535));
            raw[channel] =
                RawFromMixerVolume(volume, binding.minimum, binding.maximum, binding.step);
        } else {
            raw[channel] = value != 0 ? 0 : 1;
        }
    }
    return raw;
}

} // namespace platform
