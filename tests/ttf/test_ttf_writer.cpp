// The TrueType writer on real fonts against OTS and FreeType, under allocation failures, and at the
// outline limits.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <set>

#include "pcf/pcf_reader.h"
#include "tests/font/font_builder.h"
#include "tests/support/test_support.h"
#include "ttf/outline.h"
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
    PixelSet draw(unsigned index, unsigned size, long flags, int& grey, long& advance) const {
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

// Fonts read as the programs read them.
struct ReadFonts {
    std::vector<Font> fonts;
    std::vector<const Font*> pointers;
    explicit ReadFonts(const std::vector<std::string>& inputs) : fonts(inputs.size()) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            FontStream* stream = openFontFile(inputs[i].c_str());
            EXPECT_TRUE(stream && readPcfFont(&fonts[i], stream, 1, 1, 2, 1, nullptr) == StatusOk) << inputs[i];
            if (stream) (void)closeFontFile(stream);
            pointers.push_back(&fonts[i]);
        }
    }
    ~ReadFonts() {
        for (Font& font : fonts)
            if (font.releaseFont) font.releaseFont(&font);
    }
};

struct Output {
    TtfResult result = TtfResult::WriteFailed;
    TtfReport report;
    ByteVector file;
};

// Writes the fonts with the failAt-th allocation of the writer failing (none for 0); OTS judges a
// written file, whose bytes must add up to head's magic sum.
Output write(std::span<const Font* const> fonts, long failAt = 0) {
    TempDir dir;
    FontStream* stream = createFontFile(dir.path("out.ttf").c_str());
    Output output;
    failAllocationAt(failAt);
    output.result = writeTrueType(stream, fonts, "Test Face", output.report);
    failAllocationAt(0);
    EXPECT_EQ(closeFontFile(stream), 0);
    const std::string bytes = readFile(dir.path("out.ttf"));
    output.file.assign(bytes.begin(), bytes.end());
    if (output.result == TtfResult::Written) {
        const RunResult ots = runCommand({"ots-sanitize", dir.path("out.ttf"), dir.path("sanitized.ttf")});
        EXPECT_EQ(ots.exitStatus, 0) << "ots-sanitize (Debian: opentype-sanitizer): " << ots.out << ots.err;
        EXPECT_EQ(sfntChecksum(output.file.data(), output.file.size()), 0xB1B0AFBAu);
    }
    return output;
}

const std::string X11 = "/usr/share/fonts/X11/";

TEST(WriteTrueType, FreeTypeDrawsEverySourcePixelOfRealFonts) {
    const std::vector<std::string> cases[] = {{X11 + "misc/6x13.pcf.gz"}, {X11 + "75dpi/helvR12-ISO8859-1.pcf.gz"},
                                              {X11 + "100dpi/courB14-ISO8859-1.pcf.gz"},
                                              {X11 + "75dpi/courR12-ISO8859-1.pcf.gz", X11 + "75dpi/courR10-ISO8859-1.pcf.gz"}};
    for (const auto& inputs : cases) {
        const ReadFonts read(inputs);
        const Output written = write(read.pointers);
        ASSERT_EQ(written.result, TtfResult::Written) << inputs[0];
        TtfPlan plan;  // the plan again, for the source glyph of each glyph index
        TtfReport report;
        ASSERT_EQ(planTrueType(read.pointers, "Test Face", plan, report), TtfResult::Written);
        const FreeTypeFace ft(written.file);
        ASSERT_NE(ft.face, nullptr);
        EXPECT_EQ(ft.face->num_fixed_sizes, static_cast<FT_Int>(inputs.size()));
        const TtfStrike& strike = plan.strikes.front();
        const auto ppem = static_cast<FT_UInt>(strike.ppem);
        int wrong = 0, grey = 0;
        for (std::uint32_t index = 1; index < plan.glyphCount; ++index) {
            if (!strike.glyphs[index]) continue;
            const Glyph& glyph = *strike.glyphs[index];
            PixelSet source;
            const GlyphBits bits(*strike.font, &glyph);
            for (std::int32_t y = 0; y < bits.height(); ++y)
                for (std::int32_t x = 0; x < bits.width(); ++x)
                    if (bits.pixel(x, y)) source.insert({glyph.metrics.leftBearing + x, glyph.metrics.ascent - y});
            const std::pair<int, long> drawings[] = {  // scale, flags: the strike, then outlines
                {1, FT_LOAD_DEFAULT}, {1, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING}, {1, FT_LOAD_NO_BITMAP | FT_LOAD_DEFAULT},
                {1, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO}, {2, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING}};
            for (const auto& [scale, flags] : drawings) {
                PixelSet expected;  // each pixel a scale x scale block
                for (const auto& [x, y] : source)
                    for (int d = 0; d < scale * scale; ++d) expected.insert({scale * x + d % scale, scale * y - d / scale});
                long advance = 0;
                wrong += ft.draw(index, scale * ppem, flags, grey, advance) != expected || advance != glyph.metrics.advance * 64 * scale;
            }
        }
        EXPECT_EQ(wrong, 0) << inputs[0];
        EXPECT_EQ(grey, 0) << inputs[0];
    }
}

