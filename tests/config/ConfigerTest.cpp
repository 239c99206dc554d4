// Loading, caching and the lifecycle of the configuration, on small documents of our own.

#include "Errors.h"
#include "OEUnitConfig.h"
#include "ShippedDocument.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TMemoryStream StreamOf(const std::string& text) {
    TMemoryStream stream;
    stream.Write(text.data(), text.size());
    return stream;
}

TEST(Configer, WithoutADocumentEveryLookupIsEmpty) {
    TOEConfiger config;
    EXPECT_FALSE(config.HasDocument());
    EXPECT_EQ(config.ReadText("a#b", '#'), "");
    EXPECT_EQ(config.ReadTextIndexed("a#0", '#'), "");
    EXPECT_EQ(config.ReadCount("a#b", '#'), 0);
    EXPECT_EQ(config.ReadCountIndexed("a#0", '#'), 0);
}

TEST(Configer, LoadStreamTakesTheWholeStreamWhateverItsPosition) {
    TOEConfiger config;
    TMemoryStream stream = StreamOf(R"({"a":{"b":"x"}})");
    stream.SetPosition(5);
    EXPECT_TRUE(config.LoadStream(stream));
    EXPECT_EQ(config.RawText(), R"({"a":{"b":"x"}})");
    EXPECT_EQ(config.ReadText("a#b", '#'), "x");
}

TEST(Configer, AnEmptyStreamKeepsTheDocument) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(R"({"a":{"b":"x"}})"));
    TMemoryStream empty;
    EXPECT_FALSE(config.LoadStream(empty));
    EXPECT_EQ(config.RawText(), "");
    EXPECT_EQ(config.ReadText("a#b", '#'), "x");
}

TEST(Configer, ARejectedTextLeavesNoDocument) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(R"({"a":{"b":"x"}})"));
    EXPECT_FALSE(config.LoadStream(StreamOf(R"({"a":{"b" "x"}})")));
    EXPECT_FALSE(config.HasDocument());
    EXPECT_EQ(config.ReadText("a#b", '#'), "");
}

TEST(Configer, ARootThatIsNoObjectIsAnInvalidCast) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(R"({"a":{"b":"x"}})"));
    EXPECT_EQ(config.ReadText("a#b", '#'), "x");
    for (const char* text : {R"(["a"])", R"("text")", "12", "true", "null"}) {
        try {
            config.LoadText(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const InvalidCastError& error) {
            EXPECT_STREQ(error.what(), "Invalid class typecast");
        }
        EXPECT_FALSE(config.HasDocument()) << text;
        EXPECT_EQ(config.ReadText("a#b", '#'), "") << text; // nor anything cached
    }
}

TEST(Configer, ASecondLoadEmptiesTheCache) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(R"({"p":{"t":"old","u":"kept"}})"));
    EXPECT_EQ(config.ReadText("p#t", '#'), "old");
    EXPECT_EQ(config.ReadText("p#u", '#'), "kept");
    ASSERT_TRUE(config.LoadText(R"({"p":{"t":"new"}})"));
    EXPECT_EQ(config.ReadText("p#t", '#'), "new");
    EXPECT_EQ(config.ReadText("p#u", '#'), "");
}

TEST(Configer, NumbersAndBooleansReadAsText) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(R"({"v":{"n":7,"f":-0.5,"b":true,"z":null,"o":{},"l":[1]}})"));
    EXPECT_EQ(config.ReadText("v#n", '#'), "7");
    EXPECT_EQ(config.ReadText("v#f", '#'), "-0.5");
    EXPECT_EQ(config.ReadText("v#b", '#'), "true");
    EXPECT_EQ(config.ReadText("v#z", '#'), "");
    EXPECT_EQ(config.ReadText("v#o", '#'), "");
    EXPECT_EQ(config.ReadText("v#l", '#'), "");
    EXPECT_EQ(config.ReadTextIndexed("v#l#0", '#'), "1");
}

TEST(Configer, NonAsciiNamesAndValuesAreUtf8) {
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText("{\"caf\xC3\xA9\":{\"x\":\"\\u00e9t\\u00e9 \\uD83D\\uDE00\"}}"));
    EXPECT_EQ(config.ReadText("caf\xC3\xA9#x", '#'), "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80");
    // A lone surrogate in the document becomes the replacement character.
    ASSERT_TRUE(config.LoadText(R"({"a":{"s":"x\uD800y"}})"));
    EXPECT_EQ(config.ReadText("a#s", '#'), "x\xEF\xBF\xBDy");
}

TEST(Configer, TheInstanceIsOneObject) {
    EXPECT_EQ(&ConfigerInstance(), &ConfigerInstance());
}

TEST(Configer, ConcurrentLookupsAndReloadsFromTwoThreads) {
    // The window's thread and the scan worker both read, and both lookups fill the cache. A
    // reload of the same text in between must never make a lookup come back empty.
    const std::string text = ShippedDocumentText();
    TOEConfiger config;
    ASSERT_TRUE(config.LoadText(text));
    std::atomic<int> failures{0};

    auto window = [&] {
        for (int i = 0; i < 300; ++i) {
            failures += config.ReadText("form1#frame2#RES#TEXT_BUTTON_00#text", '#') != "Cancel";
            failures +=
                config.ReadTextIndexed("form1#frame1#DUI#0#text", '#') != "Quorvel Tonemender";
            failures += config.ReadCount("form1#frame1#DUI", '#') != 9;
            if (i % 50 == 0) {
                failures += !config.LoadText(text);
            }
        }
    };
    auto worker = [&] {
        for (int i = 0; i < 300; ++i) {
            const std::string path =
                "form1#frame2#RES#SCAN_STATUS_0" + std::to_string(i % 7) + "#text";
            failures += config.ReadText(path, '#').empty();
            failures += config.ReadText("form1#frame3#RES#TEXT_VD_05#desc", '#') !=
                        "Unmute the audio device to play sound";
            failures += config.ReadCountIndexed("form1#frame1#DUI#1#image", '#') != 2;
        }
    };
    std::thread first(window);
    std::thread second(worker);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
