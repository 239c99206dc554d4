// The device status check of the built tonemender-check against real sound servers of the
// test's own: sound with nowhere to go but the dummy sink, and sound sent to the dummy while a
// real sink exists, found, repaired where it can be, and confirmed by pactl.
#include "support/PrivatePulse.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing::HasSubstr;
using testing::Not;
using testing_support::CommandResult;
using testing_support::PrivatePulse;
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

// How each server comes to send sound nowhere while a real sink (tm_null) exists, and the rows
// that state makes.
struct OnPulseAudio : PrivatePulse {
    // PulseAudio's fallback is module-always-sink's null sink; loading the same sink the same
    // way beside a real one and making it the default is the state of a machine whose card came
    // back after the dummy took over.
    static std::vector<std::string> SendSoundNowhere(PrivatePulse& server) {
        EXPECT_EQ(server
                      .Pactl({"load-module", "module-null-sink", "sink_name=auto_null",
                              "sink_properties=device.description=Dummy_Output"})
                      .exitCode,
                  0);
        EXPECT_EQ(server.Pactl({"set-default-sink", "auto_null"}).exitCode, 0);
        return {"TEXT_VD_12"};
    }
};

template <class Server> class DeviceStatusCheck : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(CheckProgram().empty()) << "TONEMENDER_CHECK names the program";
        std::filesystem::path config = server.Environment().at("HOME");
        config /= ".config/pulse";
        std::filesystem::create_directories(config);
        std::ofstream(config / "client.conf") << "autospawn = no\n";
        server.ApplyToProcess();
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
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

    std::string DefaultSink() {
        CommandResult r = server.Pactl({"get-default-sink"});
        return r.exitCode == 0 ? r.output.substr(0, r.output.find('\n')) : "";
    }

    // Leaves nothing but the server's own dummy sink: both servers make it when their last
    // sink goes.
    void RemoveEverySink() {
        ASSERT_EQ(server.Pactl({"unload-module", "module-null-sink"}).exitCode, 0);
        for (int i = 0; i < 100 && DefaultSink() != "auto_null"; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(DefaultSink(), "auto_null");
    }

    Server server;
};

using Servers = testing::Types<OnPulseAudio>;
TYPED_TEST_SUITE(DeviceStatusCheck, Servers);

TYPED_TEST(DeviceStatusCheck, OnlyTheDummySinkIsNoOutputDeviceAndNotFixable) {
    this->RemoveEverySink();

    nlohmann::json found = this->Check({});
    EXPECT_THAT(Ids(found), testing::ElementsAre("TEXT_VD_10"));
    EXPECT_EQ(found["findings"][0]["title"], "No audio output device found");
    EXPECT_EQ(found["scan"]["no_output_device"], true);
    EXPECT_EQ(found["exit_code"], 1);

    nlohmann::json fixed = this->Check({"--fix"});
    EXPECT_EQ(fixed["findings"][0]["fixed"], false);
    EXPECT_EQ(fixed["findings"][0]["outcome"], "Not Fix");
    EXPECT_EQ(fixed["repair"]["fixed"], 0);
    EXPECT_EQ(fixed["exit_code"], 1);
    EXPECT_EQ(this->DefaultSink(), "auto_null");
}

TYPED_TEST(DeviceStatusCheck, SoundSentNowhereIsRoutedToTheRealSink) {
    const std::vector<std::string> rows = TypeParam::SendSoundNowhere(this->server);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    nlohmann::json found = this->Check({});
    EXPECT_EQ(Ids(found), rows);
    EXPECT_EQ(found["scan"]["output_to_dummy"], true);
    EXPECT_EQ(found["exit_code"], 1);

    nlohmann::json fixed = this->Check({"--fix"});
    EXPECT_EQ(fixed["repair"]["fixed"], rows.size()) << fixed.dump();
    EXPECT_EQ(fixed["exit_code"], 0);
    EXPECT_EQ(this->DefaultSink(), "tm_null");
    EXPECT_THAT(Ids(this->Check({})), testing::IsEmpty());
}

} // namespace
