// The Windows raster font resource (version 0x0200) and its font directory: header layout, cell
// widths, glyph cells and the property look-ups that feed the header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fon/byte_writer.h"
#include "font/face_limit.h"
#include "font/model.h"

constexpr std::size_t FntHeaderSize = 118;
constexpr std::size_t FntDirectoryHeaderBytes = 113;  // dfVersion to dfBitsPointer
constexpr std::size_t FntCharEntrySize = 4;
constexpr std::size_t FontDirectoryEntryFixedSize = 117;  // plus the face name's characters
constexpr std::size_t FntCopyrightSize = 60;
constexpr std::int64_t FntMaxSize = MaxFaceBytes;

struct FntHeader {
    std::uint16_t dfVersion = 0x0200;
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
};

void putFntHeader(ByteWriter& out, const FntHeader& header);
// One entry of the font directory: the ordinal (the FNT resource's name id), the first 113 bytes of
// that font resource as written, an empty device name and the face name. The directory is a count
// word followed by one entry per font.
void putFontDirectoryEntry(ByteWriter& out, std::uint32_t ordinal, std::span<const std::uint8_t> fnt,
                           std::string_view faceName);
void putFntCharEntry(ByteWriter& out, std::uint32_t width, std::uint32_t offset);

// Cell width W of a glyph; 0 rather than negative for metrics that contradict themselves.
[[nodiscard]] std::int32_t cellWidth(const GlyphMetrics& metrics, bool originAnchored);
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
