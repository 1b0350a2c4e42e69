// The sfnt container: the table directory (sorted by tag, with the binary-search fields), each
// table padded to four bytes, the table checksums and head's checkSumAdjustment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

// The file of TrueType outlines (sfnt version 1.0) made of `tables`, laid out without copying them:
// the header and table directory, then the tables in tag order, each padded with zeros to four bytes.
struct SfntLayout {
    ByteVector directory;
    std::vector<SfntTable> order;  // the tables as they follow the directory
    std::uint64_t fileBytes = 0;
    // The value of head's checkSumAdjustment that brings the file's whole sum to 0xB1B0AFBA, given
    // that the head table holds 0 there while it is laid out.
    std::uint32_t checksumAdjustment = 0;
};

// Lays out `tables`, in any order and each tag once.
void layOutSfnt(std::span<const SfntTable> tables, SfntLayout& layout);
