// The whole TrueType writer on real fonts: OTS accepts the file, and FreeType draws every character
// from the outlines exactly as the source glyph (unhinted, hinted, monochrome, and as 2 x 2 blocks
// at twice the size) and from the first strike the same; allocation failures anywhere give
// OutOfMemory and no file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcf/pcf_reader.h"
#include "tests/support/test_support.h"
#include "tests/ttf/freetype_draw.h"
#include "ttf/ttf_writer.h"

namespace {

const std::string X11 = "/usr/share/fonts/X11/";

// Fonts read as the programs read them (most significant bit first, rows padded to 2 bytes).
struct ReadFonts {
    std::vector<Font> fonts;
    std::vector<const Font*> pointers;
    explicit ReadFonts(const std::vector<std::string>& paths) : fonts(paths.size()) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            FontStream* stream = openFontFile(paths[i].c_str());
            EXPECT_NE(stream, nullptr) << paths[i];
            if (!stream) continue;
            EXPECT_EQ(readPcfFont(&fonts[i], stream, 1, 1, 2, 1), StatusOk) << paths[i];
            (void)closeFontFile(stream);
            pointers.push_back(&fonts[i]);
        }
    }
    ~ReadFonts() {
        for (Font& font : fonts)
            if (font.releaseFont) font.releaseFont(&font);
    }
};

// Writes the fonts to `path`; the result, with `report` filled. With `failAt`, the failAt-th
// allocation of the writer fails; `allocations` receives how many the writer made.
TtfResult writeFile(const ReadFonts& read, const std::string& path, TtfReport& report, long failAt = 0,
                    long* allocations = nullptr) {
    FontStream* output = createFontFile(path.c_str());
    if (!output) return TtfResult::WriteFailed;
    failAllocationAt(failAt);
    const long before = allocationCount();
    const TtfResult result = writeTrueType(output, read.pointers, "Test Face", report);
    if (allocations) *allocations = allocationCount() - before;
    failAllocationAt(0);
    return closeFontFile(output) == 0 ? result : TtfResult::WriteFailed;
}

// The source pixels of a glyph, as FreeType reports them (baseline at 0, y of each pixel's top).
PixelSet sourcePixels(const Font& font, const Glyph& glyph) {
    PixelSet pixels;
    const GlyphBits bits(font, &glyph);
    for (std::int32_t y = 0; y < bits.height(); ++y)
        for (std::int32_t x = 0; x < bits.width(); ++x)
            if (bits.pixel(x, y)) pixels.insert({glyph.metrics.leftBearing + x, glyph.metrics.ascent - y});
    return pixels;
}

struct WriterCase {
    const char* name;
    std::vector<std::string> inputs;
};

class WriteRealFonts : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WriteRealFonts, OtsAcceptsAndFreeTypeDrawsTheSource) {
    const WriterCase& c = GetParam();
    ReadFonts read(c.inputs);
    ASSERT_EQ(read.pointers.size(), c.inputs.size());
    TempDir dir;
    const std::string path = dir.path("out.ttf");
    TtfReport report;
    ASSERT_EQ(writeFile(read, path, report), TtfResult::Written);
    EXPECT_EQ(report.strikes, c.inputs.size());
    EXPECT_EQ(report.glyphsWithoutOutline, 0u);

    const std::string ots = findTool("ots-sanitize");
    ASSERT_FALSE(ots.empty()) << "ots-sanitize (Debian: opentype-sanitizer) is needed";
    const RunResult sanitized = runCommand({ots, path, dir.path("sanitized.ttf")});
    EXPECT_EQ(sanitized.exitStatus, 0) << sanitized.out << sanitized.err;

