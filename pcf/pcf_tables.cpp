// PCF container layer: integer readers with the position counter, the table directory, the
// metrics and ink metrics tables, and the properties table.
#include "pcf/pcf_tables.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
// Large blocks arrive in pieces of this size, so memory follows the bytes actually read.
constexpr std::int64_t BlockChunk = 64 * 1024;

// The next `count` bytes of a field, consumed; null at end of data. Straight from the stream's
// buffer when it holds them all (fields of a table are read millions of times in a large font,
// mostly from the middle of a buffer), else gathered into `spare` through getByte, which refills.
[[nodiscard]] const std::uint8_t* takeBytes(PcfInput& input, std::int32_t count, std::uint8_t* spare) {
    FontStream* stream = input.stream;
    const std::uint8_t* bytes = stream->cursor;
    if (stream->remaining >= count) {
        stream->cursor += count;
        stream->remaining -= count;
    } else {
        for (std::int32_t i = 0; i < count; ++i) {
            int byte = getByte(stream);
            if (byte < 0) {
                (void)refuse(input, "the file ends at byte %lld", static_cast<long long>(input.position + i));
                return nullptr;
            }
            spare[i] = static_cast<std::uint8_t>(byte);
        }
        bytes = spare;
    }
    input.position += count;
    return bytes;
}

// One helper assembles every multi-byte integer of a table in that table's byte order.
[[nodiscard]] bool readOrdered(PcfInput& input, bool mostSignificantFirst, int width, std::uint32_t& value) {
    std::uint8_t spare[4];
    const std::uint8_t* bytes = takeBytes(input, width, spare);
    if (!bytes) return false;
    std::uint32_t result = 0;
    for (int i = 0; i < width; ++i) {
        int shift = mostSignificantFirst ? 8 * (width - 1 - i) : 8 * i;
        result |= static_cast<std::uint32_t>(bytes[i]) << shift;
    }
    value = result;
    return true;
}

GlyphMetrics& metricsOf(Glyph& glyph) { return glyph.metrics; }
GlyphMetrics& metricsOf(GlyphMetrics& metrics) { return metrics; }


struct PropertyRecord {
    std::int32_t nameOffset;
    std::uint8_t isString;
    std::int32_t value;
};

// The text at `offset` runs to its NUL, or to the block's end when a file leaves the NUL out.
[[nodiscard]] Atom internBlockText(const ByteVector& block, std::int32_t offset) {
    const char* text = reinterpret_cast<const char*>(block.data()) + offset;
    std::size_t available = block.size() - static_cast<std::size_t>(offset);
    const void* nul = std::memchr(text, 0, available);
    std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : available;
    return internAtom(text, static_cast<std::int32_t>(length), 1);
}

[[nodiscard]] bool withinBlock(std::int32_t offset, std::int32_t size) { return offset >= 0 && offset < size; }
}  // namespace

const char* pcfTableName(std::uint32_t type) {
    switch (type) {
    case PcfProperties: return "PCF_PROPERTIES table";
    case PcfAccelerators: return "PCF_ACCELERATORS table";
    case PcfMetrics: return "PCF_METRICS table";
    case PcfBitmaps: return "PCF_BITMAPS table";
    case PcfInkMetrics: return "PCF_INK_METRICS table";
    case PcfBdfEncodings: return "PCF_BDF_ENCODINGS table";
    case PcfSwidths: return "PCF_SWIDTHS table";
    case PcfGlyphNames: return "PCF_GLYPH_NAMES table";
    case PcfBdfAccelerators: return "PCF_BDF_ACCELERATORS table";
    }
    return "table";
}

bool refuse(const PcfInput& input, const char* format, ...) {
    char where[64];
    std::snprintf(where, sizeof where, "%s: ", input.part);
    std::va_list args;
    va_start(args, format);
    noteReasonAt(input.reason, where, format, args);
    va_end(args);
    return false;
}

bool refuseMissingTable(const PcfInput& input, const PcfDirectory& directory, std::uint32_t type) {
    PcfInput named = input;
    named.part = pcfTableName(type);
    for (const PcfTable& table : directory) {
        if (table.type != type) continue;
        if (table.offset < input.position)
            return refuse(named, "at byte %d, behind byte %lld where reading stands (tables come in a fixed order)",
                          static_cast<int>(table.offset), static_cast<long long>(input.position));
        return refuse(named, "at byte %d, past the end of the file", static_cast<int>(table.offset));
    }
    return refuse(named, "not in the table directory");
}

