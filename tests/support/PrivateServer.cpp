#include "support/PrivateServer.h"

#include "support/PrivatePipeWire.h"
#include "support/PrivatePulse.h"

#include <cstdlib>
#include <regex>

namespace testing_support {

namespace {

// Variables that would take a client to another server than the one in the runtime folder.
constexpr const char* kElsewhere[] = {"PULSE_SERVER", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"};

} // namespace

PrivateServer::~PrivateServer() {
    if (!applied_) {
        return;
    }
    for (const auto& [key, value] : saved_) {
        if (value) {
            setenv(key.c_str(), value->c_str(), 1);
        } else {
            unsetenv(key.c_str());
        }
    }
}

void PrivateServer::Save(const std::string& key) {
    if (applied_ || saved_.count(key) != 0) {
        return;
    }
    const char* old = std::getenv(key.c_str());
    saved_[key] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
}

void PrivateServer::ApplyToProcess() {
    for (const auto& [key, value] : Environment()) {
        Save(key);
        setenv(key.c_str(), value.c_str(), 1);
    }
    for (const char* key : kElsewhere) {
        Save(key);
        unsetenv(key);
    }
    applied_ = true;
}

bool PrivateServer::Answers() const {
    return Pactl({"info"}).exitCode == 0;
}

CommandResult PrivateServer::Pactl(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv, Environment(), 5000);
}

std::optional<long> PrivateServer::SinkVolume() const {
    CommandResult r = Pactl({"get-sink-volume", "@DEFAULT_SINK@"});
    if (r.exitCode != 0) {
        return std::nullopt;
    }
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: ..."
    std::smatch m;
    if (std::regex_search(r.output, m, std::regex(R"(:\s*(\d+)\s*/)"))) {
        return std::stol(m[1].str());
    }
    return std::nullopt;
}

std::optional<bool> PrivateServer::SinkMuted() const {
    CommandResult r = Pactl({"get-sink-mute", "@DEFAULT_SINK@"});
    if (r.exitCode != 0) {
        return std::nullopt;
    }
    if (r.output.find("yes") != std::string::npos) {
        return true;
    }
    if (r.output.find("no") != std::string::npos) {
        return false;
    }
    return std::nullopt;
}

std::unique_ptr<PrivateServer> MakePrivateServer(ServerKind kind) {
    if (kind == ServerKind::PipeWire) {
        return std::make_unique<PrivatePipeWire>(PrivatePipeWire::Sink::Configured);
    }
    auto pulse = std::make_unique<PrivatePulse>();
    pulse->TurnOffAutospawn();
    return pulse;
}

std::string KindName(ServerKind kind) {
    return kind == ServerKind::PipeWire ? "PipeWire" : "PulseAudio";
}

} // namespace testing_support
