// The sfnt container: directory first, then the tables in tag order, each on a 4-byte boundary.
#include "ttf/sfnt.h"

#include <algorithm>

#include "fon/byte_writer.h"

namespace {
constexpr std::uint64_t HeaderBytes = 12, RecordBytes = 16;
constexpr std::uint32_t ChecksumMagic = 0xB1B0AFBA;

std::uint64_t padded(std::uint64_t size) { return (size + 3) & ~std::uint64_t{3}; }
}  // namespace

std::uint32_t sfntChecksum(const std::uint8_t* bytes, std::size_t count) {
    // Whole words four at a time in independent sums, so the loop is not one long chain of adds.
    std::uint32_t sums[4] = {0, 0, 0, 0};
    std::size_t i = 0;
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    for (; i + 16 <= count; i += 16)
        for (std::size_t k = 0; k < 4; ++k) sums[k] += word(i + 4 * k);
    std::uint32_t sum = sums[0] + sums[1] + sums[2] + sums[3];
    for (; i + 4 <= count; i += 4) sum += word(i);
    std::uint32_t last = 0;
    for (int shift = 24; i < count; ++i, shift -= 8) last |= static_cast<std::uint32_t>(bytes[i]) << shift;
    return sum + last;
}

void layOutSfnt(std::span<const SfntTable> tables, SfntLayout& layout) {
    std::vector<SfntTable>& sorted = layout.order;
    sorted.assign(tables.begin(), tables.end());
    std::sort(sorted.begin(), sorted.end(), [](const SfntTable& a, const SfntTable& b) { return a.tag < b.tag; });
    ByteVector& directory = layout.directory;
    directory.clear();

    // The binary-search fields: the largest power of two not above the table count.
    const std::uint32_t count = static_cast<std::uint32_t>(sorted.size());
    std::uint32_t selector = 0;
    while ((2u << selector) <= count) ++selector;
    const std::uint32_t searchRange = count == 0 ? 0 : (1u << selector) * 16;
    ByteWriter out(directory, ByteOrder::BigEndian);
    out.u32(0x00010000);                 // 0 sfntVersion: TrueType outlines
    out.u16(count);                      // 4 numTables
    out.u16(searchRange);                // 6 searchRange
    out.u16(selector);                   // 8 entrySelector
    out.u16(count * 16 - searchRange);   // 10 rangeShift

    // Each table starts on a word boundary and its padding is zero, so the file's sum is the
    // directory's plus the tables' own.
    std::uint32_t fileSum = 0;
    std::uint64_t offset = HeaderBytes + RecordBytes * count;
    for (const SfntTable& table : sorted) {  // 12 tableRecords
        const std::uint32_t checksum = sfntChecksum(table.data->data(), table.data->size());
        fileSum += checksum;
        out.u32(table.tag);
        out.u32(checksum);
        out.u32(static_cast<std::uint32_t>(offset));
        out.u32(static_cast<std::uint32_t>(table.data->size()));
        offset += padded(table.data->size());
    }
    layout.fileBytes = offset;
    layout.checksumAdjustment = ChecksumMagic - (fileSum + sfntChecksum(directory.data(), directory.size()));
}
