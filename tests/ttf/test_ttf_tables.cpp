// The TrueType plan and the tables made from it alone, read back field by field: characters of
// several encodings, strikes and families, the outline grid, cmap look-ups, names, OS/2 and the
// embedded bitmaps' bits in every bitmap layout a run may read fonts in.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bdf/bdf_reader.h"
#include "stream/font_stream.h"
#include "tests/support/test_support.h"
#include "ttf/bitmap_tables.h"
#include "ttf/cmap_table.h"
#include "ttf/name_table.h"
#include "ttf/os2_table.h"
#include "ttf/ttf_plan.h"

namespace {

struct GlyphText {
    int code;
    int advance;
    std::string bbx;                // "w h x y"
    std::vector<std::string> rows;  // hex
};

std::string bdfText(const std::vector<std::string>& properties, const std::vector<GlyphText>& glyphs) {
    std::string s = "STARTFONT 2.1\nFONT -test-font\nSIZE 8 75 75\nFONTBOUNDINGBOX 8 8 0 -2\nSTARTPROPERTIES " +
                    std::to_string(properties.size()) + "\n";
    for (const std::string& p : properties) s += p + "\n";
    s += "ENDPROPERTIES\nCHARS " + std::to_string(glyphs.size()) + "\n";
    for (const GlyphText& g : glyphs) {
        s += "STARTCHAR g\nENCODING " + std::to_string(g.code) + "\nSWIDTH 500 0\nDWIDTH " + std::to_string(g.advance) +
             " 0\nBBX " + g.bbx + "\nBITMAP\n";
        for (const std::string& row : g.rows) s += row + "\n";
        s += "ENDCHAR\n";
    }
    return s + "ENDFONT\n";
}

// A font read by the BDF reader in the given layout; released when the holder goes.
struct ReadFont {
    Font font;
    ReadFont(const std::string& text, int bitOrder = 1, int byteOrder = 1, int pad = 2, int unit = 1) {
        TempDir dir;
        writeFile(dir.path("f.bdf"), text);
        FontStream* stream = openFontFile(dir.path("f.bdf").c_str());
        EXPECT_EQ(readBdfFont(&font, stream, bitOrder, byteOrder, pad, unit), StatusOk);
        closeFontFile(stream);
    }
    ~ReadFont() {
        if (font.releaseFont) font.releaseFont(&font);
    }
};

std::vector<std::string> style(const std::string& registry, const std::string& encoding, int pixelSize = 8,
                               const std::string& weight = "Medium", const std::string& slant = "R") {
    return {"FAMILY_NAME \"Test\"",        "WEIGHT_NAME \"" + weight + "\"", "SLANT \"" + slant + "\"",
            "SETWIDTH_NAME \"SemiCondensed\"", "PIXEL_SIZE " + std::to_string(pixelSize), "FONT_ASCENT 6",
            "FONT_DESCENT 2",              "CHARSET_REGISTRY \"" + registry + "\"",
            "CHARSET_ENCODING \"" + encoding + "\"", "COPYRIGHT \"Public domain\"", "DEFAULT_CHAR 65"};
}

GlyphText block(int code) { return {code, 6, "4 4 1 0", {"F0", "90", "90", "F0"}}; }

TtfResult planOf(std::vector<const Font*> fonts, TtfPlan& plan, TtfReport& report) {
    return planTrueType(fonts, "Test Face", plan, report);
}

std::uint32_t be16(const ByteVector& b, std::size_t at) { return std::uint32_t{b.at(at)} << 8 | b.at(at + 1); }
std::uint32_t be32(const ByteVector& b, std::size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

// The glyph of `c` through the cmap subtable of (3, encoding): format 4 or 12 walked as a reader does.
std::uint32_t lookUp(const ByteVector& cmap, std::uint32_t encoding, std::uint32_t c) {
    for (std::uint32_t r = 0; r < be16(cmap, 2); ++r) {
        const std::size_t record = 4 + 8 * r;
        if (be16(cmap, record) != 3 || be16(cmap, record + 2) != encoding) continue;
        const std::size_t t = be32(cmap, record + 4);
        if (be16(cmap, t) == 12) {
            for (std::uint32_t g = 0; g < be32(cmap, t + 12); ++g) {
                const std::size_t at = t + 16 + 12 * g;
                if (c >= be32(cmap, at) && c <= be32(cmap, at + 4)) return be32(cmap, at + 8) + (c - be32(cmap, at));
            }
            return 0;
        }
        const std::uint32_t segments = be16(cmap, t + 6) / 2;
        for (std::uint32_t s = 0; s < segments; ++s) {
            const std::uint32_t end = be16(cmap, t + 14 + 2 * s), start = be16(cmap, t + 16 + 2 * segments + 2 * s);
            if (c > end) continue;
            if (c < start || be16(cmap, t + 16 + 6 * segments + 2 * s) != 0) return 0;
            return (c + be16(cmap, t + 16 + 4 * segments + 2 * s)) & 0xFFFF;
        }
        return 0;
    }
    return 0xFFFFFFFF;  // no such subtable
}

TEST(TtfPlan, CharactersOfEachEncoding) {
    struct Case {
        const char* registry;
        const char* encoding;
        int code;
        std::uint32_t character;  // 0: not mapped
        bool symbol;
    } cases[] = {
        {"ISO10646", "1", 0x263A, 0x263A, false}, {"iso10646", "1", 0x41, 0x41, false},
        {"ISO10646", "1", 0x1B, 0, false},        {"ISO10646", "1", 0x85, 0, false},
        {"ISO10646", "1", 0xD800, 0, false},      {"ISO8859", "5", 0xB0, 0x410, false},
        {"KOI8", "R", 0xC1, 0x430, false},        {"ISO8859", "1", 0x9F, 0, false},
        {"misc", "fontspecific", 0x41, 0xF041, true}, {"misc", "fontspecific", 0x05, 0xF005, true},
        {"JISX0208.1983", "0", 0x2422, 0xF2422, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.registry) + "-" + c.encoding + " " + std::to_string(c.code));
        ReadFont read(bdfText(style(c.registry, c.encoding), {block(c.code), block(65)}));
        TtfPlan plan;
        TtfReport report;
        ASSERT_EQ(planOf({&read.font}, plan, report), TtfResult::Written);
        EXPECT_EQ(plan.symbol, c.symbol);
        std::map<std::uint32_t, std::uint32_t> glyphOf;
        for (const TtfCharacter& ch : plan.characters) glyphOf[ch.code] = ch.glyphIndex;
        EXPECT_EQ(glyphOf.count(c.character), c.character ? 1u : 0u);
        EXPECT_EQ(plan.glyphCount, plan.characters.size() + 1);
        // .notdef is the default character's glyph (code 65).
        ASSERT_EQ(plan.strikes.size(), 1u);
        EXPECT_EQ(plan.strikes[0].glyphs[0], encodedGlyph(read.font, 0, 65));
    }
}

TEST(TtfPlan, StrikesFamiliesAndGrid) {
    ReadFont small(bdfText(style("ISO10646", "1", 8), {block('A'), block('B'), block('x')}));
    ReadFont large(bdfText(style("ISO10646", "1", 16), {block('B'), block('C')}));
    ReadFont same(bdfText(style("ISO10646", "1", 8), {block('A')}));
    ReadFont bold(bdfText(style("ISO10646", "1", 16, "Bold"), {block('A')}));
    TtfPlan plan;
    TtfReport report;
    ASSERT_EQ(planOf({&small.font, &large.font}, plan, report), TtfResult::Written);
    ASSERT_EQ(plan.strikes.size(), 2u);
    EXPECT_EQ(plan.strikes[1].ppem, 16);
    EXPECT_EQ(plan.strikes[1].glyphs[1], nullptr);  // 'A' only in the first
    EXPECT_EQ(plan.strikes[1].glyphs[2], encodedGlyph(large.font, 0, 'B'));
    EXPECT_EQ(plan.unitsPerPixel, 256);
    EXPECT_EQ(plan.unitsPerEm, 2048);
    EXPECT_EQ(plan.ascender, 6 * 256);
    EXPECT_EQ(plan.descender, -2 * 256);
    EXPECT_EQ(plan.xMin, 1 * 256);
    EXPECT_EQ(plan.xMax, 5 * 256);
    EXPECT_EQ(plan.yMax, 4 * 256);
    EXPECT_EQ(plan.xHeight, 4 * 256);
    EXPECT_EQ(plan.averageWidth, 6 * 256);
    EXPECT_TRUE(plan.fixedPitch);
    EXPECT_EQ(plan.widthClass, 4);
    EXPECT_EQ(plan.subfamilyName, "Regular");
    EXPECT_EQ(plan.postScriptName, "TestFace-Regular");
    EXPECT_EQ(plan.copyright, "Public domain");
    EXPECT_EQ(planOf({&small.font, &same.font}, plan, report), TtfResult::SameSize);
    EXPECT_EQ(report.first, 0u);
    EXPECT_EQ(report.second, 1u);
    EXPECT_EQ(planOf({&small.font, &large.font, &bold.font}, plan, report), TtfResult::StylesDiffer);
    EXPECT_EQ(report.second, 2u);

    // The grid per pixel size, and glyphs whose coordinates pass 16 bits at the preferred one.
    struct Grid {
        int pixelSize;
        int advance;
        std::int32_t units;  // 0: GlyphsTooLarge
    } grids[] = {{13, 6, 128}, {16, 6, 128}, {1, 6, 2048}, {3000, 6, 1}, {13, 3000, 8}, {13, 20000, 0}, {1, 2000, 16},
                 {20000, 6, 0}};
    for (const Grid& g : grids) {
        SCOPED_TRACE(g.pixelSize);
        ReadFont font(bdfText(style("ISO10646", "1", g.pixelSize), {{'A', g.advance, "1 1 0 0", {"80"}}}));
        const TtfResult result = planOf({&font.font}, plan, report);
        EXPECT_EQ(result, g.units ? TtfResult::Written : TtfResult::GlyphsTooLarge);
        if (g.units) {
            EXPECT_EQ(plan.unitsPerPixel, g.units);
        }
    }
}

TEST(TtfTables, CmapLookUps) {
    TtfPlan plan;
    const std::vector<std::uint32_t> codes = {0x20, 0x21, 0x22, 0x41, 0x42, 0x263A, 0xFFFD, 0x1F600, 0x1F601};
    for (std::uint32_t i = 0; i < codes.size(); ++i) plan.characters.push_back({codes[i], i + 1});
    ByteVector cmap;
    ByteWriter out(cmap, ByteOrder::BigEndian);
    putCmapTable(out, plan);
    for (std::uint32_t i = 0; i < codes.size(); ++i) {
        if (codes[i] <= 0xFFFF) {
            EXPECT_EQ(lookUp(cmap, 1, codes[i]), i + 1) << codes[i];
        }
        EXPECT_EQ(lookUp(cmap, 10, codes[i]), i + 1) << codes[i];
    }
    for (std::uint32_t missing : {0x23u, 0x40u, 0xFFFFu, 0x1F602u}) EXPECT_EQ(lookUp(cmap, 10, missing), 0u);

    // A symbol font: one subtable, format 4, encoding 0; none beyond the BMP.
    plan.characters = {{0xF041, 1}, {0xF042, 2}};
    plan.symbol = true;
    cmap.clear();
    putCmapTable(out, plan);
    EXPECT_EQ(be16(cmap, 2), 1u);
    EXPECT_EQ(lookUp(cmap, 0, 0xF042), 2u);
    EXPECT_EQ(lookUp(cmap, 1, 0x42), 0xFFFFFFFFu);

    // More runs than format 4 can hold: all of them in format 12 as well.
    plan.symbol = false;
    plan.characters.clear();
    for (std::uint32_t i = 0; i < 9000; ++i) plan.characters.push_back({0x100 + 3 * i, i + 1});
    cmap.clear();
    putCmapTable(out, plan);
    EXPECT_EQ(lookUp(cmap, 10, 0x100 + 3 * 8999), 9000u);
    EXPECT_EQ(lookUp(cmap, 1, 0x100), 1u);
}

}  // namespace
