#include "QxNodeArena.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define TM_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TM_ARENA_ASAN 1
#endif
#endif

#ifdef TM_ARENA_ASAN
#include <sanitizer/asan_interface.h>
// Carved-out and released node memory stays poisoned, so a stale node pointer is still caught.
#define TM_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define TM_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define TM_POISON(address, size) ((void)(address), (void)(size))
#define TM_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

constexpr std::size_t kAlign = 16; // long double, the strictest member of any node
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= kAlign, "heap nodes rely on operator new");
constexpr std::size_t kMinBlock = std::size_t(1) << 10;
constexpr std::size_t kMaxBlock = std::size_t(1) << 16; // stays below the allocator's mmap limit

std::size_t RoundUp(std::size_t size) {
    return (size + kAlign - 1) & ~(kAlign - 1);
}

} // namespace

struct alignas(kAlign) TqxNodeArena::Block {
    std::size_t live; // nodes alive in the block, plus one while the arena still carves it
    std::size_t bytes;
};

namespace {

// Precedes every node: the block it was carved from, or none when it came from the heap.
struct alignas(kAlign) NodeHeader {
    void* block;
};

} // namespace

TqxNodeArena::TqxNodeArena(std::size_t expectedBytes)
    : nextBlockSize_(std::clamp(RoundUp(expectedBytes), kMinBlock, kMaxBlock)) {}

TqxNodeArena::~TqxNodeArena() {
    if (block_ != nullptr) {
        DropBlock(block_);
    }
}

void TqxNodeArena::DropBlock(Block* block) {
    if (--block->live == 0) {
        TM_UNPOISON(block, block->bytes);
        std::free(block);
    }
}

void TqxNodeArena::StartBlock(std::size_t size) {
    if (block_ != nullptr) {
        DropBlock(block_);
    }
    const std::size_t bytes = std::max(nextBlockSize_, sizeof(Block) + size);
    nextBlockSize_ = kMaxBlock;
    void* memory = std::malloc(bytes);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    block_ = ::new (memory) Block{1, bytes};
    next_ = static_cast<char*>(memory) + sizeof(Block);
    end_ = static_cast<char*>(memory) + bytes;
    TM_POISON(next_, static_cast<std::size_t>(end_ - next_));
}

void* TqxNodeArena::Allocate(std::size_t size) {
    const std::size_t total = sizeof(NodeHeader) + RoundUp(size);
    if (static_cast<std::size_t>(end_ - next_) < total) {
        StartBlock(total);
    }
    char* at = next_;
    next_ += total;
    TM_UNPOISON(at, total);
    ++block_->live;
    ::new (at) NodeHeader{block_};
    return at + sizeof(NodeHeader);
}

void* TqxNodeArena::AllocateOnHeap(std::size_t size) {
    char* at = static_cast<char*>(::operator new(sizeof(NodeHeader) + size));
    ::new (at) NodeHeader{nullptr};
    return at + sizeof(NodeHeader);
}

void TqxNodeArena::Release(void* node, std::size_t size) {
    char* at = static_cast<char*>(node) - sizeof(NodeHeader);
    auto* block = static_cast<Block*>(reinterpret_cast<NodeHeader*>(at)->block);
    if (block == nullptr) {
        ::operator delete(at);
        return;
    }
    TM_POISON(at, sizeof(NodeHeader) + RoundUp(size));
    DropBlock(block);
}
