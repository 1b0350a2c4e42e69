// Bitmap layout conversion: bit reversal, byte swapping within scan units, row re-padding.
#pragma once

#include <cstdint>
#include <cstring>

// log2 of the bits in a pad of 1, 2, 4 or 8 bytes; -1 for any other pad.
[[nodiscard]] inline int padShift(std::int32_t pad) {
    switch (pad) {
    case 1: return 3;
    case 2: return 4;
    case 4: return 5;
    case 8: return 6;
    default: return -1;
    }
}

// Bytes in one row of `width` pixels padded to 1 << shift bits (shift from padShift, not -1); 0
// for a width of 0 or less. A walk over many glyphs of one pad takes the shift once.
[[nodiscard]] inline std::int32_t rowBytesAtShift(std::int32_t width, int shift) {
    if (width <= 0) return 0;
    const std::int64_t units = (std::int64_t{width} + (std::int64_t{1} << shift) - 1) >> shift;
    return static_cast<std::int32_t>(units << (shift - 3));  // units times the pad's bytes
}

// Bytes in one bitmap row of `width` pixels padded to `pad` bytes (1, 2, 4 or 8); 0 for any other pad.
// Inline and by shifts: the PCF reader asks for every glyph several times, and a division by a
// variable pad was a seventh of a large font's read.
[[nodiscard]] inline std::int32_t paddedRowBytes(std::int32_t width, std::int32_t pad) {
    const int shift = padShift(pad);
    return shift < 0 ? 0 : rowBytesAtShift(width, shift);
}

void invertBitOrder(std::uint8_t* bytes, std::int64_t count);
// A partial last unit (count not a multiple of the unit) is left as it is.
void swapTwoBytes(std::uint8_t* bytes, std::int64_t count);
void swapFourBytes(std::uint8_t* bytes, std::int64_t count);
// Copies `rows` rows of `width` pixels from oldPad to newPad rows; returns rows x newRow bytes
// written, or 0 (writing nothing) when a pad is not 1, 2, 4 or 8. For 0 bytes (no width or no
// rows) both blocks may be null. With rows no wider than before, the destination may overlap the
// source from below (destination <= source): rows move down in place.
std::int64_t repadBitmap(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldPad,
                         std::int32_t newPad, std::int32_t width, std::int32_t rows);

namespace bitmap_detail {
// `rows` rows of exactly `Bytes` bytes each moved down from rows of `oldRow` bytes; each row is
// loaded whole before it is stored, so its new place may overlap its old one.
template <std::int32_t Bytes>
inline void moveRowsDown(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldRow,
                         std::int32_t rows) {
#pragma GCC unroll 4
    for (std::int32_t r = 0; r < rows; ++r, source += oldRow, destination += Bytes) {
        std::uint8_t row[Bytes];
        std::memcpy(row, source, Bytes);
        std::memcpy(destination, row, Bytes);
    }
}
}  // namespace bitmap_detail

// What repadBitmap does for rows no wider than before (newPad <= oldPad, both valid pads) with the
// destination at or before the source, inline for the PCF reader's per-glyph walk, where the call
// and repadBitmap's general checks cost more than moving a small glyph. The pads come as their
// shifts (padShift), taken once for the walk. Returns the bytes written.
[[nodiscard]] inline std::int64_t narrowRowsAtShifts(const std::uint8_t* source, std::uint8_t* destination,
                                                     int oldShift, int newShift, std::int32_t width,
                                                     std::int32_t rows) {
    if (width <= 0 || rows <= 0) return 0;
    const std::int32_t oldRow = rowBytesAtShift(width, oldShift);
    const std::int32_t newRow = rowBytesAtShift(width, newShift);
    const std::int64_t total = static_cast<std::int64_t>(rows) * newRow;
    if (oldRow == newRow) {  // wide rows that need no padding at either pad: one move
        std::memmove(destination, source, static_cast<std::size_t>(total));
        return total;
    }
    switch (newRow) {
    case 1: bitmap_detail::moveRowsDown<1>(source, destination, oldRow, rows); break;
    case 2: bitmap_detail::moveRowsDown<2>(source, destination, oldRow, rows); break;
    case 4: bitmap_detail::moveRowsDown<4>(source, destination, oldRow, rows); break;
    default:
        for (std::int32_t r = 0; r < rows; ++r, source += oldRow, destination += newRow)
            std::memmove(destination, source, static_cast<std::size_t>(newRow));
    }
    return total;
}
