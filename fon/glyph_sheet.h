// The glyph sheet of a FON file: for each face, a title line, its 256 positions as a 16 x 16
// table with hexadecimal row and column labels, and a line of sample text set in its own glyphs.
// Glyph pixels are the font resource's, one picture pixel each; labels come from a small bitmap
// font of the picture's own, so they read the same whatever the face.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fon/fon_reader.h"
#include "font/alloc.h"

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
