// The glyph and header tables and the container on hand-made plans: FreeType reads the file and
// draws every glyph from its outline exactly as the source pixels, unhinted, hinted (the TrueType
// interpreter, kept by the pre-program), in grey and in monochrome, and at twice the size.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/font/font_builder.h"
#include "tests/ttf/freetype_draw.h"
#include "ttf/glyph_tables.h"
#include "ttf/sfnt.h"

namespace {

// Sets the pixels drawn as '#' rows, top row first, in a glyph made by buildFont (MSB-first).
void draw(const Font& font, Glyph& glyph, const std::vector<std::string>& rows) {
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == '#') setPixelMsb(font, glyph, static_cast<int>(x), static_cast<int>(y));
}

// The source pixels of a glyph scaled by `scale`.
PixelSet sourcePixels(const GlyphMetrics& m, const std::vector<std::string>& rows, int scale) {
    PixelSet pixels;
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            if (rows[r][c] == '#')
                for (int dx = 0; dx < scale; ++dx)
                    for (int dy = 0; dy < scale; ++dy)
                        pixels.insert({scale * (m.leftBearing + static_cast<int>(c)) + dx,
                                       scale * (m.ascent - static_cast<int>(r)) - dy});
    return pixels;
}

struct TestGlyph {
    GlyphMetrics metrics;
    std::vector<std::string> rows;
};

// A plan over the font's glyphs, glyph 0 an empty .notdef, one pixel = `unit` font units.
TtfPlan planOf(const Font& font, int ppem, int unit) {
    TtfPlan plan;
    plan.glyphCount = static_cast<std::uint32_t>(font.bitmapFont->glyphs.size()) + 1;
    TtfStrike strike{&font, ppem, {nullptr}};
    for (const Glyph& glyph : font.bitmapFont->glyphs) strike.glyphs.push_back(&glyph);
    plan.strikes.push_back(strike);
    plan.unitsPerPixel = unit;
    plan.unitsPerEm = ppem * unit;
    plan.ascender = font.info.fontAscent * unit;
    plan.descender = -font.info.fontDescent * unit;
    plan.fixedPitch = true;
    return plan;
}

// The outline tables alone in a container, as FreeType needs them.
ByteVector outlineFont(const TtfPlan& plan, GlyphSummary& summary) {
    ByteVector glyf, loca, hmtx, head, hhea, maxp, post, gasp, prep, file;
    putGlyphTables(glyf, loca, hmtx, plan, summary);
    ByteWriter h(head, ByteOrder::BigEndian), hh(hhea, ByteOrder::BigEndian), mp(maxp, ByteOrder::BigEndian);
    ByteWriter p(post, ByteOrder::BigEndian), g(gasp, ByteOrder::BigEndian), pr(prep, ByteOrder::BigEndian);
    putHeadTable(h, plan, summary);
    putHheaTable(hh, plan, summary);
    putMaxpTable(mp, plan, summary);
    putPostTable(p, plan);
    putGaspTable(g);
    putPrepTable(pr);
    EXPECT_EQ(head.size(), 54u);
    EXPECT_EQ(hhea.size(), 36u);
    EXPECT_EQ(maxp.size(), 32u);
    EXPECT_EQ(post.size(), 32u);
    const SfntTable tables[] = {{sfntTag("post"), &post}, {sfntTag("head"), &head}, {sfntTag("hhea"), &hhea},
                                {sfntTag("maxp"), &maxp}, {sfntTag("hmtx"), &hmtx}, {sfntTag("loca"), &loca},
                                {sfntTag("glyf"), &glyf}, {sfntTag("gasp"), &gasp}, {sfntTag("prep"), &prep}};
    assembleSfnt(tables, file);
    return file;
}

std::uint32_t bigEndian32(const ByteVector& file, std::size_t at) {
    return static_cast<std::uint32_t>(file[at]) << 24 | static_cast<std::uint32_t>(file[at + 1]) << 16 |
           static_cast<std::uint32_t>(file[at + 2]) << 8 | file[at + 3];
}

