// Expansion of gzip-compressed input (".gz"), inflated with zlib.
#pragma once

#include "stream/font_stream.h"

// Reads the gzip header from `source` and returns a reading stream of the expanded bytes that owns
// `source` (closing it closes the source with the same flag). Members that follow one another are
// expanded as one stream. Null on a bad or missing header, or no memory; the caller still owns
// `source` then. Closing expands what the reader left and fails (closeFontStream gives -1) when
// the data was damaged or cut short anywhere, even past the point the reader stopped at.
[[nodiscard]] FontStream* pushGzipFilter(FontStream* source);
