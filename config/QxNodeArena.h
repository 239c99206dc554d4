#pragma once
// Where the parser puts the nodes of one document: large blocks carved in order instead of one
// heap allocation per node, so that building and destroying a big tree costs a pointer bump and
// a counter each.
//
// Nodes keep their ordinary ownership: a container still destroys its children one by one.
// Every node starts with a small header naming the block it lives in (or none for a node from
// the heap), and each block counts the nodes still alive in it, so a block is freed when its
// last node goes, whenever and in whatever order that happens. The arena itself only carves; it
// may end long before the tree does. The counts are not synchronised: the nodes of one document
// are created and destroyed under the same rules as the tree itself.

#include <cstddef>

class TqxNodeArena {
public:
    // expectedBytes sizes the first block, so that a small document takes a small block.
    explicit TqxNodeArena(std::size_t expectedBytes);
    ~TqxNodeArena();
    TqxNodeArena(const TqxNodeArena&) = delete;
    TqxNodeArena& operator=(const TqxNodeArena&) = delete;

    // Room for one node of the given size, aligned for any node.
    void* Allocate(std::size_t size);

    // The ends of a node's life, for the node classes' allocation functions.
    static void* AllocateOnHeap(std::size_t size);
    static void Release(void* node, std::size_t size);

private:
    struct Block;

    void StartBlock(std::size_t size);
    static void DropBlock(Block* block);

    Block* block_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t nextBlockSize_;
};
