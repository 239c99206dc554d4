#pragma once
// What every private sound server of the tests has in common: its own environment, pactl run
// with it, and the default sink's volume and mute state as pactl reads them. PrivatePulse and
// PrivatePipeWire derive from it, so a test (or BusySink) can take either.

#include "support/Command.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class PrivateServer {
public:
    PrivateServer() = default;
    virtual ~PrivateServer(); // restores what ApplyToProcess changed
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Starts the server and waits (bounded) until it answers. On failure returns false and says
    // why in *error.
    virtual bool Start(std::string* error = nullptr) = 0;

    // SIGKILL for every server process of this session; waits until they are gone.
    virtual void Kill() = 0;

    // The variables that lead a client to this server and no other.
    virtual std::map<std::string, std::string> Environment() const = 0;

    // "PulseAudio" or "PipeWire", for test names and messages.
    virtual std::string Name() const = 0;

    // Puts Environment() into this process's environment (and drops the variables that would
    // point a client elsewhere), so libpulse and the ALSA pulse plugin of the code under test
    // reach this server. The destructor restores the previous values.
    void ApplyToProcess();

    // True while a pulse server answers in this session.
    bool Answers() const;

    // pactl with this server's environment.
    CommandResult Pactl(const std::vector<std::string>& args) const;

    // The default sink's volume of its first channel (0..65536 and above) and its mute state,
    // read with pactl; nullopt when they cannot be read.
    std::optional<long> SinkVolume() const;
    std::optional<bool> SinkMuted() const;

private:
    void Save(const std::string& key);

    bool applied_ = false;
    std::map<std::string, std::optional<std::string>> saved_;
};

enum class ServerKind { PulseAudio, PipeWire };

// A private server of that kind, not started yet, that no client library starts behind the
// test's back (autospawn off in its HOME). PipeWire's has its own null sink "tm_null" as its
// default, like PulseAudio's.
std::unique_ptr<PrivateServer> MakePrivateServer(ServerKind kind);

// "PulseAudio" or "PipeWire", for the names of parametrised tests.
std::string KindName(ServerKind kind);

} // namespace testing_support
