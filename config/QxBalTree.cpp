#include "QxBalTree.h"

const TqxBalNode TqxBalTree::kEmptySentinel{};

int TqxBalTree::CompareNames(std::u16string_view a, std::u16string_view b) {
    // char_traits<char16_t> compares code units as unsigned 16-bit values.
    const int result = a.compare(b);
    return (result > 0) - (result < 0);
}

bool TqxBalTree::InsertName(std::u16string_view name, std::int32_t position) {
    if (nodes_.empty()) {
        if (nodes_.capacity() == 0) {
            nodes_.reserve(8);
        }
        nodes_.emplace_back(); // the sentinel: level 0, children 0 (itself)
    }
    bool added = false;
    root_ = Insert(root_, name, position, added);
    return added;
}

std::uint32_t TqxBalTree::Insert(std::uint32_t node, std::u16string_view name,
                                 std::int32_t position, bool& added) {
    if (node == kSentinel) {
        TqxBalNode fresh;
        fresh.level = 1;
        fresh.position = position;
        fresh.name.assign(name);
        nodes_.push_back(std::move(fresh));
        added = true;
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    }
    // Children are re-read through nodes_ after the recursive call: it may grow the vector.
    const int order = CompareNames(name, nodes_[node].name);
    if (order < 0) {
        const std::uint32_t child = Insert(nodes_[node].left, name, position, added);
        nodes_[node].left = child;
    } else if (order > 0) {
        const std::uint32_t child = Insert(nodes_[node].right, name, position, added);
        nodes_[node].right = child;
    } else {
        added = false;
    }
    return Split(Skew(node));
}

std::uint32_t TqxBalTree::Skew(std::uint32_t node) {
    const std::uint32_t left = nodes_[node].left;
    if (node == kSentinel || nodes_[left].level != nodes_[node].level) {
        return node;
    }
    nodes_[node].left = nodes_[left].right;
    nodes_[left].right = node;
    return left;
}

std::uint32_t TqxBalTree::Split(std::uint32_t node) {
    const std::uint32_t right = nodes_[node].right;
    if (node == kSentinel || nodes_[nodes_[right].right].level != nodes_[node].level) {
        return node;
    }
    nodes_[node].right = nodes_[right].left;
    nodes_[right].left = node;
    ++nodes_[right].level;
    return right;
}

std::int32_t TqxBalTree::FindName(std::u16string_view name) const {
    std::uint32_t node = root_;
    while (node != kSentinel) {
        const TqxBalNode& current = nodes_[node];
        const int order = CompareNames(name, current.name);
        if (order == 0) {
            return current.position;
        }
        node = order < 0 ? current.left : current.right;
    }
    return -1;
}

void TqxBalTree::Reserve(std::size_t names) {
    nodes_.reserve(names + 1); // and the sentinel
}

void TqxBalTree::RemoveAllNames() {
    nodes_.clear();
    root_ = kSentinel;
}
