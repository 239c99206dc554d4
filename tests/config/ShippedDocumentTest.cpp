// The configuration document we ship, read through the configuration access as the window
// reads it.

#include "ShippedDocument.h"

#include "OEUnitConfig.h"
#include "OEUnitQxJSON.h"
#include "TreeText.h"

#include <gtest/gtest.h>

namespace {

class ShippedDocument : public testing::Test {
protected:
    void SetUp() override {
        text_ = ShippedDocumentText();
        TMemoryStream stream;
        stream.Write(text_.data(), text_.size());
        ASSERT_TRUE(config_.LoadStream(stream));
    }

    std::string text_;
    TOEConfiger config_;
};

TEST_F(ShippedDocument, IsPlainAsciiWithCrLfLinesAndNoByteOrderMark) {
    ASSERT_FALSE(text_.empty());
    EXPECT_NE(text_.compare(0, 3, "\xEF\xBB\xBF"), 0);
    std::size_t lineFeeds = 0;
    bool tabs = false, spaceIndent = false;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const auto c = static_cast<unsigned char>(text_[i]);
        ASSERT_LT(c, 0x80) << "at byte " << i;
        if (c == '\n') {
            ++lineFeeds;
            ASSERT_TRUE(i > 0 && text_[i - 1] == '\r') << "bare line feed at byte " << i;
            tabs |= i + 1 < text_.size() && text_[i + 1] == '\t';
        }
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < text_.size() && text_[i + 1] == '\n') << "bare CR at " << i;
        }
        spaceIndent |= c == '\t' && i + 1 < text_.size() && text_[i + 1] == ' ';
    }
    EXPECT_GT(lineFeeds, 100u);
    EXPECT_TRUE(tabs);
    EXPECT_TRUE(spaceIndent);
}

// Every leaf of the document is a string.
void ExpectOnlyStringLeaves(const TqxJSONbase* node, const std::string& where) {
    if (node->Kind() == jsObject || node->Kind() == jsList) {
        auto* container = dynamic_cast<const TqxJSONcustomlist*>(node);
        for (std::int32_t i = 0; i < node->ItemCount(); ++i) {
            std::string name;
            const TqxJSONbase* child = const_cast<TqxJSONcustomlist*>(container)->EntryAt(i, name);
            ASSERT_NE(child, nullptr) << where << "#" << name;
            ExpectOnlyStringLeaves(child, where + "#" + name);
        }
        return;
    }
    EXPECT_EQ(node->Kind(), jsString) << where;
}

TEST_F(ShippedDocument, ParsesOnlyLenientlyAndHoldsOnlyStrings) {
    auto root = TqxJSON::ParseDocument(text_);
    ASSERT_NE(root, nullptr);
    ExpectOnlyStringLeaves(root.get(), "");
    // The three places without a comma read exactly as if the comma were there.
    std::string withCommas = text_;
    const char* places[] = {"tonemender\"\r\n\t\t\t\t\t\"item\"", "tech support\"\r\n",
                            "\t\t\t}\r\n\t\t\t\"DUI\""};
    const std::size_t insertAfter[] = {11, 13, 4};
    for (int i = 0; i < 3; ++i) {
        const std::size_t at = withCommas.find(places[i]);
        ASSERT_NE(at, std::string::npos) << places[i];
        ASSERT_EQ(withCommas.find(places[i], at + 1), std::string::npos) << places[i];
        withCommas.insert(at + insertAfter[i], ",");
    }
    EXPECT_EQ(TreeText(TqxJSON::ParseDocument(withCommas).get()), TreeText(root.get()));
}

