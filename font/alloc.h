// Allocation wrappers: every block of the font model is obtained and returned here,
// so one seam lets tests make the n-th allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

// A block of `size` bytes, or null when memory runs out. A 0-byte request gives a valid block.
[[nodiscard]] void* allocate(std::size_t size);
// Null `block` behaves as allocate; otherwise standard reallocation. Null on failure.
[[nodiscard]] void* resize(void* block, std::size_t size);
// Frees `block`; null is ignored.
void release(void* block);

// Failure injection for tests: the n-th allocation from now (1-based) fails, and every one after
// it too when `sticky`. 0 disables. allocationCount() counts calls since the last reset.
void failAllocationAt(long n, bool sticky = false);
long allocationCount();

// Standard allocator over the wrappers, so std::vector storage of the model goes through the seam.
// A failed wrapper throws std::bad_alloc, which runGuarded (font/status.h) turns into StatusFail.
template <class T>
struct ModelAllocator {
    using value_type = T;
    ModelAllocator() noexcept = default;
    template <class U>
    ModelAllocator(const ModelAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        void* p = ::allocate(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { ::release(p); }

    template <class U>
    bool operator==(const ModelAllocator<U>&) const noexcept { return true; }
};

template <class T>
using ModelVector = std::vector<T, ModelAllocator<T>>;
using ByteVector = ModelVector<std::uint8_t>;
// Text beyond the string's own small buffer comes through the seam too.
using ModelString = std::basic_string<char, std::char_traits<char>, ModelAllocator<char>>;

// Base of the model records held by std::unique_ptr: make_unique and delete go through the seam.
struct ModelRecord {
    static void* operator new(std::size_t size) {
        void* p = ::allocate(size);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void operator delete(void* block) noexcept { ::release(block); }
};
