// Pictures and files named by the configuration, and the configuration itself loaded from the
// program's resources.

#include "PictureFixtures.h"
#include "TestFiles.h"
#include "config/Errors.h"
#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "platform/testing/ScriptedModuleResources.h"
#include "support/Command.h"

#include <gtest/gtest.h>

namespace {

using resources_test::ReadBytes;

// The configuration as the window loads it: the "CFG" resource through the loader.
bool LoadShippedConfiguration() {
    return ConfigerInstance().LoadStream(
        ResourceInstance()->LoadResourceToMemory(GetModuleHandleA(nullptr), "CFG_0001", "CFG"));
}

class ShippedConfiguration : public ::testing::Test {
protected:
    ShippedConfiguration() { EXPECT_TRUE(LoadShippedConfiguration()); }
    testing_support::ScratchDir scratch{"tm-configured"};
    resources_test::TmpDirOverride tmpdir{scratch.Path()};
};

TEST_F(ShippedConfiguration, TheConfigurationLoadsFromItsResource) {
    EXPECT_EQ(ConfigerInstance().RawText(),
              resources_test::ReadText(resources_test::SourceDir() + "/resources/CFG_0001.CFG"));
    EXPECT_EQ(ConfigerInstance().ReadText("form1#frame1#RES#OEM_FORM_IMG_0#item", '#'), "PNG_0001");
    // A resource that is not there gives an empty stream, which loads nothing.
    EXPECT_FALSE(ConfigerInstance().LoadStream(
        ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0002", "CFG")));
    EXPECT_TRUE(ConfigerInstance().HasDocument()) << "the loaded document stays";
}

TEST_F(ShippedConfiguration, TheSocialButtonEntryExtractsItsPicture) {
    // In the document the entry's "site" lacks the comma before "item".
    std::string file = ResourceInstance()->ExtractConfiguredFile(
        "form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1", "", false);
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(file.substr(file.size() - 8), ".tmp.PNG");
    EXPECT_EQ(ReadBytes(file), ReadBytes(resources_test::SourceDir() + "/resources/PNG_0111.PNG"));
    EXPECT_EQ(LoadGraphicFromFile(file).Width(), 135);
}

TEST_F(ShippedConfiguration, TheWindowsConfiguredPicturesAllLoad) {
    struct Case {
        const char* path;
        int width, height;
    };
    const Case cases[] = {
        {"form1#frame1#RES#OEM_FORM_IMG_0", 606, 475},
        {"form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_IMG_0", 592, 400},
        {"form1#frame1#RES#OEM_FORM_TAB_0_TTS_1_IMG_0", 592, 400},
        {"form1#frame1#RES#OEM_FORM_TAB_0_TTS_2_IMG_0", 592, 400},
        {"form1#frame1#DUI#1#image", 562, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        bool indexed = std::string(c.path).find("DUI") != std::string::npos;
        const TGraphic& graphic = ResourceInstance()->LoadConfiguredGraphic(c.path, "", indexed);
        EXPECT_EQ(graphic.Width(), c.width);
        EXPECT_EQ(graphic.Height(), c.height);
    }
}

// A document and resources of the test's own; the shipped document is back afterwards.
class OwnEntries : public ::testing::Test {
protected:
    ~OwnEntries() override { LoadShippedConfiguration(); }
};

TEST_F(OwnEntries, AKeyReadsTheSameFieldWithOrWithoutItsHash) {
    testing_support::ScratchDir scratch("tm-configured");
    resources_test::TmpDirOverride tmpdir(scratch.Path());
    auto module = std::make_unique<platform::testing::ScriptedModuleResources>();
    module->Add("PNG_MAIN", "PNG", resources_test::MakeRgbaPng(1, 1, {0xFF0000FF}));
    module->Add("PNG_OTHER", "PNG",
                resources_test::MakeRgbaPng(2, 2, std::vector<std::uint32_t>(4)));
    platform::ScopedBackend<platform::ModuleResourceBackend> modules(platform::ModuleResourceSlot(),
                                                                     std::move(module));
    ASSERT_TRUE(ConfigerInstance().LoadText(R"({"form1": {"list": [
        {"entry": {"item": "PNG_MAIN", "item-1": "PNG_OTHER", "type": "PNG"}},
        {"entry": {"item": "PNG_OTHER"}}
    ]}})"));
    TOEResource& loader = *ResourceInstance();
    struct Case {
        const char* path;
        const char* key;
        bool indexed;
        int width; // 0: an empty file is extracted
        const char* ending;
    };
    const Case cases[] = {
        {"form1#list#0#entry", "", true, 1, ".tmp.PNG"},
        {"form1#list#0#entry", "item-1", true, 2, ".tmp.PNG"},
        {"form1#list#0#entry", "#item-1", true, 2, ".tmp.PNG"},
        {"form1#list#1#entry", "", true, 0, ".tmp"}, // no "type": no extra extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " key " + c.key);
        std::string file = loader.ExtractConfiguredFile(c.path, c.key, c.indexed);
        EXPECT_EQ(file.substr(file.rfind(".tmp")), c.ending);
        if (c.width == 0) {
            EXPECT_EQ(std::filesystem::file_size(file), 0u);
            continue;
        }
        EXPECT_EQ(loader.LoadConfiguredGraphic(c.path, c.key, c.indexed).Width(), c.width);
    }
    EXPECT_THROW(loader.LoadConfiguredGraphic("form1#list#1#entry", "", true), PictureError)
        << "a picture entry without a type has no decoder";
}

} // namespace
