// Ink metrics and terminal-cell padding, in the plain and in swapped bitmap layouts.
#include <gtest/gtest.h>

#include "font/ink.h"
#include "tests/font/font_builder.h"

namespace {
struct Layout {
    int bitOrder, byteOrder, scanUnit;
};
constexpr Layout layouts[] = {{1, 1, 1}, {0, 0, 1}, {0, 1, 2}, {1, 0, 2}, {1, 0, 4}, {0, 1, 4}};

GlyphMetrics inkOf(const Font& font, std::size_t index) {
    GlyphMetrics ink{};
    computeGlyphInk(font, font.bitmapFont->glyphs[index], ink);
    return ink;
}

void expectMetrics(const GlyphMetrics& m, int left, int right, int advance, int ascent, int descent) {
    EXPECT_EQ(m.leftBearing, left);
    EXPECT_EQ(m.rightBearing, right);
    EXPECT_EQ(m.advance, advance);
    EXPECT_EQ(m.ascent, ascent);
    EXPECT_EQ(m.descent, descent);
}

TEST(Ink, BoxOfTheSetPixelsInEveryLayout) {
    for (Layout l : layouts) {
        for (int pad : {1, 2, 4}) {
            Font font;
            // 8 x 4 with one pixel; 12 x 4 with stray bits past the width in its last row.
            buildFont(font, {metrics(1, 9, 9, 3, 1, 0x55), metrics(0, 12, 12, 2, 2), metrics(2, 6, 6, 3, 0, 7)}, {}, true,
                      pad, l.bitOrder, l.byteOrder, l.scanUnit);
            Glyph& dot = font.bitmapFont->glyphs[0];
            setPixelMsb(font, dot, 3, 1);
            Glyph& wide = font.bitmapFont->glyphs[1];
            setPixelMsb(font, wide, 2, 0);
            int rowBytes = paddedRowBytes(12, pad);
            wide.bitmap[3 * rowBytes + 1] |= 0x0F;  // pixels 12..15: beyond the width
            applyLayout(font);
            SCOPED_TRACE(testing::Message() << "bit " << l.bitOrder << " byte " << l.byteOrder << " unit "
                                            << l.scanUnit << " pad " << pad);
            GlyphMetrics ink = inkOf(font, 0);
            expectMetrics(ink, 4, 5, 9, 2, -1);
            EXPECT_EQ(ink.attributes, 0x55);
            // Stray bits count for the rows but not for the columns.
            expectMetrics(inkOf(font, 1), 2, 3, 12, 2, 2);
            // Blank: an empty box at the left bearing, advance and attributes kept.
            GlyphMetrics blank = inkOf(font, 2);
            expectMetrics(blank, 2, 2, 6, 0, 0);
            EXPECT_EQ(blank.attributes, 7);
        }
    }
}

TEST(Ink, AddInkMetricsAllOrNothing) {
    Font font;
    buildFont(font, {metrics(0, 8, 8, 2, 0), metrics(0, 8, 8, 2, 0)}, {0, 1}, true);
    setPixelMsb(font, font.bitmapFont->glyphs[1], 7, 1);
    failAllocationAt(1);
    EXPECT_FALSE(addInkMetrics(font));
    failAllocationAt(0);
    EXPECT_FALSE(font.bitmapFont->inkMetrics.has_value());
    EXPECT_FALSE(font.info.flags & FlagHasInkMetrics);
    ASSERT_TRUE(addInkMetrics(font));
    EXPECT_TRUE(font.info.flags & FlagHasInkMetrics);
    ASSERT_EQ(font.bitmapFont->inkMetrics->size(), 2u);
    expectMetrics((*font.bitmapFont->inkMetrics)[1], 7, 8, 8, 1, 0);
}

TEST(Ink, PaddingPlacesPixelsOnOriginAndBaselineInEveryLayout) {
    for (Layout l : layouts) {
        SCOPED_TRACE(testing::Message() << "bit " << l.bitOrder << " byte " << l.byteOrder << " unit " << l.scanUnit);
        Font font;
        buildFont(font, {metrics(1, 6, 8, 4, 1, 0x21), metrics(0, 8, 8, 7, 2, 0x3)}, {0, 1}, true, 2, l.bitOrder,
                  l.byteOrder, l.scanUnit);
        font.info.fontAscent = 7;
        font.info.fontDescent = 2;
        font.info.minBounds = metrics(0, 6, 8, 4, 1);
        Glyph& g = font.bitmapFont->glyphs[0];
        // A diagonal plus the last column, so every row and the edges are checked.
        for (int q = 0; q < 5; ++q) setPixelMsb(font, g, q, q);
        setPixelMsb(font, g, 4, 0);
        applyLayout(font);
        ASSERT_TRUE(padToTerminalCell(font));

        for (std::size_t i = 0; i < 2; ++i) {
            const GlyphMetrics& m = font.bitmapFont->glyphs[i].metrics;
            expectMetrics(m, 0, 8, 8, 7, 2);
            EXPECT_EQ(font.bitmapFont->glyphs[i].bitmap, font.bitmapFont->ownedBitmaps[i].data());
        }
        EXPECT_EQ(font.bitmapFont->glyphs[0].metrics.attributes, 0x21);
        EXPECT_EQ(font.bitmapFont->glyphs[1].metrics.attributes, 0x3);
        // Undo the layout and compare: old (q, r) lands at (q + 1, r + 3).
        Font plain;
        buildFont(plain, {metrics(0, 8, 8, 7, 2)}, {}, true, 2, l.bitOrder, l.byteOrder, l.scanUnit);
        for (int q = 0; q < 5; ++q) setPixelMsb(plain, plain.bitmapFont->glyphs[0], q + 1, q + 3);
        setPixelMsb(plain, plain.bitmapFont->glyphs[0], 5, 3);
        applyLayout(plain);
        EXPECT_EQ(font.bitmapFont->ownedBitmaps[0], plain.bitmapFont->ownedBitmaps[0]);
    }
}

TEST(Ink, ReshapeDropsPixelsOutsideTheNewBox) {
    Font font;
    buildFont(font, {metrics(-2, 6, 8, 3, 1), metrics(0, 4, 4, 2, 0)}, {}, true);
    Glyph& old = font.bitmapFont->glyphs[0];
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) setPixelMsb(font, old, x, y);
    Glyph& target = font.bitmapFont->glyphs[1];
    target.bitmap[0] = 0xFF;  // cleared first
    reshapeGlyph(font, old, target);
    // Columns 0..3 of the target hold old columns 2..5; rows are old rows 1 and 2.
    EXPECT_EQ(target.bitmap[0], 0xF0);
    EXPECT_EQ(target.bitmap[1], 0xF0);
}

