// The TrueType plan and the tables made from it alone, read back field by field: characters of
// several encodings, strikes and families, the outline grid, cmap look-ups, names, OS/2 and the
// embedded bitmaps' bits in every bitmap layout a run may read fonts in.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/bdf/bdf_test_util.h"
#include "ttf/bitmap_tables.h"
#include "ttf/cmap_table.h"
#include "ttf/name_table.h"
#include "ttf/os2_table.h"
#include "ttf/ttf_plan.h"

namespace {

// A font read by the BDF reader in the given layout; released when the holder goes.
struct ReadFont {
    Font font;
    ReadFont(const std::string& text, int bitOrder = 1, int byteOrder = 1, int pad = 2, int unit = 1) {
        EXPECT_EQ(loadBdfText(text, font, bitOrder, byteOrder, pad, unit), StatusOk);
    }
    ~ReadFont() { font.releaseFont ? font.releaseFont(&font) : void(); }
};

std::vector<std::string> style(const std::string& registry, const std::string& encoding, int pixelSize = 8,
                               const std::string& weight = "Medium", const std::string& slant = "R") {
    return {"FAMILY_NAME \"Test\"",        "WEIGHT_NAME \"" + weight + "\"", "SLANT \"" + slant + "\"",
            "SETWIDTH_NAME \"SemiCondensed\"", "PIXEL_SIZE " + std::to_string(pixelSize), "FONT_ASCENT 6",
            "FONT_DESCENT 2",              "CHARSET_REGISTRY \"" + registry + "\"",
            "CHARSET_ENCODING \"" + encoding + "\"", "COPYRIGHT \"Public domain\"", "DEFAULT_CHAR 65"};
}

BdfGlyphText glyph(int code, int advance, const std::string& bbx, const std::vector<std::string>& rows) {
    return {"g", std::to_string(code), std::to_string(advance) + " 0", bbx, rows, ""};
}
BdfGlyphText block(int code) { return glyph(code, 6, "4 4 1 0", {"F0", "90", "90", "F0"}); }

TtfResult planOf(std::vector<const Font*> fonts, TtfPlan& plan, TtfReport& report, const char* face = "Test Face") {
    return planTrueType(fonts, face, plan, report);
}

std::uint32_t be16(const ByteVector& b, std::size_t at) { return std::uint32_t{b.at(at)} << 8 | b.at(at + 1); }
std::uint32_t be32(const ByteVector& b, std::size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

template <class Put>
ByteVector tableOf(Put put, const TtfPlan& plan) {
    ByteVector table;
    ByteWriter out(table, ByteOrder::BigEndian);
    put(out, plan);
    return table;
}

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

// What the corpus sweep, holding every character of real fonts of each encoding against Python's
// codecs, cannot show: a registry in lower case, a surrogate, a symbol font's flag and its control
// codes kept, and .notdef the default character's glyph.
TEST(TtfPlan, CharactersOfEachEncoding) {
    struct Case {
        const char* registry;
        const char* encoding;
        int code;
        std::uint32_t character;  // 0: not mapped
        bool symbol;
    } cases[] = {
        {"iso10646", "1", 0x263A, 0x263A, false},     {"ISO10646", "1", 0xD800, 0, false},
        {"misc", "fontspecific", 0x42, 0xF042, true}, {"misc", "fontspecific", 0x05, 0xF005, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.registry) + "-" + c.encoding + " " + std::to_string(c.code));
        ReadFont read(bdfFont({block(c.code), block(65)}, style(c.registry, c.encoding)));
        TtfPlan plan;
        TtfReport report;
        ASSERT_EQ(planOf({&read.font}, plan, report), TtfResult::Written);
        EXPECT_EQ(plan.symbol, c.symbol);
        std::map<std::uint32_t, std::uint32_t> glyphOf;
        for (const TtfCharacter& ch : plan.characters) glyphOf[ch.code] = ch.glyphIndex;
        EXPECT_EQ(glyphOf.size(), c.character ? 2u : 1u);  // with the default character's
        EXPECT_EQ(glyphOf.count(c.character), c.character ? 1u : 0u);
        EXPECT_EQ(plan.glyphCount, plan.characters.size() + 1);
        // .notdef is the default character's glyph (code 65).
        ASSERT_EQ(plan.strikes.size(), 1u);
        EXPECT_EQ(plan.strikes[0].glyphs[0], encodedGlyph(read.font, 0, 65));
    }
}

TEST(TtfPlan, StrikesFamiliesAndGrid) {
    ReadFont small(bdfFont({block('A'), block('B'), block('x')}, style("ISO10646", "1", 8)));
    const BdfGlyphText tall = glyph('B', 6, "1 14 0 0", std::vector<std::string>(14, "80"));
    ReadFont large(bdfFont({tall, block('C')}, style("ISO10646", "1", 16)));
    ReadFont same(bdfFont({block('A')}, style("ISO10646", "1", 8)));
    ReadFont bold(bdfFont({block('A')}, style("ISO10646", "1", 16, "Bold")));
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
    EXPECT_EQ(plan.winAscent, 14 * 2048 / 16);  // the tall 'B' of the second strike, scaled
    EXPECT_EQ(plan.winDescent, 2 * 256);
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
        ReadFont font(bdfFont({glyph('A', g.advance, "1 1 0 0", {"80"})}, style("ISO10646", "1", g.pixelSize)));
        const TtfResult result = planOf({&font.font}, plan, report);
        EXPECT_EQ(result, g.units ? TtfResult::Written : TtfResult::GlyphsTooLarge);
        if (g.units) {
            EXPECT_EQ(plan.unitsPerPixel, g.units);
        }
    }
}

