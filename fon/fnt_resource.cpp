// Layouts of the Windows raster font resource and its directory, glyph cells, property look-ups.
#include "fon/fnt_resource.h"

#include <algorithm>
#include <cstring>

#include "font/bitmap.h"

void putFntHeader(ByteWriter& out, const FntHeader& h) {
    out.u16(h.dfVersion);                                                    // 0
    out.u32(h.dfSize);                                                       // 2
    out.bytes(reinterpret_cast<const std::uint8_t*>(h.dfCopyright), FntCopyrightSize);  // 6
    out.u16(h.dfType);                                                       // 66
    out.u16(h.dfPoints);                                                     // 68
    out.u16(h.dfVertRes);                                                    // 70
    out.u16(h.dfHorizRes);                                                   // 72
    out.u16(h.dfAscent);                                                     // 74
    out.u16(h.dfInternalLeading);                                            // 76
    out.u16(h.dfExternalLeading);                                            // 78
    out.u8(h.dfItalic);                                                      // 80
    out.u8(h.dfUnderline);                                                   // 81
    out.u8(h.dfStrikeOut);                                                   // 82
    out.u16(h.dfWeight);                                                     // 83
    out.u8(h.dfCharSet);                                                     // 85
    out.u16(h.dfPixWidth);                                                   // 86
    out.u16(h.dfPixHeight);                                                  // 88
    out.u8(h.dfPitchAndFamily);                                              // 90
    out.u16(h.dfAvgWidth);                                                   // 91
    out.u16(h.dfMaxWidth);                                                   // 93
    out.u8(h.dfFirstChar);                                                   // 95
    out.u8(h.dfLastChar);                                                    // 96
    out.u8(h.dfDefaultChar);                                                 // 97
    out.u8(h.dfBreakChar);                                                   // 98
    out.u16(h.dfWidthBytes);                                                 // 99
    out.u32(h.dfDevice);                                                     // 101
    out.u32(h.dfFace);                                                       // 105
    out.u32(h.dfBitsPointer);                                                // 109
    out.u32(h.dfBitsOffset);                                                 // 113
    out.u8(h.dfReserved);                                                    // 117
    if (h.dfVersion != FntVersion3) return;
    out.u32(h.dfFlags);                                                      // 118
    out.u16(h.dfAspace);                                                     // 122
    out.u16(h.dfBspace);                                                     // 124
    out.u16(h.dfCspace);                                                     // 126
    out.u32(h.dfColorPointer);                                               // 128
    out.zeros(16);                                                           // 132: reserved
}

FntLayout planFntLayout(std::int64_t positions, std::int64_t faceNameLength, std::int64_t cellBytes) {
    auto layout = [&](std::uint16_t version, std::size_t headerSize, std::size_t charEntrySize) {
        FntLayout l;
        l.version = version;
        // One entry per position and the sentinel's.
        l.face = static_cast<std::int64_t>(headerSize) + static_cast<std::int64_t>(charEntrySize) * (positions + 1);
        l.bitsOffset = l.face + faceNameLength + 1;
        l.size = l.bitsOffset + cellBytes;
        return l;
    };
    const FntLayout older = layout(FntVersion2, FntHeaderSize, FntCharEntrySize);
    return older.size <= Fnt2MaxSize ? older : layout(FntVersion3, Fnt3HeaderSize, Fnt3CharEntrySize);
}

void putFontDirectoryEntry(ByteWriter& out, std::uint32_t ordinal, std::span<const std::uint8_t> fnt,
                           std::string_view faceName) {
    out.u16(ordinal);  // 0
    // 2: the header up to dfBitsPointer, byte for byte as in the font resource.
    out.bytes(fnt.data(), std::min(fnt.size(), FntDirectoryHeaderBytes));
    out.zeros(FntDirectoryHeaderBytes - std::min(fnt.size(), FntDirectoryHeaderBytes));
    out.u8(0);            // 115: no device name
    out.bytes(faceName);  // 116
    out.u8(0);
}

void putFntCharEntry(ByteWriter& out, std::uint16_t version, std::uint32_t width, std::uint32_t offset) {
    out.u16(width);  // 0
    if (version == FntVersion3)
        out.u32(offset);  // 2
    else
        out.u16(offset);  // 2: low 16 bits
}

CellPlacement cellPlacement(const Font& font) {
    CellPlacement placement;
    if (!font.bitmapFont) return placement;
    const bool fixedPitch = isFixedPitch(font.info);
    for (const Glyph* glyph : font.bitmapFont->encoding) {
        if (!glyph || glyphWidth(glyph->metrics) <= 0 || glyphHeight(glyph->metrics) <= 0) continue;
        const std::int32_t width = cellWidth(glyph->metrics, fixedPitch);
        placement.moved += inkColumn(glyph->metrics, width) != glyph->metrics.leftBearing;
        placement.cut += glyphWidth(glyph->metrics) > width;
    }
    return placement;
}

std::size_t putGlyphCell(std::span<std::uint8_t> destination, const Font& font, int glyphPad, const Glyph* glyph) {
    if (!glyph) return 0;
    const FontInfo& info = font.info;
    const GlyphMetrics& metrics = glyph->metrics;
    const std::int32_t height = std::max(cellHeight(info), 0);
    const std::int32_t width = cellWidth(metrics, isFixedPitch(info));
    const std::int32_t columns = cellColumns(width);
    const std::size_t cellSize = static_cast<std::size_t>(columns) * static_cast<std::size_t>(height);
    if (cellSize > destination.size()) return 0;
    std::fill_n(destination.begin(), cellSize, std::uint8_t{0});

    const std::int32_t w = glyphWidth(metrics);
    const std::int32_t rows = glyphHeight(metrics);
    const std::int32_t stride = paddedRowBytes(w, glyphPad);
    if (w <= 0 || rows <= 0 || stride <= 0) return cellSize;
    const std::int32_t rowBytes = (w + 7) / 8;
    const std::int32_t top = std::int32_t{info.maxBounds.ascent} - std::int32_t{metrics.ascent};
    const std::int32_t xoff = inkColumn(metrics, width);  // never negative
    const std::int32_t base = xoff / 8;
    const std::int32_t shift = xoff % 8;

    for (std::int32_t y = 0; y < rows; ++y) {
        const std::int32_t cellRow = top + y;
        if (cellRow < 0 || cellRow >= height) continue;
        auto orInto = [&](std::int32_t column, std::uint32_t bits) {
            if (column < 0 || column >= columns) return;
            destination[static_cast<std::size_t>(column) * height + cellRow] |= static_cast<std::uint8_t>(bits);
        };
        const std::size_t rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint32_t byte = glyph->bitmap[rowStart + static_cast<std::size_t>(k)];
            orInto(base + k, byte >> shift);
            if (shift > 0) orInto(base + k + 1, (byte << (8 - shift)) & 0xFF);
        }
    }
    return cellSize;
}

const char* findStringProperty(const Font& font, const char* name) {
    std::uint8_t isString = 0;
    const FontProperty* property = findFontProperty(font.info, name, &isString);
    if (!property || !isString) return nullptr;
    return atomName(static_cast<Atom>(property->value));
}

std::int32_t findIntegerProperty(const Font& font, const char* name) {
    std::uint8_t isString = 0;
    const FontProperty* property = findFontProperty(font.info, name, &isString);
    if (!property || isString) return -1;
    return property->value;
}
