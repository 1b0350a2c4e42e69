// Reads a TrueType font's strikes back: the directory, the tables the picture needs, and each
// strike's index subtables, checked once here so that a glyph's lookup only has its own bytes to
// check.
#include "ttf/ttf_reader.h"

#include <algorithm>
#include <optional>

#include "fon/byte_reader.h"
#include "stream/font_stream.h"

namespace {
constexpr std::uint32_t tag(const char (&name)[5]) {
    return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 | std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | static_cast<std::uint8_t>(name[3]);
}

constexpr std::uint32_t BitmapSizeBytes = 48;   // one strike's record in EBLC
constexpr std::uint32_t IndexHeaderBytes = 8;   // indexFormat, imageFormat, imageDataOffset
constexpr std::uint32_t BigMetricsBytes = 8;
constexpr std::uint32_t SmallMetricsBytes = 5;

std::int32_t signedByte(std::uint32_t value) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(value)); }

// The table `wanted` of the directory, checked to lie in the file; empty when there is none.
[[nodiscard]] bool findTable(const ByteReader& file, std::uint32_t wanted, std::span<const std::uint8_t>* table) {
    std::uint32_t count = 0;
    if (!file.u16(4, &count)) return false;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t record = 12 + std::uint64_t{k} * 16;
        std::uint32_t name = 0, offset = 0, length = 0;
        if (!file.u32(record, &name) || !file.u32(record + 8, &offset) || !file.u32(record + 12, &length)) return false;
        if (name != wanted) continue;
        *table = file.bytes(offset, length);
        return !table->empty();
    }
    *table = {};
    return true;
}

// The Windows subtable of the character map: Unicode full repertoire (format 12), else Unicode BMP
// (format 4), else symbol (format 4).
[[nodiscard]] bool chooseCharacterMap(std::span<const std::uint8_t> cmap, TtfFile& file) {
    const ByteReader map(cmap, ByteOrder::BigEndian);
    std::uint32_t count = 0;
    if (!map.u16(2, &count)) return false;
    int best = 0;  // 3: (3, 10), 2: (3, 1), 1: (3, 0)
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t record = 4 + std::uint64_t{k} * 8;
        std::uint32_t platform = 0, encoding = 0, offset = 0, format = 0;
        if (!map.u16(record, &platform) || !map.u16(record + 2, &encoding) || !map.u32(record + 4, &offset) ||
            !map.u16(offset, &format))
            return false;
        const int rank = platform != 3                           ? 0
                         : encoding == 10 && format == 12        ? 3
                         : encoding == 1 && format == 4          ? 2
                         : encoding == 0 && format == 4          ? 1
                                                                 : 0;
        if (rank <= best) continue;
        std::uint32_t length = 0;
        if (!(format == 12 ? map.u32(offset + 4, &length) : map.u16(offset + 2, &length))) return false;
        file.characterMap = map.bytes(offset, length);
        if (file.characterMap.empty()) return false;
        file.symbol = rank == 1;
        best = rank;
    }
    return best != 0;
}

// The full name (4), else the family name (1), of the Windows records: UTF-16BE, shown in ASCII.
void readName(std::span<const std::uint8_t> table, TtfFile& file) {
    const ByteReader names(table, ByteOrder::BigEndian);
    std::uint32_t count = 0, strings = 0;
    if (!names.u16(2, &count) || !names.u16(4, &strings)) return;
    std::uint32_t bestId = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t record = 6 + std::uint64_t{k} * 12;
        std::uint32_t platform = 0, nameId = 0, length = 0, offset = 0;
        if (!names.u16(record, &platform) || !names.u16(record + 6, &nameId) || !names.u16(record + 8, &length) ||
            !names.u16(record + 10, &offset))
            return;
        if (platform != 3 || (nameId != 4 && nameId != 1) || (bestId == 4 && nameId == 1)) continue;
        const std::span<const std::uint8_t> text = names.bytes(std::uint64_t{strings} + offset, length);
        if (text.empty()) continue;
        ModelString name;
        for (std::size_t at = 0; at + 1 < text.size(); at += 2) {
            const std::uint32_t unit = std::uint32_t{text[at]} << 8 | text[at + 1];
            name += unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?';
        }
        file.name = std::move(name);
        bestId = nameId;
    }
}

