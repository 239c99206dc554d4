// The device status check of the built tonemender-check against real sound servers of the
// test's own, PulseAudio and PipeWire: sound with nowhere to go but the dummy sink, and sound
// sent nowhere while a real sink exists - found, repaired where it can be, confirmed by pactl.
#include "support/PrivatePipeWire.h"
#include "support/PrivatePulse.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing_support::CommandResult;
using testing_support::PrivatePipeWire;
using testing_support::PrivatePulse;
using testing_support::PrivateServer;
using testing_support::RunCommand;

std::string CheckProgram() {
    const char* program = std::getenv("TONEMENDER_CHECK");
    return program != nullptr ? program : "";
}

std::vector<std::string> Ids(const nlohmann::json& report) {
    std::vector<std::string> ids;
    for (const auto& finding : report["findings"]) {
        ids.push_back(finding["id"]);
    }
    return ids;
}

std::string DefaultSink(const PrivateServer& server) {
    CommandResult r = server.Pactl({"get-default-sink"});
    return r.exitCode == 0 ? r.output.substr(0, r.output.find('\n')) : "";
}

nlohmann::json Check(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), CheckProgram());
    arguments.push_back("--json");
    const CommandResult result = RunCommand(arguments, {}, 90000);
    EXPECT_THAT(result.output, Not(HasSubstr("Sanitizer"))) << result.output;
    nlohmann::json json;
    EXPECT_NO_THROW(json = nlohmann::json::parse(result.output)) << result.output;
    EXPECT_EQ(json["exit_code"], result.exitCode);
    return json;
}

// A server of the test's own, started, that nothing starts behind the test's back.
template <class Server, class... Args> std::unique_ptr<Server> Started(Args... args) {
    auto server = std::make_unique<Server>(args...);
    const std::map<std::string, std::string> environment = server->Environment();
    const auto config = environment.count("XDG_CONFIG_HOME") != 0
                            ? std::filesystem::path(environment.at("XDG_CONFIG_HOME"))
                            : std::filesystem::path(environment.at("HOME")) / ".config";
    std::filesystem::create_directories(config / "pulse");
    std::ofstream(config / "pulse" / "client.conf") << "autospawn = no\n";
    server->ApplyToProcess();
    std::string error;
    EXPECT_TRUE(server->Start(&error)) << error;
    return server;
}

struct Scene {
    const char* name;
    // Starts the server and brings it into the state under test.
    std::function<std::unique_ptr<PrivateServer>()> make;
};

// Nothing but the server's own dummy sink.
const Scene kOnlyTheDummy[] = {
    {"PulseAudio",
     [] {
         auto server = Started<PrivatePulse>();
         // module-always-sink puts its dummy in when the last sink goes.
         EXPECT_EQ(server->Pactl({"unload-module", "module-null-sink"}).exitCode, 0);
         for (int i = 0; i < 100 && DefaultSink(*server) != "auto_null"; ++i) {
             std::this_thread::sleep_for(std::chrono::milliseconds(50));
         }
         return std::unique_ptr<PrivateServer>(std::move(server));
     }},
    {"PipeWire",
     [] {
         return std::unique_ptr<PrivateServer>(
             Started<PrivatePipeWire>(PrivatePipeWire::Sink::None));
     }},
};

// Sound sent nowhere while the real sink tm_null exists.
const Scene kSentNowhere[] = {
    // PulseAudio's dummy is module-always-sink's null sink; loading the same sink the same way
    // beside a real one and making it the default is the state of a machine whose card came
    // back after the dummy took over (the server does not drop a dummy that is the default).
    {"PulseAudio",
     [] {
         auto server = Started<PrivatePulse>();
         EXPECT_EQ(server
                       ->Pactl({"load-module", "module-null-sink", "sink_name=auto_null",
                                "sink_properties=device.description=Dummy_Output"})
                       .exitCode,
                   0);
         EXPECT_EQ(server->Pactl({"set-default-sink", "auto_null"}).exitCode, 0);
         return std::unique_ptr<PrivateServer>(std::move(server));
     }},
    // PipeWire's pulse server drops its dummy once a sink exists, and WirePlumber keeps the
    // default on a sink that exists; without WirePlumber the default names no sink at all.
    {"PipeWire",
     [] {
         auto server = Started<PrivatePipeWire>(PrivatePipeWire::Sink::Configured);
         EXPECT_EQ(server->KillPart(PrivatePipeWire::kSessionManager), 1);
         return std::unique_ptr<PrivateServer>(std::move(server));
     }},
};

class OnlyTheDummy : public testing::TestWithParam<Scene> {};
class SentNowhere : public testing::TestWithParam<Scene> {};

TEST_P(OnlyTheDummy, IsNoOutputDeviceAndNotFixable) {
    ASSERT_FALSE(CheckProgram().empty()) << "TONEMENDER_CHECK names the program";
    std::unique_ptr<PrivateServer> server = GetParam().make();
    ASSERT_EQ(DefaultSink(*server), "auto_null");

    nlohmann::json found = Check({});
    EXPECT_THAT(Ids(found), ElementsAre("TEXT_VD_10"));
    EXPECT_EQ(found["findings"][0]["title"], "No audio output device found");
    EXPECT_EQ(found["scan"]["no_output_device"], true);
    EXPECT_EQ(found["exit_code"], 1);

    nlohmann::json fixed = Check({"--fix"});
    EXPECT_EQ(fixed["findings"][0]["fixed"], false);
    EXPECT_EQ(fixed["findings"][0]["outcome"], "Not Fix");
    EXPECT_EQ(fixed["repair"]["fixed"], 0);
    EXPECT_EQ(fixed["exit_code"], 1);
    EXPECT_EQ(DefaultSink(*server), "auto_null");
}

TEST_P(SentNowhere, IsRoutedToTheRealSink) {
    ASSERT_FALSE(CheckProgram().empty()) << "TONEMENDER_CHECK names the program";
    std::unique_ptr<PrivateServer> server = GetParam().make();
    ASSERT_FALSE(testing::Test::HasFailure());

    nlohmann::json found = Check({});
    EXPECT_THAT(Ids(found), Contains("TEXT_VD_12"));
    EXPECT_EQ(found["scan"]["output_to_dummy"], true);
    EXPECT_EQ(found["exit_code"], 1);

    // Whatever else the scene broke (on PipeWire the session manager is down too), the row of
    // the device status is mended and confirmed.
    nlohmann::json fixed = Check({"--fix"});
    bool rowFixed = false;
    for (const auto& finding : fixed["findings"]) {
        if (finding["id"] == "TEXT_VD_12") {
            rowFixed = finding["fixed"] == true;
        }
    }
    EXPECT_TRUE(rowFixed) << fixed.dump();
    EXPECT_EQ(DefaultSink(*server), "tm_null");
    EXPECT_THAT(Ids(Check({})), Not(Contains("TEXT_VD_12")));
}

std::string NameOf(const testing::TestParamInfo<Scene>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(DeviceStatus, OnlyTheDummy, testing::ValuesIn(kOnlyTheDummy), NameOf);
INSTANTIATE_TEST_SUITE_P(DeviceStatus, SentNowhere, testing::ValuesIn(kSentNowhere), NameOf);

} // namespace
