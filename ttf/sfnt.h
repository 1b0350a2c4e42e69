// The sfnt container: the table directory (sorted by tag, with the binary-search fields), each
// table padded to four bytes, the table checksums and head's checkSumAdjustment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "font/alloc.h"

[[nodiscard]] constexpr std::uint32_t sfntTag(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

struct SfntTable {
    std::uint32_t tag = 0;
    const ByteVector* data = nullptr;
};

// The sum of `bytes` as big-endian 32-bit words, the last one padded with zeros.
[[nodiscard]] std::uint32_t sfntChecksum(const std::uint8_t* bytes, std::size_t count);

// Bytes of the file assembleSfnt makes of tables of these sizes.
[[nodiscard]] std::uint64_t sfntFileBytes(std::span<const std::uint64_t> tableSizes);

// The whole file of TrueType outlines (sfnt version 1.0) in `file`, tables in any order and each tag
// once. The head table, if given, must hold 0 in checkSumAdjustment; the file gets the value that
// brings its whole sum to 0xB1B0AFBA.
void assembleSfnt(std::span<const SfntTable> tables, ByteVector& file);
