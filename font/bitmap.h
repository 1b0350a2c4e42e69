// Bitmap layout conversion: bit reversal, byte swapping within scan units, row re-padding.
#pragma once

#include <cstdint>

// Bytes in one bitmap row of `width` pixels padded to `pad` bytes (1, 2, 4 or 8); 0 for any other pad.
[[nodiscard]] std::int32_t paddedRowBytes(std::int32_t width, std::int32_t pad);

void invertBitOrder(std::uint8_t* bytes, std::int64_t count);
// A partial last unit (count not a multiple of the unit) is left as it is.
void swapTwoBytes(std::uint8_t* bytes, std::int64_t count);
void swapFourBytes(std::uint8_t* bytes, std::int64_t count);
// Copies `rows` rows of `width` pixels from oldPad to newPad rows; returns rows x newRow bytes
// written, or 0 (writing nothing) when a pad is not 1, 2, 4 or 8.
std::int64_t repadBitmap(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldPad,
                         std::int32_t newPad, std::int32_t width, std::int32_t rows);
