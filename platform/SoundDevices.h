#pragma once
// The sound server's devices as its clients see them: sinks and sources with their ports, cards
// with their profiles, the defaults and the playing streams; and the few changes the repair
// makes to them. Read and changed through the PulseAudio protocol, which PulseAudio and
// PipeWire's pulse server both speak.
//
// Threads: Read and Apply may be called from any thread; each opens a connection of its own and
// returns within its bound whatever the server does.

#include "platform/Backend.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

// A port's availability as the server reports it (jack detection).
enum class PortAvailable { Unknown, No, Yes };

struct SoundPort {
    std::string name;
    std::string description;
    std::uint32_t priority = 0;
    PortAvailable available = PortAvailable::Unknown;
};

// A sink or a source.
struct SoundEndpoint {
    std::uint32_t index = kNoIndex;
    std::string name;
    std::string description;
    std::string driver;                 // "module-null-sink.c", "module-alsa-card.c", "PipeWire"
    std::string factory;                // PipeWire's "factory.name" property; empty on PulseAudio
    std::uint32_t card = kNoIndex;      // the card it belongs to, if any
    std::uint32_t monitorOf = kNoIndex; // sources only: the sink it monitors
    std::vector<SoundPort> ports;
    std::string activePort;
};

struct CardProfile {
    std::string name;
    std::string description;
    std::uint32_t sinks = 0;
    std::uint32_t sources = 0;
    std::uint32_t priority = 0;
    bool available = true;
};

struct SoundCard {
    std::uint32_t index = kNoIndex;
    std::string name;
    std::vector<CardProfile> profiles;
    std::string activeProfile;
};

// A playing stream (a sink input) and the sink it plays to.
struct SoundStream {
    std::uint32_t index = kNoIndex;
    std::uint32_t sink = kNoIndex;
};

struct SoundServerState {
    std::string serverName;
    std::string defaultSink; // as the server says it; may name a sink that is gone
    std::string defaultSource;
    std::vector<SoundEndpoint> sinks;
    std::vector<SoundEndpoint> sources;
    std::vector<SoundCard> cards;
    std::vector<SoundStream> streams;
};

// One change the repair asks for. Names are passed to the server as data.
struct SoundChange {
    enum class Kind { DefaultSink, DefaultSource, MoveStream, CardProfile, SinkPort };
    Kind kind = Kind::DefaultSink;
    std::string target;              // sink, source or card name
    std::string value;               // profile or port name; for MoveStream the sink name
    std::uint32_t stream = kNoIndex; // MoveStream only

    bool operator==(const SoundChange&) const = default;
};

class SoundDevicesBackend {
public:
    virtual ~SoundDevicesBackend() = default;

    // The whole state, or nullopt when no server answers or it stops answering half way.
    virtual std::optional<SoundServerState> Read(std::chrono::milliseconds bound) = 0;

    // Carries out the changes in order; for each, whether the server accepted it. A server
    // that is gone or stops answering leaves the rest refused.
    virtual std::vector<bool> Apply(const std::vector<SoundChange>& changes,
                                    std::chrono::milliseconds bound) = 0;
};

BackendSlot<SoundDevicesBackend>& SoundDevicesSlot();

// libpulse, without ever spawning a server.
std::unique_ptr<SoundDevicesBackend> MakePulseSoundDevices();

} // namespace platform
