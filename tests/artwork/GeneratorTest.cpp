// The committed files are exactly what the generator makes, and it makes the same bytes every
// time: otherwise nobody could tell a deliberate artwork change from noise.
#include "ResourceFiles.h"
#include "support/Command.h"

#include <gtest/gtest.h>
#include <set>

using namespace artwork_test;
using testing_support::RunCommand;
using testing_support::ScratchDir;

namespace {

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

void Generate(const ScratchDir& into) {
    const auto result = RunCommand({TM_MAKE_RESOURCES, into.Path()}, {}, 60000);
    ASSERT_EQ(result.exitCode, 0) << result.output;
}

} // namespace

TEST(Generator, ReproducesTheCommittedFilesByteForByte) {
    ScratchDir first("tm-art");
    ScratchDir second("tm-art");
    ASSERT_NO_FATAL_FAILURE(Generate(first));
    ASSERT_NO_FATAL_FAILURE(Generate(second));

    const std::set<std::string> made = FilesIn(first.Path());
    EXPECT_EQ(made.size(), 18u); // 15 pictures, the animation, the chime, the script
    EXPECT_EQ(FilesIn(second.Path()), made);
    const std::set<std::string> committed = FilesIn(ResourceFolder());
    for (const std::string& name : made) {
        SCOPED_TRACE(name);
        const Bytes once = ReadBytes(std::filesystem::path(first.Path()) / name);
        EXPECT_EQ(ReadBytes(std::filesystem::path(second.Path()) / name), once)
            << "two runs differ";
        ASSERT_TRUE(committed.count(name)) << "made but not committed";
        EXPECT_EQ(ReadResource(name), once) << "committed file is stale: rerun tm-make-resources";
    }
}

TEST(Generator, RefusesToRunWithoutAnOutputFolder) {
    const auto result = RunCommand({TM_MAKE_RESOURCES}, {}, 30000);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.output.find("usage"), std::string::npos) << result.output;
}
