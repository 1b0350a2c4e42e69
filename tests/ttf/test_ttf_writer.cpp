// The TrueType writer where the corpus sweep (test_truetype_oracle) cannot reach: under allocation
// failures, and at the outline limits.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "pcf/pcf_reader.h"
#include "tests/font/font_builder.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"
#include "ttf/outline.h"
#include "ttf/sfnt.h"
#include "ttf/ttf_writer.h"

namespace {

// A font read as corvane reads it.
struct ReadFont {
    Font font;
    explicit ReadFont(const std::string& input) {
        FontStream* stream = openFontFile(input.c_str());
        EXPECT_TRUE(stream && readPcfFont(&font, stream, 1, 1, 2, 1, nullptr) == StatusOk) << input;
        if (stream) (void)closeFontFile(stream);
    }
    ~ReadFont() { font.releaseFont ? font.releaseFont(&font) : void(); }
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

TEST(WriteTrueType, AllocationFailuresGiveOutOfMemoryAndNoBytes) {
    const ReadFont read("/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz");
    const Font* fonts[] = {&read.font};
    const Output whole = write(fonts);
    ASSERT_EQ(whole.result, TtfResult::Written);
    for (long n = 1;; ++n) {  // until past the writer's last allocation
        const Output failed = write(fonts, n);
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
    TempDir dir;
    writeFile(dir.path("limits.ttf"), std::string(written.file.begin(), written.file.end()));
    FreeTypeFace ft(dir.path("limits.ttf"));
    ASSERT_TRUE(ft.error().empty() && ft.setPixelSize(16)) << ft.error();
    FT_Face face = ft.face();
    const std::pair<int, int> expected[] = {{MaxGlyphPoints, 1}, {0, 0}, {4 * MaxGlyphContours, MaxGlyphContours}, {0, 0}};
    for (FT_UInt index = 1; index <= 4; ++index)
        for (const FT_Int32 flags : {FT_Int32{FT_LOAD_NO_HINTING}, FT_Int32{FT_LOAD_DEFAULT}}) {
            ASSERT_EQ(FT_Load_Glyph(face, index, flags | FT_LOAD_NO_BITMAP), 0) << index;
            EXPECT_EQ(std::make_pair(int{face->glyph->outline.n_points}, int{face->glyph->outline.n_contours}),
                      expected[index - 1]);
        }
}

}  // namespace