bool knownFormats(std::uint32_t indexFormat, std::uint32_t imageFormat) {
    if (indexFormat < 1 || indexFormat > 5) return false;
    const bool metricsInIndex = indexFormat == 2 || indexFormat == 5;
    switch (imageFormat) {
    case 1: case 2: case 6: case 7:
        return true;
    case 5:
        return metricsInIndex;  // the images carry no metrics of their own
    default:
        return false;
    }
}

// Checks that the arrays of a range's index subtable lie in EBLC; the glyphs' images are checked
// when they are looked up.
[[nodiscard]] bool checkRange(const ByteReader& eblc, const TtfIndexRange& range) {
    const std::uint64_t glyphs = std::uint64_t{range.lastGlyph} - range.firstGlyph + 1;
    const std::uint64_t body = std::uint64_t{range.header} + IndexHeaderBytes;
    std::uint32_t pairs = 0;
    switch (range.indexFormat) {
    case 1:
        return eblc.has(body, (glyphs + 1) * 4);
    case 3:
        return eblc.has(body, (glyphs + 1) * 2);
    case 2:
        return eblc.has(body, 4 + BigMetricsBytes);
    case 4:
        return eblc.u32(body, &pairs) && eblc.has(body + 4, (std::uint64_t{pairs} + 1) * 4);
    case 5:
        return eblc.u32(body + 4 + BigMetricsBytes, &pairs) &&
               eblc.has(body + 8 + BigMetricsBytes, std::uint64_t{pairs} * 2);
    }
    return false;
}

[[nodiscard]] bool readStrikes(TtfFile& file) {
    const ByteReader eblc(file.locations, ByteOrder::BigEndian);
    std::uint32_t major = 0, count = 0;
    if (!eblc.u16(0, &major) || major != 2 || !eblc.u32(4, &count)) return false;
    if (!eblc.has(8, std::uint64_t{count} * BitmapSizeBytes)) return false;
    file.strikes.reserve(count);
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t size = 8 + std::uint64_t{k} * BitmapSizeBytes;
        std::uint32_t arrayOffset = 0, ranges = 0, ascender = 0, descender = 0, ppemY = 0, bitDepth = 0;
        if (!eblc.u32(size, &arrayOffset) || !eblc.u32(size + 8, &ranges) || !eblc.u8(size + 16, &ascender) ||
            !eblc.u8(size + 17, &descender) || !eblc.u8(size + 45, &ppemY) || !eblc.u8(size + 46, &bitDepth))
            return false;
        if (bitDepth != 1 || !eblc.has(arrayOffset, std::uint64_t{ranges} * 8)) return false;
        TtfStrikeInfo strike;
        strike.ppem = ppemY;
        strike.ascender = signedByte(ascender);
        strike.descender = signedByte(descender);
        strike.ranges.reserve(ranges);
        for (std::uint32_t r = 0; r < ranges; ++r) {
            const std::uint64_t entry = std::uint64_t{arrayOffset} + std::uint64_t{r} * 8;
            TtfIndexRange range;
            std::uint32_t additional = 0;
            if (!eblc.u16(entry, &range.firstGlyph) || !eblc.u16(entry + 2, &range.lastGlyph) ||
                !eblc.u32(entry + 4, &additional))
                return false;
            const std::uint64_t header = std::uint64_t{arrayOffset} + additional;
            if (range.lastGlyph < range.firstGlyph || header > UINT32_MAX) return false;
            range.header = static_cast<std::uint32_t>(header);
            if (!eblc.u16(header, &range.indexFormat) || !eblc.u16(header + 2, &range.imageFormat) ||
                !eblc.u32(header + 4, &range.imageData))
                return false;
            if (!knownFormats(range.indexFormat, range.imageFormat) || !checkRange(eblc, range)) return false;
            strike.ranges.push_back(range);
        }
        file.strikes.push_back(std::move(strike));
    }
    return true;
}

