// The resource loader: the shared stream and picture, extraction to temporary files, graphics
// decoded by type, and the program's own embedded resources.

#include "PictureFixtures.h"
#include "TestFiles.h"
#include "config/Errors.h"
#include "graphics/OEUnitResource.h"
#include "platform/ModuleResources.h"
#include "platform/testing/ScriptedModuleResources.h"
#include "platform/testing/ScriptedTempFiles.h"
#include "support/Command.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using resources_test::Bytes;
using resources_test::MakeGif;
using resources_test::MakeRgbaPng;
using resources_test::Present;
using resources_test::ReadBytes;
using resources_test::ReadText;
using resources_test::WriteText;

// Every test starts with a loader of its own.
TOEResource& FreshLoader() {
    TOEResource::Release();
    return *ResourceInstance();
}

std::string EndOf(const std::string& text, std::size_t count) {
    return text.size() < count ? text : text.substr(text.size() - count);
}

// A loader over scripted resources, writing into a scratch folder with scripted names.
class Loader : public ::testing::Test {
protected:
    Loader() {
        auto module = std::make_unique<platform::testing::ScriptedModuleResources>();
        module->Add("PNG_RED", "PNG", MakeRgbaPng(2, 1, {0xFFFF0000, 0x80FF0000}));
        module->Add("PNG_BLUE", "PNG", MakeRgbaPng(1, 3, {0xFF0000FF, 0xFF0000FF, 0}));
        module->Add(
            "GIF_TWO", "GIF",
            MakeGif(1, 1, {0xFF0000, 0x00FF00}, {{0, 0, 1, 1, {0}, 5}, {0, 0, 1, 1, {1}, 7}}));
        module->Add("BROKEN", "PNG", std::string("\x89PNG\r\n\x1a\n and then nothing useful"));
        module->Add("PICTURE", "BMP", MakeRgbaPng(1, 1, {0xFF000000}));
        module->Add("TEXT", "CFG", std::string("{\"form1\": {}}"));
        modules_ = std::make_unique<platform::ScopedBackend<platform::ModuleResourceBackend>>(
            platform::ModuleResourceSlot(), std::move(module));
        temp_ = std::make_unique<platform::ScopedBackend<platform::TempFileBackend>>(
            platform::TempFileSlot(),
            std::make_unique<platform::testing::ScriptedTempFiles>(scratch.Path()));
    }
    ~Loader() override { TOEResource::Release(); }

    platform::testing::ScriptedTempFiles& Temp() {
        return static_cast<platform::testing::ScriptedTempFiles&>(**temp_);
    }
    std::string At(const std::string& base) { return scratch.Path() + "/" + base; }

    testing_support::ScratchDir scratch{"tm-loader"};
    TOEResource& loader = FreshLoader();

private:
    std::unique_ptr<platform::ScopedBackend<platform::ModuleResourceBackend>> modules_;
    std::unique_ptr<platform::ScopedBackend<platform::TempFileBackend>> temp_;
};

TEST_F(Loader, ThereIsOnlyEverOneLoader) {
    EXPECT_EQ(TOEResource::Create(), &loader);
    EXPECT_EQ(ResourceInstance(), &loader);
    loader.LoadResourceToMemory(nullptr, "TEXT", "CFG");
    TOEResource::Release();
    TOEResource* fresh = TOEResource::Create();
    EXPECT_EQ(fresh->SharedStream().Size(), 0u) << "a later creation makes a new loader";
}

TEST_F(Loader, AMissingResourceGivesAnEmptyStreamAndIsNoError) {
    TMemoryStream& found = loader.LoadResourceToMemory(nullptr, "text", "cfg");
    EXPECT_EQ(found.Text(), "{\"form1\": {}}");
    EXPECT_EQ(found.Position(), 0u);
    TMemoryStream& missing = loader.LoadResourceToMemory(nullptr, "CFG_0001", "CFG");
    EXPECT_EQ(&missing, &loader.SharedStream()) << "every load hands out the same stream";
    EXPECT_EQ(missing.Size(), 0u) << "emptied first, then nothing to load";
    EXPECT_EQ(loader.LoadResourceToMemory(nullptr, "TEXT", "PNG").Size(), 0u) << "wrong type";
}

