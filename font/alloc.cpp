// Allocation wrappers with a failure-injection seam for tests.
#include "font/alloc.h"

#include <cstdlib>

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
    return std::malloc(size == 0 ? 1 : size);
}

void* resize(void* block, std::size_t size) {
    if (injectedFailure()) return nullptr;
    return std::realloc(block, size == 0 ? 1 : size);
}

void release(void* block) { std::free(block); }