// Where a glyph's image lies in EBDT (offset, length), and the metrics the index gives, if any.
struct ImagePlace {
    std::uint64_t offset = 0, length = 0;
    std::optional<std::uint64_t> indexMetrics;  // offset of big metrics in EBLC
};

[[nodiscard]] bool placeImage(const ByteReader& eblc, const TtfIndexRange& range, std::uint32_t glyph,
                              ImagePlace* place) {
    const std::uint64_t body = std::uint64_t{range.header} + IndexHeaderBytes;
    const std::uint64_t k = glyph - range.firstGlyph;
    std::uint32_t start = 0, end = 0, size = 0, count = 0, id = 0;
    switch (range.indexFormat) {
    case 1:
    case 3: {
        const std::uint32_t width = range.indexFormat == 1 ? 4 : 2;
        if (!eblc.field(body + k * width, width, &start) || !eblc.field(body + (k + 1) * width, width, &end)) return false;
        if (end <= start) return false;  // no image: the strike leaves the glyph out
        *place = {std::uint64_t{range.imageData} + start, std::uint64_t{end} - start, std::nullopt};
        return true;
    }
    case 2:
        if (!eblc.u32(body, &size)) return false;
        *place = {std::uint64_t{range.imageData} + k * size, size, body + 4};
        return true;
    case 4:
        if (!eblc.u32(body, &count)) return false;
        for (std::uint64_t j = 0; j < count; ++j) {
            const std::uint64_t pair = body + 4 + j * 4;
            if (!eblc.u16(pair, &id) || id != glyph) continue;
            if (!eblc.u16(pair + 2, &start) || !eblc.u16(pair + 6, &end) || end <= start) return false;
            *place = {std::uint64_t{range.imageData} + start, std::uint64_t{end} - start, std::nullopt};
            return true;
        }
        return false;
    case 5:
        if (!eblc.u32(body, &size) || !eblc.u32(body + 4 + BigMetricsBytes, &count)) return false;
        for (std::uint64_t j = 0; j < count; ++j) {
            if (!eblc.u16(body + 8 + BigMetricsBytes + j * 2, &id) || id != glyph) continue;
            *place = {std::uint64_t{range.imageData} + j * size, size, body + 4};
            return true;
        }
        return false;
    }
    return false;
}

// Height, width, bearing x, bearing y, advance: the first five fields of both metrics layouts.
[[nodiscard]] bool readMetrics(const ByteReader& bytes, std::uint64_t at, TtfBitmap* out) {
    std::uint32_t height = 0, width = 0, x = 0, y = 0, advance = 0;
    if (!bytes.u8(at, &height) || !bytes.u8(at + 1, &width) || !bytes.u8(at + 2, &x) || !bytes.u8(at + 3, &y) ||
        !bytes.u8(at + 4, &advance))
        return false;
    out->height = static_cast<std::int32_t>(height);
    out->width = static_cast<std::int32_t>(width);
    out->bearingX = signedByte(x);
    out->bearingY = signedByte(y);
    out->advance = static_cast<std::int32_t>(advance);
    return true;
}
}  // namespace