TEST(WriteTrueType, AllocationFailuresGiveOutOfMemoryAndNoBytes) {
    const ReadFonts read({X11 + "misc/6x13-ISO8859-1.pcf.gz"});
    const Output whole = write(read.pointers);
    ASSERT_EQ(whole.result, TtfResult::Written);
    for (long n = 1;; ++n) {  // until past the writer's last allocation
        const Output failed = write(read.pointers, n);
        if (failed.result == TtfResult::Written) {
            EXPECT_EQ(failed.file, whole.file);
            break;
        }
        EXPECT_EQ(failed.result, TtfResult::OutOfMemory) << "allocation " << n;
        EXPECT_TRUE(failed.file.empty()) << "allocation " << n;
    }
}

// Glyphs at the most points (a comb) and contours (lone pixels) FreeType loads are written and load
// whole; one more point pair or contour leaves a glyph to its bitmap.
TEST(WriteTrueType, GlyphsAtTheOutlineLimitsLoadWhole) {
    Font font;
    buildFont(font, {metrics(0, 2 * 8189 - 1, 8, 2, 0), metrics(0, 2 * 8190 - 1, 8, 2, 0), metrics(0, 2 * 4094 - 1, 8, 1, 0),
                     metrics(0, 2 * 4095 - 1, 8, 1, 0)}, {0, 1, 2, 3}, false);
    font.info.firstColumn = 'A';
    font.info.lastColumn = 'D';
    font.info.fontAscent = 16;
    for (Glyph& glyph : font.bitmapFont->glyphs)
        for (int x = 0; x < glyph.metrics.rightBearing; ++x) {
            if (glyph.metrics.ascent == 2) setPixelMsb(font, glyph, x, 0);
            if (x % 2 == 0) setPixelMsb(font, glyph, x, glyph.metrics.ascent - 1);
        }
    const Font* fonts[] = {&font};
    const Output written = write(fonts);  // the strike holds none of them: no bitmap tables
    ASSERT_EQ(written.result, TtfResult::Written);
    EXPECT_EQ(written.report.glyphsWithoutOutline, 2u);
    const FreeTypeFace ft(written.file);
    ASSERT_TRUE(ft.face && FT_Set_Pixel_Sizes(ft.face, 0, 16) == 0);
    const std::pair<int, int> expected[] = {{MaxGlyphPoints, 1}, {0, 0}, {4 * MaxGlyphContours, MaxGlyphContours}, {0, 0}};
    for (FT_UInt index = 1; index <= 4; ++index)
        for (const FT_Int32 flags : {FT_Int32{FT_LOAD_NO_HINTING}, FT_Int32{FT_LOAD_DEFAULT}}) {
            ASSERT_EQ(FT_Load_Glyph(ft.face, index, flags | FT_LOAD_NO_BITMAP), 0) << index;
            EXPECT_EQ(std::make_pair(int{ft.face->glyph->outline.n_points}, int{ft.face->glyph->outline.n_contours}),
                      expected[index - 1]);
        }
}

}  // namespace
