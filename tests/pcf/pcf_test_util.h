// Helpers for the PCF reader tests: an in-memory input stream, a builder for hand-made PCF files,
// and decoding of a read glyph's pixels from the requested layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "font/model.h"
#include "stream/font_stream.h"

// A reading FontStream over bytes held by the caller, `fillSize` bytes (1..StreamBufferSize) per
// fill; skipping past the end fails, as a pipe would.
FontStream* openMemoryStream(const std::string& bytes, std::size_t fillSize = StreamBufferSize);

// readPcfFont over `bytes` into `font` (a fresh Font), in the given layout.
int readPcfBytes(Font& font, const std::string& bytes, int bitOrder = 1, int byteOrder = 1, int glyphPad = 2,
                 int scanUnit = 1, ReadReason* reason = nullptr);

// One table's bytes, written in the byte order of its format word.
class TableBytes {
public:
    explicit TableBytes(std::uint32_t format) : format_(format) { lsb32(format); }
    void lsb32(std::uint32_t v);
    void i32(std::uint32_t v);
    void i16(std::uint32_t v);
    void byte(std::uint32_t v) { data_.push_back(static_cast<char>(v & 0xFF)); }
    void bytes(const std::string& s) { data_ += s; }
    void metric(int lb, int rb, int adv, int asc, int desc, int attr = 0);
    std::uint32_t format() const { return format_; }
    const std::string& data() const { return data_; }

private:
    std::uint32_t format_;
    std::string data_;
};

// Lays tables out after the directory, in the order given, each at a 4-byte boundary.
struct PcfTableBytes {
    std::uint32_t type;
    std::string bytes;
};
std::string buildPcf(const std::vector<PcfTableBytes>& tables);

// A glyph of a hand-made font: metrics and its rows, MSB first, each row padded to one byte
// multiple (unpadded to 1 byte).
struct TestGlyph {
    int leftBearing, rightBearing, advance, ascent, descent;
    std::vector<std::uint32_t> rows;  // pixel bits, leftmost pixel in bit (width - 1)
};

// A small complete font that tests then vary: its glyphs, stored with `bitmapFormat` (pad, unit,
// orders) and all integers of every table in `msbTables` order.
struct TestFont {
    std::vector<TestGlyph> glyphs;
    std::vector<int> encoding;  // glyph index per code from firstColumn; -1 = 0xFFFF
    int firstColumn = 65;
    int defaultChar = 65;
    std::uint32_t bitmapFormat = 0x0E;  // pad 4 (index 2), MSB bytes, MSB bits, unit 1
    bool msbTables = true;
    bool compressedMetrics = false;
    bool inkMetrics = true;
    bool bdfAccelerators = false;
    std::vector<std::pair<std::string, std::string>> stringProperties = {{"FAMILY_NAME", "Test"}};
    std::vector<std::pair<std::string, int>> intProperties = {{"POINT_SIZE", 120}};

    static TestFont standard();
    TableBytes properties() const;
    TableBytes accelerators(std::uint32_t kind) const;
    TableBytes metrics(bool ink) const;
    TableBytes bitmaps() const;
    TableBytes encodings() const;
    std::vector<PcfTableBytes> tables() const;
    std::string build() const { return buildPcf(tables()); }
};

// Bytes of one glyph row in a PCF bitmap table of `format`.
std::string encodeRow(std::uint32_t bits, int width, std::uint32_t format);

// Whether pixel (x, y) of `glyph` is set, decoding the font's bitOrder/byteOrder/glyphPad/scanUnit.
bool glyphPixel(const Font& font, const Glyph& glyph, int x, int y);
