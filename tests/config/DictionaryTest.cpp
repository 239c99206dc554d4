// The lookup cache's dictionary and the path splitter.

#include "OEUnitDictCollection.h"
#include "SplitText.h"

#include <gtest/gtest.h>

namespace {

TEST(Dictionary, StoreFetchAndContains) {
    TDictionary dictionary;
    EXPECT_FALSE(dictionary.Contains("a#b"));
    EXPECT_EQ(dictionary.Fetch("a#b"), ScalarValue(false));
    dictionary.Store("a#b", ScalarValue(u"x"));
    dictionary.Store("A#B", ScalarValue(u"y"));
    EXPECT_TRUE(dictionary.Contains("a#b"));
    EXPECT_FALSE(dictionary.Contains("a#b "));
    EXPECT_EQ(dictionary.Fetch("a#b"), ScalarValue(u"x"));
    EXPECT_EQ(dictionary.Fetch("A#B"), ScalarValue(u"y"));
    dictionary.Store("a#b", ScalarValue(u"z")); // replaced in place
    EXPECT_EQ(dictionary.Count(), 2u);
    EXPECT_EQ(dictionary.Fetch("a#b"), ScalarValue(u"z"));
    EXPECT_EQ(dictionary.Items()[0].State, 1);
    dictionary.ClearAll();
    EXPECT_EQ(dictionary.Count(), 0u);
    EXPECT_FALSE(dictionary.Contains("a#b"));
}

TEST(Dictionary, EntriesInStateTwoAreNotContainedNorOverwritten) {
    TDictionary dictionary;
    dictionary.Store("k", ScalarValue(u"v"));
    dictionary.SetState(0, 2);
    EXPECT_FALSE(dictionary.Contains("k"));
    EXPECT_EQ(dictionary.Fetch("k"), ScalarValue(false));
    dictionary.Store("k", ScalarValue(u"w"));
    EXPECT_EQ(dictionary.Count(), 1u);
    EXPECT_EQ(dictionary.Items()[0].Value, ScalarValue(u"v"));
}

TEST(SplitText, KeepsEveryPiece) {
    const struct {
        const char* text;
        char separator;
        std::vector<std::string> pieces;
    } cases[] = {
        {"form1#frame1#DUI", '#', {"form1", "frame1", "DUI"}},
        {"form1", '#', {"form1"}},
        {"", '#', {""}},
        {"#", '#', {"", ""}},
        {"a##b", '#', {"a", "", "b"}},
        {"a#", '#', {"a", ""}},
        {"#a", '#', {"", "a"}},
        {"19, 250,171,20", ',', {"19", " 250", "171", "20"}},
        {" a # b ", '#', {" a ", " b "}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> pieces = {"left over"};
        SplitText(c.text, c.separator, pieces);
        EXPECT_EQ(pieces, c.pieces) << c.text;
    }
}

} // namespace
