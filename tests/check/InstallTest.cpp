// `cmake --install` into a scratch DESTDIR: where the programs, the device library, the links,
// the desktop entry and the icons land, that the entry is valid for the desktop's menus, and
// that the installed tonemender-check runs from there and finds its library beside itself.
#include "support/BusySink.h"
#include "support/PrivatePulse.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;
using testing_support::BusySink;
using testing_support::CommandResult;
using testing_support::PrivatePulse;
using testing_support::RunCommand;
using testing_support::ScratchDir;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Width and height from a PNG's header; nullopt when the file is no PNG.
std::optional<std::pair<unsigned, unsigned>> PngSize(const fs::path& file) {
    const std::string bytes = ReadFile(file);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return std::nullopt;
    }
    const auto number = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 4; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[i]);
        }
        return value;
    };
    return std::pair(number(16), number(20));
}

bool IsExecutableFile(const fs::path& file) {
    return fs::is_regular_file(fs::symlink_status(file)) && access(file.c_str(), X_OK) == 0;
}

class Install : public testing::Test {
protected:
    void SetUp() override {
        build = Environment("TONEMENDER_BUILD_DIR");
        ASSERT_FALSE(build.empty()) << "TONEMENDER_BUILD_DIR names the build tree";
        window = Environment("TONEMENDER_HAS_WINDOW") == "1";
    }

    // Installs into the scratch folder; the prefix is the configured one unless given.
    void InstallTo(const std::string& prefix = "") {
        std::vector<std::string> command{"cmake", "--install", build};
        if (!prefix.empty()) {
            command.insert(command.end(), {"--prefix", prefix});
        }
        const CommandResult installed = RunCommand(command, {{"DESTDIR", destdir.Path()}}, 60000);
        ASSERT_EQ(installed.exitCode, 0) << installed.output;
    }

    std::vector<std::string> Commands() const {
        std::vector<std::string> commands{"tonemender-check"};
        if (window) {
            commands.push_back("tonemender");
        }
        return commands;
    }

    std::string build;
    bool window = false;
    ScratchDir destdir{"tm-install"};
};

TEST_F(Install, ProgramsAndLibraryLiveTogetherAndBinLinksToThem) {
    InstallTo();
    const fs::path prefix = destdir.Path() + "/usr/local";
    const fs::path privateDir = prefix / "lib/tonemender";
    for (const char* program : {"tonemender-check", "tonemender-regimport"}) {
        EXPECT_TRUE(IsExecutableFile(privateDir / program)) << program;
    }
    EXPECT_EQ(IsExecutableFile(privateDir / "tonemender"), window);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(privateDir / "libtmaudiomanager.so")));

    for (const std::string& command : Commands()) {
        const fs::path link = prefix / "bin" / command;
        ASSERT_TRUE(fs::is_symlink(link)) << command;
        EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/tonemender") / command)
            << "relative, so the installed tree can be moved as a whole";
        EXPECT_TRUE(fs::equivalent(link, privateDir / command)) << command;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(prefix / "bin/tonemender-regimport")))
        << "the importer is no command of its own";
    EXPECT_EQ(fs::exists(fs::symlink_status(prefix / "bin/tonemender")), window);

    // Nothing installed points back into the build tree.
    for (const auto& entry : fs::directory_iterator(privateDir)) {
        const CommandResult dynamic = RunCommand({"readelf", "-d", entry.path().string()});
        ASSERT_EQ(dynamic.exitCode, 0) << dynamic.output;
        EXPECT_THAT(dynamic.output, Not(HasSubstr(build))) << entry.path();
    }
}

TEST_F(Install, TheDesktopEntryIsValidAndNamesTheProgramAndItsIcon) {
    InstallTo();
    const fs::path prefix = destdir.Path() + "/usr/local";
    const fs::path entry = prefix / "share/applications/tonemender.desktop";
    ASSERT_TRUE(fs::is_regular_file(entry));

    const CommandResult validation = RunCommand({"desktop-file-validate", entry.string()});
    EXPECT_EQ(validation.exitCode, 0) << validation.output;
    EXPECT_THAT(validation.output, Not(HasSubstr("error:"))) << validation.output;

    const std::string text = ReadFile(entry);
    for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Tonemender\n",
                             "\nGenericName=", "\nComment=", "\nExec=/usr/local/bin/tonemender\n",
                             "\nIcon=tonemender\n", "\nTerminal=false\n",
                             "\nCategories=AudioVideo;Audio;Settings;HardwareSettings;\n"}) {
        EXPECT_THAT(text, HasSubstr(line));
    }
    EXPECT_THAT(text, Not(HasSubstr("@"))) << "every placeholder filled";

    for (unsigned size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = prefix / "share/icons/hicolor" / folder / "apps/tonemender.png";
        EXPECT_EQ(PngSize(icon), std::pair(size, size)) << icon;
    }
}

TEST_F(Install, ThePrefixGivenAtInstallTimeIsTheOneTheEntryNames) {
    InstallTo("/opt/tone mender");
    const fs::path prefix = destdir.Path() + "/opt/tone mender";
    const std::string text = ReadFile(prefix / "share/applications/tonemender.desktop");
    EXPECT_THAT(text, HasSubstr("\nExec=\"/opt/tone mender/bin/tonemender\"\n"));
    EXPECT_THAT(text, HasSubstr("\nTryExec=/opt/tone mender/bin/tonemender\n"));
    EXPECT_TRUE(fs::is_symlink(prefix / "bin/tonemender-check"));
    const CommandResult validation = RunCommand(
        {"desktop-file-validate", (prefix / "share/applications/tonemender.desktop").string()});
    EXPECT_EQ(validation.exitCode, 0) << validation.output;
}

TEST_F(Install, TheInstalledCheckRunsAndFindsItsLibraryBesideItself) {
    InstallTo();
    PrivatePulse pulse;
    std::string error;
    ASSERT_TRUE(pulse.Start(&error)) << error;
    pulse.ApplyToProcess();
    BusySink busy(pulse);
    ASSERT_TRUE(busy.Settled());

    const std::string check = destdir.Path() + "/usr/local/bin/tonemender-check";
    const CommandResult plain = RunCommand({check}, {}, 60000);
    EXPECT_TRUE(plain.exitCode == 0 || plain.exitCode == 1) << plain.output;
    // The driver check runs only when the device library was loaded.
    EXPECT_THAT(plain.output, HasSubstr("\nChecking audio device driver...\n")) << plain.output;
    EXPECT_THAT(plain.output, Not(HasSubstr("Sanitizer"))) << plain.output;

    const CommandResult json = RunCommand({check, "--json"}, {}, 60000);
    EXPECT_TRUE(json.exitCode == 0 || json.exitCode == 1) << json.output;
    nlohmann::json parsed;
    EXPECT_NO_THROW(parsed = nlohmann::json::parse(json.output)) << json.output;
    EXPECT_EQ(parsed["exit_code"], json.exitCode);
}

} // namespace