// The container's own rules: binary-search fields, tags ascending, tables on 4-byte boundaries
// with their checksums, the whole file summing to the magic number.
void checkContainer(const ByteVector& file) {
    const std::uint32_t count = bigEndian32(file, 4) >> 16;
    ASSERT_EQ(count, 9u);
    EXPECT_EQ(bigEndian32(file, 6) >> 16, 128u);  // 8 tables x 16
    EXPECT_EQ(bigEndian32(file, 8) >> 16, 3u);
    EXPECT_EQ(bigEndian32(file, 10) >> 16, 16u);
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        const std::uint32_t tag = bigEndian32(file, record), offset = bigEndian32(file, record + 8);
        EXPECT_GT(tag, previous);
        previous = tag;
        EXPECT_EQ(offset % 4, 0u);
        if (tag != sfntTag("head")) {
            EXPECT_EQ(bigEndian32(file, record + 4), sfntChecksum(file.data() + offset, bigEndian32(file, record + 12)));
        }
    }
    EXPECT_EQ(file.size() % 4, 0u);
    EXPECT_EQ(sfntChecksum(file.data(), file.size()), 0xB1B0AFBAu);
}

// Bitmap layouts: glyph pad, bit order, byte order, scan unit.
using Layout = std::tuple<int, int, int, int>;
class GlyphTablesDraw : public ::testing::TestWithParam<Layout> {};

TEST_P(GlyphTablesDraw, FreeTypeDrawsEverySourcePixel) {
    const std::vector<TestGlyph> glyphs = {
        {metrics(0, 5, 6, 6, 0), {"#####", "#...#", "#.#.#", "#...#", "#####", "....."}},  // ring around a pixel
        {metrics(1, 3, 6, 4, 0), {"#.", ".#", "#.", ".#"}},                          // corners touching
        {metrics(-1, 3, 6, 2, 2), {"#.#.", ".#.#", "#.#.", ".#.#"}},                  // checkerboard, descending
        {metrics(0, 0, 4, 0, 0), {}},                                                // space: no bitmap
        {metrics(0, 12, 6, 5, 0), {"############", "#..........#", "#.########.#", "#..........#", "############"}},
        {metrics(0, 6, 6, 6, 0), {"......", "......"}},                              // bitmap without ink
    };
    const auto [pad, bitOrder, byteOrder, unitBytes] = GetParam();
    Font font;
    std::vector<GlyphMetrics> all;
    for (const TestGlyph& g : glyphs) all.push_back(g.metrics);
    buildFont(font, all, {}, false, pad, bitOrder, byteOrder, unitBytes);
    font.info.fontAscent = 6;
    font.info.fontDescent = 2;
    for (std::size_t i = 0; i < glyphs.size(); ++i) draw(font, font.bitmapFont->glyphs[i], glyphs[i].rows);
    applyLayout(font);

    const int ppem = 8, unit = 64;
    const TtfPlan plan = planOf(font, ppem, unit);
    GlyphSummary summary;
    const ByteVector file = outlineFont(plan, summary);
    checkContainer(file);
    EXPECT_EQ(summary.glyphsWithoutOutline, 0u);
    EXPECT_FALSE(summary.longOffsets);
    EXPECT_EQ(summary.numberOfHMetrics, 6u);  // the last two glyphs share one advance
    EXPECT_EQ(summary.maxContours, 8u);       // the checkerboard
    FreeTypeFace face(file);
    ASSERT_NE(face.get(), nullptr);
    FT_Face f = face.get();
    EXPECT_EQ(f->units_per_EM, ppem * unit);
    EXPECT_EQ(f->ascender, 6 * unit);
    EXPECT_EQ(f->descender, -2 * unit);
    EXPECT_EQ(f->max_advance_width, 6 * unit);
    EXPECT_EQ(f->bbox.xMin, -1 * unit);
    EXPECT_EQ(f->bbox.xMax, 12 * unit);
    EXPECT_EQ(f->bbox.yMin, -2 * unit);
    EXPECT_EQ(f->bbox.yMax, 6 * unit);
    EXPECT_TRUE(FT_IS_FIXED_WIDTH(f));

    struct Rendering {
        const char* name;
        int scale;
        FT_Int32 flags;
        FT_Render_Mode mode;
    };
    const Rendering renderings[] = {
        {"unhinted", 1, FT_LOAD_NO_HINTING, FT_RENDER_MODE_NORMAL},
        {"hinted", 1, FT_LOAD_DEFAULT, FT_RENDER_MODE_NORMAL},
        {"light", 1, FT_LOAD_TARGET_LIGHT, FT_RENDER_MODE_LIGHT},
        {"mono", 1, FT_LOAD_TARGET_MONO, FT_RENDER_MODE_MONO},
        {"unhinted x2", 2, FT_LOAD_NO_HINTING, FT_RENDER_MODE_NORMAL},
        {"hinted x2", 2, FT_LOAD_DEFAULT, FT_RENDER_MODE_NORMAL},
    };
    for (const Rendering& r : renderings) {
        ASSERT_EQ(FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(r.scale * ppem)), 0);
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            const Drawn drawn = drawWithFreeType(f, static_cast<unsigned>(i + 1), r.flags | FT_LOAD_NO_BITMAP, r.mode);
            ASSERT_EQ(drawn.error, "");
            EXPECT_EQ(drawn.greyPixels, 0) << r.name << " glyph " << i + 1;
            EXPECT_EQ(drawn.pixels, sourcePixels(glyphs[i].metrics, glyphs[i].rows, r.scale)) << r.name << " glyph " << i + 1;
            EXPECT_EQ(drawn.advance, glyphs[i].metrics.advance * r.scale * 64) << r.name << " glyph " << i + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, GlyphTablesDraw,
                         ::testing::Values(Layout{1, 1, 1, 1}, Layout{2, 1, 1, 1}, Layout{4, 0, 0, 1}, Layout{4, 0, 1, 4},
                                           Layout{8, 1, 0, 2}));

