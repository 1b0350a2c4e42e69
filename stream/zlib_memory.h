// zlib's working memory through the allocation wrappers, so that tests can make it fail like every
// other block: install with useModelAllocator on a z_stream before its init call.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <limits>

#include "font/alloc.h"

inline voidpf zlibAllocate(voidpf, uInt items, uInt size) {
    if (size != 0 && items > std::numeric_limits<std::size_t>::max() / size) return Z_NULL;
    return allocate(static_cast<std::size_t>(items) * size);
}

inline void zlibRelease(voidpf, voidpf block) { release(block); }

inline void useModelAllocator(z_stream& z) {
    z.zalloc = zlibAllocate;
    z.zfree = zlibRelease;
    z.opaque = Z_NULL;
}
