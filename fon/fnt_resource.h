// The Windows raster font resource (version 0x0200, or 0x0300 for a face past 64 KiB) and its font
// directory: header layout, cell widths, glyph cells and the property look-ups that feed the header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fon/byte_writer.h"
#include "font/cell_width.h"
#include "font/face_limit.h"
#include "font/model.h"

constexpr std::size_t FntHeaderSize = 118;
constexpr std::size_t FntDirectoryHeaderBytes = 113;  // dfVersion to dfBitsPointer
constexpr std::size_t FntCharEntrySize = 4;
constexpr std::size_t FontDirectoryEntryFixedSize = 117;  // plus the face name's characters
constexpr std::size_t FntCopyrightSize = 60;
// The NE resource types of the font directory and of each font.
constexpr std::uint16_t ResourceTypeFontDirectory = 0x8007;
constexpr std::uint16_t ResourceTypeFont = 0x8008;

// The two layouts. Windows 2.x fonts (0x0200) address their cells with 16-bit offsets, so they end
// at 64 KiB: every face that fits stays in that layout, as it always was written. A larger face
// takes the Windows 3.0 layout (0x0300): the 118 bytes of the older header, 30 more, and
// character entries with 32-bit offsets; its cells are laid out as before. Faces of either end at
// MaxFaceBytes, the product's own limit.
constexpr std::uint16_t FntVersion2 = 0x0200;
constexpr std::uint16_t FntVersion3 = 0x0300;
constexpr std::int64_t Fnt2MaxSize = 65536;
constexpr std::size_t Fnt3HeaderSize = 148;
constexpr std::size_t Fnt3CharEntrySize = 6;
constexpr std::uint32_t Fnt3FixedPitch = 1;    // dfFlags
constexpr std::uint32_t Fnt3Proportional = 2;

struct FntHeader {
    std::uint16_t dfVersion = FntVersion2;
    std::uint32_t dfSize = 0;
    char dfCopyright[FntCopyrightSize] = {};
    std::uint16_t dfType = 0;
    std::uint16_t dfPoints = 0;
    std::uint16_t dfVertRes = 0;
    std::uint16_t dfHorizRes = 0;
    std::uint16_t dfAscent = 0;
    std::uint16_t dfInternalLeading = 0;
    std::uint16_t dfExternalLeading = 0;
    std::uint8_t dfItalic = 0;
    std::uint8_t dfUnderline = 0;
    std::uint8_t dfStrikeOut = 0;
    std::uint16_t dfWeight = 400;
    std::uint8_t dfCharSet = 44;
    std::uint16_t dfPixWidth = 0;
    std::uint16_t dfPixHeight = 0;
    std::uint8_t dfPitchAndFamily = 0;
    std::uint16_t dfAvgWidth = 0;
    std::uint16_t dfMaxWidth = 0;
    std::uint8_t dfFirstChar = 0;
    std::uint8_t dfLastChar = 0;
    std::uint8_t dfDefaultChar = 0;
    std::uint8_t dfBreakChar = 0;
    std::uint16_t dfWidthBytes = 0;  // low 16 bits of the full sum
    std::uint32_t dfDevice = 0;
    std::uint32_t dfFace = 0;
    std::uint32_t dfBitsPointer = 0;
    std::uint32_t dfBitsOffset = 0;
    std::uint8_t dfReserved = 0;
    // Version 0x0300 only, after dfReserved; 16 reserved zero bytes follow them.
    std::uint32_t dfFlags = 0;
    std::uint16_t dfAspace = 0;
    std::uint16_t dfBspace = 0;
    std::uint16_t dfCspace = 0;
    std::uint32_t dfColorPointer = 0;
};

// Where the parts of a face lie in the layout of its version.
struct FntLayout {
    std::uint16_t version = FntVersion2;
    std::int64_t face = 0;        // dfFace: after the header and positions + 1 character entries
    std::int64_t bitsOffset = 0;  // dfBitsOffset: after the face name and its zero byte
    std::int64_t size = 0;        // dfSize
};
// The layout of a face of `positions` character positions, a face name of `faceNameLength`
// characters and `cellBytes` bytes of cells (the sentinel's included): version 0x0200 when the
// resource fits it, else 0x0300. The size may pass MaxFaceBytes; the caller refuses such a face.
[[nodiscard]] FntLayout planFntLayout(std::int64_t positions, std::int64_t faceNameLength, std::int64_t cellBytes);

// The header in the layout dfVersion names: 118 bytes, or 148 for version 0x0300.
void putFntHeader(ByteWriter& out, const FntHeader& header);
// One entry of the font directory: the ordinal (the FNT resource's name id), the first 113 bytes of
// that font resource as written, an empty device name and the face name. The directory is a count
// word followed by one entry per font.
void putFontDirectoryEntry(ByteWriter& out, std::uint32_t ordinal, std::span<const std::uint8_t> fnt,
                           std::string_view faceName);
// One character entry: the cell width and the offset of its cell, 16 bits wide in version 0x0200
// (the low bits), 32 in 0x0300.
void putFntCharEntry(ByteWriter& out, std::uint16_t version, std::uint32_t width, std::uint32_t offset);

// Cells are cellWidth wide, their ink from inkColumn on (font/cell_width.h). The glyphs of a face whose ink the cells do not hold where the source puts it: `moved` start at
// another column than their left bearing, `cut` are wider than their cell (a fixed-pitch glyph wider
// than its advance), whose columns past the cell no reader shows.
struct CellPlacement {
    std::int32_t moved = 0;
    std::int32_t cut = 0;
};
[[nodiscard]] CellPlacement cellPlacement(const Font& font);
// Cell columns K = ceil(W / 8).
[[nodiscard]] inline std::int32_t cellColumns(std::int32_t width) { return (width + 7) / 8; }
// Cell height H = maxBounds.ascent + maxBounds.descent (negative for a font that lies).
[[nodiscard]] inline std::int32_t cellHeight(const FontInfo& info) {
    return std::int32_t{info.maxBounds.ascent} + std::int32_t{info.maxBounds.descent};
}
// The cell's ascent: its rows above the baseline. Glyphs are placed with the baseline
// maxBounds.ascent rows below the cell's top, which readers of the face take from dfAscent; a
// baseline outside the cell (bounds that lie) gives the rows the cell has, 0 to H.
[[nodiscard]] inline std::int32_t cellAscent(const FontInfo& info) {
    return std::clamp<std::int32_t>(info.maxBounds.ascent, 0, std::max(cellHeight(info), 0));
}

// Writes the column-major cell of `glyph` into the front of `destination` and returns its size
// K x H; 0 and nothing written for a null glyph, or when the cell would not fit. Pixels that fall
// outside the cell are dropped. The glyph's bitmap holds its rows at glyphPad, the font's own pad
// (checkFontModel).
std::size_t putGlyphCell(std::span<std::uint8_t> destination, const Font& font, int glyphPad, const Glyph* glyph);

// Look-ups by property name that never create an atom. The string form gives null unless the first
// property of that name is a string; the integer form gives -1 unless it is an integer.
[[nodiscard]] const char* findStringProperty(const Font& font, const char* name);
[[nodiscard]] std::int32_t findIntegerProperty(const Font& font, const char* name);