TEST_F(ShippedDocument, TheCommaLessPlacesResolve) {
    EXPECT_EQ(config_.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1#site", '#'),
              "https://social.quorvel.example/tonemender");
    EXPECT_EQ(config_.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1#item", '#'),
              "PNG_0111");
    EXPECT_EQ(config_.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1#type", '#'), "PNG");
    EXPECT_EQ(config_.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_0#text", '#'),
              "Click here for FREE tech support");
    EXPECT_EQ(config_.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_0#site", '#'),
              "https://support.quorvel.example/tonemender");
    EXPECT_EQ(config_.ReadCount("form1#frame3#RES", '#'), 21);
    EXPECT_EQ(config_.ReadCount("form1#frame3#DUI", '#'), 1);
}

TEST_F(ShippedDocument, ResourceEntriesHoldTheirValues) {
    const struct {
        const char* path;
        const char* text;
    } entries[] = {
        {"frame1#RES#OEM_FORM_IMG_0#item", "PNG_0001"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_0_IMG_0#item", "PNG_0101"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_1_IMG_0#item", "PNG_0201"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_2_IMG_0#item", "PNG_0301"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0#type", "GIF"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0#item", "GIF_10"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_0#item", "PNG_0110"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_1#text", "Tonemender is up to date (%s)"},
        {"frame1#RES#OEM_FORM_TAB_0_TTS_0_IMG_2#item-2", "ICO_00"},
        {"frame2#RES#TEXT_BUTTON_00#text", "Cancel"},
        {"frame2#RES#TEXT_MSGBOX_00#text", "Are you sure you want to stop the scan?"},
        {"frame2#RES#TEXT_MSGBOX_01#text", "Your computer sound works fine."},
        {"frame2#RES#SCAN_STATUS_00#text", "Start Scan"},
        {"frame2#RES#SCAN_STATUS_02#text", "Checking audio device volume... "},
        {"frame2#RES#SCAN_STATUS_05#text", "Checking audio device driver... "},
        {"frame2#RES#SCAN_STATUS_06#text", "Scan complete"},
        {"frame3#RES#TEXT_BUTTON_01#text", "Fix"},
        {"frame3#RES#TEXT_MSGBOX_00#text", "Successfully fixed %d problems."},
        {"frame3#RES#TEXT_MSGBOX_01#text",
         "Fixed %d of %d problems. The remaining ones need your attention."},
        {"frame3#RES#ICON_23#item", "ICO_23"},
        {"frame3#RES#TEXT_VD_00#text", "Problems found (%d)"},
        {"frame3#RES#TEXT_VD_02#text", "Not Fix"},
        {"frame3#RES#TEXT_VD_04#desc", "There might be a problem with your audio device"},
        {"frame3#RES#TEXT_VD_07#text", "One or more audio service is missing"},
        {"frame3#RES#TEXT_VD_07#desc", "Reinstall required audio services"},
        {"frame3#RES#TEXT_VD_08#text", "One or more audio service isn't running"},
    };
    for (const auto& entry : entries) {
        EXPECT_EQ(config_.ReadText(std::string("form1#") + entry.path, '#'), entry.text)
            << entry.path;
    }
    EXPECT_EQ(config_.ReadCount("form1#frame1#RES", '#'), 11);
    EXPECT_EQ(config_.ReadCount("form1#frame2#RES", '#'), 10);
}

TEST_F(ShippedDocument, PageItemListsAndTheirFields) {
    EXPECT_EQ(config_.ReadCount("form1#frame1#DUI", '#'), 9);
    EXPECT_EQ(config_.ReadCount("form1#frame2#DUI", '#'), 2);
    EXPECT_EQ(config_.ReadCount("form1", '#'), 0);
    EXPECT_EQ(config_.ReadCount("form1#frame1", '#'), 2);
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#0#font#face", '#'), "Tahoma");
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#2#font#size", '#'), "09");
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#3#rect", '#'), "19, 250,171,20");
    EXPECT_EQ(config_.ReadCountIndexed("form1#frame1#DUI#1#image", '#'), 2);
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#1#image#item", '#'), "PNG_0102");
    EXPECT_EQ(config_.ReadCountIndexed("form1#frame1#DUI#0#image", '#'), 0);
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#8#text", '#'),
              "If you like Tonemender, please share it on Facebook.");
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame2#DUI#1#rect", '#'), "18,+26");
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame3#DUI#0#rect", '#'), "17,  20");
    // One past the end: nothing at all.
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame1#DUI#9#text", '#'), "");
    EXPECT_EQ(config_.ReadCountIndexed("form1#frame1#DUI#9#font", '#'), 0);
}

TEST_F(ShippedDocument, NameOnlyWalksCannotEnterAList) {
    const char* path = "form1#frame1#DUI#0#text";
    EXPECT_EQ(config_.ReadText(path, '#'), ""); // stays on the list: empty, not cached
    EXPECT_EQ(config_.ReadTextIndexed(path, '#'), "Quorvel Tonemender");
    EXPECT_EQ(config_.ReadText(path, '#'), "Quorvel Tonemender"); // now answered by the cache
    EXPECT_EQ(config_.ReadCount("form1#frame1#DUI#0", '#'), 9);   // still the list
    EXPECT_EQ(config_.ReadCountIndexed("form1#frame1#DUI#0", '#'), 3);
}

TEST_F(ShippedDocument, PathsThatLeadNowhere) {
    const char* paths[] = {
        "form1",                                // one segment never resolves
        "form1#frame4",                         // no such frame
        "form1#frame2#RES#TEXT_BUTTON_00#TEXT", // names are case-sensitive
        "form1#frame2##RES",                    // an empty segment is a name
        "",                                     // one empty segment
        "#",                                    // two empty segments
        "form1#frame1#DUI#99999999999#text",    // an index beyond any list
    };
    for (const char* path : paths) {
        EXPECT_EQ(config_.ReadText(path, '#'), "") << path;
        EXPECT_EQ(config_.ReadTextIndexed(path, '#'), "") << path;
    }
    // The indexed first step of "0" is the member node "form1", which has no value.
    EXPECT_EQ(config_.ReadTextIndexed("0#frame1", '#'), "");
    EXPECT_EQ(config_.ReadTextIndexed("form1#0", '#'), "");
    EXPECT_EQ(config_.ReadCountIndexed("form1#0", '#'), 0);
    EXPECT_EQ(config_.ReadCountIndexed("form1#frame1#DUI#99999999999", '#'), 0);
}

TEST_F(ShippedDocument, StepsPastAStringStayOnIt) {
    EXPECT_EQ(config_.ReadText("form1#frame2#RES#TEXT_BUTTON_00#text#whatever", '#'), "Cancel");
    EXPECT_EQ(config_.ReadTextIndexed("form1#frame2#RES#TEXT_BUTTON_00#text#3", '#'), "");
    EXPECT_EQ(config_.ReadText("form1/frame2/RES/TEXT_BUTTON_00/text", '/'), "Cancel");
}

} // namespace
