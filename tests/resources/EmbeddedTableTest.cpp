// The build-time embedder and the lookup of the program's own module, on a table of fixtures
// built by the same tool as the program's table.

#include "TestFiles.h"
#include "platform/EmbeddedResources.h"
#include "platform/ModuleResources.h"

#include <cstring>
#include <gtest/gtest.h>

std::span<const EmbeddedResource> FixtureResourceTable();

namespace {

using resources_test::ReadBytes;
using resources_test::SourceDir;

std::vector<unsigned char> BytesOf(HMODULE module, HRSRC resource) {
    const auto* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, resource));
}

class FixtureModule : public ::testing::Test {
protected:
    platform::ScopedBackend<platform::ModuleResourceBackend> backend{
        platform::ModuleResourceSlot(),
        platform::MakeEmbeddedModuleResources(&FixtureResourceTable)};
    HMODULE own = GetModuleHandleA(nullptr);
};

TEST_F(FixtureModule, EveryFileBecomesOneEntryWithItsExactBytes) {
    struct Case {
        const char* file;
        const char* name;
        const char* type;
    };
    const Case cases[] = {
        {"BYTES.BIN", "BYTES", "BIN"},
        {"EMPTY.TXT", "EMPTY", "TXT"},
        {"MixedCase.Dat", "MixedCase", "Dat"},
    };
    ASSERT_EQ(FixtureResourceTable().size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        HRSRC resource = FindResourceA(own, c.name, c.type);
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(BytesOf(own, resource),
                  ReadBytes(SourceDir() + "/tests/resources/fixtures/" + c.file));
    }
}

TEST_F(FixtureModule, LookupIgnoresLetterCaseOfNameAndTypeOnly) {
    struct Case {
        const char* name;
        const char* type;
        bool found;
    };
    const Case cases[] = {
        {"mixedcase", "DAT", true}, {"MIXEDCASE", "dat", true}, {"bytes", "bin", true},
        {"BYTES", "BIN ", false},   {"BYTE", "BIN", false},     {"BYTES", "TXT", false},
        {"", "BIN", false},         {"BYTES", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.type);
        EXPECT_EQ(FindResourceA(own, c.name, c.type) != nullptr, c.found);
    }
    EXPECT_EQ(FindResourceA(own, nullptr, "BIN"), nullptr);
}

TEST_F(FixtureModule, ANullModuleIsTheOwnOneAndOtherModulesHaveNoResources) {
    EXPECT_NE(own, nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "BYTES", "BIN"), FindResourceA(own, "BYTES", "BIN"));
    EXPECT_EQ(GetModuleHandleA("tmaudiomanager.dll"), nullptr);
    int unrelated = 0;
    EXPECT_EQ(FindResourceA(&unrelated, "BYTES", "BIN"), nullptr);
}

TEST(ProgramTable, EveryResourceFileIsEmbeddedWithItsBytes) {
    // Whatever lies in resources/ right now: each <NAME>.<TYPE> file is in the table.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SourceDir() + "/resources")) {
        std::string base = entry.path().filename().string();
        if (!entry.is_regular_file() || base == "CMakeLists.txt" || base.rfind("README", 0) == 0 ||
            base[0] == '.' || base.find('.') == std::string::npos) {
            continue;
        }
        ++files;
        std::size_t dot = base.rfind('.');
        HRSRC resource =
            FindResourceA(nullptr, base.substr(0, dot).c_str(), base.substr(dot + 1).c_str());
        ASSERT_NE(resource, nullptr) << base;
        EXPECT_EQ(BytesOf(nullptr, resource), ReadBytes(entry.path().string())) << base;
    }
    EXPECT_EQ(EmbeddedResourceTable().size(), files);
}

} // namespace
