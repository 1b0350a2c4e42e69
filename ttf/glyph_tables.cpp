// The outline tables and the header tables that describe them. Fields are written in file order,
// offsets in the comments; every value in font units.
#include "ttf/glyph_tables.h"

#include <algorithm>
#include <limits>


namespace {

// glyf point flags.
constexpr std::uint32_t OnCurve = 0x01, XShort = 0x02, YShort = 0x04, Repeat = 0x08;
constexpr std::uint32_t XSameOrPositive = 0x10, YSameOrPositive = 0x20;

// head flags: baseline at y = 0, left side bearing at x = 0, integer ppem (the outlines are drawn
// for whole pixel sizes).
constexpr std::uint32_t HeadFlags = 0x0001 | 0x0002 | 0x0008;

// The pre-program: dropout control at every size (SCANCTRL 0x01FF), smart dropout control without
// stubs (SCANTYPE 5), so that strokes thinner than a pixel at smaller sizes keep their pixels in
// monochrome. At ppem and its multiples the edges lie on pixel boundaries, nothing drops out, and
// nothing is moved. Its presence also makes FreeType run the TrueType interpreter rather than its
// auto-hinter, which would shift edges by half a pixel.
constexpr std::uint8_t PreProgram[] = {
    0xB8, 0x01, 0xFF,  // PUSHW[0] 0x01FF
    0x85,              // SCANCTRL
    0xB0, 0x05,        // PUSHB[0] 5
    0x8D,              // SCANTYPE
};
constexpr std::uint32_t PreProgramStack = 1;  // each value is popped before the next is pushed

// gasp: one range for every size, grid-fitted (the pre-program runs) and smoothed, symmetric for
// ClearType; at ppem and its multiples the smoothing finds no partly covered pixel.
constexpr std::uint32_t GaspBehaviour = 0x0001 | 0x0002 | 0x0004 | 0x0008;

std::int32_t clampToInt16(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

struct Box {
    std::int32_t xMin, yMin, xMax, yMax;
};

// Pixel corners of one glyph to font units: x = (leftBearing + x) * unit, y = (ascent - y) * unit.
struct Placement {
    std::int32_t leftBearing, ascent, unit;
};

// One coordinate delta: its bytes, one (its sign in the flag) when short, none when zero, else
// two; returns its flag bits (`shortBit`, `sameBit`). Without branches: a glyph's deltas mix the
// three kinds in no order a predictor learns.
template <std::uint32_t ShortBit, std::uint32_t SameBit>
std::uint32_t putDelta(BigEndianCursor& to, std::int32_t delta) {
    const auto bits = static_cast<std::uint32_t>(delta);
    const std::uint32_t size = delta < 0 ? 0u - bits : bits;
    const bool zero = delta == 0, isShort = size <= 255 && !zero;
    to.u16Keeping(isShort ? size << 8 : bits & 0xFFFF, zero ? 0 : isShort ? 1 : 2);
    return (isShort ? ShortBit : 0) | (zero || (isShort && delta > 0) ? SameBit : 0);
}

// One simple glyph of the traced outline at `out`, its corners placed in font units as they are
// written, the flags (runs of one flag written once with a repeat count) in one pass with the
// coordinates, which wait in `scratch` (room for four bytes a point) until the flags are done.
void putSimpleGlyph(BigEndianCursor& out, const Outline& outline, const Placement& place, const Box& box,
                    std::uint8_t* scratch) {
    const std::vector<std::uint32_t>& ends = outline.contourEnds;
    out.u16(static_cast<std::uint32_t>(ends.size()));  // 0 numberOfContours
    out.u16(static_cast<std::uint32_t>(box.xMin));     // 2 xMin
    out.u16(static_cast<std::uint32_t>(box.yMin));     // 4 yMin
    out.u16(static_cast<std::uint32_t>(box.xMax));     // 6 xMax
    out.u16(static_cast<std::uint32_t>(box.yMax));     // 8 yMax
    for (std::uint32_t end : ends) out.u16(end);       // 10 endPtsOfContours
    out.u16(0);                                        // instructionLength

    const std::size_t count = outline.points.size();
    if (count == 0) return;
    std::uint8_t* const xStart = scratch;
    std::uint8_t* const yStart = scratch + 2 * count;
    BigEndianCursor xs(xStart), ys(yStart);
    auto putFlag = [&out](std::uint32_t flag, std::uint32_t repeats) {
        if (repeats == 0) {
            out.u8(flag);
        } else {
            out.u8(flag | Repeat);
            out.u8(repeats);
        }
    };
    std::uint32_t pending = 0, repeats = 0;
    std::int32_t lastX = 0, lastY = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const OutlinePoint& p = outline.points[i];
        const std::int32_t x = (place.leftBearing + p.x) * place.unit, y = (place.ascent - p.y) * place.unit;
        const std::uint32_t flag =
            OnCurve | putDelta<XShort, XSameOrPositive>(xs, x - lastX) | putDelta<YShort, YSameOrPositive>(ys, y - lastY);
        lastX = x, lastY = y;
        if (i != 0 && flag == pending && repeats < 255) {
            ++repeats;
            continue;
        }
        if (i != 0) putFlag(pending, repeats);
        pending = flag;
        repeats = 0;
    }
    putFlag(pending, repeats);
    out.bytes(xStart, static_cast<std::size_t>(xs.position() - xStart));
    out.bytes(yStart, static_cast<std::size_t>(ys.position() - yStart));
}

}  // namespace