TEST(Ink, HugeCellsAreRefusedBeforeAnyGlyphChanges) {
    // Cells past 16 MiB are refused and no glyph changes; a font a face can hold unpadded is not
    // refused for it. Cells of 2 x 60000 pixels: 100 positions and the sentinel's fit (12.1 MB), 200
    // never do (24.1 MB). Glyphs no code reaches are padded too: one encoded 8 MiB cell fits beside
    // the sentinel's, but with 31 unencoded glyphs the cells would take 256 MiB.
    const struct {
        int glyphs, encoded;
        GlyphMetrics glyph;
        int ascent, descent;
        bool padded, exceedsFaceLimit;
    } cases[] = {{3, 3, metrics(0, 1, 32767, 1, 0), 32767, 0, false, true},
                 {100, 100, metrics(0, 9, 16, 1, 0), 30000, 30000, true, false},
                 {200, 200, metrics(0, 9, 16, 1, 0), 30000, 30000, false, true},
                 {32, 1, metrics(0, 1, 1024, 1, 0), 32767, 32767, false, false}};
    for (const auto& c : cases) {
        Font font;
        std::vector<int> codes(static_cast<std::size_t>(c.encoded));
        for (int i = 0; i < c.encoded; ++i) codes[static_cast<std::size_t>(i)] = i;
        buildFont(font, std::vector<GlyphMetrics>(static_cast<std::size_t>(c.glyphs), c.glyph), codes, true);
        font.info.fontAscent = c.ascent;
        font.info.fontDescent = c.descent;
        font.info.minBounds = c.glyph;
        EXPECT_EQ(padToTerminalCell(font), c.padded) << c.glyphs;
        EXPECT_EQ(font.exceedsFaceLimit, c.exceedsFaceLimit) << c.glyphs;
        if (c.padded) continue;
        for (const Glyph& g : font.bitmapFont->glyphs) EXPECT_EQ(g.metrics.rightBearing, c.glyph.rightBearing) << c.glyphs;
    }

    // An allocation failure midway leaves earlier glyphs converted and later ones as they were.
    Font small;
    buildFont(small, std::vector<GlyphMetrics>(3, metrics(0, 4, 8, 2, 0)), {0, 1, 2}, true);
    small.info.fontAscent = 3;
    small.info.minBounds = metrics(0, 4, 8, 2, 0);
    failAllocationAt(2);
    EXPECT_FALSE(padToTerminalCell(small));
    failAllocationAt(0);
    EXPECT_EQ(small.bitmapFont->glyphs[0].metrics.ascent, 3);
    EXPECT_EQ(small.bitmapFont->glyphs[1].metrics.ascent, 2);
}
}  // namespace
