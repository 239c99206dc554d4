// What the runtime folder and the user's configuration say of the server a session used, read
// from folders made in the test.
#include "platform/SoundServerProbe.h"

#include "support/Command.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace {

namespace fs = std::filesystem;
using testing_support::ScratchDir;

// The variables the traces are read from, pointed into a scratch folder for one case.
class ScopedSession {
public:
    explicit ScopedSession(const fs::path& root) {
        for (const auto& [name, sub] : kVariables) {
            if (const char* old = std::getenv(name)) {
                saved_.emplace_back(name, std::string(old));
            } else {
                saved_.emplace_back(name, std::nullopt);
            }
            fs::create_directories(root / sub);
            setenv(name, (root / sub).c_str(), 1);
        }
        for (const char* name : {"PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_RUNTIME_PATH"}) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name,
                                old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
    }
    ~ScopedSession() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }
    ScopedSession(const ScopedSession&) = delete;
    ScopedSession& operator=(const ScopedSession&) = delete;

private:
    static constexpr std::pair<const char*, const char*> kVariables[] = {
        {"XDG_RUNTIME_DIR", "run"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_STATE_HOME", "state"}};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(SoundServerProbe, TracesComeFromTheServersOwnFilesOnly) {
    struct Case {
        const char* name;
        std::vector<const char*> files; // under the scratch root
        bool pipewireRuntime;
        bool pulseRuntime;
        bool pulseConfiguration;
        bool pipewireConfiguration;
    };
    const Case cases[] = {
        {"nothing", {}, false, false, false, false},
        {"PipeWire's socket", {"run/pipewire-0"}, true, false, false, false},
        {"PipeWire's lock alone", {"run/pipewire-0.lock"}, true, false, false, false},
        {"PulseAudio's pid file", {"run/pulse/pid"}, false, true, false, false},
        {"PulseAudio's socket", {"run/pulse/native"}, false, true, false, false},
        {"a client setting is nobody's trace",
         {"config/pulse/client.conf"},
         false,
         false,
         false,
         false},
        {"PulseAudio's saved default sink",
         {"config/pulse/0123abcd-default-sink"},
         false,
         false,
         true,
         false},
        {"PulseAudio's databases",
         {"config/pulse/0123abcd-stream-volumes.tdb"},
         false,
         false,
         true,
         false},
        {"a user's default.pa", {"config/pulse/default.pa"}, false, false, true, false},
        {"WirePlumber's state", {"state/wireplumber/default-nodes"}, false, false, false, true},
        {"PipeWire's configuration", {"config/pipewire/pipewire.conf"}, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch("tm-traces");
        const fs::path root = scratch.Path();
        ScopedSession session(root);
        for (const char* file : c.files) {
            fs::create_directories((root / file).parent_path());
            std::ofstream(root / file) << "x";
        }
        const platform::SessionTraces traces = platform::ReadSessionTraces();
        EXPECT_EQ(traces.pipewireRuntime, c.pipewireRuntime);
        EXPECT_EQ(traces.pulseRuntime, c.pulseRuntime);
        EXPECT_EQ(traces.pulseConfiguration, c.pulseConfiguration);
        EXPECT_EQ(traces.pipewireConfiguration, c.pipewireConfiguration);
        // A socket file nobody listens on is no running core.
        EXPECT_FALSE(platform::PipeWireCoreAnswers());
    }
}

} // namespace
