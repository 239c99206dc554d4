// Parsed trees keep their nodes in shared blocks; each node still lives exactly as long as its
// owner keeps it, whatever happens to the rest of its document or to other documents. The
// sanitizer builds check the memory; the values checked here catch a node reused too early.

#include "OEUnitQxJSON.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

// An array of the numbers 0 to count - 1, each in an object {"n":i,"s":"text i"}: large enough
// to span many blocks.
std::string Records(int count) {
    std::string text = "[";
    for (int i = 0; i < count; ++i) {
        text += "{\"n\":" + std::to_string(i) + ",\"s\":\"text " + std::to_string(i) + "\"}";
    }
    return text + "]";
}

std::unique_ptr<TqxJSONlist> ParsedList(const std::string& text) {
    auto root = TqxJSON::ParseDocument(text);
    auto* list = dynamic_cast<TqxJSONlist*>(root.get());
    if (list == nullptr) {
        return nullptr;
    }
    root.release();
    return std::unique_ptr<TqxJSONlist>(list);
}

int NumberIn(TqxJSONbase* record) {
    return static_cast<TqxJSONobject*>(record)->IntAt(0);
}

TEST(ParsedTreeMemory, NodesLiveAsLongAsTheirOwnersInAnyOrder) {
    constexpr int kCount = 20000;
    const struct {
        const char* what;
        void (*change)(TqxJSONlist& list);
        int first, last; // the numbers expected at the first and the last position afterwards
    } cases[] = {
        {"untouched", [](TqxJSONlist&) {}, 0, kCount - 1},
        {"first item deleted: the last moves in", [](TqxJSONlist& list) { list.DeleteItemAt(0); },
         kCount - 1, kCount - 2},
        {"parsed items replaced by new ones",
         [](TqxJSONlist& list) {
             for (int i = 0; i < kCount; i += 2) {
                 auto record = std::make_unique<TqxJSONobject>(true);
                 record->AppendItem(std::make_unique<TqxJSONobjectmethod>(
                     u"n", std::make_unique<TqxJSONnumber>(-i)));
                 list.ReplaceItemAt(i, std::move(record));
             }
         },
         0, kCount - 1},
    };
    for (const auto& c : cases) {
        auto list = ParsedList(Records(kCount));
        ASSERT_NE(list, nullptr) << c.what;
        c.change(*list);
        // A second document parsed and dropped in between must not disturb the first.
        EXPECT_NE(TqxJSON::ParseDocument(Records(kCount / 2)), nullptr) << c.what;
        EXPECT_EQ(NumberIn(list->ItemAt(0)), c.first) << c.what;
        EXPECT_EQ(NumberIn(list->ItemAt(list->ItemCount() - 1)), c.last) << c.what;
        EXPECT_EQ(static_cast<TqxJSONobject*>(list->ItemAt(1))->TextAt(1), "text 1") << c.what;
    }
}

TEST(ParsedTreeMemory, ATextFailingLateLeavesNothingBehind) {
    // Each failure comes after many blocks were carved; everything built goes back, and the
    // next text parses as usual.
    const std::string good = Records(20000);
    const std::string open = good.substr(0, good.size() - 1);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"never closed", open},
        {"two commas before the end", open + ",,]"},
        {"a bad escape in the last item", open + "\"\\u00G0\"]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TqxJSON::ParseDocument(c.text), nullptr) << c.what;
    }
    auto list = ParsedList(good);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ItemCount(), 20000);
    EXPECT_EQ(NumberIn(list->ItemAt(19999)), 19999);
}

} // namespace
