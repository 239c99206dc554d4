// Temporary folder and names: where they go, that they are private and exclusive, that a
// planted link is never followed, and that the program tidies up what it made.

#include "platform/TempFiles.h"

#include "TestFiles.h"
#include "config/Errors.h"
#include "graphics/OEUnitResource.h"
#include "platform/testing/ScriptedTempFiles.h"
#include "support/Command.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

namespace fs = std::filesystem;
using resources_test::Present;
using resources_test::ReadText;
using resources_test::TmpDirOverride;
using resources_test::WriteText;

fs::perms PermissionsOf(const std::string& path) {
    return fs::status(path).permissions() & fs::perms::all;
}

class RealTempFolder : public ::testing::Test {
protected:
    testing_support::ScratchDir scratch{"tm-temp"};
    TmpDirOverride tmpdir{scratch.Path()};
};

TEST_F(RealTempFolder, TempPathFollowsTmpdirAndAnswersLikeThePlatform) {
    char buffer[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    EXPECT_EQ(std::string(buffer), scratch.Path() + "/");
    EXPECT_EQ(length, scratch.Path().size() + 1);

    char small[4] = {'x', 'x', 'x', '\0'};
    EXPECT_EQ(GetTempPathA(sizeof small, small), length + 1) << "needed size, terminator included";
    EXPECT_STREQ(small, "xxx") << "a short buffer is left alone";
}

TEST(TempFolder, UnusableTmpdirFallsBackToTmp) {
    for (const char* value : {"", "relative/dir", "/no/such/folder/anywhere"}) {
        TmpDirOverride tmpdir(value);
        char buffer[MAX_PATH];
        GetTempPathA(MAX_PATH, buffer);
        EXPECT_STREQ(buffer, "/tmp/") << "TMPDIR=" << value;
    }
}

TEST_F(RealTempFolder, MadeFilesAreEmptyPrivateAndUnique) {
    const std::regex shape(R"(~qv[0-9A-F]{1,8}\.tmp)");
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        char name[MAX_PATH];
        UINT unique = GetTempFileNameA((scratch.Path() + "/").c_str(), "~qvk", 0, name);
        ASSERT_NE(unique, 0u);
        fs::path made(name);
        EXPECT_EQ(made.parent_path(), fs::path(scratch.Path()));
        EXPECT_TRUE(std::regex_match(made.filename().string(), shape)) << name;
        EXPECT_TRUE(fs::is_regular_file(made));
        EXPECT_EQ(fs::file_size(made), 0u);
        EXPECT_EQ(PermissionsOf(name), fs::perms::owner_read | fs::perms::owner_write);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);
}

TEST_F(RealTempFolder, AGivenNumberOnlyFormsTheName) {
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(scratch.Path().c_str(), "~qvk", 0xBEEF, name), 0xBEEFu);
    EXPECT_EQ(std::string(name), scratch.Path() + "/~qvBEEF.tmp");
    EXPECT_FALSE(Present(name));
}

TEST_F(RealTempFolder, MakeTempFileNameWithAndWithoutExtension) {
    std::string plain = MakeTempFileName("");
    EXPECT_TRUE(fs::is_regular_file(plain)) << "the platform made it";
    EXPECT_EQ(fs::path(plain).extension(), ".tmp");

    std::string png = MakeTempFileName("PNG");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(png.size() - 8), ".tmp.PNG");
    EXPECT_FALSE(Present(png)) << "a name that did not exist before";
    EXPECT_TRUE(fs::is_regular_file(png.substr(0, png.size() - 4))) << "the .tmp one stays";
}

TEST_F(RealTempFolder, ATempFileGoesWithTheNameThePlatformMadeForIt) {
    for (const char* extension : {"", "PNG"}) {
        SCOPED_TRACE(extension);
        std::string name;
        {
            TTempFile file(extension);
            name = file.Name();
            ASSERT_EQ(platform::ReplaceFile(name, "bytes", 5), true);
            EXPECT_EQ(ReadText(name), "bytes");
        }
        EXPECT_FALSE(Present(name));
        EXPECT_TRUE(fs::is_empty(scratch.Path())) << "the platform's empty file went too";
    }
}

TEST(TempFolder, AFolderWeCannotWriteToIsAClearError) {
    TmpDirOverride tmpdir("/proc");
    EXPECT_THROW(MakeTempFileName("PNG"), FileCreateError);
}

class ScriptedTempFolder : public ::testing::Test {
protected:
    testing_support::ScratchDir scratch{"tm-temp"};
    platform::ScopedBackend<platform::TempFileBackend> temp{
        platform::TempFileSlot(),
        std::make_unique<platform::testing::ScriptedTempFiles>(scratch.Path())};
    platform::testing::ScriptedTempFiles& scripted() {
        return static_cast<platform::testing::ScriptedTempFiles&>(*temp);
    }
    std::string At(const std::string& base) { return scratch.Path() + "/" + base; }
};