void putGlyphTables(ByteVector& glyf, ByteVector& loca, ByteVector& hmtx, const TtfPlan& plan, GlyphSummary& summary) {
    summary = GlyphSummary{};
    const TtfStrike& strike = plan.strikes.front();
    const std::int32_t unit = plan.unitsPerPixel;
    std::vector<std::uint32_t> offsets;
    offsets.reserve(std::size_t{plan.glyphCount} + 1);
    std::vector<std::uint32_t> advances(plan.glyphCount, 0);
    std::vector<std::int32_t> bearings(plan.glyphCount, 0);
    OutlineTracer tracer;
    Outline outline;
    std::vector<std::uint8_t> scratch;
    bool anyOutline = false;
    // Entries are written straight into the table, grown a step at a time whenever the next one
    // might not fit (within the room the caller reserved, pages past the step are never
    // touched), and cut to its length at the end.
    constexpr std::size_t GrowthStep = std::size_t{1} << 20;
    std::size_t used = 0;

    for (std::uint32_t index = 0; index < plan.glyphCount; ++index) {
        offsets.push_back(static_cast<std::uint32_t>(used));
        const Glyph* glyph = index < strike.glyphs.size() ? strike.glyphs[index] : nullptr;
        if (!glyph) continue;
        const GlyphMetrics& m = glyph->metrics;
        const std::uint32_t advance =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(std::int64_t{m.advance} * unit, 0, 0xFFFF));
        advances[index] = advance;
        summary.advanceWidthMax = std::max(summary.advanceWidthMax, advance);

        const GlyphBits bits(*strike.font, glyph);
        const BitmapRows rows = bitmapRows(bits);
        if (!rows.bytes) continue;
        if (!tracer.trace(rows, outline)) {
            ++summary.glyphsWithoutOutline;
            continue;
        }
        if (outline.points.empty()) continue;
        // Pixel corners to font units: the extremes widened, and a glyph the plan's grid cannot
        // hold in 16 bits is left to its bitmap rather than written wrapped.
        std::int32_t left = outline.points.front().x, right = left, top = outline.points.front().y, bottom = top;
        for (const OutlinePoint& p : outline.points) {
            left = std::min(left, p.x), right = std::max(right, p.x);
            top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
        const std::int64_t xMin = (std::int64_t{m.leftBearing} + left) * unit, xMax = (std::int64_t{m.leftBearing} + right) * unit;
        const std::int64_t yMin = (std::int64_t{m.ascent} - bottom) * unit, yMax = (std::int64_t{m.ascent} - top) * unit;
        if (xMin != clampToInt16(xMin) || xMax != clampToInt16(xMax) || yMin != clampToInt16(yMin) ||
            yMax != clampToInt16(yMax)) {
            ++summary.glyphsWithoutOutline;
            continue;
        }
        const Box box{static_cast<std::int32_t>(xMin), static_cast<std::int32_t>(yMin), static_cast<std::int32_t>(xMax),
                      static_cast<std::int32_t>(yMax)};
        // At most a flag and four coordinate bytes a point, and padding to the 4-byte boundary
        // each entry starts on.
        const std::size_t most = 15 + 2 * outline.contourEnds.size() + 5 * outline.points.size();
        if (glyf.size() < used + most) glyf.resize(used + std::max(most, GrowthStep));
        if (scratch.size() < 4 * outline.points.size()) scratch.resize(4 * outline.points.size());
        BigEndianCursor entry(glyf.data() + used);
        putSimpleGlyph(entry, outline, {m.leftBearing, m.ascent, unit}, box, scratch.data());
        std::size_t length = static_cast<std::size_t>(entry.position() - (glyf.data() + used));
        for (; length % 4 != 0; ++length) entry.u8(0);
        used += length;

        bearings[index] = box.xMin;
        const std::int32_t rightBearing = static_cast<std::int32_t>(advance) - box.xMax;
        if (!anyOutline) {
            summary.xMin = box.xMin, summary.yMin = box.yMin, summary.xMax = box.xMax, summary.yMax = box.yMax;
            summary.minLeftSideBearing = box.xMin;
            summary.minRightSideBearing = rightBearing;
            summary.xMaxExtent = box.xMax;
            anyOutline = true;
        }
        summary.xMin = std::min(summary.xMin, box.xMin);
        summary.yMin = std::min(summary.yMin, box.yMin);
        summary.xMax = std::max(summary.xMax, box.xMax);
        summary.yMax = std::max(summary.yMax, box.yMax);
        summary.minLeftSideBearing = std::min(summary.minLeftSideBearing, box.xMin);
        summary.minRightSideBearing = std::min(summary.minRightSideBearing, rightBearing);
        summary.xMaxExtent = std::max(summary.xMaxExtent, box.xMax);
        summary.maxPoints = std::max(summary.maxPoints, static_cast<std::uint32_t>(outline.points.size()));
        summary.maxContours = std::max(summary.maxContours, static_cast<std::uint32_t>(outline.contourEnds.size()));
    }
    offsets.push_back(static_cast<std::uint32_t>(used));
    glyf.resize(used);

    // Short offsets store half the offset in 16 bits; every entry starts on an even offset.
    summary.longOffsets = glyf.size() / 2 > 0xFFFF;
    loca.reserve(offsets.size() * (summary.longOffsets ? 4 : 2));
    ByteWriter locations(loca, ByteOrder::BigEndian);
    for (std::uint32_t offset : offsets) {
        if (summary.longOffsets)
            locations.u32(offset);
        else
            locations.u16(offset / 2);
    }

    // Glyphs after the last change of advance share it and keep only their left side bearing.
    std::uint32_t metrics = plan.glyphCount;
    while (metrics > 1 && advances[metrics - 1] == advances[metrics - 2]) --metrics;
    summary.numberOfHMetrics = metrics;
    hmtx.reserve(2 * std::size_t{metrics} + 2 * std::size_t{plan.glyphCount});
    ByteWriter horizontal(hmtx, ByteOrder::BigEndian);
    for (std::uint32_t index = 0; index < plan.glyphCount; ++index) {
        if (index < metrics) horizontal.u16(advances[index]);
        horizontal.u16(static_cast<std::uint32_t>(bearings[index]));
    }
}

void putHeadTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary) {
    out.u16(1);                                                    // 0 majorVersion
    out.u16(0);                                                    // 2 minorVersion
    out.u32(0x00010000);                                           // 4 fontRevision 1.0
    out.u32(0);                                                    // 8 checkSumAdjustment, set by the container
    out.u32(0x5F0F3CF5);                                           // 12 magicNumber
    out.u16(HeadFlags);                                            // 16 flags
    out.u16(static_cast<std::uint32_t>(plan.unitsPerEm));          // 18 unitsPerEm
    out.u32(0), out.u32(0);                                        // 20 created: fixed, so runs repeat byte for byte
    out.u32(0), out.u32(0);                                        // 28 modified
    out.u16(static_cast<std::uint32_t>(summary.xMin));             // 36 xMin
    out.u16(static_cast<std::uint32_t>(summary.yMin));             // 38 yMin
    out.u16(static_cast<std::uint32_t>(summary.xMax));             // 40 xMax
    out.u16(static_cast<std::uint32_t>(summary.yMax));             // 42 yMax
    out.u16((plan.bold ? 0x01u : 0u) | (plan.italic ? 0x02u : 0u));  // 44 macStyle
    out.u16(static_cast<std::uint32_t>(plan.strikes.front().ppem));  // 46 lowestRecPPEM
    out.u16(2);                                                    // 48 fontDirectionHint (deprecated value)
    out.u16(summary.longOffsets ? 1 : 0);                          // 50 indexToLocFormat
    out.u16(0);                                                    // 52 glyphDataFormat
}

void putHheaTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary) {
    out.u16(1);                                                         // 0 majorVersion
    out.u16(0);                                                         // 2 minorVersion
    out.u16(static_cast<std::uint32_t>(clampToInt16(plan.ascender)));   // 4 ascender
    out.u16(static_cast<std::uint32_t>(clampToInt16(plan.descender)));  // 6 descender
    out.u16(0);                                                         // 8 lineGap
    out.u16(summary.advanceWidthMax);                                   // 10 advanceWidthMax
    out.u16(static_cast<std::uint32_t>(summary.minLeftSideBearing));    // 12 minLeftSideBearing
    out.u16(static_cast<std::uint32_t>(clampToInt16(summary.minRightSideBearing)));  // 14 minRightSideBearing
    out.u16(static_cast<std::uint32_t>(summary.xMaxExtent));            // 16 xMaxExtent
    out.u16(1);                                                         // 18 caretSlopeRise
    out.u16(0);                                                         // 20 caretSlopeRun
    out.u16(0);                                                         // 22 caretOffset
    out.zeros(8);                                                       // 24 reserved
    out.u16(0);                                                         // 32 metricDataFormat
    out.u16(summary.numberOfHMetrics);                                  // 34 numberOfHMetrics
}

void putMaxpTable(ByteWriter& out, const TtfPlan& plan, const GlyphSummary& summary) {
    out.u32(0x00010000);               // 0 version 1.0
    out.u16(plan.glyphCount);          // 4 numGlyphs
    out.u16(summary.maxPoints);        // 6 maxPoints
    out.u16(summary.maxContours);      // 8 maxContours
    out.u16(0);                        // 10 maxCompositePoints
    out.u16(0);                        // 12 maxCompositeContours
    out.u16(2);                        // 14 maxZones: the glyph zone and the (empty) twilight zone
    out.u16(0);                        // 16 maxTwilightPoints
    out.u16(0);                        // 18 maxStorage
    out.u16(0);                        // 20 maxFunctionDefs
    out.u16(0);                        // 22 maxInstructionDefs
    out.u16(PreProgramStack);          // 24 maxStackElements
    out.u16(0);                        // 26 maxSizeOfInstructions: no glyph has instructions
    out.u16(0);                        // 28 maxComponentElements
    out.u16(0);                        // 30 maxComponentDepth
}

void putPostTable(ByteWriter& out, const TtfPlan& plan) {
    // The underline from the font's own properties (pixels below the baseline to its top, and
    // its thickness), else one pixel thick halfway down the descent.
    const Font& font = *plan.strikes.front().font;
    std::int64_t position = font.info.fontDescent / 2, thickness = 1;
    std::uint8_t isString = 0;
    if (const FontProperty* p = findFontProperty(font.info, "UNDERLINE_POSITION", &isString); p && !isString)
        position = p->value;
    if (const FontProperty* p = findFontProperty(font.info, "UNDERLINE_THICKNESS", &isString); p && !isString && p->value > 0)
        thickness = p->value;
    out.u32(0x00030000);                                                              // 0 version 3.0
    out.u32(0);                                                                       // 4 italicAngle
    out.u16(static_cast<std::uint32_t>(clampToInt16(-position * plan.unitsPerPixel)));  // 8 underlinePosition
    out.u16(static_cast<std::uint32_t>(clampToInt16(thickness * plan.unitsPerPixel)));  // 10 underlineThickness
    out.u32(plan.fixedPitch ? 1 : 0);                                                 // 12 isFixedPitch
    out.zeros(16);                                                                    // 16 memory use: unknown
}

void putGaspTable(ByteWriter& out) {
    out.u16(1);              // 0 version
    out.u16(1);              // 2 numRanges
    out.u16(0xFFFF);         // 4 rangeMaxPPEM: every size
    out.u16(GaspBehaviour);  // 6 rangeGaspBehavior
}

void putPrepTable(ByteWriter& out) { out.bytes(PreProgram, sizeof PreProgram); }