TEST_F(Loader, CopyResourceToStreamWritesAtTheDestinationsPosition) {
    TMemoryStream destination;
    destination.Write("abcdef", 6);
    destination.SetPosition(2);
    loader.CopyResourceToStream(nullptr, "TEXT", "CFG", destination);
    EXPECT_EQ(destination.Text(), "ab{\"form1\": {}}");
    loader.CopyResourceToStream(nullptr, "NOTHING", "CFG", destination);
    EXPECT_EQ(destination.Text(), "ab{\"form1\": {}}") << "a missing resource changes nothing";
}

TEST_F(Loader, ExtractResourceToFileNamesTheFileAfterTheType) {
    Temp().uniqueNumbers = {0xA1, 0xA2, 0xA3};
    std::string png = loader.ExtractResourceToFile(nullptr, "png_red", "PNG");
    EXPECT_EQ(png, At("~qvA1.tmp.PNG"));
    EXPECT_TRUE(fs::is_regular_file(At("~qvA1.tmp"))) << "the platform's file stays";
    EXPECT_EQ(ReadBytes(png), MakeRgbaPng(2, 1, {0xFFFF0000, 0x80FF0000}));

    std::string plain = loader.ExtractResourceToFile(nullptr, "TEXT", "");
    EXPECT_EQ(plain, At("~qvA2.tmp")) << "no type, no extra extension";

    std::string missing = loader.ExtractResourceToFile(nullptr, "NOTHING", "PNG");
    EXPECT_EQ(missing, At("~qvA3.tmp.PNG"));
    EXPECT_EQ(fs::file_size(missing), 0u) << "a missing resource gives an empty file";
}

TEST_F(Loader, APlantedLinkAtTheExtendedNameIsNotFollowed) {
    std::string victim = At("victim");
    WriteText(victim, "keep me");
    fs::create_symlink(victim, At("~qvB1.tmp.PNG"));
    Temp().uniqueNumbers = {0xB1};
    EXPECT_THROW(loader.ExtractResourceToFile(nullptr, "PNG_RED", "PNG"), FileCreateError);
    EXPECT_EQ(ReadText(victim), "keep me");
    EXPECT_TRUE(fs::is_symlink(At("~qvB1.tmp.PNG")));
}

TEST_F(Loader, EachGraphicLoadReplacesTheSharedPictureButNotACopy) {
    const TGraphic& first = loader.LoadResourceGraphic(nullptr, "PNG_RED", "PNG");
    EXPECT_EQ(&first, &loader.SharedPicture().Graphic());
    TGraphic copy = first;
    const TGraphic& second = loader.LoadResourceGraphic(nullptr, "PNG_BLUE", "png");
    EXPECT_EQ(&second, &first) << "the same shared picture";
    EXPECT_EQ(first.Width(), 1) << "the first load's graphic is gone";
    EXPECT_EQ(first.Height(), 3);
    EXPECT_EQ(copy.Width(), 2) << "the copy is untouched";
    EXPECT_EQ(copy.Pixel(1, 0), 0x80FF0000u);

    const TGraphic& animated = loader.LoadResourceGraphic(nullptr, "GIF_TWO", "GIF");
    ASSERT_EQ(animated.FrameCount(), 2u);
    EXPECT_EQ(animated.Frame(1).delayMs, 70);
}