TEST_F(ScriptedTempFolder, TakenNamesAreSkippedAndPlantedLinksNeverFollowed) {
    std::string victim = At("victim");
    WriteText(victim, "keep me");
    WriteText(At("~qv1.tmp"), "someone else's");
    fs::create_symlink(victim, At("~qv2.tmp"));
    fs::create_symlink(At("nowhere"), At("~qv3.tmp"));
    scripted().uniqueNumbers = {1, 2, 3, 4};

    std::string made = MakeTempFileName("");
    EXPECT_EQ(made, At("~qv4.tmp"));
    EXPECT_EQ(ReadText(victim), "keep me");
    EXPECT_EQ(ReadText(At("~qv1.tmp")), "someone else's");
    EXPECT_FALSE(Present(At("nowhere"))) << "a dangling link is not followed either";
}

TEST_F(ScriptedTempFolder, CreateNewFileRefusesAnythingAlreadyThere) {
    std::string victim = At("victim");
    WriteText(victim, "keep me");
    fs::create_symlink(victim, At("link.PNG"));
    EXPECT_EQ(platform::CreateNewFile(At("link.PNG"), "x", 1),
              platform::CreateResult::AlreadyExists);
    EXPECT_EQ(ReadText(victim), "keep me");

    EXPECT_EQ(platform::CreateNewFile(At("fresh.PNG"), "abc", 3), platform::CreateResult::Created);
    EXPECT_EQ(ReadText(At("fresh.PNG")), "abc");
    EXPECT_EQ(PermissionsOf(At("fresh.PNG")), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ScriptedTempFolder, ReplaceFileNeverWritesThroughALinkOrIntoAFifo) {
    std::string victim = At("victim");
    WriteText(victim, "keep me");
    fs::create_symlink(victim, At("link"));
    EXPECT_FALSE(platform::ReplaceFile(At("link"), "x", 1));
    EXPECT_EQ(ReadText(victim), "keep me");
    EXPECT_TRUE(fs::is_symlink(At("link")));

    fs::create_directory(At("folder"));
    EXPECT_FALSE(platform::ReplaceFile(At("folder"), "x", 1));

    WriteText(At("ours"), "old content that is longer");
    EXPECT_TRUE(platform::ReplaceFile(At("ours"), "new", 3));
    EXPECT_EQ(ReadText(At("ours")), "new");
}

TEST(TempFileRegistry, MadeFilesGoWhenTheProgramEndsUnlessKeptOrReplaced) {
    testing_support::ScratchDir scratch("tm-temp");
    auto at = [&](const std::string& base) { return scratch.Path() + "/" + base; };
    {
        std::unique_ptr<platform::TempFileBackend> backend = platform::MakeLinuxTempFiles();
        ASSERT_EQ(backend->CreateNewFile(at("made"), "1", 1), platform::CreateResult::Created);
        ASSERT_EQ(backend->CreateNewFile(at("kept"), "2", 1), platform::CreateResult::Created);
        ASSERT_EQ(backend->CreateNewFile(at("swapped"), "3", 1), platform::CreateResult::Created);
        ASSERT_TRUE(backend->ReplaceFile(at("replaced-new"), "4", 1));
        WriteText(at("foreign"), "not ours");
        ASSERT_TRUE(backend->ReplaceFile(at("foreign"), "5", 1));
        backend->KeepAfterExit(at("kept"));
        // Someone else's file now has the name: it is theirs and stays.
        WriteText(at("theirs"), "theirs");
        fs::rename(at("theirs"), at("swapped"));
    } // the backend goes, as it does at program end
    EXPECT_FALSE(Present(at("made")));
    EXPECT_FALSE(Present(at("replaced-new")));
    EXPECT_TRUE(Present(at("kept")));
    EXPECT_EQ(ReadText(at("swapped")), "theirs");
    EXPECT_EQ(ReadText(at("foreign")), "5") << "a file we did not make is not ours to remove";
}

TEST(TempFileRegistry, RemovingTakesOnlyOurOwnFileAndForgetsIt) {
    testing_support::ScratchDir scratch("tm-temp");
    auto at = [&](const std::string& base) { return scratch.Path() + "/" + base; };
    {
        std::unique_ptr<platform::TempFileBackend> backend = platform::MakeLinuxTempFiles();
        ASSERT_EQ(backend->CreateNewFile(at("made"), "1", 1), platform::CreateResult::Created);
        ASSERT_EQ(backend->CreateNewFile(at("swapped"), "2", 1), platform::CreateResult::Created);
        WriteText(at("theirs"), "theirs");
        fs::rename(at("theirs"), at("swapped"));
        WriteText(at("foreign"), "not ours");

        for (const char* name : {"made", "swapped", "foreign", "never-there"}) {
            backend->RemoveFile(at(name));
        }
        EXPECT_FALSE(Present(at("made")));
        EXPECT_EQ(ReadText(at("swapped")), "theirs");
        EXPECT_EQ(ReadText(at("foreign")), "not ours");

        // Forgotten once removed: whatever takes the name later is not removed at the end.
        WriteText(at("made"), "a later file");
    }
    EXPECT_EQ(ReadText(at("made")), "a later file");
    EXPECT_EQ(ReadText(at("swapped")), "theirs");
}

TEST(TempFileRegistry, AProgramThatEndsLeavesNoTemporaryFileBehind) {
    testing_support::ScratchDir scratch("tm-temp");
    TmpDirOverride tmpdir(scratch.Path());
    EXPECT_EXIT(
        {
            std::string made = MakeTempFileName("");
            std::exit(fs::exists(made) ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
}

} // namespace