// Glyphs at the most points and contours FreeType loads are written and load whole, one past
// them is left to its bitmap; together they make glyf large enough for long offsets.
TEST(GlyphTables, GlyphsAtTheLimitsAndLongOffsets) {
    auto comb = [](int teeth) {  // one contour of 4 x teeth points
        std::vector<std::string> rows(2, std::string(static_cast<std::size_t>(2 * teeth - 1), '#'));
        for (std::size_t x = 1; x < rows[1].size(); x += 2) rows[1][x] = '.';
        return rows;
    };
    auto lonePixels = [&](int count) { return std::vector<std::string>{comb(count)[1]}; };
    const std::vector<std::vector<std::string>> drawings = {comb(8189), comb(8189), lonePixels(4094), lonePixels(4095)};
    std::vector<GlyphMetrics> all;
    for (const auto& rows : drawings)
        all.push_back(metrics(0, static_cast<int>(rows[0].size()), 8, static_cast<int>(rows.size()), 0));
    Font font;
    buildFont(font, all, {}, false);
    font.info.fontAscent = 2;
    for (std::size_t i = 0; i < drawings.size(); ++i) draw(font, font.bitmapFont->glyphs[i], drawings[i]);
    const TtfPlan plan = planOf(font, 16, 1);
    GlyphSummary summary;
    const ByteVector file = outlineFont(plan, summary);
    EXPECT_EQ(summary.glyphsWithoutOutline, 1u);
    EXPECT_TRUE(summary.longOffsets);
    EXPECT_EQ(summary.maxPoints, MaxGlyphPoints);
    EXPECT_EQ(summary.maxContours, MaxGlyphContours);
    FreeTypeFace face(file);
    ASSERT_NE(face.get(), nullptr);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face.get(), 0, 16), 0);
    const std::pair<int, int> loaded[] = {{MaxGlyphPoints, 1}, {MaxGlyphPoints, 1}, {4 * 4094, MaxGlyphContours}, {0, 0}};
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        for (FT_Int32 flags : {FT_Int32{FT_LOAD_NO_HINTING}, FT_Int32{FT_LOAD_DEFAULT}}) {
            ASSERT_EQ(FT_Load_Glyph(face.get(), static_cast<FT_UInt>(i + 1), flags), 0) << i;
            const FT_Outline& outline = face.get()->glyph->outline;
            EXPECT_EQ(std::make_pair(static_cast<int>(outline.n_points), static_cast<int>(outline.n_contours)), loaded[i]);
            EXPECT_EQ(face.get()->glyph->advance.x, 8 * 64);
        }
    }
}

}  // namespace
