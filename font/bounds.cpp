// Bounds and flags of a text-read font, derived from the glyph metrics and the encoding table.
#include "font/bounds.h"

#include <algorithm>
#include <span>

namespace {
struct DirectionCounts {
    std::int64_t negative = 0;
    std::int64_t positive = 0;
};

std::span<const Glyph> storedGlyphs(const BitmapFont& store) {
    auto count = static_cast<std::size_t>(std::max(store.glyphCount, 0));
    return std::span<const Glyph>(store.glyphs.data(), std::min(count, store.glyphs.size()));
}

void widenField(std::int16_t& minimum, std::int16_t& maximum, std::int16_t value) {
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
}

void widenBox(GlyphMetrics& minimum, GlyphMetrics& maximum, const GlyphMetrics& m) {
    widenField(minimum.ascent, maximum.ascent, m.ascent);
    widenField(minimum.descent, maximum.descent, m.descent);
    widenField(minimum.leftBearing, maximum.leftBearing, m.leftBearing);
    widenField(minimum.rightBearing, maximum.rightBearing, m.rightBearing);
    widenField(minimum.advance, maximum.advance, m.advance);
}

void combineAttributes(GlyphMetrics& minimum, GlyphMetrics& maximum, const GlyphMetrics& m) {
    minimum.attributes &= m.attributes;
    maximum.attributes |= m.attributes;
}

void accumulate(FontInfo& info, std::int32_t& overlap, DirectionCounts& counts, const GlyphMetrics& m) {
    if (!isEmptyMetrics(m)) {
        widenBox(info.minBounds, info.maxBounds, m);
        if (m.advance < 0) ++counts.negative;
        else ++counts.positive;
    } else {
        ++counts.positive;
    }
    combineAttributes(info.minBounds, info.maxBounds, m);
    overlap = std::max(overlap, m.rightBearing - m.advance);
}

void accumulateInk(FontInfo& info, const GlyphMetrics& ink) {
    if (!isEmptyMetrics(ink)) widenBox(info.inkMinBounds, info.inkMaxBounds, ink);
    combineAttributes(info.inkMinBounds, info.inkMaxBounds, ink);
}

void startBounds(FontInfo& info) {
    info.minBounds = MinimumBoundsStart;
    info.maxBounds = MaximumBoundsStart;
}

void startInkBounds(FontInfo& info) {
    info.inkMinBounds = MinimumBoundsStart;
    info.inkMaxBounds = MaximumBoundsStart;
}

// A tie goes to left to right.
void storeDirection(FontInfo& info, const DirectionCounts& counts) {
    setDirection(info.flags, counts.positive < counts.negative ? DirectionRightToLeft : DirectionLeftToRight);
}

bool sameMetrics(const GlyphMetrics& a, const GlyphMetrics& b) {
    return a.leftBearing == b.leftBearing && a.rightBearing == b.rightBearing && a.advance == b.advance &&
           a.ascent == b.ascent && a.descent == b.descent && a.attributes == b.attributes;
}

void setFlag(std::uint32_t& flags, std::uint32_t flag, bool on) {
    flags = on ? flags | flag : flags & ~flag;
}
}  // namespace

bool isEmptyMetrics(const GlyphMetrics& m) {
    return m.ascent + m.descent == 0 && m.leftBearing == m.rightBearing && m.advance == 0;
}

void computeFontBounds(Font& font) {
    BitmapFont& store = *font.bitmapFont;
    DirectionCounts counts;
    FontInfo& target = store.extras ? store.extras->info : font.info;
    startBounds(target);
    std::int32_t overlap = MaxOverlapStart;
    for (const Glyph& glyph : storedGlyphs(store)) accumulate(target, overlap, counts, glyph.metrics);

    if (store.extras) {
        storeDirection(target, counts);
        target.maxOverlap = static_cast<std::int16_t>(overlap);
        startBounds(font.info);
        overlap = MaxOverlapStart;
        // Row-major order of the table is the row and column order of the codes.
        for (const Glyph* glyph : store.encoding)
            if (glyph) accumulate(font.info, overlap, counts, glyph->metrics);
    }
    storeDirection(font.info, counts);
    font.info.maxOverlap = static_cast<std::int16_t>(overlap);
}

void computeInkBounds(Font& font) {
    BitmapFont& store = *font.bitmapFont;
    if (!store.inkMetrics) {
        if (store.extras) {
            store.extras->info.inkMinBounds = store.extras->info.minBounds;
            store.extras->info.inkMaxBounds = store.extras->info.maxBounds;
        }
        font.info.inkMinBounds = font.info.minBounds;
        font.info.inkMaxBounds = font.info.maxBounds;
        return;
    }
    const ModelVector<GlyphMetrics>& ink = *store.inkMetrics;
    FontInfo& target = store.extras ? store.extras->info : font.info;
    startInkBounds(target);
    std::size_t count = std::min(storedGlyphs(store).size(), ink.size());
    for (std::size_t i = 0; i < count; ++i) accumulateInk(target, ink[i]);

    if (store.extras) {
        startInkBounds(font.info);
        for (const Glyph* glyph : store.encoding) {
            if (!glyph) continue;
            auto index = static_cast<std::size_t>(glyph - store.glyphs.data());
            if (index < ink.size()) accumulateInk(font.info, ink[index]);
        }
    }
}

void computeInfoFlags(FontInfo& info) {
    const GlyphMetrics& minB = info.minBounds;
    const GlyphMetrics& maxB = info.maxBounds;
    setFlag(info.flags, FlagNonOverlapping, minB.leftBearing >= info.maxOverlap);
    if (sameMetrics(minB, maxB)) {
        info.flags |= FlagUniformMetrics;
        setFlag(info.flags, FlagTerminalCell,
                maxB.leftBearing == 0 && maxB.rightBearing == maxB.advance && maxB.ascent == info.fontAscent &&
                    maxB.descent == info.fontDescent);
    } else {
        info.flags &= ~(FlagUniformMetrics | FlagTerminalCell);
    }
    setFlag(info.flags, FlagFixedAdvance, minB.advance == maxB.advance);
    setFlag(info.flags, FlagInkWithinCell,
            minB.leftBearing >= 0 && info.maxOverlap <= 0 && minB.ascent >= -info.fontDescent &&
                maxB.ascent <= info.fontAscent && -minB.descent <= info.fontAscent &&
                maxB.descent <= info.fontDescent);
}

bool couldBeTerminalCell(const FontInfo& info) {
    const GlyphMetrics& minB = info.minBounds;
    const GlyphMetrics& maxB = info.maxBounds;
    if (minB.leftBearing < 0 || maxB.rightBearing > maxB.advance || minB.advance != maxB.advance ||
        maxB.ascent > info.fontAscent || maxB.descent > info.fontDescent)
        return false;
    bool alreadyCells = maxB.leftBearing == 0 && minB.rightBearing == minB.advance && minB.ascent == info.fontAscent &&
                        minB.descent == info.fontDescent;
    if (alreadyCells) return false;
    return maxB.ascent != 0 || maxB.descent != 0;
}


std::int32_t estimateWeight(const Font&) { return 10; }
