// The built tonemender-check against a PulseAudio daemon, and a PipeWire session, of the test's
// own: what it prints and how it exits for a muted quiet sink and for a server (or a part of
// one) that is not running, what --fix leaves behind as pactl sees it, its JSON, and an
// interrupt in the middle of a scan.
#include "support/BusySink.h"
#include "support/PrivatePipeWire.h"
#include "support/PrivatePulse.h"
#include "support/ScopedUnset.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::Not;
using testing_support::BusySink;
using testing_support::CommandResult;
using testing_support::PrivatePipeWire;
using testing_support::PrivatePulse;
using testing_support::PrivateServer;
using testing_support::RunCommand;
using testing_support::ScratchDir;
using testing_support::ServerKind;
using Clock = std::chrono::steady_clock;

std::string CheckProgram() {
    const char* program = std::getenv("TONEMENDER_CHECK");
    return program != nullptr ? program : "";
}

using testing_support::ScopedUnset;

// Whether the lines appear in the output in this order (each after the one before).
bool InOrder(const std::string& output, const std::vector<std::string>& lines) {
    std::size_t from = 0;
    for (const std::string& line : lines) {
        const std::size_t at = output.find(line, from);
        if (at == std::string::npos) {
            return false;
        }
        from = at + line.size();
    }
    return true;
}

// The program against a private server of either kind; Kind() says which.
class CheckProgramOnServer : public testing::Test {
protected:
    virtual ServerKind Kind() const = 0;

    void SetUp() override {
        ASSERT_FALSE(CheckProgram().empty()) << "TONEMENDER_CHECK names the program";
        server = testing_support::MakePrivateServer(Kind());
        const char* path = std::getenv("PATH");
        searchPath = path != nullptr ? path : "/usr/bin:/bin";
        if (Kind() == ServerKind::PulseAudio) {
            SetUpPulseAudio();
        }
        server->ApplyToProcess();
    }

    // Nothing may start the daemon behind the test's back but the program's own repair (the
    // server's client.conf says so).
    void SetUpPulseAudio() {
        std::filesystem::path config = server->Environment().at("HOME");
        config /= ".config/pulse";
        // The daemon the repair starts: the same null sink, with a quiet low-latency stream on
        // it so that it plays like a sink in use rather than an idle one.
        std::ofstream(config / "default.pa")
            << "load-module module-native-protocol-unix\n"
               "load-module module-null-sink sink_name=tm_null\n"
               "set-default-sink tm_null\n"
               "load-module module-null-source source_name=tm_quiet\n"
               "load-module module-loopback source=tm_quiet sink=tm_null latency_msec=20\n";
        MakeSettlingStarter();
    }

    // A null sink only takes up a stream's latency after its first 2-second cycle, which a
    // real sink does not have; the test sound played inside that cycle would overrun its grace.
    // So `pulseaudio --start`, as the repair runs it, returns once the sink is past it: the
    // real daemon with the real arguments, only the return is held back.
    void MakeSettlingStarter() {
        const std::string bin = scratch.Path() + "/bin";
        std::filesystem::create_directories(bin);
        const std::string starter = bin + "/pulseaudio";
        std::ofstream(starter)
            << "#!/bin/sh\n"
               "/usr/bin/pulseaudio \"$@\"; rc=$?\n"
               "case \" $* \" in *\" --start \"*)\n"
               "  for i in $(seq 100); do\n"
               "    pactl list sinks 2>/dev/null | grep -Eq 'Latency: [0-9]{1,5} usec' && break\n"
               "    sleep 0.05\n"
               "  done;;\n"
               "esac\n"
               "exit $rc\n";
        chmod(starter.c_str(), 0755);
        const char* path = std::getenv("PATH");
        searchPath = bin + ":" + (path != nullptr ? path : "/usr/bin:/bin");
    }

    void StartDaemon() {
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
    }