bool refuseFormat(const PcfInput& input, std::uint32_t format) {
    return refuse(input, "format 0x%08X of a kind this table does not take", static_cast<unsigned>(format));
}

bool readByte(PcfInput& input, std::uint8_t& value) {
    int byte = getByte(input.stream);
    if (byte < 0) return refuse(input, "the file ends at byte %lld", static_cast<long long>(input.position));
    value = static_cast<std::uint8_t>(byte);
    input.position += 1;
    return true;
}

bool readLsbInt32(PcfInput& input, std::uint32_t& value) { return readOrdered(input, false, 4, value); }

bool readInt32(PcfInput& input, std::uint32_t format, std::int32_t& value) {
    std::uint32_t raw;
    if (!readOrdered(input, pcfByteOrder(format) != 0, 4, raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool readInt16(PcfInput& input, std::uint32_t format, std::int32_t& value) {
    std::uint32_t raw;
    if (!readOrdered(input, pcfByteOrder(format) != 0, 2, raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool skipInput(PcfInput& input, std::int64_t count) {
    if (count < 0) return false;
    if (count == 0) return true;
    if (skipBytes(input.stream, count) == -1) return false;
    input.position += count;
    return true;
}

bool readBlock(PcfInput& input, ByteVector& block, std::int64_t size) {
    block.clear();
    if (size < 0) return false;
    reserveDeclared(block, size < BlockChunk ? size : BlockChunk);
    while (static_cast<std::int64_t>(block.size()) < size) {
        std::int64_t left = size - static_cast<std::int64_t>(block.size());
        std::int32_t chunk = static_cast<std::int32_t>(left < BlockChunk ? left : BlockChunk);
        std::size_t start = block.size();
        growAhead(block, size);
        block.resize(start + static_cast<std::size_t>(chunk));
        std::int32_t got = readBytes(input.stream, block.data() + start, chunk);
        if (got != chunk)
            return refuse(input, "the file ends at byte %lld", static_cast<long long>(input.position + got));
        input.position += chunk;
    }
    return true;
}

bool readTableDirectory(PcfInput& input, PcfDirectory& directory) {
    input.position = 0;
    input.part = "file header";
    directory.clear();
    std::uint32_t magic, count;
    if (!readLsbInt32(input, magic)) return false;
    if (magic != PcfMagic) return refuse(input, "no PCF magic (the bytes 01 66 63 70) at its start");
    if (!readLsbInt32(input, count)) return false;
    input.part = "table directory";
    std::int32_t entries = static_cast<std::int32_t>(count);
    reserveDeclared(directory, entries);
    for (std::int32_t i = 0; i < entries; ++i) {
        PcfTable table{};
        std::uint32_t offset;
        if (!readLsbInt32(input, table.type) || !readLsbInt32(input, table.format) ||
            !readLsbInt32(input, table.size) || !readLsbInt32(input, offset))
            return false;
        table.offset = static_cast<std::int32_t>(offset);
        directory.push_back(table);
    }
    return true;
}

bool hasTable(const PcfDirectory& directory, std::uint32_t type) {
    for (const PcfTable& table : directory)
        if (table.type == type) return true;
    return false;
}

bool seekTable(PcfInput& input, const PcfDirectory& directory, std::uint32_t type, std::uint32_t* format,
               std::uint32_t* size) {
    input.part = pcfTableName(type);
    for (const PcfTable& table : directory) {
        if (table.type != type) continue;
        // Only the first entry of a type counts; a later duplicate is never a fallback.
        if (table.offset < input.position) return false;
        if (!skipInput(input, table.offset - input.position)) return false;
        if (format) *format = table.format;
        if (size) *size = table.size;
        return true;
    }
    return false;
}

bool readFullMetric(PcfInput& input, std::uint32_t format, GlyphMetrics& metrics) {
    std::int32_t fields[6];
    for (std::int32_t& field : fields)
        if (!readInt16(input, format, field)) return false;
    metrics.leftBearing = static_cast<std::int16_t>(fields[0]);
    metrics.rightBearing = static_cast<std::int16_t>(fields[1]);
    metrics.advance = static_cast<std::int16_t>(fields[2]);
    metrics.ascent = static_cast<std::int16_t>(fields[3]);
    metrics.descent = static_cast<std::int16_t>(fields[4]);
    metrics.attributes = static_cast<std::uint16_t>(fields[5]);
    return true;
}

bool readCompressedMetric(PcfInput& input, GlyphMetrics& metrics) {
    std::uint8_t spare[5];
    const std::uint8_t* bytes = takeBytes(input, 5, spare);
    if (!bytes) return false;
    metrics.leftBearing = static_cast<std::int16_t>(bytes[0] - 128);
    metrics.rightBearing = static_cast<std::int16_t>(bytes[1] - 128);
    metrics.advance = static_cast<std::int16_t>(bytes[2] - 128);
    metrics.ascent = static_cast<std::int16_t>(bytes[3] - 128);
    metrics.descent = static_cast<std::int16_t>(bytes[4] - 128);
    metrics.attributes = 0;
    return true;
}

template <class Record>
bool readMetricsTable(PcfInput& input, const PcfDirectory& directory, std::uint32_t type, ModelVector<Record>& records,
                      bool& found) {
    records.clear();
    found = seekTable(input, directory, type);
    if (!found) return true;
    std::uint32_t format;
    if (!readLsbInt32(input, format)) return false;
    std::uint32_t kind = pcfFormatKind(format);
    if (kind != PcfDefaultFormat && kind != PcfCompressedMetrics) return refuseFormat(input, format);
    std::int32_t count;
    if (!(kind == PcfDefaultFormat ? readInt32(input, format, count) : readInt16(input, format, count)))
        return false;
    if (count < 0) return refuse(input, "a negative glyph count, %d", static_cast<int>(count));
    reserveDeclared(records, count);
    for (std::int32_t i = 0; i < count; ++i) {
        Record record{};
        bool read = kind == PcfDefaultFormat ? readFullMetric(input, format, metricsOf(record))
                                             : readCompressedMetric(input, metricsOf(record));
        if (!read) return false;
        growAhead(records, count);
        records.push_back(record);
    }
    return true;
}
template bool readMetricsTable(PcfInput&, const PcfDirectory&, std::uint32_t, ModelVector<Glyph>&, bool&);
template bool readMetricsTable(PcfInput&, const PcfDirectory&, std::uint32_t, ModelVector<GlyphMetrics>&, bool&);

bool readProperties(PcfInput& input, const PcfDirectory& directory, FontInfo& info) {
    if (!seekTable(input, directory, PcfProperties)) return refuseMissingTable(input, directory, PcfProperties);
    std::uint32_t format;
    if (!readLsbInt32(input, format)) return false;
    if (pcfFormatKind(format) != PcfDefaultFormat) return refuseFormat(input, format);
    std::int32_t count;
    if (!readInt32(input, format, count)) return false;
    if (count < 0) return refuse(input, "a negative property count, %d", static_cast<int>(count));

    ModelVector<PropertyRecord> records;
    reserveDeclared(records, count);
    for (std::int32_t i = 0; i < count; ++i) {
        PropertyRecord record{};
        if (!readInt32(input, format, record.nameOffset) || !readByte(input, record.isString) ||
            !readInt32(input, format, record.value))
            return false;
        records.push_back(record);
    }
    // The 9-byte records are padded to a multiple of four bytes.
    if (count % 4 != 0 && !skipInput(input, 4 - count % 4))
        return refuse(input, "the file ends at byte %lld", static_cast<long long>(input.position));

    std::int32_t stringSize;
    if (!readInt32(input, format, stringSize)) return false;
    if (stringSize < 0) return refuse(input, "a negative string block size, %d", static_cast<int>(stringSize));
    ByteVector strings;
    if (!readBlock(input, strings, stringSize)) return false;

    ModelVector<FontProperty> properties;
    ByteVector isString;
    properties.reserve(records.size());
    isString.reserve(records.size());
    for (const PropertyRecord& record : records) {
        // The first invalid record ends the list, even when later ones would be valid.
        if (!withinBlock(record.nameOffset, stringSize)) break;
        if (record.isString && !withinBlock(record.value, stringSize)) break;
        FontProperty property{};
        property.name = internBlockText(strings, record.nameOffset);
        if (property.name == 0) return refuse(input, "out of memory");  // the atom table could not grow
        property.value = record.value;
        if (record.isString) {
            Atom value = internBlockText(strings, record.value);
            if (value == 0) return refuse(input, "out of memory");
            property.value = static_cast<std::int32_t>(value);
        }
        properties.push_back(property);
        isString.push_back(record.isString);
    }
    info.properties = std::move(properties);
    info.propertyIsString = std::move(isString);
    return true;
}
