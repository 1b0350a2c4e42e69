// Hand-built fonts for the writer's tests, the expected cells, and little-endian readers of its output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fon/fon_writer.h"
#include "font/bitmap.h"
#include "font/model.h"
#include "stream/font_stream.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace fontest {

// One glyph: code, metrics, and rows of '#' (ink) and '.' of width rightBearing - leftBearing.
struct GlyphDrawing {
    int code;
    GlyphMetrics metrics;
    std::vector<std::string> rows;
};

inline GlyphMetrics metrics(int left, int right, int advance, int ascent, int descent) {
    return GlyphMetrics{static_cast<std::int16_t>(left), static_cast<std::int16_t>(right),
                        static_cast<std::int16_t>(advance), static_cast<std::int16_t>(ascent),
                        static_cast<std::int16_t>(descent), 0};
}

// A box of ink of the glyph's size: every pixel set.
inline GlyphDrawing solid(int code, GlyphMetrics m) {
    const int w = m.rightBearing - m.leftBearing;
    return {code, m, std::vector<std::string>(std::max(0, m.ascent + m.descent), std::string(std::max(0, w), '#'))};
}

// Lays each glyph out as the text reader would (rows padded to `pad`, bits past the width clear) and
// derives bounds and flags from the glyphs like the model's own computation.
inline Font makeFont(int firstColumn, int lastColumn, const std::vector<GlyphDrawing>& drawings, int pad = 1) {
    Font font;
    font.glyphPad = static_cast<std::uint8_t>(pad);
    font.bitOrder = font.byteOrder = font.scanUnit = 1;
    FontInfo& info = font.info;
    info.firstColumn = static_cast<std::uint16_t>(firstColumn);
    info.lastColumn = static_cast<std::uint16_t>(lastColumn);
    info.defaultChar = 0xFFFF;
    info.flags = FlagAlwaysSet;
    font.bitmapFont = std::make_unique<BitmapFont>();
    BitmapFont& store = *font.bitmapFont;
    store.glyphs.reserve(drawings.size());
    for (const GlyphDrawing& drawing : drawings) {
        const GlyphMetrics& m = drawing.metrics;
        const int w = m.rightBearing - m.leftBearing;
        const int stride = paddedRowBytes(std::max(w, 0), pad);
        ByteVector bitmap(static_cast<std::size_t>(stride) * drawing.rows.size(), 0);
        for (std::size_t y = 0; y < drawing.rows.size(); ++y)
            for (std::size_t x = 0; x < drawing.rows[y].size(); ++x)
                if (drawing.rows[y][x] == '#') bitmap[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        store.ownedBitmaps.push_back(std::move(bitmap));
        store.glyphs.push_back(Glyph{m, nullptr});
    }
    for (std::size_t i = 0; i < drawings.size(); ++i)
        store.glyphs[i].bitmap = store.ownedBitmaps[i].empty() ? nullptr : store.ownedBitmaps[i].data();
    store.glyphCount = static_cast<std::int32_t>(drawings.size());
    const int columns = lastColumn - firstColumn + 1;
    store.encoding.assign(static_cast<std::size_t>(std::max(columns, 0)), nullptr);
    auto lower = [](std::int16_t& a, std::int16_t b) { a = std::min(a, b); };
    auto upper = [](std::int16_t& a, std::int16_t b) { a = std::max(a, b); };
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        const int index = (drawings[i].code & 0xFF) - firstColumn;
        if (index >= 0 && index < columns) store.encoding[static_cast<std::size_t>(index)] = &store.glyphs[i];
        const GlyphMetrics& m = drawings[i].metrics;
        if (i == 0) info.minBounds = info.maxBounds = m;
        lower(info.minBounds.leftBearing, m.leftBearing), upper(info.maxBounds.leftBearing, m.leftBearing);
        lower(info.minBounds.rightBearing, m.rightBearing), upper(info.maxBounds.rightBearing, m.rightBearing);
        lower(info.minBounds.advance, m.advance), upper(info.maxBounds.advance, m.advance);
        lower(info.minBounds.ascent, m.ascent), upper(info.maxBounds.ascent, m.ascent);
        lower(info.minBounds.descent, m.descent), upper(info.maxBounds.descent, m.descent);
    }
    if (std::memcmp(&info.minBounds, &info.maxBounds, sizeof(GlyphMetrics)) == 0) info.flags |= FlagUniformMetrics;
    if (info.minBounds.advance == info.maxBounds.advance) info.flags |= FlagFixedAdvance;
    info.fontAscent = info.maxBounds.ascent;
    info.fontDescent = info.maxBounds.descent;
    return font;
}

