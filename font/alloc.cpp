// Allocation wrappers with a failure-injection seam for tests.
//
// Large blocks (a big font's bitmaps and glyph records, a TrueType font's outlines) are mapped from
// the system on 2 MiB boundaries and advised for transparent huge pages on Linux, so that touching
// them costs one page fault per 2 MiB instead of one per 4 KiB: on a virtual machine a fault costs
// about 11 microseconds, which made faults a third of converting a large font. Elsewhere, and under
// the sanitizers (which must see every block), malloc serves every size.
#include "font/alloc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define COMPILE_FONTS_NO_LARGE_PAGES 1
#endif
#endif
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(COMPILE_FONTS_NO_LARGE_PAGES)
#define COMPILE_FONTS_LARGE_PAGES 1
#include <sys/mman.h>
#endif

namespace {
long calls = 0;
long failAt = 0;
bool failSticky = false;

// True when this call is the one a test asked to fail.
bool injectedFailure() {
    ++calls;
    if (failAt == 0) return false;
    return calls == failAt || (failSticky && calls > failAt);
}

#ifdef COMPILE_FONTS_LARGE_PAGES
constexpr std::size_t HugePageBytes = std::size_t{2} << 20;
// Blocks from here up are mapped: at most half of a huge page goes unused, and a vector growing by
// doubling reaches this size after a handful of steps.
constexpr std::size_t LargeBlockBytes = std::size_t{1} << 20;

// The blocks mapped here: a run holds only a few large blocks at once, and once this table is full
// further ones come from malloc.
struct LargeBlock {
    void* block = nullptr;
    std::size_t size = 0;    // as asked
    std::size_t mapped = 0;  // the mapping's length, whole huge pages
};
std::array<LargeBlock, 64> largeBlocks;

// A block of `size` (at least LargeBlockBytes) on a huge-page boundary, or null when none could be
// mapped or the table is full (the caller then uses malloc).
void* mapLargeBlock(std::size_t size) {
    LargeBlock* slot = nullptr;
    for (LargeBlock& entry : largeBlocks)
        if (!entry.block) {
            slot = &entry;
            break;
        }
    if (!slot || size > SIZE_MAX - 2 * HugePageBytes) return nullptr;
    const std::size_t mapped = (size + HugePageBytes - 1) & ~(HugePageBytes - 1);
    // Mapped a huge page longer, then trimmed to the aligned part.
    void* raw = mmap(nullptr, mapped + HugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + HugePageBytes - 1) & ~std::uintptr_t{HugePageBytes - 1};
    if (aligned > start) munmap(raw, aligned - start);
    if (const std::uintptr_t tail = start + HugePageBytes - aligned; tail > 0)
        munmap(reinterpret_cast<void*>(aligned + mapped), tail);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, mapped, MADV_HUGEPAGE);  // advice only: without it the block still works
    *slot = {block, size, mapped};
    return block;
}

// The table's entry for `block`, or null for a block malloc gave.
LargeBlock* findLargeBlock(void* block) {
    if (!block || (reinterpret_cast<std::uintptr_t>(block) & (HugePageBytes - 1)) != 0) return nullptr;
    for (LargeBlock& entry : largeBlocks)
        if (entry.block == block) return &entry;
    return nullptr;
}

void* allocateBlock(std::size_t size) {
    if (size >= LargeBlockBytes)
        if (void* block = mapLargeBlock(size)) return block;
    return std::malloc(size);
}

void* resizeBlock(void* block, std::size_t size) {
    LargeBlock* entry = findLargeBlock(block);
    if (!entry) return block ? std::realloc(block, size) : allocateBlock(size);
    if (size <= entry->mapped && size >= LargeBlockBytes) {
        entry->size = size;
        return block;
    }
    void* moved = allocateBlock(size);
    if (!moved) return nullptr;
    std::memcpy(moved, block, std::min(size, entry->size));
    munmap(entry->block, entry->mapped);
    *entry = {};
    return moved;
}

void releaseBlock(void* block) {
    if (LargeBlock* entry = findLargeBlock(block)) {
        munmap(entry->block, entry->mapped);
        *entry = {};
        return;
    }
    std::free(block);
}
#else
void* allocateBlock(std::size_t size) { return std::malloc(size); }
void* resizeBlock(void* block, std::size_t size) { return std::realloc(block, size); }
void releaseBlock(void* block) { std::free(block); }
#endif
}  // namespace

void failAllocationAt(long n, bool sticky) {
    calls = 0;
    failAt = n;
    failSticky = sticky;
}

long allocationCount() { return calls; }

void* allocate(std::size_t size) {
    if (injectedFailure()) return nullptr;
    // malloc(0) may give null; a 0-byte request must still give a valid block.
    return allocateBlock(size == 0 ? 1 : size);
}

void* resize(void* block, std::size_t size) {
    if (injectedFailure()) return nullptr;
    return resizeBlock(block, size == 0 ? 1 : size);
}

void release(void* block) { releaseBlock(block); }
