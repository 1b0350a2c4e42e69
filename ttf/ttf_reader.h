// Reads a TrueType font back for its picture: the table directory, the character map (Windows
// Unicode or symbol), the font's name and the embedded bitmap strikes (EBLC/EBDT, one bit per
// pixel). It shares nothing with the writer but the format. Every field is bounds-checked: any
// bytes give a status, never a crash, and the work and memory stay in proportion to the file.
#pragma once

#include <cstdint>
#include <span>

#include "font/alloc.h"
#include "font/status.h"

// One glyph's bitmap in a strike: a box of width x height pixels, placed by its bearings.
struct TtfBitmap {
    std::int32_t width = 0, height = 0;
    std::int32_t bearingX = 0;  // from the pen to the box's left edge
    std::int32_t bearingY = 0;  // from the baseline up to the box's top edge
    std::int32_t advance = 0;
    bool bitAligned = false;    // rows follow on bit by bit; else each row starts a byte
    std::span<const std::uint8_t> data;  // checked to hold every row

    // Pixel (x, y) of the box, x < width and y < height.
    bool pixel(std::uint32_t x, std::uint32_t y) const {
        const std::uint64_t bit = bitAligned ? std::uint64_t{y} * static_cast<std::uint32_t>(width) + x
                                             : std::uint64_t{y} * ((static_cast<std::uint32_t>(width) + 7) / 8) * 8 + x;
        return (data[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1;
    }
};

// One index subtable of a strike: the glyphs firstGlyph..lastGlyph, found through the subtable at
// `header` in EBLC (its arrays checked to lie there).
struct TtfIndexRange {
    std::uint32_t firstGlyph = 0, lastGlyph = 0;
    std::uint32_t indexFormat = 0, imageFormat = 0;
    std::uint32_t header = 0;
    std::uint32_t imageData = 0;  // where the range's images start in EBDT
};

struct TtfStrikeInfo {
    std::uint32_t ppem = 0;
    std::int32_t ascender = 0;   // the strike's line: pixels above the baseline
    std::int32_t descender = 0;  // and below it, as a negative number
    ModelVector<TtfIndexRange> ranges;
};

// The record owns the file's bytes; everything else points into them. It moves but is never copied.
struct TtfFile {
    ByteVector bytes;
    ModelString name;     // the full name (else the family name), non-ASCII letters as "?"
    bool symbol = false;  // the character map is the symbol one (codes at U+F000 + the font's code)
    ModelVector<TtfStrikeInfo> strikes;  // in the order of EBLC
    std::span<const std::uint8_t> characterMap;  // the chosen cmap subtable, format 4 or 12
    std::span<const std::uint8_t> locations, images;  // EBLC and EBDT

    TtfFile() = default;
    TtfFile(TtfFile&&) = default;
    TtfFile& operator=(TtfFile&&) = default;
    TtfFile(const TtfFile&) = delete;
    TtfFile& operator=(const TtfFile&) = delete;

    // The glyph index of the character `code`, 0 (.notdef) when the map has none.
    [[nodiscard]] std::uint32_t glyphOf(std::uint32_t code) const;
    // The bitmap of `glyph` in `strike`; false when the strike has none, or its bytes do not hold it.
    [[nodiscard]] bool bitmap(const TtfStrikeInfo& strike, std::uint32_t glyph, TtfBitmap* out) const;
};

// Reads a whole TrueType font held in `bytes`, which `out` takes over. StatusOk; StatusBadFormat for
// bytes that are not a TrueType font with a Windows character map and one-bit strikes of the
// formats this reader knows (index subtables 1 to 5; images 1, 2, 5, 6 and 7); StatusFail when
// memory runs out.
[[nodiscard]] int readTrueType(ByteVector bytes, TtfFile* out);
// Reads the file at `path` as it lies and then as readTrueType does; StatusFail also when it cannot
// be opened or read.
[[nodiscard]] int readTrueTypeFile(const char* path, TtfFile* out);