    CommandResult Check(std::vector<std::string> arguments, std::string path = "") {
        arguments.insert(arguments.begin(), CheckProgram());
        CommandResult result =
            RunCommand(arguments, {{"PATH", path.empty() ? searchPath : path}}, 60000);
        // Under the sanitizer builds a fault ends the program with 1, which is also an answer.
        EXPECT_THAT(result.output, Not(HasSubstr("Sanitizer"))) << result.output;
        EXPECT_THAT(result.output, Not(HasSubstr("runtime error:"))) << result.output;
        return result;
    }

    ScratchDir scratch{"tm-check"};
    std::string searchPath;
    // No session bus but PipeWire's own, which has no user manager on it: the service is the
    // server itself, and the user manager of whoever runs the tests is never touched. (Before
    // the server, so that the server puts back the state without a bus first.)
    ScopedUnset bus{"DBUS_SESSION_BUS_ADDRESS"};
    std::unique_ptr<PrivateServer> server;
};

class CheckProgramPulse : public CheckProgramOnServer {
protected:
    ServerKind Kind() const override { return ServerKind::PulseAudio; }
};

// The cases that hold on either server.
class CheckProgramOn : public CheckProgramOnServer, public testing::WithParamInterface<ServerKind> {
protected:
    ServerKind Kind() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Servers, CheckProgramOn,
                         testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const auto& info) { return testing_support::KindName(info.param); });

