// The TrueType writer on real fonts: OTS accepts the file, its checksums add up, and FreeType draws
// every glyph from the outlines exactly as the source (unhinted, hinted, monochrome, as 2 x 2 blocks
// at twice the size) and from the strike the same. Allocation failures give OutOfMemory and no
// bytes; glyphs at the outline limits load whole in FreeType, one past them is left to its bitmap.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <set>

#include "pcf/pcf_reader.h"
#include "tests/font/font_builder.h"
#include "tests/support/test_support.h"
#include "ttf/glyph_tables.h"
#include "ttf/sfnt.h"
#include "ttf/ttf_writer.h"

namespace {

using PixelSet = std::set<std::pair<int, int>>;  // x, and y of the pixel's top edge above the baseline

struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    explicit FreeTypeFace(const ByteVector& file) {
        if (FT_Init_FreeType(&library) || FT_New_Memory_Face(library, file.data(), static_cast<FT_Long>(file.size()), 0, &face))
            face = nullptr;
    }
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
    // The fully set pixels of glyph `index` (each partly set one counted in `grey`), with its advance.
    PixelSet draw(unsigned index, FT_UInt size, long flags, int& grey, long& advance) const {
        PixelSet pixels;
        const bool mono = (flags & FT_LOAD_TARGET_MONO) || !(flags & FT_LOAD_NO_BITMAP);
        if (FT_Set_Pixel_Sizes(face, 0, size) || FT_Load_Glyph(face, index, static_cast<FT_Int32>(flags)) ||
            FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL)) {
            ADD_FAILURE() << "FreeType cannot draw glyph " << index;
            return pixels;
        }
        const FT_GlyphSlot slot = face->glyph;
        advance = slot->advance.x;
        for (unsigned j = 0; j < slot->bitmap.rows; ++j)
            for (unsigned i = 0; i < slot->bitmap.width; ++i) {
                const unsigned char* row = slot->bitmap.buffer + static_cast<long>(j) * slot->bitmap.pitch;
                const int level = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[i / 8] << (i % 8) & 0x80 ? 255 : 0) : row[i];
                grey += level != 0 && level != 255;
                if (level == 255) pixels.insert({slot->bitmap_left + static_cast<int>(i), slot->bitmap_top - static_cast<int>(j)});
            }
        return pixels;
    }
};

// The fonts of the inputs read as the programs read them, written; the result and the file.
struct Written {
    std::vector<Font> fonts;
    std::vector<const Font*> pointers;
    TtfResult result = TtfResult::WriteFailed;
    ByteVector file;
    long allocations = 0;  // the writer's, through the model's allocation seam

    Written(const std::vector<std::string>& inputs, long failAt = 0) : fonts(inputs.size()) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            FontStream* stream = openFontFile(inputs[i].c_str());
            EXPECT_TRUE(stream && readPcfFont(&fonts[i], stream, 1, 1, 2, 1) == StatusOk) << inputs[i];
            if (stream) (void)closeFontFile(stream);
            pointers.push_back(&fonts[i]);
        }
        TempDir dir;
        FontStream* output = createFontFile(dir.path("out.ttf").c_str());
        TtfReport report;
        failAllocationAt(failAt);
        const long before = allocationCount();
        result = writeTrueType(output, pointers, "Test Face", report);
        allocations = allocationCount() - before;
        failAllocationAt(0);
        EXPECT_EQ(closeFontFile(output), 0);
        const std::string bytes = readFile(dir.path("out.ttf"));
        file.assign(bytes.begin(), bytes.end());
        if (result == TtfResult::Written) {
            EXPECT_EQ(report.glyphsWithoutOutline, 0u);
            const RunResult ots = runCommand({"ots-sanitize", dir.path("out.ttf"), dir.path("sanitized.ttf")});
            EXPECT_EQ(ots.exitStatus, 0) << "ots-sanitize (Debian: opentype-sanitizer): " << ots.out << ots.err;
            EXPECT_EQ(sfntChecksum(file.data(), file.size()), 0xB1B0AFBAu);
        }
    }
    ~Written() {
        for (Font& font : fonts)
            if (font.releaseFont) font.releaseFont(&font);
    }
};

const std::string X11 = "/usr/share/fonts/X11/";