    // The plan again, for the source glyph of each glyph index.
    TtfPlan plan;
    TtfReport planned;
    ASSERT_EQ(planTrueType(read.pointers, "Test Face", plan, planned), TtfResult::Written);
    const std::string bytes = readFile(path);
    const ByteVector file(bytes.begin(), bytes.end());
    FreeTypeFace face(file);
    ASSERT_NE(face.get(), nullptr);
    FT_Face f = face.get();
    ASSERT_EQ(f->num_fixed_sizes, static_cast<FT_Int>(c.inputs.size()));
    const TtfStrike& strike = plan.strikes.front();
    const auto ppem = static_cast<FT_UInt>(strike.ppem);
    int wrong = 0, grey = 0, checked = 0;
    for (std::uint32_t index = 1; index < plan.glyphCount; ++index) {
        const Glyph* glyph = strike.glyphs[index];
        if (!glyph) continue;
        const PixelSet source = sourcePixels(*strike.font, *glyph);
        const long advance = std::int64_t{glyph->metrics.advance} * 64;
        struct Drawing {
            FT_UInt size;
            FT_Int32 flags;
            FT_Render_Mode mode;
        };
        const Drawing drawings[] = {
            {ppem, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, FT_RENDER_MODE_NORMAL},
            {ppem, FT_LOAD_NO_BITMAP, FT_RENDER_MODE_NORMAL},  // the TrueType interpreter
            {ppem, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO, FT_RENDER_MODE_MONO},
            {ppem, FT_LOAD_DEFAULT, FT_RENDER_MODE_MONO},  // the strike
            {2 * ppem, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, FT_RENDER_MODE_NORMAL},
        };
        for (const Drawing& d : drawings) {
            ASSERT_EQ(FT_Set_Pixel_Sizes(f, 0, d.size), 0);
            const Drawn drawn = drawWithFreeType(f, index, d.flags, d.mode);
            ASSERT_EQ(drawn.error, "");
            const bool twice = d.size != ppem;
            grey += drawn.greyPixels;
            if (drawn.pixels != (twice ? doubled(source) : source) || drawn.advance != (twice ? 2 : 1) * advance) {
                if (++wrong <= 5) ADD_FAILURE() << c.name << ": glyph " << index << " differs at " << d.size << " ppem, flags " << d.flags;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 90);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(grey, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, WriteRealFonts,
    ::testing::Values(WriterCase{"Unicode6x13", {X11 + "misc/6x13.pcf.gz"}},
                      WriterCase{"Proportional", {X11 + "75dpi/helvR12-ISO8859-1.pcf.gz"}},
                      WriterCase{"Bold", {X11 + "100dpi/courB14-ISO8859-1.pcf.gz"}},
                      WriterCase{"TwoSizes", {X11 + "75dpi/courR12-ISO8859-1.pcf.gz", X11 + "75dpi/courR10-ISO8859-1.pcf.gz"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every allocation of the model's containers failing in turn: OutOfMemory and an empty file, or the
// same file as without failures.
TEST(WriteTrueType, AllocationFailuresGiveOutOfMemoryAndNoBytes) {
    ReadFonts read({X11 + "misc/6x13-ISO8859-1.pcf.gz"});
    ASSERT_EQ(read.pointers.size(), 1u);
    TempDir dir;
    TtfReport report;
    long allocations = 0;
    ASSERT_EQ(writeFile(read, dir.path("whole.ttf"), report, 0, &allocations), TtfResult::Written);
    const std::string whole = readFile(dir.path("whole.ttf"));
    ASSERT_GT(allocations, 0);
    for (long n = 1; n <= allocations; ++n) {
        const TtfResult result = writeFile(read, dir.path("out.ttf"), report, n);
        const std::string written = readFile(dir.path("out.ttf"));
        if (result == TtfResult::Written) {
            EXPECT_EQ(written, whole) << "failure at allocation " << n;
        } else {
            EXPECT_EQ(result, TtfResult::OutOfMemory) << "failure at allocation " << n;
            EXPECT_TRUE(written.empty()) << "failure at allocation " << n;
        }
    }
}

}  // namespace
