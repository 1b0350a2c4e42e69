// Helpers for the PCF reader tests: memory stream, hand-made PCF files, pixel decoding.
#include "tests/pcf/pcf_test_util.h"

#include <algorithm>
#include <cstring>

#include "font/bitmap.h"
#include "pcf/pcf_reader.h"

namespace {
struct MemorySource {
    std::string bytes;
    std::size_t position = 0;
    std::size_t fillSize = StreamBufferSize;
};

int memoryFill(FontStream* stream) {
    auto* source = static_cast<MemorySource*>(stream->context);
    std::size_t left = source->bytes.size() - source->position;
    if (left == 0) {
        stream->remaining = 0;
        return -1;
    }
    std::size_t chunk = std::min(left, source->fillSize);
    std::memcpy(stream->buffer, source->bytes.data() + source->position, chunk);
    source->position += chunk;
    stream->cursor = stream->buffer + 1;
    stream->remaining = static_cast<std::int32_t>(chunk - 1);
    return stream->buffer[0];
}

int memorySkip(FontStream* stream, std::int64_t n) {
    auto* source = static_cast<MemorySource*>(stream->context);
    std::int64_t buffered = stream->remaining > 0 ? stream->remaining : 0;
    if (n <= buffered) {
        stream->cursor += n;
        stream->remaining -= static_cast<std::int32_t>(n);
        return 0;
    }
    std::int64_t need = n - buffered;
    stream->remaining = 0;
    if (static_cast<std::uint64_t>(need) > source->bytes.size() - source->position) {
        source->position = source->bytes.size();
        return -1;
    }
    source->position += static_cast<std::size_t>(need);
    return 0;
}

int memoryClose(FontStream* stream, int) {
    delete static_cast<MemorySource*>(stream->context);
    return 1;
}

int glyphWidth(const TestGlyph& g) { return g.rightBearing - g.leftBearing; }
int glyphRows(const TestGlyph& g) { return g.ascent + g.descent; }
}  // namespace

FontStream* openMemoryStream(const std::string& bytes, std::size_t fillSize) {
    auto* source = new MemorySource{bytes, 0, fillSize};
    FontStream* stream = newFontStream(source, memoryFill, memorySkip, memoryClose);
    if (!stream) delete source;
    return stream;
}

int readPcfBytes(Font& font, const std::string& bytes, int bitOrder, int byteOrder, int glyphPad, int scanUnit,
                 ReadReason* reason) {
    FontStream* stream = openMemoryStream(bytes);
    if (!stream) return -1;
    int status = readPcfFont(&font, stream, bitOrder, byteOrder, glyphPad, scanUnit, reason);
    closeFontStream(stream, 1);
    return status;
}

void TableBytes::lsb32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(v >> (8 * i));
}

void TableBytes::i32(std::uint32_t v) {
    if (format_ & 4)
        for (int i = 3; i >= 0; --i) byte(v >> (8 * i));
    else
        lsb32(v);
}

void TableBytes::i16(std::uint32_t v) {
    if (format_ & 4) {
        byte(v >> 8);
        byte(v);
    } else {
        byte(v);
        byte(v >> 8);
    }
}

void TableBytes::metric(int lb, int rb, int adv, int asc, int desc, int attr) {
    for (int v : {lb, rb, adv, asc, desc, attr}) i16(static_cast<std::uint32_t>(v));
}

std::string buildPcf(const std::vector<PcfTableBytes>& tables) {
    TableBytes out(0x70636601);
    out.lsb32(static_cast<std::uint32_t>(tables.size()));
    std::uint32_t offset = 8 + 16 * static_cast<std::uint32_t>(tables.size());
    std::string body;
    for (const PcfTableBytes& table : tables) {
        std::uint32_t format = 0;
        if (table.bytes.size() >= 4) std::memcpy(&format, table.bytes.data(), 4);
        out.lsb32(table.type);
        out.lsb32(format);
        out.lsb32(static_cast<std::uint32_t>(table.bytes.size()));
        out.lsb32(offset);
        std::string padded = table.bytes;
        padded.resize((padded.size() + 3) & ~std::size_t{3}, '\0');
        body += padded;
        offset += static_cast<std::uint32_t>(padded.size());
    }
    return out.data() + body;
}

std::string encodeRow(std::uint32_t bits, int width, std::uint32_t format) {
    int pad = 1 << (format & 3);
    int rowBytes = paddedRowBytes(width, pad);
    std::string row(static_cast<std::size_t>(rowBytes), '\0');
    for (int x = 0; x < width; ++x) {
        if (!((bits >> (width - 1 - x)) & 1)) continue;
        int bit = (format & 8) ? 7 - (x & 7) : (x & 7);
        row[static_cast<std::size_t>(x >> 3)] = static_cast<char>(row[static_cast<std::size_t>(x >> 3)] | (1 << bit));
    }
    // Scan units in the file's byte order: with bytes and bits in opposite orders, each unit is
    // stored reversed.
    int unit = 1 << ((format >> 4) & 3);
    bool sameOrder = ((format >> 2) & 1) == ((format >> 3) & 1);
    if (!sameOrder && unit > 1)
        for (std::size_t i = 0; i + static_cast<std::size_t>(unit) <= row.size(); i += static_cast<std::size_t>(unit))
            std::reverse(row.begin() + static_cast<long>(i), row.begin() + static_cast<long>(i) + unit);
    return row;
}

