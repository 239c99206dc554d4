// The name index: shape after known insertions, ordering of names, and the AA invariants.

#include "QxBalTree.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>

namespace {

struct Shape {
    std::u16string name;
    int level;
    std::u16string left;  // u"" for the sentinel
    std::u16string right; // u"" for the sentinel
};

void ExpectShape(const TqxBalTree& tree, const std::u16string& root,
                 const std::vector<Shape>& nodes) {
    ASSERT_EQ(tree.NameCount(), nodes.size());
    EXPECT_EQ(tree.Node(tree.Root()).name, root);
    std::map<std::u16string, std::uint32_t> byName;
    for (std::uint32_t i = 1; i <= tree.NameCount(); ++i) {
        byName[tree.Node(i).name] = i;
    }
    auto nameOf = [&](std::uint32_t index) {
        return index == TqxBalTree::kSentinel ? std::u16string() : tree.Node(index).name;
    };
    for (const Shape& expected : nodes) {
        ASSERT_TRUE(byName.count(expected.name));
        const TqxBalNode& node = tree.Node(byName[expected.name]);
        const std::string label(expected.name.begin(), expected.name.end());
        EXPECT_EQ(node.level, expected.level) << label;
        EXPECT_EQ(nameOf(node.left), expected.left) << label;
        EXPECT_EQ(nameOf(node.right), expected.right) << label;
    }
    const TqxBalNode& sentinel = tree.Node(TqxBalTree::kSentinel);
    EXPECT_EQ(sentinel.level, 0);
    EXPECT_EQ(sentinel.left, TqxBalTree::kSentinel);
    EXPECT_EQ(sentinel.right, TqxBalTree::kSentinel);
}

TEST(BalTree, AscendingInsertionsAndADuplicateGiveTheHandDerivedShape) {
    // Worked by hand (level in brackets), skew then split at each node on the way up:
    //   A            A[1]
    //   B            A[1] -> B[1]                         (right link, no split yet)
    //   C            split at A: B[2] with A[1], C[1]
    //   D            B[2]; C[1] -> D[1]
    //   E            split at C: D[2] with C, E; B[2] -> D[2] is a right link, B.r.r = E[1]
    //   F            E[1] -> F[1]
    //   G            split at E: F[2] with E, G; back at B: B.r.r = F[2] = B's level, split:
    //                D[3] with B[2] (A, C) and F[2] (E, G)
    //   C again      refused; skew and split at C, B and D change nothing.
    TqxBalTree tree;
    const char16_t* names[] = {u"A", u"B", u"C", u"D", u"E", u"F", u"G"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(tree.InsertName(names[i], i));
    }
    EXPECT_FALSE(tree.InsertName(u"C", 7));
    ExpectShape(tree, u"D",
                {{u"D", 3, u"B", u"F"},
                 {u"B", 2, u"A", u"C"},
                 {u"F", 2, u"E", u"G"},
                 {u"A", 1, u"", u""},
                 {u"C", 1, u"", u""},
                 {u"E", 1, u"", u""},
                 {u"G", 1, u"", u""}});
    EXPECT_EQ(tree.FindName(u"C"), 2);
}

TEST(BalTree, DescendingInsertionsSkewThenSplitAtTheSameNode) {
    // C[1]; B: skew at C gives B[1] -> C[1]; A: skew at B gives A[1] -> B[1] -> C[1], then
    // split at A lifts B: B[2] with A[1], C[1]. Re-inserting B touches only B.
    TqxBalTree tree;
    EXPECT_TRUE(tree.InsertName(u"C", 0));
    EXPECT_TRUE(tree.InsertName(u"B", 1));
    ExpectShape(tree, u"B", {{u"B", 1, u"", u"C"}, {u"C", 1, u"", u""}});
    EXPECT_TRUE(tree.InsertName(u"A", 2));
    EXPECT_FALSE(tree.InsertName(u"B", 3));
    ExpectShape(tree, u"B", {{u"B", 2, u"A", u"C"}, {u"A", 1, u"", u""}, {u"C", 1, u"", u""}});
}

TEST(BalTree, NamesCompareByUtf16CodeUnits) {
    const struct {
        std::u16string lower, higher;
    } pairs[] = {
        {u"B", u"a"},               // case-sensitive, capitals first
        {u"z", u"\u00e9"},          // no collation
        {u"ab", u"abc"},            // a prefix first
        {u"", u"a"},                // the empty name first
        {u"\U0001F600", u"\uFF01"}, // by code unit: a high surrogate is below U+FF01
        {u"e\u0301", u"\u00e9"},    // no normalisation
    };
    for (const auto& pair : pairs) {
        EXPECT_LT(TqxBalTree::CompareNames(pair.lower, pair.higher), 0);
        EXPECT_GT(TqxBalTree::CompareNames(pair.higher, pair.lower), 0);
    }
    EXPECT_EQ(TqxBalTree::CompareNames(u"same", u"same"), 0);

    TqxBalTree tree;
    tree.InsertName(u"\uFF01", 0);
    tree.InsertName(u"\U0001F600", 1);
    tree.InsertName(u"\u00e9", 2);
    EXPECT_EQ(tree.FindName(u"\U0001F600"), 1);
    EXPECT_EQ(tree.FindName(u"e\u0301"), -1);
    EXPECT_EQ(tree.FindName(std::u16string(1, char16_t{0xD83D})), -1);
}

// Levels as an AA tree requires: leaves at 1, a left child one level down, a right child at
// most one down and a right grandchild strictly below. Returns the number of named nodes.
std::size_t CheckInvariants(const TqxBalTree& tree, std::uint32_t index) {
    if (index == TqxBalTree::kSentinel) {
        return 0;
    }
    const TqxBalNode& node = tree.Node(index);
    const TqxBalNode& left = tree.Node(node.left);
    const TqxBalNode& right = tree.Node(node.right);
    EXPECT_EQ(left.level + 1, node.level);
    EXPECT_TRUE(right.level == node.level || right.level + 1 == node.level);
    EXPECT_LT(tree.Node(right.right).level, node.level);
    if (node.left == TqxBalTree::kSentinel && node.right == TqxBalTree::kSentinel) {
        EXPECT_EQ(node.level, 1);
    }
    return 1 + CheckInvariants(tree, node.left) + CheckInvariants(tree, node.right);
}

TEST(BalTree, RandomInsertionsStayBalancedAndFindTheFirstPosition) {
    std::mt19937 random(7);
    TqxBalTree tree;
    std::map<std::u16string, std::int32_t> reference;
    for (std::int32_t position = 0; position < 3000; ++position) {
        std::u16string name;
        const int length = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < length; ++k) {
            name.push_back(static_cast<char16_t>(u'a' + random() % 12));
        }
        const bool fresh = reference.emplace(name, position).second;
        EXPECT_EQ(tree.InsertName(name, position), fresh);
    }
    EXPECT_EQ(CheckInvariants(tree, tree.Root()), reference.size());
    // At most 1884 distinct names, so a balanced tree stays within about log2 of that.
    EXPECT_LE(tree.Node(tree.Root()).level, 12);
    for (const auto& [name, position] : reference) {
        EXPECT_EQ(tree.FindName(name), position);
    }
    EXPECT_EQ(tree.FindName(u"nope"), -1);

    tree.RemoveAllNames();
    EXPECT_EQ(tree.Root(), TqxBalTree::kSentinel);
    EXPECT_EQ(tree.NameCount(), 0u);
    EXPECT_EQ(tree.FindName(u"a"), -1);
}

} // namespace
