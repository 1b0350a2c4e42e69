// The outline tables (glyf, loca, hmtx) traced from the first strike's glyphs, and the tables that
// describe them: head, hhea, maxp, post, and the gasp and prep that keep renderers on the pixel
// grid. A glyph of pixel column c and row r (left bearing lb, ascent asc) becomes the square from
// x = (lb + c) * U, y = (asc - r) * U to one unit U = plan.unitsPerPixel further; its advance is
// the glyph's advance times U.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fon/byte_writer.h"
#include "font/alloc.h"
#include "font/model.h"
#include "ttf/outline.h"
#include "ttf/ttf_plan.h"

// What the glyph tables tell head, hhea and maxp, in font units.
struct GlyphSummary {
    std::int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // over the glyphs with an outline
    std::uint32_t maxPoints = 0;
    std::uint32_t maxContours = 0;
    std::uint32_t advanceWidthMax = 0;
    std::int32_t minLeftSideBearing = 0;  // these three over the glyphs with an outline
    std::int32_t minRightSideBearing = 0;
    std::int32_t xMaxExtent = 0;
    std::uint32_t numberOfHMetrics = 0;
    bool longOffsets = false;  // head's indexToLocFormat 1
    std::uint32_t glyphsWithoutOutline = 0;  // past TrueType's limits: left to their bitmaps
};

// A glyph's rows as the tracer reads them; empty for a glyph without pixels.
[[nodiscard]] inline BitmapRows bitmapRows(const GlyphBits& bits) {
    if (bits.width() <= 0 || bits.height() <= 0) return {};
    return {bits.row(0), bits.width(), bits.height(), static_cast<std::int32_t>(bits.stride())};
}

// Bytes the glyf entry of an outline of `points` corners takes at most (contours have four or more).
[[nodiscard]] constexpr std::uint64_t glyphEntryBound(std::uint64_t points) {
    return 12 + 2 * (points / 4) + 5 * points + 3;
}

// glyf, loca and hmtx of every glyph of the plan, filling `summary`.
void putGlyphTables(ByteVector& glyf, ByteVector& loca, ByteVector& hmtx, const TtfPlan& plan, GlyphSummary& summary);

// head with checkSumAdjustment 0, for the container to set at HeadChecksumAdjustmentOffset.
constexpr std::size_t HeadChecksumAdjustmentOffset = 8;
void putHeadTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary);
void putHheaTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary);
void putMaxpTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary);
void putPostTable(ByteWriter& out, const TtfPlan& plan);
void putGaspTable(ByteWriter& out);
void putPrepTable(ByteWriter& out);