TestFont TestFont::standard() {
    TestFont font;
    // Widths 3, 9 and 17 cross the 1-, 2- and 4-byte row boundaries; the last glyph has no pixels.
    font.glyphs = {
        {0, 3, 4, 3, 0, {0b101, 0b010, 0b111}},
        {-1, 8, 9, 2, 1, {0b100000001, 0b011111110, 0b110000011}},
        {1, 18, 18, 2, 0, {0x1FFFF, 0x10001}},
        {0, 0, 5, 0, 0, {}},
    };
    font.encoding = {0, 1, -1, 2, 3};
    return font;
}

TableBytes TestFont::properties() const {
    TableBytes t(msbTables ? 0x0C : 0);
    std::string strings;
    auto add = [&strings](const std::string& s) {
        auto offset = static_cast<std::uint32_t>(strings.size());
        strings += s;
        strings.push_back('\0');
        return offset;
    };
    std::size_t n = stringProperties.size() + intProperties.size();
    t.i32(static_cast<std::uint32_t>(n));
    std::vector<std::uint32_t> offsets;
    for (const auto& [name, value] : stringProperties) {
        std::uint32_t nameOffset = add(name);
        std::uint32_t valueOffset = add(value);
        t.i32(nameOffset);
        t.byte(1);
        t.i32(valueOffset);
    }
    for (const auto& [name, value] : intProperties) {
        t.i32(add(name));
        t.byte(0);
        t.i32(static_cast<std::uint32_t>(value));
    }
    if (n % 4) t.bytes(std::string(4 - n % 4, '\0'));
    t.i32(static_cast<std::uint32_t>(strings.size()));
    t.bytes(strings);
    return t;
}

TableBytes TestFont::accelerators(std::uint32_t kind) const {
    TableBytes t((msbTables ? 0x0C : 0) | kind);
    for (int flag : {0, 0, 0, 0, 1, inkMetrics ? 1 : 0, 0, 0}) t.byte(static_cast<std::uint32_t>(flag));
    t.i32(3);
    t.i32(1);
    t.i32(1);
    t.metric(-1, 0, 4, 0, 0);
    t.metric(1, 18, 18, 3, 1);
    if (kind == 0x100) {
        t.metric(-1, 1, 4, 0, 0);
        t.metric(1, 17, 18, 3, 1);
    }
    return t;
}

TableBytes TestFont::metrics(bool ink) const {
    TableBytes t((msbTables ? 0x0C : 0) | (compressedMetrics ? 0x100 : 0));
    if (compressedMetrics) t.i16(static_cast<std::uint32_t>(glyphs.size()));
    else t.i32(static_cast<std::uint32_t>(glyphs.size()));
    for (const TestGlyph& g : glyphs) {
        // Ink metrics differ from the cell so a mix-up shows.
        int shrink = ink && glyphWidth(g) > 1 ? 1 : 0;
        int values[5] = {g.leftBearing, g.rightBearing - shrink, g.advance, g.ascent, g.descent};
        if (compressedMetrics)
            for (int v : values) t.byte(static_cast<std::uint32_t>(v + 128));
        else
            t.metric(values[0], values[1], values[2], values[3], values[4]);
    }
    return t;
}

TableBytes TestFont::bitmaps() const {
    TableBytes t(bitmapFormat);
    t.i32(static_cast<std::uint32_t>(glyphs.size()));
    std::string block;
    std::uint32_t sizes[4] = {0, 0, 0, 0};
    for (const TestGlyph& g : glyphs) {
        t.i32(static_cast<std::uint32_t>(block.size()));
        for (const std::uint32_t bits : g.rows) block += encodeRow(bits, glyphWidth(g), bitmapFormat);
        for (int i = 0; i < 4; ++i)
            sizes[i] += static_cast<std::uint32_t>(std::max(glyphRows(g), 0) * paddedRowBytes(glyphWidth(g), 1 << i));
    }
    for (std::uint32_t size : sizes) t.i32(size);
    t.bytes(block);
    return t;
}

TableBytes TestFont::encodings() const {
    TableBytes t(msbTables ? 0x0C : 0);
    t.i16(static_cast<std::uint32_t>(firstColumn));
    t.i16(static_cast<std::uint32_t>(firstColumn + static_cast<int>(encoding.size()) - 1));
    t.i16(0);
    t.i16(0);
    t.i16(static_cast<std::uint32_t>(defaultChar));
    for (int index : encoding) t.i16(index < 0 ? 0xFFFF : static_cast<std::uint32_t>(index));
    return t;
}

std::vector<PcfTableBytes> TestFont::tables() const {
    std::vector<PcfTableBytes> list = {{1, properties().data()}, {2, accelerators(0).data()},
                                      {4, metrics(false).data()}, {8, bitmaps().data()}};
    if (inkMetrics) list.push_back({16, metrics(true).data()});
    list.push_back({32, encodings().data()});
    if (bdfAccelerators) list.push_back({256, accelerators(0x100).data()});
    return list;
}

bool glyphPixel(const Font& font, const Glyph& glyph, int x, int y) {
    int width = glyph.metrics.rightBearing - glyph.metrics.leftBearing;
    int rowBytes = paddedRowBytes(width, font.glyphPad);
    std::vector<std::uint8_t> row(glyph.bitmap + static_cast<long>(y) * rowBytes,
                                  glyph.bitmap + static_cast<long>(y + 1) * rowBytes);
    // Undo the layout the way a client of the font would: units back into bit order, then bits.
    if (font.byteOrder != font.bitOrder && font.scanUnit > 1)
        for (std::size_t i = 0; i + font.scanUnit <= row.size(); i += font.scanUnit)
            std::reverse(row.begin() + static_cast<long>(i), row.begin() + static_cast<long>(i) + font.scanUnit);
    int bit = font.bitOrder ? 7 - (x & 7) : (x & 7);
    return (row[static_cast<std::size_t>(x >> 3)] >> bit) & 1;
}