// What the corpus sweep cannot show, FreeType reading one subtable of real fonts: a symbol font's
// single subtable, and a font of more runs than format 4 holds, all of them in format 12 as well.
TEST(TtfTables, CmapOfSymbolAndOverfullFonts) {
    TtfPlan plan;
    ByteVector cmap;
    ByteWriter out(cmap, ByteOrder::BigEndian);
    plan.characters = {{0xF041, 1}, {0xF042, 2}};  // format 4 under encoding 0; none beyond the BMP
    plan.symbol = true;
    putCmapTable(out, plan);
    EXPECT_EQ(be16(cmap, 2), 1u);
    EXPECT_EQ(lookUp(cmap, 0, 0xF042), 2u);
    EXPECT_EQ(lookUp(cmap, 1, 0x42), 0xFFFFFFFFu);

    plan.symbol = false;
    plan.characters.clear();
    for (std::uint32_t i = 0; i < 9000; ++i) plan.characters.push_back({0x100 + 3 * i, i + 1});
    cmap.clear();
    putCmapTable(out, plan);
    EXPECT_EQ(lookUp(cmap, 10, 0x100 + 3 * 8999), 9000u);
    EXPECT_EQ(lookUp(cmap, 10, 0x101), 0u);
    EXPECT_EQ(lookUp(cmap, 1, 0x100), 1u);
}

TEST(TtfTables, NamesAndOs2) {
    std::vector<std::string> properties = style("ISO8859", "1", 8, "Bold", "O");
    properties.push_back("SETWIDTH_NAME \"Condensed\"");
    properties.erase(properties.begin() + 3);  // the SemiCondensed above
    properties[8] = "COPYRIGHT \"Caf\xc3\xa9 \xa9 1990\"";  // UTF-8, then a lone Latin-1 byte
    std::vector<BdfGlyphText> glyphs = {block('A'), block('H'), glyph('i', 3, "1 5 1 0", {"80", "00", "80", "80", "80"})};
    for (int c = 0xC0; c <= 0xFF; ++c) glyphs.push_back(block(c));
    ReadFont read(bdfFont(glyphs, properties));
    TtfPlan plan;
    TtfReport report;
    ASSERT_EQ(planOf({&read.font}, plan, report, "Caf\xc3\xa9 Mono"), TtfResult::Written);
    EXPECT_EQ(plan.postScriptName, "CafMono-BoldItalic");

    const ByteVector name = tableOf(putNameTable, plan);
    std::map<std::uint32_t, std::u16string> names;
    for (std::uint32_t r = 0; r < be16(name, 2); ++r) {
        const std::size_t record = 6 + 12 * r;
        EXPECT_EQ(be16(name, record), 3u);
        EXPECT_EQ(be16(name, record + 2), 1u);
        EXPECT_EQ(be16(name, record + 4), 0x409u);
        std::u16string text;
        for (std::uint32_t k = 0; k < be16(name, record + 8); k += 2)
            text += static_cast<char16_t>(be16(name, be16(name, 4) + be16(name, record + 10) + k));
        names[be16(name, record + 6)] = text;
    }
    EXPECT_EQ(names[0], u"Caf\u00e9 \u00a9 1990");
    EXPECT_EQ(names[1], u"Caf\u00e9 Mono");
    EXPECT_EQ(names[2], u"Bold Italic");
    EXPECT_EQ(names[4], u"Caf\u00e9 Mono Bold Italic");
    EXPECT_EQ(names[5], u"Version 1.000");
    EXPECT_EQ(names[6], u"CafMono-BoldItalic");
    EXPECT_EQ(names.count(3), 1u);

    const ByteVector os2 = tableOf(putOs2Table, plan);
    ASSERT_EQ(os2.size(), 96u);
    const std::int32_t u = plan.unitsPerPixel;
    const auto f = [](std::int32_t v) { return static_cast<std::uint32_t>(v) & 0xFFFF; };
    struct Field {
        std::size_t at;
        std::uint32_t value;
        const char* what;
    } fields[] = {
        {0, 4, "version"},         {2, f(plan.averageWidth), "xAvgCharWidth"}, {4, 700, "usWeightClass"},
        {6, 3, "usWidthClass"},    {62, 0x01 | 0x20 | 0x80 | 0x200, "fsSelection"}, {64, 'A', "usFirstCharIndex"},
        {66, 0xFF, "usLastCharIndex"}, {68, f(6 * u), "sTypoAscender"},        {70, f(-2 * u), "sTypoDescender"},
        {74, f(6 * u), "usWinAscent"}, {76, f(2 * u), "usWinDescent"},         {88, f(4 * u), "sCapHeight"},
    };
    for (const Field& field : fields) EXPECT_EQ(be16(os2, field.at), field.value) << field.what;
    EXPECT_EQ(os2[35], 0);                        // PANOSE proportion: the 'i' is narrower
    EXPECT_EQ(be32(os2, 42), 0x3u);               // Basic Latin, Latin-1 Supplement
    EXPECT_EQ(be32(os2, 78) & 0x13u, 0x1u);       // Latin 1, neither Latin 2 nor Turkish
}