inline void addProperty(Font& font, const char* name, std::int32_t value) {
    font.info.properties.push_back({internAtom(name, static_cast<std::int32_t>(std::strlen(name)), 1), value});
    font.info.propertyIsString.push_back(0);
}

inline void addStringProperty(Font& font, const char* name, const std::string& value) {
    const Atom nameAtom = internAtom(name, static_cast<std::int32_t>(std::strlen(name)), 1);
    const Atom valueAtom = internAtom(value.data(), static_cast<std::int32_t>(value.size()), 1);
    font.info.properties.push_back({nameAtom, static_cast<std::int32_t>(valueAtom)});
    font.info.propertyIsString.push_back(1);
}

struct Written {
    int status = 0;
    std::string path;
    std::string bytes;
};

// Writes the font through a real output stream named `<dir>/<base>.fon`.
inline Written writeFontFile(Font& font, const TempDir& dir, const std::string& base = "test", int pad = -1) {
    Written result;
    result.path = dir.path(base + ".fon");
    FontStream* stream = createFontFile(result.path.c_str());
    if (!stream) return result;
    stream->fontName = base.c_str();
    result.status = writeFon(&font, stream, pad < 0 ? font.glyphPad : pad);
    EXPECT_EQ(closeFontFile(stream), 0);
    result.bytes = readFile(result.path);
    return result;
}

// Where a FON file's resources lie, found through its resource table as a reader would (offsets in
// bytes, lengths in the table's units).
struct Resource {
    std::size_t offset = 0;
    std::size_t units = 0;
};
inline Resource resourceAt(const std::string& fon, int index) {
    const std::size_t record = 64 + 64 + 2 + 20 * static_cast<std::size_t>(index);
    return {std::size_t{le16(fon, record + 8)} << le16(fon, 128), le16(fon, record + 10)};
}

// The cell the rules give for a glyph, pixel by pixel: W columns, H rows, 1 = ink; its top row
// lies `ascent` rows above the baseline (where the glyph's own rows put it).
struct Cell {
    int width = 0;
    int height = 0;
    int ascent = 0;
    std::vector<std::uint8_t> pixels;
    bool pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] != 0; }
};

inline Cell expectedCell(const Font& font, const Glyph& glyph, int pad) {
    const FontInfo& info = font.info;
    const GlyphMetrics& m = glyph.metrics;
    const int w = m.rightBearing - m.leftBearing;
    const Placement place = placementOf(w, m.leftBearing, m.advance, info.flags & FlagFixedAdvance);
    Cell cell;
    cell.height = info.maxBounds.ascent + info.maxBounds.descent;
    cell.ascent = info.maxBounds.ascent;
    cell.width = place.width;
    cell.pixels.assign(static_cast<std::size_t>(cell.width) * cell.height, 0);
    const int stride = paddedRowBytes(std::max(w, 0), pad);
    const int xoff = place.column;
    const int top = info.maxBounds.ascent - m.ascent;
    for (int y = 0; y < m.ascent + m.descent; ++y)
        for (int x = 0; x < ((w + 7) / 8) * 8; ++x) {
            const int cx = xoff + x, cy = top + y;
            if (!glyph.bitmap || !((glyph.bitmap[y * stride + x / 8] >> (7 - x % 8)) & 1)) continue;
            if (cx >= 0 && cx < cell.width && cy >= 0 && cy < cell.height) cell.pixels[cy * cell.width + cx] = 1;
        }
    return cell;
}