TEST_P(CheckProgramOn, AMutedQuietSinkIsReportedThenFixed) {
    StartDaemon();
    ASSERT_EQ(server->Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(server->Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    BusySink busy(*server);
    ASSERT_TRUE(busy.Settled());

    const CommandResult found = Check({});
    EXPECT_EQ(found.exitCode, 1) << found.output;
    EXPECT_TRUE(InOrder(found.output,
                        {"Start Scan\n", "Checking default audio device...\n",
                         "Checking audio device volume...\n", "Checking audio service status...\n",
                         "Scan complete\n", "Problems found (2)\n", "  Audio device muted\n",
                         "    Unmute the audio device to play sound\n", "    Detected, Not Fix\n",
                         "  Low audio device volume\n", "    Increase the audio device volume\n"}))
        << found.output;
    EXPECT_THAT(found.output, Not(HasSubstr("Sound playing not functioning")));
    EXPECT_THAT(found.output, Not(HasSubstr("ALSA lib"))) << "the library's own lines stay out";
    EXPECT_EQ(server->SinkMuted(), true) << "a check alone changes nothing";

    const CommandResult fixed = Check({"--fix"});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.output;
    EXPECT_THAT(fixed.output, HasSubstr("\nSuccessfully fixed 2 problems.\n"));
    EXPECT_EQ(server->SinkMuted(), false);
    EXPECT_EQ(server->SinkVolume(), 32768);

    const CommandResult again = Check({});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_THAT(again.output, HasSubstr("\nYour computer sound works fine.\n"));
}

TEST_P(CheckProgramOn, JsonCarriesTheFindingsAndTheRepair) {
    StartDaemon();
    ASSERT_EQ(server->Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"}).exitCode, 0);
    ASSERT_EQ(server->Pactl({"set-sink-volume", "@DEFAULT_SINK@", "20%"}).exitCode, 0);
    BusySink busy(*server);
    ASSERT_TRUE(busy.Settled());

    const CommandResult found = Check({"--json"});
    EXPECT_EQ(found.exitCode, 1);
    nlohmann::json json;
    ASSERT_NO_THROW(json = nlohmann::json::parse(found.output)) << found.output;
    ASSERT_EQ(json["findings"].size(), 2u) << found.output;
    EXPECT_EQ(json["findings"][0]["id"], "TEXT_VD_05");
    EXPECT_EQ(json["findings"][0]["title"], "Audio device muted");
    EXPECT_EQ(json["findings"][1]["id"], "TEXT_VD_06");
    EXPECT_EQ(json["scan"]["master_volume"], server->SinkVolume().value_or(-1));
    EXPECT_EQ(json["scan"]["master_muted"], true);
    EXPECT_EQ(json["scan"]["sound_played"], true);
    EXPECT_EQ(json["exit_code"], 1);
    EXPECT_FALSE(json.contains("repair"));

    const CommandResult fixed = Check({"--fix", "--json"});
    EXPECT_EQ(fixed.exitCode, 0);
    ASSERT_NO_THROW(json = nlohmann::json::parse(fixed.output)) << fixed.output;
    EXPECT_EQ(json["repair"]["performed"], true);
    EXPECT_EQ(json["repair"]["listed"], 2);
    EXPECT_EQ(json["repair"]["fixed"], 2);
    EXPECT_EQ(json["repair"]["message"], "Successfully fixed 2 problems.");
    EXPECT_EQ(json["findings"][0]["fixed"], true);
    EXPECT_EQ(json["findings"][1]["fixed"], true);
    EXPECT_EQ(json["exit_code"], 0);
}

TEST_F(CheckProgramPulse, AServerThatIsNotRunningIsReportedThenStarted) {
    StartDaemon();
    server->Kill();
    ASSERT_FALSE(server->Answers());

    const CommandResult found = Check({});
    EXPECT_EQ(found.exitCode, 1) << found.output;
    EXPECT_TRUE(InOrder(found.output,
                        {"Problems found (2)\n", "  One or more audio service isn't running\n",
                         "    Start required audio services\n", "    Detected, Not Run\n",
                         "  Sound playing not functioning\n"}))
        << found.output;
    EXPECT_FALSE(server->Answers()) << "a check alone starts nothing";

    // PipeWire is installed here too, but this session used PulseAudio: that is what starts.
    const auto started = Clock::now();
    const CommandResult fixed = Check({"--fix"});
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    std::cout << "[ measured ] --fix with PulseAudio down: " << took.count() << " ms\n";
    RecordProperty("fix_pulseaudio_down_ms", static_cast<int>(took.count()));
    EXPECT_EQ(fixed.exitCode, 0) << fixed.output;
    EXPECT_THAT(fixed.output, HasSubstr("Successfully fixed 2 problems.\n"));
    EXPECT_THAT(server->Pactl({"info"}).output, HasSubstr("Server Name: pulseaudio\n"))
        << "pactl info reaches the daemon the repair started";
    const std::string runtime = server->Environment().at("XDG_RUNTIME_DIR");
    for (const char* part :
         {PrivatePipeWire::kCore, PrivatePipeWire::kSessionManager, PrivatePipeWire::kPulse}) {
        EXPECT_TRUE(PrivatePipeWire::ProcessesIn(runtime, part).empty()) << part;
    }
}

class CheckProgramPipeWire : public CheckProgramOnServer {
protected:
    ServerKind Kind() const override { return ServerKind::PipeWire; }
    PrivatePipeWire& Session() { return static_cast<PrivatePipeWire&>(*server); }
};

// Each case starts from a whole session, kills some of its parts, and expects the repair to
// bring back exactly those (and to restart, not duplicate, the clients of a core it starts).
TEST_F(CheckProgramPipeWire, APartThatIsDownIsReportedThenStartedAlone) {
    struct Case {
        const char* name;
        std::vector<const char*> killed;
        // WirePlumber 0.4.13 started again on a core that keeps running links no stream to a
        // sink the core itself made ("pending linkable(s) not activated"): the service runs
        // again and the default is right, but that sink stays silent.
        bool soundBack;
    };
    const Case cases[] = {
        {"pipewire-pulse", {PrivatePipeWire::kPulse}, true},
        {"wireplumber", {PrivatePipeWire::kSessionManager}, false},
        {"pipewire", {PrivatePipeWire::kCore}, true},
        {"all three",
         {PrivatePipeWire::kPulse, PrivatePipeWire::kSessionManager, PrivatePipeWire::kCore},
         true},
    };
    const char* parts[] = {PrivatePipeWire::kCore, PrivatePipeWire::kSessionManager,
                           PrivatePipeWire::kPulse};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartDaemon();
        for (const char* part : c.killed) {
            ASSERT_EQ(Session().KillPart(part), 1) << part;
        }

        const CommandResult found = Check({});
        EXPECT_EQ(found.exitCode, 1) << found.output;
        EXPECT_THAT(found.output, HasSubstr("  One or more audio service isn't running\n"))
            << found.output;
        EXPECT_THAT(found.output, HasSubstr("    Detected, Not Run\n"));
        // Besides the service, the sound that does not play, and where the pulse server still
        // answers, the default sink that names no sink any more.
        std::smatch count;
        ASSERT_TRUE(
            std::regex_search(found.output, count, std::regex(R"(Problems found \((\d)\))")))
            << found.output;

        const auto started = Clock::now();
        const CommandResult fixed = Check({"--fix"});
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        std::cout << "[ measured ] --fix with " << c.name << " down: " << took.count() << " ms\n";
        const int listed = std::stoi(count[1].str());
        EXPECT_EQ(fixed.exitCode, c.soundBack ? 0 : 1) << fixed.output;
        EXPECT_THAT(fixed.output,
                    c.soundBack ? HasSubstr("Successfully fixed " + count[1].str() + " problems.\n")
                                : HasSubstr("Fixed " + std::to_string(listed - 1) + " of " +
                                            count[1].str() + " problems."))
            << fixed.output;
        for (const char* part : parts) {
            EXPECT_EQ(Session().CountPart(part), 1) << part;
        }
        EXPECT_THAT(server->Pactl({"info"}).output,
                    HasSubstr("Server Name: PulseAudio (on PipeWire"));

        const CommandResult again = Check({});
        EXPECT_THAT(again.output, Not(HasSubstr("audio service isn't running"))) << again.output;
        if (c.soundBack) {
            EXPECT_EQ(again.exitCode, 0) << again.output;
            EXPECT_THAT(again.output, HasSubstr("\nYour computer sound works fine.\n"));
        }
    }
}

TEST_F(CheckProgramPulse, WithNoSoundServerInstalledTheRepairSaysWhatRemains) {
    StartDaemon();
    server->Kill();
    // Nothing on the search path: neither PulseAudio nor PipeWire is installed, as far as the
    // program can tell, and without a user manager there is nothing that could start one.
    const std::string empty = scratch.Path() + "/empty";
    std::filesystem::create_directories(empty);

    const CommandResult fixed = Check({"--fix"}, empty);
    EXPECT_EQ(fixed.exitCode, 1) << fixed.output;
    EXPECT_TRUE(InOrder(fixed.output,
                        {"Problems found (2)\n", "  One or more audio service isn't running\n",
                         "  Sound playing not functioning\n",
                         "Fixed 0 of 2 problems. The remaining ones need your attention.\n",
                         "  One or more audio service isn't running\n", "    Detected, Not Run\n",
                         "  Sound playing not functioning\n"}))
        << fixed.output;
    EXPECT_FALSE(server->Answers());
}

TEST_F(CheckProgramPulse, BadArgumentsGetTheUsageAndExitCodeTwo) {
    const CommandResult bad = Check({"--frobnicate"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.output.rfind("tonemender-check: unknown option '--frobnicate'\nUsage: ", 0), 0u)
        << bad.output;

    // A control character in an argument reaches the terminal escaped; with --json the error
    // is JSON, and only that.
    const CommandResult control = Check({"--\xc2\x9b"
                                         "2J"});
    EXPECT_EQ(control.exitCode, 2);
    EXPECT_EQ(control.output.rfind("tonemender-check: unknown option '--\\u009B2J'\nUsage: ", 0),
              0u)
        << control.output;
    const CommandResult json = Check({"--json", "--\xc2\x9b"
                                                "2J"});
    EXPECT_EQ(json.exitCode, 2);
    nlohmann::json error;
    ASSERT_NO_THROW(error = nlohmann::json::parse(json.output)) << json.output;
    EXPECT_EQ(error, nlohmann::json({{"error", "unknown option '--\\u009B2J'"}}));
    for (const CommandResult* r : {&control, &json}) {
        EXPECT_EQ(r->output.find('\x9b'), std::string::npos) << r->output;
    }

    const CommandResult help = Check({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("Usage: tonemender-check [--fix] [--json]\n", 0), 0u);
    EXPECT_THAT(help.output, Not(HasSubstr("Start Scan"))) << "no scan runs";
}

TEST_F(CheckProgramPulse, AReportThatCannotBeWrittenIsAnError) {
    const struct {
        std::vector<std::string> arguments;
        bool json;
        const char* says;
    } cases[] = {
        {{"--json"}, true, "cannot write the report: No space left on device"},
        {{}, false, "cannot write the report: No space left on device"},
        {{"--help"}, false, "cannot write the usage: No space left on device"},
    };
    for (const auto& c : cases) {
        // Standard output to a full device; what is left in the output is standard error.
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" > /dev/full",
                                         CheckProgram()};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const CommandResult r = RunCommand(argv, {{"PATH", searchPath}}, 60000);
        EXPECT_EQ(r.exitCode, 2) << c.says << "\n" << r.output;
        if (c.json) {
            nlohmann::json error;
            ASSERT_NO_THROW(error = nlohmann::json::parse(r.output)) << r.output;
            EXPECT_EQ(error, nlohmann::json({{"error", c.says}}));
        } else {
            EXPECT_THAT(r.output, HasSubstr(std::string("tonemender-check: ") + c.says + "\n"));
        }
    }
}

// The program in the background with its output in a file, for signalling it mid-run.// The program
// in the background with its output in a file, for signalling it mid-run.
class Background {
public:
    Background(const std::string& program, const std::string& output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    pid_t Pid() const { return pid_; }

    // The exit code, or nullopt when it has not ended by the deadline or ended by a signal.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? std::optional(WEXITSTATUS(status)) : std::nullopt;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
};

std::string ReadAll(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(CheckProgramPulse, CtrlCDuringTheScanEndsItCleanly) {
    StartDaemon();
    // The idle null sink keeps the test sound going for seconds: time to interrupt it.
    const std::string output = scratch.Path() + "/out.txt";
    setenv("PATH", searchPath.c_str(), 1);
    Background check(CheckProgram(), output);
    ASSERT_GT(check.Pid(), 0);
    const auto deadline = Clock::now() + 10s;
    while (ReadAll(output).find("Checking default audio device...") == std::string::npos &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_THAT(ReadAll(output), HasSubstr("Checking default audio device..."));
    // Interrupted while the test sound is a stream on the server.
    const std::string ours = "application.process.id = \"" + std::to_string(check.Pid()) + "\"";
    while (server->Pactl({"list", "sink-inputs"}).output.find(ours) == std::string::npos &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_THAT(server->Pactl({"list", "sink-inputs"}).output, HasSubstr(ours));

    const auto interrupted = Clock::now();
    kill(check.Pid(), SIGINT);
    const std::optional<int> code = check.Wait(5s);
    std::cout
        << "from Ctrl-C to the end of the process: "
        << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - interrupted).count()
        << " ms" << std::endl;
    EXPECT_EQ(code, 130) << ReadAll(output);
    // The sound playing lasts two seconds and more; it is stopped, not waited for.
    EXPECT_LT(Clock::now() - interrupted, 1200ms) << "the sound in progress is stopped at once";
    EXPECT_THAT(ReadAll(output), HasSubstr("tonemender-check: interrupted\n"));
    EXPECT_THAT(ReadAll(output), Not(HasSubstr("Problems found")));
    EXPECT_THAT(ReadAll(output), Not(HasSubstr("Sanitizer")));
}

} // namespace
