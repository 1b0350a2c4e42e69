// The largest face the writer writes, and what follows from it for the steps before the writer:
// a step that would build cells or a glyph store that no written face could hold refuses first,
// so a small file cannot make a run spend memory and time on a font that is refused in the end.
// Every such refusal derives from MaxFaceBytes and moves with it.
#pragma once

#include <cstdint>

// Bytes of one Windows raster font resource, header and cells included. Faces past the 65536
// bytes of the Windows 2.x layout are written in the 3.0 layout, whose offsets are 32-bit; the
// product stops at 16 MiB all the same: no real bitmap font comes near it (255 cells of 256 x 256
// pixels take 2 MiB), and it bounds what a tiny hostile file can make a run build.
constexpr std::int64_t MaxFaceBytes = std::int64_t{16} << 20;

// True when `count` cells of `cellBytes` bytes each (columns of whole bytes times rows, as a face
// holds them) take more than the largest face.
[[nodiscard]] constexpr bool cellsPassFace(std::int64_t count, std::int64_t cellBytes) {
    return count > 0 && cellBytes > MaxFaceBytes / count;
}

// True when a face can never hold `positions` cells of `cellBytes` bytes each together with the
// sentinel's blank cell of the same width: a font whose every written character has such a cell
// cannot be written.
[[nodiscard]] constexpr bool cellsNeverFit(std::int64_t positions, std::int64_t cellBytes) {
    return positions > 0 && cellsPassFace(positions + 1, cellBytes);
}