std::uint32_t TtfFile::glyphOf(std::uint32_t code) const {
    const ByteReader map(characterMap, ByteOrder::BigEndian);
    std::uint32_t format = 0;
    if (!map.u16(0, &format)) return 0;
    if (format == 12) {
        std::uint32_t groups = 0, start = 0, end = 0, glyph = 0;
        if (!map.u32(12, &groups)) return 0;
        for (std::uint64_t k = 0; k < groups; ++k) {
            const std::uint64_t group = 16 + k * 12;
            if (!map.u32(group, &start) || !map.u32(group + 4, &end) || !map.u32(group + 8, &glyph)) return 0;
            if (code >= start && code <= end) return glyph + (code - start);
        }
        return 0;
    }
    std::uint32_t doubled = 0;
    if (code > 0xFFFF || !map.u16(6, &doubled)) return 0;
    const std::uint64_t segments = doubled / 2;
    for (std::uint64_t k = 0; k < segments; ++k) {
        std::uint32_t end = 0, start = 0, delta = 0, rangeOffset = 0;
        if (!map.u16(14 + k * 2, &end)) return 0;
        if (end < code) continue;
        const std::uint64_t rangeAt = 16 + segments * 6 + k * 2;
        if (!map.u16(16 + segments * 2 + k * 2, &start) || !map.u16(16 + segments * 4 + k * 2, &delta) ||
            !map.u16(rangeAt, &rangeOffset) || code < start)
            return 0;
        if (rangeOffset == 0) return (code + delta) & 0xFFFF;
        std::uint32_t glyph = 0;
        if (!map.u16(rangeAt + rangeOffset + std::uint64_t{code - start} * 2, &glyph) || glyph == 0) return 0;
        return (glyph + delta) & 0xFFFF;
    }
    return 0;
}

bool TtfFile::bitmap(const TtfStrikeInfo& strike, std::uint32_t glyph, TtfBitmap* out) const {
    const ByteReader eblc(locations, ByteOrder::BigEndian), ebdt(images, ByteOrder::BigEndian);
    for (const TtfIndexRange& range : strike.ranges) {
        if (glyph < range.firstGlyph || glyph > range.lastGlyph) continue;
        ImagePlace place;
        if (!placeImage(eblc, range, glyph, &place) || !ebdt.has(place.offset, place.length)) return false;
        TtfBitmap bitmap;
        std::uint64_t data = place.offset;
        const std::uint32_t format = range.imageFormat;
        if (format == 5) {
            if (!place.indexMetrics || !readMetrics(eblc, *place.indexMetrics, &bitmap)) return false;
        } else {
            const std::uint32_t metrics = format == 6 || format == 7 ? BigMetricsBytes : SmallMetricsBytes;
            if (place.length < metrics || !readMetrics(ebdt, data, &bitmap)) return false;
            data += metrics;
        }
        bitmap.bitAligned = format == 2 || format == 5 || format == 7;
        const std::uint64_t w = static_cast<std::uint32_t>(bitmap.width), h = static_cast<std::uint32_t>(bitmap.height);
        const std::uint64_t need = bitmap.bitAligned ? (w * h + 7) / 8 : (w + 7) / 8 * h;
        if (place.offset + place.length - data < need) return false;
        bitmap.data = ebdt.bytes(data, need);
        if (need != 0 && bitmap.data.empty()) return false;
        *out = bitmap;
        return true;
    }
    return false;
}

int readTrueType(ByteVector bytes, TtfFile* out) {
    if (!out) return StatusFail;
    return runGuarded([&] {
        TtfFile file;
        file.bytes = std::move(bytes);
        const ByteReader directory(file.bytes, ByteOrder::BigEndian);
        std::uint32_t version = 0;
        if (!directory.u32(0, &version) || version != 0x00010000) return static_cast<int>(StatusBadFormat);
        std::span<const std::uint8_t> cmap, name;
        if (!findTable(directory, tag("cmap"), &cmap) || !findTable(directory, tag("name"), &name) ||
            !findTable(directory, tag("EBLC"), &file.locations) || !findTable(directory, tag("EBDT"), &file.images))
            return static_cast<int>(StatusBadFormat);
        if (cmap.empty() || file.locations.empty() || file.images.empty() || !chooseCharacterMap(cmap, file) ||
            !readStrikes(file))
            return static_cast<int>(StatusBadFormat);
        readName(name, file);
        *out = std::move(file);
        return static_cast<int>(StatusOk);
    });
}

int readTrueTypeFile(const char* path, TtfFile* out) {
    if (!path || !out) return StatusFail;
    return runGuarded([&] {
        ByteVector bytes;
        if (!readWholeFile(path, bytes)) return static_cast<int>(StatusFail);
        return readTrueType(std::move(bytes), out);
    });
}