TEST_F(Loader, GraphicsThatCannotBeDecodedRaiseErrors) {
    struct Case {
        const char* name;
        const char* type;
        const char* says;
    };
    const Case cases[] = {
        {"BROKEN", "PNG", "damaged"},
        {"NOTHING", "PNG", "empty"},
        {"PNG_RED", "GIF", "GIF"},
        {"PICTURE", "BMP", "Unknown picture file extension (.bmp)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loader.LoadResourceGraphic(nullptr, "PNG_RED", "PNG");
        try {
            loader.LoadResourceGraphic(nullptr, c.name, c.type);
            ADD_FAILURE() << "no error";
        } catch (const PictureError& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
        EXPECT_TRUE(loader.SharedPicture().Graphic().Empty()) << "no stale picture is handed on";
    }
}

TEST_F(Loader, AGraphicsFileGoesAsSoonAsItIsReadBack) {
    Temp().uniqueNumbers = {0xC1};
    const TGraphic& red = loader.LoadResourceGraphic(nullptr, "PNG_RED", "PNG");
    EXPECT_EQ(red.Width(), 2);
    EXPECT_EQ(Temp().FilesMade(), 2) << "~qvC1.tmp and ~qvC1.tmp.PNG";
    EXPECT_FALSE(Present(At("~qvC1.tmp.PNG")));
    EXPECT_FALSE(Present(At("~qvC1.tmp")));

    EXPECT_THROW(loader.LoadResourceGraphic(nullptr, "BROKEN", "PNG"), PictureError);
    EXPECT_THROW(loader.LoadResourceGraphic(nullptr, "TEXT", ""), PictureError);
    EXPECT_EQ(Temp().FilesMade(), 5);
    EXPECT_TRUE(fs::is_empty(scratch.Path())) << "nor does a picture that failed leave one";
}

// A folder that takes no file (full, read-only), or a planted link where the picture's file
// would go: the picture comes from memory, exactly as it would have from the file.
TEST_F(Loader, WhereNoFileCanBeMadeTheSamePictureComesFromMemory) {
    std::string victim = At("victim");
    WriteText(victim, "keep me");
    fs::create_symlink(victim, At("~qvD1.tmp.GIF"));

    struct Case {
        const char* name;
        const char* type;
    };
    const Case cases[] = {{"PNG_RED", "PNG"}, {"GIF_TWO", "GIF"}, {"BROKEN", "PNG"},
                          {"NOTHING", "PNG"}, {"PICTURE", "BMP"}, {"TEXT", ""},
                          {"PNG_RED", "GIF"}, {"png_blue", "pNg"}};
    auto load = [&](const Case& c) {
        try {
            TGraphic graphic = loader.LoadResourceGraphic(nullptr, c.name, c.type);
            return std::make_pair(std::string(), graphic);
        } catch (const PictureError& error) {
            return std::make_pair(std::string(error.what()), TGraphic());
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.type);
        Temp().refuseFiles = false;
        const auto throughFile = load(c);
        Temp().refuseFiles = true;
        const auto fromMemory = load(c);
        EXPECT_EQ(fromMemory.first, throughFile.first);
        ASSERT_EQ(fromMemory.second.FrameCount(), throughFile.second.FrameCount());
        EXPECT_EQ(fromMemory.second.Width(), throughFile.second.Width());
        for (std::size_t i = 0; i < fromMemory.second.FrameCount(); ++i) {
            EXPECT_EQ(fromMemory.second.Frame(i).pixels, throughFile.second.Frame(i).pixels);
            EXPECT_EQ(fromMemory.second.Frame(i).delayMs, throughFile.second.Frame(i).delayMs);
        }
    }
    const int made = Temp().FilesMade();
    EXPECT_EQ(load({"GIF_TWO", "GIF"}).second.FrameCount(), 2u);
    EXPECT_EQ(Temp().FilesMade(), made) << "a refusing folder got no file";

    Temp().refuseFiles = false;
    Temp().uniqueNumbers = {0xD1};
    EXPECT_EQ(load({"GIF_TWO", "GIF"}).second.FrameCount(), 2u) << "past the planted link";
    EXPECT_EQ(ReadText(victim), "keep me");
    EXPECT_TRUE(fs::is_symlink(At("~qvD1.tmp.GIF"))) << "not ours to remove";
    EXPECT_FALSE(Present(At("~qvD1.tmp")));
}

// The program's own resources, as built into this test from resources/.
class OwnResources : public ::testing::Test {
protected:
    ~OwnResources() override { TOEResource::Release(); }
    testing_support::ScratchDir scratch{"tm-own"};
    resources_test::TmpDirOverride tmpdir{scratch.Path()};
    TOEResource& loader = FreshLoader();
};

TEST_F(OwnResources, EveryPictureDecodesAtItsStatedSize) {
    struct Case {
        const char* name;
        const char* type;
        int width, height;
        std::size_t frames;
    };
    const Case cases[] = {
        {"PNG_0001", "PNG", 606, 475, 1}, {"PNG_0101", "PNG", 592, 400, 1},
        {"PNG_0201", "PNG", 592, 400, 1}, {"PNG_0301", "PNG", 592, 400, 1},
        {"PNG_0102", "PNG", 562, 2, 1},   {"PNG_0110", "PNG", 300, 54, 1},
        {"PNG_0111", "PNG", 135, 34, 1},  {"ICO_10", "PNG", 32, 32, 1},
        {"ICO_11", "PNG", 32, 32, 1},     {"ICO_12", "PNG", 32, 32, 1},
        {"ICO_13", "PNG", 32, 32, 1},     {"ICO_20", "PNG", 32, 32, 1},
        {"ICO_21", "PNG", 32, 32, 1},     {"ICO_22", "PNG", 32, 32, 1},
        {"ICO_23", "PNG", 32, 32, 1},     {"GIF_10", "GIF", 16, 16, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TGraphic& graphic = loader.LoadResourceGraphic(nullptr, c.name, c.type);
        EXPECT_EQ(graphic.Width(), c.width);
        EXPECT_EQ(graphic.Height(), c.height);
        EXPECT_EQ(graphic.FrameCount(), c.frames);
    }
}

TEST_F(OwnResources, TheBusyAnimationHasTransparencyAndDelays) {
    TGraphic busy = loader.LoadResourceGraphic(nullptr, "gif_10", "gif");
    ASSERT_EQ(busy.FrameCount(), 12u);
    bool transparent = false;
    for (std::size_t i = 0; i < busy.FrameCount(); ++i) {
        EXPECT_GT(busy.Frame(i).delayMs, 0) << i;
        transparent = transparent || busy.Pixel(0, 0, i) >> 24 == 0;
        if (i > 0) {
            EXPECT_NE(busy.Frame(i).pixels, busy.Frame(i - 1).pixels) << "frame " << i << " moves";
        }
    }
    EXPECT_TRUE(transparent);
}

TEST_F(OwnResources, TheRegistryScriptInflatesToItsAnnouncedSize) {
    std::string packed = MakeTempFileName("");
    std::string script = MakeTempFileName("");
    TMemoryStream stream;
    loader.CopyResourceToStream(nullptr, "AUDIOSRV_5X", "ZIP", stream);
    ASSERT_GT(stream.Size(), 6u);
    EXPECT_EQ(stream.Memory()[4], 0x78);
    EXPECT_EQ(stream.Memory()[5], 0xDA) << "compressed at the best level";
    ASSERT_TRUE(platform::ReplaceFile(packed, stream.Memory(), stream.Size()));
    InflateFile(packed, script);

    const Bytes text = ReadBytes(script);
    const std::uint32_t announced = stream.Memory()[0] | stream.Memory()[1] << 8 |
                                    stream.Memory()[2] << 16 | stream.Memory()[3] << 24;
    EXPECT_EQ(text.size(), announced);
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    Bytes expected = {0xFF, 0xFE};
    for (char c : header) {
        expected.push_back(static_cast<unsigned char>(c));
        expected.push_back(0);
    }
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
}

TEST_F(OwnResources, TheChimeIsAResourceOfTypeWav) {
    TMemoryStream& chime = loader.LoadResourceToMemory(GetModuleHandleA(nullptr), "Ding", "wav");
    ASSERT_GT(chime.Size(), 44u);
    EXPECT_EQ(chime.Text().substr(0, 4), "RIFF");
    EXPECT_EQ(chime.Text().substr(8, 4), "WAVE");
}

TEST_F(OwnResources, ExtractedPicturesEndInTheirType) {
    std::string file = loader.ExtractResourceToFile(nullptr, "PNG_0111", "PNG");
    EXPECT_EQ(EndOf(file, 8), ".tmp.PNG");
    EXPECT_EQ(fs::path(file).parent_path(), fs::path(scratch.Path()));
    EXPECT_EQ(ReadBytes(file), ReadBytes(resources_test::SourceDir() + "/resources/PNG_0111.PNG"));
}

} // namespace
