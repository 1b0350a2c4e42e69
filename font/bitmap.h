// Bitmap layout conversion: bit reversal, byte swapping within scan units, row re-padding.
#pragma once

#include <cstdint>

// Bytes in one bitmap row of `width` pixels padded to `pad` bytes (1, 2, 4 or 8); 0 for any other pad.
// Inline and by shifts: the PCF reader asks for every glyph several times, and a division by a
// variable pad was a seventh of a large font's read.
[[nodiscard]] inline std::int32_t paddedRowBytes(std::int32_t width, std::int32_t pad) {
    int shift = 0;  // log2 of the pad's bits
    switch (pad) {
    case 1: shift = 3; break;
    case 2: shift = 4; break;
    case 4: shift = 5; break;
    case 8: shift = 6; break;
    default: return 0;
    }
    if (width <= 0) return 0;
    const std::int64_t units = (std::int64_t{width} + (std::int64_t{1} << shift) - 1) >> shift;
    return static_cast<std::int32_t>(units * pad);
}

void invertBitOrder(std::uint8_t* bytes, std::int64_t count);
// A partial last unit (count not a multiple of the unit) is left as it is.
void swapTwoBytes(std::uint8_t* bytes, std::int64_t count);
void swapFourBytes(std::uint8_t* bytes, std::int64_t count);
// Copies `rows` rows of `width` pixels from oldPad to newPad rows; returns rows x newRow bytes
// written, or 0 (writing nothing) when a pad is not 1, 2, 4 or 8. With rows no wider than before,
// the destination may overlap the source from below (destination <= source): rows move down in
// place.
std::int64_t repadBitmap(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldPad,
                         std::int32_t newPad, std::int32_t width, std::int32_t rows);
