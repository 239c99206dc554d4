// Handing the registry script to our importer and web addresses to the desktop's opener, with
// real processes: stand-ins placed where the shell looks record what they were started with.
#include "platform/Shell.h"

#include "ScriptWriting.h"
#include "platform/ProcessLaunch.h"
#include "support/Command.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;

// Sets an environment variable for a scope and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> SplitNul(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    return parts;
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// What a stand-in recorded: its arguments, and the lines of its info file.
struct Recorded {
    std::vector<std::string> args;
    std::string argv0;
    long pid = 0;
    std::map<int, std::string> fds;
};

Recorded ReadRecord(const std::string& record) {
    Recorded r;
    r.args = SplitNul(ReadAll(record));
    std::istringstream info(ReadAll(record + ".info"));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("argv0 ", 0) == 0) {
            r.argv0 = line.substr(6);
        } else if (line.rfind("pid ", 0) == 0) {
            r.pid = std::stol(line.substr(4));
        } else if (line.rfind("fd ", 0) == 0) {
            std::size_t space = line.find(' ', 3);
            r.fds[std::stoi(line.substr(3, space - 3))] = line.substr(space + 1);
        }
    }
    return r;
}

class ShellTest : public testing::Test {
protected:
    ShellTest() {
        bin_ = scratch_.Path() + "/bin";
        record_ = scratch_.Path() + "/record";
        std::filesystem::create_directory(bin_);
    }

