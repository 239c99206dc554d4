#pragma once
// The name index of a document object: an AA tree (Andersson tree) from member name to the
// member's position in the object.
//
// Nodes live in one vector owned by the tree and link to each other by index, so the tree owns
// every node outright and destroying it never recurses. Index 0 is the sentinel that stands for
// every absent child: level 0, both children itself. An empty tree's root is the sentinel.
// Most objects have a handful of members, so the vector is only allocated by the first
// insertion, with room for several names at once.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TqxBalNode {
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    std::uint8_t level = 0;
    std::int32_t position = -1;
    std::u16string name;
};

class TqxBalTree {
public:
    static constexpr std::uint32_t kSentinel = 0;

    TqxBalTree() = default;
    TqxBalTree(const TqxBalTree&) = delete;
    TqxBalTree& operator=(const TqxBalTree&) = delete;

    // Adds the name with its position; false when the name is already present, in which case
    // the earlier position stays. Either way every node on the search path is rebalanced.
    bool InsertName(std::u16string_view name, std::int32_t position);

    // The position stored for the name, or -1.
    std::int32_t FindName(std::u16string_view name) const;

    // Leaves only the sentinel.
    void RemoveAllNames();

    // Room for this many names in all, for a caller that knows the count beforehand.
    void Reserve(std::size_t names);

    // Inspection, for checking the shape of the tree.
    std::uint32_t Root() const { return root_; }
    const TqxBalNode& Node(std::uint32_t index) const {
        return nodes_.empty() ? kEmptySentinel : nodes_[index];
    }
    std::size_t NameCount() const { return nodes_.empty() ? 0 : nodes_.size() - 1; }

    // Ordinal order of UTF-16 code units, first unit first; a prefix sorts before the longer
    // name. Case-sensitive, no normalisation.
    static int CompareNames(std::u16string_view a, std::u16string_view b);

private:
    std::uint32_t Insert(std::uint32_t node, std::u16string_view name, std::int32_t position,
                         bool& added);
    std::uint32_t Skew(std::uint32_t node);
    std::uint32_t Split(std::uint32_t node);

    static const TqxBalNode kEmptySentinel;

    std::vector<TqxBalNode> nodes_;
    std::uint32_t root_ = kSentinel;
};