TEST(TtfTables, BitmapBitsInEveryLayout) {
    // Twelve pixels wide, so that two bytes of a row meet every scan unit's swap.
    const std::vector<BdfGlyphText> glyphs = {glyph('A', 13, "12 2 1 -1", {"ABC0", "1230"}),
                                              glyph('B', 300, "1 1 0 0", {"80"}), glyph(' ', 6, "0 0 0 0", {})};
    struct Layout {
        int bitOrder, byteOrder, pad, unit;
    } layouts[] = {{1, 1, 1, 1}, {1, 1, 2, 1}, {0, 0, 4, 4}, {1, 0, 2, 2}, {0, 1, 8, 4}, {0, 0, 1, 1}, {1, 0, 4, 4}};
    for (const Layout& l : layouts) {
        SCOPED_TRACE(testing::Message() << l.bitOrder << l.byteOrder << l.pad << l.unit);
        ReadFont read(bdfFont(glyphs, style("ISO10646", "1")), l.bitOrder, l.byteOrder, l.pad, l.unit);
        TtfPlan plan;
        TtfReport report;
        ASSERT_EQ(planOf({&read.font}, plan, report), TtfResult::Written);
        EXPECT_EQ(plan.xMax, 13 * plan.unitsPerPixel);  // ink of the 'A' read in this layout
        EXPECT_EQ(plan.yMin, -1 * plan.unitsPerPixel);
        ByteVector eblc, ebdt;
        ASSERT_TRUE(putBitmapTables(eblc, ebdt, plan));
        ASSERT_EQ(be32(eblc, 4), 1u);
        EXPECT_EQ(eblc[8 + 44], 8);  // ppemX
        // Glyphs: 0 .notdef (the default 'A'), 1 ' ', 2 'A', 3 'B' (advance past 8 bits: left out).
        std::map<std::uint32_t, std::vector<std::uint8_t>> images;
        const std::size_t array = be32(eblc, 8);
        for (std::uint32_t s = 0; s < be32(eblc, 16); ++s) {
            const std::size_t entry = array + 8 * s;
            const std::size_t sub = array + be32(eblc, entry + 4);
            ASSERT_EQ(be16(eblc, sub), 1u);
            ASSERT_EQ(be16(eblc, sub + 2), 6u);
            for (std::uint32_t g = be16(eblc, entry); g <= be16(eblc, entry + 2); ++g) {
                const std::size_t from = be32(eblc, sub + 4) + be32(eblc, sub + 8 + 4 * (g - be16(eblc, entry)));
                const std::size_t to = be32(eblc, sub + 4) + be32(eblc, sub + 12 + 4 * (g - be16(eblc, entry)));
                if (to > from) images[g] = std::vector<std::uint8_t>(ebdt.begin() + from, ebdt.begin() + to);
            }
        }
        EXPECT_EQ(images.size(), 3u);
        EXPECT_EQ(images[0], images[2]);
        EXPECT_EQ(images[1], (std::vector<std::uint8_t>{0, 0, 0, 0, 6, 0, 0, 8}));
        EXPECT_EQ(images[2], (std::vector<std::uint8_t>{2, 12, 1, 1, 13, 0xFA, 0, 8, 0xAB, 0xC0, 0x12, 0x30}));
    }
}

}  // namespace