    // Puts the recorder into bin_ under the given name.
    void PlaceStandIn(const std::string& name) {
        std::string recorder = platform::OwnProgramDirectory() + "/tm_argv_recorder";
        ASSERT_TRUE(std::filesystem::exists(recorder)) << recorder;
        std::filesystem::copy_file(recorder, bin_ + "/" + name,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    HINSTANCE Run(LPCSTR operation, LPCSTR file, LPCSTR parameters,
                  std::chrono::milliseconds wait = 5s) {
        platform::ScopedBackend<platform::ShellBackend> shell(platform::ShellSlot(),
                                                              platform::MakeLinuxShell(bin_, wait));
        return ShellExecuteA(nullptr, operation, file, parameters, nullptr, SW_HIDE);
    }

    testing_support::ScratchDir scratch_{"tm-shell"};
    std::string bin_;
    std::string record_;
    ScopedEnv recordVariable_{"TM_ARGV_RECORD", scratch_.Path() + "/record"};
};

TEST_F(ShellTest, ImporterGetsTheWholePathAsOneArgumentAndNoneOfOurDescriptors) {
    PlaceStandIn(platform::kRegistryImporterName);
    // The temporary folder the script is unpacked into may hold anything a folder name can.
    std::string tmp = scratch_.Path() + "/my \"odd\" temp 'dir'";
    std::filesystem::create_directory(tmp);
    ScopedEnv tmpdir("TMPDIR", tmp);
    // A descriptor of ours that a careless start would hand on.
    int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);

    const std::string paths[] = {
        tmp + "/~qv1A2B.tmp",
        tmp + "/two  spaces and a trailing one ",
        tmp + "/$(touch " + scratch_.Path() + "/pwned); `id` | cat > x",
        tmp + "/back\\slash 'single' \"double\" ünï ✓",
        "-rf looks like an option",
        "/s nested switch",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::filesystem::remove(record_);
        HINSTANCE result = Run("Open", "regedit.exe", ("/s " + path).c_str());

        EXPECT_GT(platform::ShellResultCode(result), 32u);
        // Waited for: the record is there as soon as the call returns.
        ASSERT_TRUE(std::filesystem::exists(record_));
        Recorded r = ReadRecord(record_);
        EXPECT_THAT(r.args, ElementsAre(path));
        EXPECT_EQ(r.argv0, bin_ + "/" + platform::kRegistryImporterName);
        EXPECT_EQ(r.fds.count(leaked), 0u);
        EXPECT_EQ(r.fds[0], "/dev/null");
        EXPECT_EQ(r.fds[1], "/dev/null");
        for (const auto& [fd, target] : r.fds) {
            EXPECT_LE(fd, 2) << target;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(scratch_.Path() + "/pwned"));
    close(leaked);
}

bool ProcessGone(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    return !stat.good();
}

TEST_F(ShellTest, ImporterThatOutlastsTheWaitIsLeftToFinishAndReaped) {
    PlaceStandIn(platform::kRegistryImporterName);
    ScopedEnv slow("TM_ARGV_SLEEP_MS", "600");

    HINSTANCE result = Run(nullptr, "REGEDIT.EXE", "/s /tmp/script.reg", 50ms);

    EXPECT_GT(platform::ShellResultCode(result), 32u);
    EXPECT_FALSE(std::filesystem::exists(record_)); // still asleep when the call returned
    ASSERT_TRUE(WaitForFile(record_, 10s));
    Recorded r = ReadRecord(record_);
    EXPECT_THAT(r.args, ElementsAre("/tmp/script.reg"));
    // Once it ends nobody needs to ask about it: no zombie stays behind.
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ProcessGone(r.pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ProcessGone(r.pid));
}

TEST_F(ShellTest, RefusesWhatItDoesNotHandleAndStartsNothing) {
    PlaceStandIn(platform::kRegistryImporterName);
    PlaceStandIn("xdg-open");
    ScopedEnv path("PATH", bin_);
    struct Case {
        const char* name;
        LPCSTR operation;
        LPCSTR file;
        LPCSTR parameters;
        UINT_PTR result;
    };
    const Case cases[] = {
        {"no file", "Open", nullptr, nullptr, SE_ERR_FNF},
        {"empty file", "Open", "", nullptr, SE_ERR_FNF},
        {"registry editor without /s", "Open", "regedit.exe", "C:\\script.reg", SE_ERR_FNF},
        {"registry editor without a path", "Open", "regedit.exe", "/s ", SE_ERR_FNF},
        {"registry editor without parameters", "Open", "regedit.exe", nullptr, SE_ERR_FNF},
        {"another verb", "print", "regedit.exe", "/s /tmp/x", SE_ERR_NOASSOC},
        {"another program", "Open", "notepad.exe", "/s /tmp/x", SE_ERR_NOASSOC},
        {"a local file", "Open", "/etc/passwd", nullptr, SE_ERR_NOASSOC},
        {"a file address", "Open", "file:///etc/passwd", nullptr, SE_ERR_NOASSOC},
        {"a script address", "Open", "javascript:alert(1)", nullptr, SE_ERR_NOASSOC},
        {"an address with a space", "Open", "https://example.com/a b", nullptr, SE_ERR_NOASSOC},
        {"an address with a line break", "Open", "https://example.com/\nx", nullptr,
         SE_ERR_NOASSOC},
        {"an option in disguise", "Open", "--help", nullptr, SE_ERR_NOASSOC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ShellResultCode(Run(c.operation, c.file, c.parameters)), c.result);
    }
    std::this_thread::sleep_for(100ms); // a detached opener would have written by now
    EXPECT_FALSE(std::filesystem::exists(record_));
}

TEST_F(ShellTest, MissingImporterIsFileNotFound) {
    EXPECT_EQ(platform::ShellResultCode(Run("Open", "regedit.exe", "/s /tmp/x.reg")), SE_ERR_FNF);
}

TEST_F(ShellTest, WebAddressGoesToTheDesktopOpenerAsOneArgument) {
    PlaceStandIn("xdg-open");
    ScopedEnv path("PATH", bin_);
    const char* addresses[] = {
        "http://www.example.com/sound-help",
        "HTTPS://example.com/path?q=$(id)&x='1'#frag",
    };
    for (const char* address : addresses) {
        SCOPED_TRACE(address);
        std::filesystem::remove(record_);
        EXPECT_GT(platform::ShellResultCode(Run("Open", address, nullptr)), 32u);
        ASSERT_TRUE(WaitForFile(record_, 10s));
        Recorded r = ReadRecord(record_);
        EXPECT_THAT(r.args, ElementsAre(address));
        EXPECT_EQ(r.argv0, bin_ + "/xdg-open");
    }
}

// Under the offscreen platform the desktop services open nothing, so this shows the way
// round them; on a real desktop they open the address themselves.
TEST_F(ShellTest, DesktopProgramWhoseDesktopServicesCannotOpenTheAddressUsesTheOpener) {
    PlaceStandIn("xdg-open");
    ScopedEnv path("PATH", bin_);
    int argc = 1;
    char name[] = "service_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    EXPECT_GT(platform::ShellResultCode(Run("Open", "https://example.com/help", nullptr)), 32u);
    ASSERT_TRUE(WaitForFile(record_, 10s));
    EXPECT_THAT(ReadRecord(record_).args, ElementsAre("https://example.com/help"));
}

TEST_F(ShellTest, WebAddressWithoutAnOpenerFails) {
    ScopedEnv path("PATH", bin_); // holds no xdg-open
    EXPECT_EQ(platform::ShellResultCode(Run("Open", "https://example.com/", nullptr)),
              SE_ERR_NOASSOC);
}

// The built importer itself, started the way the repair starts it. Its messages go to our
// standard error, which is caught in a file for the length of the call.
class RealImporterTest : public testing::Test {
protected:
    RealImporterTest() {
        dir_ = scratch_.Path() + "/temp with a space and a \"quote'";
        std::filesystem::create_directory(dir_);
    }

    std::string RunImporter(const std::string& scriptPath) {
        std::string caught = scratch_.Path() + "/stderr";
        std::fflush(stderr);
        int saved = dup(2);
        int file = open(caught.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(file, 2);
        close(file);
        platform::ScopedBackend<platform::ShellBackend> shell(platform::ShellSlot(),
                                                              platform::MakeLinuxShell());
        result_ = ShellExecuteA(nullptr, "Open", "regedit.exe", ("/s " + scriptPath).c_str(),
                                nullptr, SW_HIDE);
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        return ReadAll(caught);
    }

    testing_support::ScratchDir scratch_{"tm-importer"};
    std::string dir_;
    HINSTANCE result_ = nullptr;
    // No session bus here, whatever the machine has: the importer must not touch the real
    // user manager of whoever runs the tests.
    ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + scratch_.Path() + "/no-bus"};
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", scratch_.Path()};
};

TEST_F(RealImporterTest, ReadsTheScriptAtAPathWithSpacesAndQuotes) {
    std::string script = dir_ + "/~qv12AB.tmp";
    service_tests::WriteBytes(
        script, service_tests::Utf16Script(service_tests::Lines(
                    {"Windows Registry Editor Version 5.00", "",
                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\AudioSrv]",
                     "\"Start\"=dword:00000002", ""})));

    std::string messages = RunImporter(script);

    EXPECT_GT(platform::ShellResultCode(result_), 32u);
    EXPECT_THAT(messages, HasSubstr("AudioSrv: no systemd user manager in this session"));
}

TEST_F(RealImporterTest, DamagedScriptIsRefusedNamingThePath) {
    std::string script = dir_ + "/damaged.tmp";
    service_tests::WriteBytes(script, {0xFF, 0xFE, 'R', 0, 'E', 0});

    std::string messages = RunImporter(script);

    EXPECT_THAT(messages, HasSubstr("\"" + script + "\" is not a valid registry script"));
    EXPECT_THAT(messages, HasSubstr("nothing changed"));
}

} // namespace
