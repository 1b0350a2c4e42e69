// The glyph sheet of a FON file or a TrueType font: for each face (each strike of a TrueType
// font), a title line, its 256 positions as a 16 x 16 table with hexadecimal row and column labels,
// and a line of sample text set in its own glyphs. Glyph pixels are the file's, one picture pixel
// each; labels come from a small bitmap font of the picture's own, so they read the same whatever
// the face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fon/fon_reader.h"
#include "font/alloc.h"
#include "ttf/ttf_reader.h"

// A grey picture, one byte per pixel (0 black to 255 white), rows top to bottom.
struct GreyImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ByteVector pixels;
};

// The greys of the picture. Inside a table cell a glyph's pixels are Ink on CellPaper across its
// width and height (on Paper in the sample line); a position without a glyph (outside the face's
// range, or of width 0) is filled with MissingFill and crossed by a MissingMark diagonal, so that
// it cannot pass for a blank one.
constexpr std::uint8_t Ink = 0x00;
constexpr std::uint8_t Paper = 0xFF;
constexpr std::uint8_t CellPaper = 0xEE;
constexpr std::uint8_t GridLine = 0xA0;
constexpr std::uint8_t MissingFill = 0xC8;
constexpr std::uint8_t MissingMark = 0x80;

// The most pixels a picture may have before enlargement; a face this size would have cells of
// hundreds of pixels.
constexpr std::uint64_t MaxSheetPixels = std::uint64_t{1} << 26;

struct SheetPoint {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};

// Where one face's parts lie in the picture.
struct SheetFace {
    SheetPoint title;         // top left of the title line
    SheetPoint table;         // top left corner of the table's grid
    std::uint32_t pitchX = 0; // from one column (row) of cells to the next
    std::uint32_t pitchY = 0;
    SheetPoint sample;        // top left of the sample line
    std::uint32_t bottom = 0; // the first row below the face's block
};

struct GlyphSheetLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ModelVector<SheetFace> faces;
};

// One face as the sheet draws it, whichever file it was read from. Keys name its glyphs: the code
// of a FON face, the Unicode character of a TrueType strike.
class SheetSource {
public:
    virtual ~SheetSource() = default;
    virtual ModelString title() const = 0;
    // The rows of every glyph's cell.
    virtual std::uint32_t height() const = 0;
    // The key shown at table position 0..255.
    virtual std::uint32_t tableKey(std::uint32_t position) const = 0;
    // The keys of the sample line.
    virtual ModelVector<std::uint32_t> sampleKeys() const = 0;
    // The cell width of the glyph of `key`; 0 when there is nothing to draw.
    virtual std::uint32_t width(std::uint32_t key) const = 0;
    // The cell of `key`, width(key) x height() pixels row by row, nonzero for ink.
    virtual void ink(std::uint32_t key, std::uint32_t width, ByteVector& pixels) const = 0;
};

// Lays the picture of `faces` out, and draws it, as the functions below do for a whole file.
[[nodiscard]] bool layoutGlyphSheet(std::span<const SheetSource* const> faces, GlyphSheetLayout* layout);
[[nodiscard]] int drawGlyphSheet(std::span<const SheetSource* const> faces, GreyImage* image);

// Lays the picture of `file` out. False when it would have more than MaxSheetPixels pixels.
[[nodiscard]] bool layoutGlyphSheet(const FonFile& file, GlyphSheetLayout* layout);
// The top left pixel of the glyph of `code` in its table cell.
[[nodiscard]] SheetPoint sheetCell(const SheetFace& face, std::uint32_t code);
// The face's codes of the sample text: a pangram and the digits in the letters of its code page
// (Cyrillic and Greek pages have one of their own, shown unless the face lacks more of it than of
// another), or the English one in the face's own codes when the "SNF" resource names no page
// this system knows.
[[nodiscard]] ModelVector<std::uint8_t> sampleCodes(const FonFace& face);

// Draws the picture. StatusOk, or StatusFail when it would be too large or memory runs out.
[[nodiscard]] int drawGlyphSheet(const FonFile& file, GreyImage* image);

// The same for a TrueType font's strikes: positions U+0000 to U+00FF (U+F000 onwards in a symbol
// font), each glyph on a cell of its advance and the strike's line height.
[[nodiscard]] bool layoutGlyphSheet(const TtfFile& file, GlyphSheetLayout* layout);
[[nodiscard]] int drawGlyphSheet(const TtfFile& file, GreyImage* image);
