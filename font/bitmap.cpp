// Bitmap layout conversion: bit reversal, byte swapping, row re-padding.
#include "font/bitmap.h"

#include <array>
#include <cstring>

namespace {
constexpr std::array<std::uint8_t, 256> makeReversedBits() {
    std::array<std::uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        int reversed = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (value & (1 << bit)) reversed |= 0x80 >> bit;
        table[value] = static_cast<std::uint8_t>(reversed);
    }
    return table;
}
// Built at compile time from the rule, not at run time.
constexpr std::array<std::uint8_t, 256> reversedBits = makeReversedBits();
static_assert(reversedBits[0x01] == 0x80 && reversedBits[0x03] == 0xC0 && reversedBits[0xFF] == 0xFF);

bool validPad(std::int32_t pad) { return pad == 1 || pad == 2 || pad == 4 || pad == 8; }
}  // namespace

void invertBitOrder(std::uint8_t* bytes, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) bytes[i] = reversedBits[bytes[i]];
}

void swapTwoBytes(std::uint8_t* bytes, std::int64_t count) {
    for (std::int64_t i = 0; i + 1 < count; i += 2) {
        std::uint8_t b = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = b;
    }
}

void swapFourBytes(std::uint8_t* bytes, std::int64_t count) {
    for (std::int64_t i = 0; i + 3 < count; i += 4) {
        std::uint32_t unit;
        std::memcpy(&unit, bytes + i, 4);
        unit = __builtin_bswap32(unit);
        std::memcpy(bytes + i, &unit, 4);
    }
}

namespace {
// Rows of a fixed width copy with one move each; a library call per row of a few bytes cost more
// than the copy itself. Each row is loaded whole before it is stored, so a row's new place may
// overlap its old one.
template <std::int32_t Bytes>
void copyRows(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldRow, std::int32_t newRow,
              std::int32_t rows) {
    for (std::int32_t r = 0; r < rows; ++r, source += oldRow, destination += newRow) {
        std::uint8_t row[Bytes];
        std::memcpy(row, source, Bytes);
        std::memcpy(destination, row, Bytes);
    }
}
}  // namespace

std::int64_t repadBitmap(const std::uint8_t* source, std::uint8_t* destination, std::int32_t oldPad,
                         std::int32_t newPad, std::int32_t width, std::int32_t rows) {
    if (!validPad(oldPad) || !validPad(newPad)) return 0;
    if (rows <= 0) return 0;
    std::int32_t oldRow = paddedRowBytes(width, oldPad);
    std::int32_t newRow = paddedRowBytes(width, newPad);
    std::int32_t copy = oldRow < newRow ? oldRow : newRow;
    std::int64_t total = static_cast<std::int64_t>(rows) * newRow;
    // Nothing to move; the blocks of a font whose bitmaps are all empty may have no address at all,
    // which not even a copy of 0 bytes may be given.
    if (total == 0) return 0;
    if (oldRow == newRow) {
        std::memmove(destination, source, static_cast<std::size_t>(total));
        return total;
    }
    // Growing rows: the padding is cleared in one pass, then only the old bytes are copied.
    if (newRow > copy) std::memset(destination, 0, static_cast<std::size_t>(total));
    switch (copy) {
    case 1: copyRows<1>(source, destination, oldRow, newRow, rows); break;
    case 2: copyRows<2>(source, destination, oldRow, newRow, rows); break;
    case 4: copyRows<4>(source, destination, oldRow, newRow, rows); break;
    case 8: copyRows<8>(source, destination, oldRow, newRow, rows); break;
    default:
        for (std::int32_t r = 0; r < rows; ++r, source += oldRow, destination += newRow)
            std::memmove(destination, source, static_cast<std::size_t>(copy));
    }
    return total;
}
