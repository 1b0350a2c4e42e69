// The largest face the writer can write, and what follows from it for the steps before the writer:
// a step that would build cells or a glyph store that no written face could hold refuses first,
// so a small file cannot make a run spend memory and time on a font that is refused in the end.
// Raising the limit (a later resource version holds more) moves every such refusal with it.
#pragma once

#include <cstdint>

// Bytes of one Windows raster font resource, header and cells included.
constexpr std::int64_t MaxFaceBytes = 65536;

// True when a face can never hold `positions` cells of `cellBytes` bytes each (columns of whole
// bytes times rows, as the face holds them) together with the sentinel's blank cell of the same
// width: a font whose every written character has such a cell cannot be written.
[[nodiscard]] constexpr bool cellsNeverFit(std::int64_t positions, std::int64_t cellBytes) {
    return positions > 0 && cellBytes > MaxFaceBytes / (positions + 1);
}
