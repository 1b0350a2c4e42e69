// Expansion of data compressed by the Unix compress utility (".Z", adaptive LZW).
#pragma once

#include "stream/font_stream.h"

// Reads the 3-byte header from `source` and returns a reading stream of the expanded bytes that
// owns `source` (closing it closes the source with the same flag). Null on a bad header
// (magic, maxBits outside 12..16) or no memory; the caller still owns `source` then.
[[nodiscard]] FontStream* pushLzwFilter(FontStream* source);
