// The sfnt container: directory first, then the tables in tag order, each on a 4-byte boundary.
#include "ttf/sfnt.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fon/byte_writer.h"
#include "ttf/glyph_tables.h"

namespace {
constexpr std::uint64_t HeaderBytes = 12, RecordBytes = 16;
constexpr std::uint32_t ChecksumMagic = 0xB1B0AFBA;

std::uint64_t padded(std::uint64_t size) { return (size + 3) & ~std::uint64_t{3}; }
}  // namespace

std::uint32_t sfntChecksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        sum += static_cast<std::uint32_t>(bytes[i]) << 24 | static_cast<std::uint32_t>(bytes[i + 1]) << 16 |
               static_cast<std::uint32_t>(bytes[i + 2]) << 8 | bytes[i + 3];
    std::uint32_t last = 0;
    for (int shift = 24; i < count; ++i, shift -= 8) last |= static_cast<std::uint32_t>(bytes[i]) << shift;
    return sum + last;
}

std::uint64_t sfntFileBytes(std::span<const std::uint64_t> tableSizes) {
    std::uint64_t total = HeaderBytes + RecordBytes * tableSizes.size();
    for (std::uint64_t size : tableSizes) total += padded(size);
    return total;
}

void assembleSfnt(std::span<const SfntTable> tables, ByteVector& file) {
    std::vector<SfntTable> sorted(tables.begin(), tables.end());
    std::sort(sorted.begin(), sorted.end(), [](const SfntTable& a, const SfntTable& b) { return a.tag < b.tag; });
    std::vector<std::uint64_t> sizes;
    for (const SfntTable& table : sorted) sizes.push_back(table.data->size());
    file.clear();
    file.reserve(sfntFileBytes(sizes));

    // The binary-search fields: the largest power of two not above the table count.
    const std::uint32_t count = static_cast<std::uint32_t>(sorted.size());
    std::uint32_t selector = 0;
    while ((2u << selector) <= count) ++selector;
    const std::uint32_t searchRange = count == 0 ? 0 : (1u << selector) * 16;
    ByteWriter out(file, ByteOrder::BigEndian);
    out.u32(0x00010000);                 // 0 sfntVersion: TrueType outlines
    out.u16(count);                      // 4 numTables
    out.u16(searchRange);                // 6 searchRange
    out.u16(selector);                   // 8 entrySelector
    out.u16(count * 16 - searchRange);   // 10 rangeShift

    std::uint64_t offset = HeaderBytes + RecordBytes * count;
    for (const SfntTable& table : sorted) {  // 12 tableRecords
        out.u32(table.tag);
        out.u32(sfntChecksum(table.data->data(), table.data->size()));
        out.u32(static_cast<std::uint32_t>(offset));
        out.u32(static_cast<std::uint32_t>(table.data->size()));
        offset += padded(table.data->size());
    }
    // The tables by plain copies into the zeroed file (the padding stays zero): a byte-wise append
    // of unifont's 15 MB took a tenth of the writer's time.
    std::size_t at = file.size(), headOffset = 0;
    bool haveHead = false;
    file.resize(static_cast<std::size_t>(offset));
    for (const SfntTable& table : sorted) {
        if (table.tag == sfntTag("head")) headOffset = at, haveHead = true;
        if (!table.data->empty()) std::memcpy(file.data() + at, table.data->data(), table.data->size());
        at += static_cast<std::size_t>(padded(table.data->size()));
    }
    if (haveHead && file.size() >= headOffset + HeadChecksumAdjustmentOffset + 4) {
        const std::uint32_t adjustment = ChecksumMagic - sfntChecksum(file.data(), file.size());
        ByteVector field;
        ByteWriter(field, ByteOrder::BigEndian).u32(adjustment);
        std::copy(field.begin(), field.end(), file.begin() + static_cast<std::ptrdiff_t>(headOffset + HeadChecksumAdjustmentOffset));
    }
}