TEST(WriteTrueType, FreeTypeDrawsEverySourcePixelOfRealFonts) {
    const std::vector<std::string> cases[] = {{X11 + "misc/6x13.pcf.gz"}, {X11 + "75dpi/helvR12-ISO8859-1.pcf.gz"},
                                              {X11 + "100dpi/courB14-ISO8859-1.pcf.gz"},
                                              {X11 + "75dpi/courR12-ISO8859-1.pcf.gz", X11 + "75dpi/courR10-ISO8859-1.pcf.gz"}};
    for (const auto& inputs : cases) {
        const Written written(inputs);
        ASSERT_EQ(written.result, TtfResult::Written) << inputs[0];
        TtfPlan plan;  // the plan again, for the source glyph of each glyph index
        TtfReport report;
        ASSERT_EQ(planTrueType(written.pointers, "Test Face", plan, report), TtfResult::Written);
        const FreeTypeFace ft(written.file);
        ASSERT_NE(ft.face, nullptr);
        EXPECT_EQ(ft.face->num_fixed_sizes, static_cast<FT_Int>(inputs.size()));
        const TtfStrike& strike = plan.strikes.front();
        const auto ppem = static_cast<FT_UInt>(strike.ppem);
        int wrong = 0, grey = 0;
        for (std::uint32_t index = 1; index < plan.glyphCount; ++index) {
            if (!strike.glyphs[index]) continue;
            const Glyph& glyph = *strike.glyphs[index];
            PixelSet source, doubled;
            const GlyphBits bits(*strike.font, &glyph);
            for (std::int32_t y = 0; y < bits.height(); ++y)
                for (std::int32_t x = 0; x < bits.width(); ++x)
                    if (bits.pixel(x, y)) source.insert({glyph.metrics.leftBearing + x, glyph.metrics.ascent - y});
            for (const auto& [x, y] : source)
                doubled.insert({{2 * x, 2 * y}, {2 * x + 1, 2 * y}, {2 * x, 2 * y - 1}, {2 * x + 1, 2 * y - 1}});
            for (const long flags : {FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, FT_LOAD_NO_BITMAP | FT_LOAD_DEFAULT,
                                     FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO, long{FT_LOAD_DEFAULT}}) {
                long advance = 0;
                wrong += ft.draw(index, ppem, flags, grey, advance) != source || advance != glyph.metrics.advance * 64;
            }
            long advance = 0;
            wrong += ft.draw(index, 2 * ppem, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, grey, advance) != doubled ||
                     advance != glyph.metrics.advance * 128;
        }
        EXPECT_EQ(wrong, 0) << inputs[0];
        EXPECT_EQ(grey, 0) << inputs[0];
    }
}

TEST(WriteTrueType, AllocationFailuresGiveOutOfMemoryAndNoBytes) {
    const std::vector<std::string> input = {X11 + "misc/6x13-ISO8859-1.pcf.gz"};
    const Written whole(input);
    ASSERT_EQ(whole.result, TtfResult::Written);
    for (long n = 1; n <= whole.allocations; ++n) {
        const Written failed(input, n);
        if (failed.result == TtfResult::Written) {
            EXPECT_EQ(failed.file, whole.file) << "allocation " << n;
        } else {
            EXPECT_EQ(failed.result, TtfResult::OutOfMemory) << "allocation " << n;
            EXPECT_TRUE(failed.file.empty()) << "allocation " << n;
        }
    }
}

// Glyphs at the most points (one comb) and contours (lone pixels) FreeType loads, traced and written
// from a plan made by hand; one more contour leaves the glyph to its bitmap. Together they make glyf
// need long offsets.
TEST(GlyphTables, GlyphsAtTheOutlineLimitsLoadWhole) {
    const int combWidth = 2 * 8189 - 1, pixelsWidth = 2 * 4095 - 1;
    Font font;
    buildFont(font, {metrics(0, combWidth, 8, 2, 0), metrics(0, combWidth, 8, 2, 0), metrics(0, pixelsWidth - 2, 8, 1, 0),
                     metrics(0, pixelsWidth, 8, 1, 0)}, {}, false);
    TtfPlan plan;
    plan.glyphCount = 5;
    plan.strikes.push_back({&font, 16, {nullptr}});
    for (Glyph& glyph : font.bitmapFont->glyphs) {
        plan.strikes[0].glyphs.push_back(&glyph);
        for (int x = 0; x < glyph.metrics.rightBearing; ++x) {
            if (glyph.metrics.ascent == 2) setPixelMsb(font, glyph, x, 0);
            if (x % 2 == 0) setPixelMsb(font, glyph, x, glyph.metrics.ascent - 1);
        }
    }
    plan.unitsPerEm = 16;
    GlyphSummary summary;
    ByteVector glyf, loca, hmtx, head, hhea, maxp, file;
    putGlyphTables(glyf, loca, hmtx, plan, summary);
    ByteWriter h(head, ByteOrder::BigEndian), hh(hhea, ByteOrder::BigEndian), m(maxp, ByteOrder::BigEndian);
    putHeadTable(h, plan, summary);
    putHheaTable(hh, plan, summary);
    putMaxpTable(m, plan, summary);
    const SfntTable tables[] = {{sfntTag("head"), &head}, {sfntTag("hhea"), &hhea}, {sfntTag("maxp"), &maxp},
                                {sfntTag("hmtx"), &hmtx}, {sfntTag("loca"), &loca}, {sfntTag("glyf"), &glyf}};
    assembleSfnt(tables, file);
    EXPECT_EQ(summary.glyphsWithoutOutline, 1u);
    EXPECT_TRUE(summary.longOffsets);
    const FreeTypeFace ft(file);
    ASSERT_NE(ft.face, nullptr);
    const std::pair<int, int> expected[] = {{MaxGlyphPoints, 1}, {MaxGlyphPoints, 1}, {4 * MaxGlyphContours, MaxGlyphContours}, {0, 0}};
    for (FT_UInt index = 1; index <= 4; ++index)
        for (const FT_Int32 flags : {FT_Int32{FT_LOAD_NO_HINTING}, FT_Int32{FT_LOAD_DEFAULT}}) {
            ASSERT_EQ(FT_Load_Glyph(ft.face, index, flags), 0) << index;
            EXPECT_EQ(std::make_pair(int{ft.face->glyph->outline.n_points}, int{ft.face->glyph->outline.n_contours}),
                      expected[index - 1]);
        }
}

}  // namespace
