// The largest face the writer can write, and what follows from it for the steps before the writer:
// a step that would build cells or a glyph store that no written face could hold refuses first,
// so a small file cannot make a run spend memory and time on a font that is refused in the end.
// Raising the limit (a later resource version holds more) moves every such refusal with it.
#pragma once

#include <cstdint>

// Bytes of one Windows raster font resource, header and cells included.
constexpr std::int64_t MaxFaceBytes = 65536;

// True when cells of `cellBytes` bytes (columns of whole bytes times rows, as the face holds them)
// can never be written: a face with a glyph also holds the sentinel's blank cell of the same
// width, so even one such glyph passes the limit.
[[nodiscard]] constexpr bool cellNeverFits(std::int64_t cellBytes) { return cellBytes > MaxFaceBytes / 2; }