// FreeType's view of one character against the cell the rules give; empty when they agree. The
// cell must stand where the source glyph does: from the origin, advancing by its width, its top row
// `ascent` rows above the baseline.
inline std::string compareWithOracle(const OracleGlyph& seen, const Cell& cell) {
    if (seen.width != cell.width || seen.advance != cell.width || seen.left != 0 ||
        (cell.width > 0 && seen.rows != cell.height))
        return "size " + std::to_string(seen.width) + "x" + std::to_string(seen.rows) + " expected " +
               std::to_string(cell.width) + "x" + std::to_string(cell.height);
    if (cell.width > 0 && seen.top != cell.ascent)
        return "cell top " + std::to_string(seen.top) + " rows above the baseline, expected " + std::to_string(cell.ascent);
    for (int y = 0; y < seen.rows && cell.width > 0; ++y)
        for (int x = 0; x < seen.width; ++x)
            if (seen.pixel(x, y) != cell.pixel(x, y))
                return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") differs";
    return {};
}

// The font-wide numbers the cells depend on, as the reader computed them (the "SNF" resource
// carries them; the hand-built tests check that it copies them faithfully).
struct CellFrame {
    bool fixedPitch = false;
    int maxAscent = 0;
    int height = 0;
};

inline int s16(std::uint32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

inline CellFrame frameOf(const std::string& fon) {
    const std::size_t snf = resourceAt(fon, 2).offset;
    CellFrame frame;
    frame.fixedPitch = (le32(fon, snf + 12) & 2) != 0;  // every advance alike
    frame.maxAscent = s16(le16(fon, snf + 50 + 6));
    frame.height = frame.maxAscent + s16(le16(fon, snf + 50 + 8));
    return frame;
}

// How the reader was asked to lay the bitmaps out.
struct Layout {
    std::vector<std::string> options;
    int bitOrder = 1;
    int byteOrder = 1;
    int pad = 2;
    int unit = 1;
};

// The bytes of one source row as the reader stores them, read back most significant bit first as
// the writer does: the pixels the writer actually moves (8 per byte of the row's data).
inline std::vector<int> pixelsAsRead(const OracleGlyph& glyph, int y, const Layout& layout) {
    const int stride = paddedRowBytes(glyph.width, layout.pad);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < glyph.width; ++x)
        if (glyph.pixel(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    if (layout.bitOrder == 0) invertBitOrder(row.data(), stride);
    if (layout.byteOrder != layout.bitOrder && layout.unit == 2) swapTwoBytes(row.data(), stride);
    if (layout.byteOrder != layout.bitOrder && layout.unit == 4) swapFourBytes(row.data(), stride);
    std::vector<int> pixels;
    for (int x = 0; x < (glyph.width + 7) / 8 * 8; ++x) pixels.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    return pixels;
}

inline Cell cellOf(const OracleGlyph& source, const CellFrame& frame, const Layout& layout) {
    const int w = source.width, left = source.left;
    Cell cell;
    cell.height = frame.height;
    cell.ascent = frame.maxAscent;
    const Placement place = placementOf(w, left, source.advance, frame.fixedPitch);
    cell.width = place.width;
    cell.pixels.assign(static_cast<std::size_t>(cell.width) * cell.height, 0);
    const int xoff = place.column, top = frame.maxAscent - source.top;
    for (int y = 0; y < source.rows; ++y) {
        const std::vector<int> pixels = pixelsAsRead(source, y, layout);
        for (int x = 0; x < static_cast<int>(pixels.size()); ++x) {
            const int cx = xoff + x, cy = top + y;
            if (pixels[x] && cx >= 0 && cx < cell.width && cy >= 0 && cy < cell.height)
                cell.pixels[static_cast<std::size_t>(cy) * cell.width + cx] = 1;
        }
    }
    return cell;
}

}  // namespace fontest
