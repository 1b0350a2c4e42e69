// Bounds, overlap, direction and flags of text-read fonts, and the terminal-cell test.
#include <gtest/gtest.h>

#include "font/bounds.h"
#include "font/ink.h"
#include "tests/font/font_builder.h"

namespace {
std::uint32_t direction(const FontInfo& info) { return (info.flags & DirectionMask) >> DirectionShift; }

bool sameMetrics(const GlyphMetrics& a, const GlyphMetrics& b) {
    return a.leftBearing == b.leftBearing && a.rightBearing == b.rightBearing && a.advance == b.advance &&
           a.ascent == b.ascent && a.descent == b.descent && a.attributes == b.attributes;
}

TEST(Bounds, DirectionFollowsTheMajorityOfAdvances) {
    Font font;
    buildFont(font, {metrics(0, 4, -5, 5, 1), metrics(0, 4, -5, 5, 1), metrics(0, 4, 6, 5, 1)}, {0, 1, 2}, false);
    computeFontBounds(font);
    EXPECT_EQ(direction(font.info), DirectionRightToLeft);
    EXPECT_EQ(font.info.minBounds.advance, -5);
    EXPECT_EQ(font.info.maxBounds.advance, 6);

    Font tie;
    buildFont(tie, {metrics(0, 4, -5, 5, 1), metrics(0, 4, 0, 5, 1)}, {0, 1}, false);
    tie.info.flags = DirectionRightToLeft << DirectionShift;
    computeFontBounds(tie);
    EXPECT_EQ(direction(tie.info), DirectionLeftToRight);
}

TEST(Bounds, EmptyGlyphsOnlyCombineAttributesAndOverlap) {
    Font font;
    buildFont(font, {metrics(2, 4, 8, 5, 1, 0x3), metrics(0, 0, 0, 0, 0, 0x4), metrics(-1, -1, 0, 3, -3, 0x1)},
              {0, 1, 2}, false);
    computeFontBounds(font);
    EXPECT_EQ(font.info.minBounds.leftBearing, 2);  // both zero-box glyphs left out
    EXPECT_EQ(font.info.maxBounds.ascent, 5);
    EXPECT_EQ(font.info.minBounds.attributes, 0x0);
    EXPECT_EQ(font.info.maxBounds.attributes, 0x7);
    EXPECT_EQ(font.info.maxOverlap, 0);  // 4 - 8 is raised to 0 by the empty glyphs
    EXPECT_EQ(direction(font.info), DirectionLeftToRight);

    Font none;
    buildFont(none, {}, {}, true);
    computeFontBounds(none);
    EXPECT_TRUE(sameMetrics(none.info.minBounds, MinimumBoundsStart));
    EXPECT_TRUE(sameMetrics(none.info.maxBounds, MaximumBoundsStart));
    EXPECT_EQ(none.info.maxOverlap, -32768);
}

TEST(Bounds, ExtrasCoverAllGlyphsAndShareTheCounters) {
    Font font;
    buildFont(font,
              {metrics(0, 4, -9, 5, 1), metrics(0, 4, -9, 5, 1), metrics(0, 4, -9, 5, 1), metrics(1, 3, 4, 6, 0),
               metrics(1, 3, 5, 6, 0)},
              {3, 4}, true);
    computeFontBounds(font);
    const FontInfo& all = font.bitmapFont->extras->info;
    EXPECT_EQ(direction(all), DirectionRightToLeft);  // 3 against 2
    EXPECT_EQ(direction(font.info), DirectionLeftToRight);  // 3 against 2 + 2
    EXPECT_EQ(all.minBounds.advance, -9);
    EXPECT_EQ(all.maxOverlap, 13);
    EXPECT_EQ(font.info.minBounds.advance, 4);
    EXPECT_EQ(font.info.minBounds.leftBearing, 1);
    EXPECT_EQ(font.info.maxOverlap, -1);

    computeInkBounds(font);  // no ink metrics: the plain bounds
    EXPECT_TRUE(sameMetrics(font.info.inkMinBounds, font.info.minBounds));
    EXPECT_TRUE(sameMetrics(font.info.inkMaxBounds, font.info.maxBounds));
    EXPECT_TRUE(sameMetrics(all.inkMinBounds, all.minBounds));
}

TEST(Bounds, TerminalFontFlagsAndCandidates) {
    std::vector<GlyphMetrics> cells(3, metrics(0, 8, 8, 10, 2));
    Font font;
    buildFont(font, cells, {0, 1, 2}, true);
    font.info.fontAscent = 10;
    font.info.fontDescent = 2;
    computeFontBounds(font);
    EXPECT_FALSE(couldBeTerminalCell(font.info));
    computeInfoFlags(font.info);
    for (std::uint32_t f :
         {FlagUniformMetrics, FlagTerminalCell, FlagFixedAdvance, FlagNonOverlapping, FlagInkWithinCell})
        EXPECT_TRUE(font.info.flags & f) << f;

    cells[1] = metrics(0, 8, 8, 5, 2);
    Font shorter;
    buildFont(shorter, cells, {0, 1, 2}, true);
    shorter.info.fontAscent = 10;
    shorter.info.fontDescent = 2;
    computeFontBounds(shorter);
    computeInfoFlags(shorter.info);
    EXPECT_FALSE(shorter.info.flags & FlagTerminalCell);
    ASSERT_TRUE(couldBeTerminalCell(shorter.info));
    ASSERT_TRUE(padToTerminalCell(shorter));
    computeFontBounds(shorter);
    computeInfoFlags(shorter.info);
    EXPECT_TRUE(shorter.info.flags & FlagTerminalCell);

    cells[1] = metrics(-1, 7, 8, 10, 2);
    Font leftOfOrigin;
    buildFont(leftOfOrigin, cells, {0, 1, 2}, true);
    leftOfOrigin.info.fontAscent = 10;
    leftOfOrigin.info.fontDescent = 2;
    computeFontBounds(leftOfOrigin);
    computeInfoFlags(leftOfOrigin.info);
    EXPECT_FALSE(couldBeTerminalCell(leftOfOrigin.info));
    EXPECT_FALSE(leftOfOrigin.info.flags & FlagInkWithinCell);

    // Glyphs without any height are never padded.
    Font flat;
    buildFont(flat, {metrics(0, 4, 8, 0, 0), metrics(0, 8, 8, 0, 0)}, {0, 1}, true);
    computeFontBounds(flat);
    EXPECT_FALSE(couldBeTerminalCell(flat.info));
    EXPECT_EQ(estimateWeight(flat), 10);
}
}  // namespace
