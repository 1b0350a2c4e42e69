// Loading whole BDF files: the smallest accepted file, header and property rules, glyphs, bitmaps
// and layouts, the finishing steps, and malformed files failing cleanly.
#include <gtest/gtest.h>

#include "font/bounds.h"
#include "tests/bdf/bdf_test_util.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
// A font ascent below every glyph's keeps the loader from padding glyphs into a terminal cell.
const std::vector<std::string> noCellProperties = {"FONT_ASCENT 0", "FONT_DESCENT 0"};

TEST(BdfReader, SmallestFileLoadsWithEveryDocumentedValue) {
    resetAtomTableForTesting();
    Font font;
    ASSERT_EQ(loadBdfText(smallestBdf(), font), StatusOk);
    const BitmapFont& store = *font.bitmapFont;
    ASSERT_EQ(store.glyphCount, 1);
    const GlyphMetrics& m = store.glyphs[0].metrics;
    EXPECT_EQ(m.leftBearing, 0);
    EXPECT_EQ(m.rightBearing, 5);
    EXPECT_EQ(m.advance, 5);
    EXPECT_EQ(m.ascent, 7);
    EXPECT_EQ(m.descent, 0);
    EXPECT_EQ(m.attributes, 0);
    EXPECT_EQ(font.info.firstRow, 0);
    EXPECT_EQ(font.info.lastRow, 0);
    EXPECT_EQ(font.info.firstColumn, 65);
    EXPECT_EQ(font.info.lastColumn, 65);
    ASSERT_EQ(store.encoding.size(), 1u);
    EXPECT_EQ(store.encoding[0], &store.glyphs[0]);
    EXPECT_TRUE(font.info.flags & FlagAllCodesPresent);
    EXPECT_EQ(font.info.fontAscent, 7);
    EXPECT_EQ(font.info.fontDescent, 0);
    EXPECT_EQ(glyphBytes(font, 0), (Bytes{0x20, 0x50, 0x88, 0xF8, 0x88, 0x88, 0x88}));
    EXPECT_EQ(store.glyphs[0].bitmap, store.ownedBitmaps[0].data());

    // Properties in order, their atoms in the order they were first interned.
    const char* names[] = {"POINT_SIZE", "FONT", "WEIGHT", "RESOLUTION", "RESOLUTION_X", "RESOLUTION_Y",
                           "X_HEIGHT", "QUAD_WIDTH"};
    std::int32_t values[] = {80, 0, 10, 103, 75, 75, 7, 5};
    ASSERT_EQ(font.info.propertyCount(), 8);
    ASSERT_EQ(font.info.propertyIsString.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_STREQ(atomName(font.info.properties[i].name), names[i]);
        EXPECT_EQ(font.info.propertyIsString[i] != 0, i == 1);
        if (i != 1) {
            EXPECT_EQ(font.info.properties[i].value, values[i]) << names[i];
        }
    }
    EXPECT_EQ(propertyText(font, "FONT"), "sample8");
    const char* atomOrder[] = {"FONT_ASCENT", "FONT_DESCENT", "POINT_SIZE",   "FONT",     "sample8",   "WEIGHT",
                               "RESOLUTION",  "RESOLUTION_X", "RESOLUTION_Y", "X_HEIGHT", "QUAD_WIDTH"};
    for (Atom a = 1; a <= 11; ++a) EXPECT_STREQ(atomName(a), atomOrder[a - 1]);
    EXPECT_EQ(atomName(12), nullptr);

    // Finishing: layout, fixed flag bits, uniform metrics with ink, operations.
    EXPECT_EQ(font.bitOrder, 1);
    EXPECT_EQ(font.glyphPad, 1);
    EXPECT_TRUE(font.info.flags & FlagAlwaysSet);
    EXPECT_FALSE(font.info.flags & FlagAlwaysClear);
    for (std::uint32_t f : {FlagUniformMetrics, FlagTerminalCell, FlagFixedAdvance, FlagNonOverlapping,
                            FlagInkWithinCell, FlagHasInkMetrics})
        EXPECT_TRUE(font.info.flags & f) << f;
    ASSERT_TRUE(store.inkMetrics.has_value());
    EXPECT_EQ((*store.inkMetrics)[0].rightBearing, 5);
    EXPECT_NE(store.extras, nullptr);
    EXPECT_EQ(store.defaultGlyph, nullptr);
    EXPECT_EQ(font.getGlyphs, &getGlyphs);
    EXPECT_EQ(font.getMetrics, &getMetrics);
    EXPECT_EQ(font.releaseFont, &releaseTextFont);
}

TEST(BdfReader, InterningOrderPutsTextValuesBeforeNamesAndKeepsDroppedNames) {
    resetAtomTableForTesting();
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}}, {"COPYRIGHT \"mine\"", "FONT_ASCENT 7", "DEFAULT_CHAR 65",
                                                    "FONT_DESCENT 0", "FONT \"named\""}),
                          font),
              StatusOk);
    const char* order[] = {"mine", "COPYRIGHT", "FONT_ASCENT", "DEFAULT_CHAR", "FONT_DESCENT", "named", "FONT",
                           "POINT_SIZE", "WEIGHT"};
    for (Atom a = 1; a <= 9; ++a) EXPECT_STREQ(atomName(a), order[a - 1]);
    // The file's FONT is kept; the FONT line's text is never interned.
    EXPECT_EQ(propertyText(font, "FONT"), "named");
    EXPECT_EQ(font.bitmapFont->defaultGlyph, &font.bitmapFont->glyphs[0]);
}

TEST(BdfHeader, VersionSizeAndBoundingBoxRules) {
    EXPECT_TRUE(loads(smallestBdf()));
    for (const char* version : {"2.2", "2.10", "2", "2.1x"}) {
        std::string text = smallestBdf();
        text.replace(text.find("2.1"), 3, version);
        EXPECT_FALSE(loads(text)) << version;
    }
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, "0.5 75 75")));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, "8 0 75")));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, "8 75")));
    std::string bareBox = smallestBdf();
    bareBox.replace(bareBox.find("FONTBOUNDINGBOX 5 7 0 0"), 23, "FONTBOUNDINGBOX");
    EXPECT_TRUE(loads(bareBox));
    // Comments and blank lines anywhere, CR LF line ends.
    std::string decorated = "COMMENT before\n\n" + smallestBdf();
    decorated.replace(decorated.find("BITMAP\n"), 7, "BITMAP\nCOMMENT inside\n\n");
    std::string crlf;
    for (char c : decorated) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(loads(crlf));
    // A last line without its line feed reads as if it had one.
    std::string unended = smallestBdf();
    unended.pop_back();
    EXPECT_TRUE(loads(unended));
}

TEST(BdfHeader, AppendedSizeAndResolutionProperties) {
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}}, basicProperties, "12 75 75"), font), StatusOk);
    EXPECT_EQ(propertyValue(font, "POINT_SIZE"), 120);
    EXPECT_EQ(propertyValue(font, "RESOLUTION"), 103);
    Font other;
    ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}}, basicProperties, "8.5 100 100"), other), StatusOk);
    EXPECT_EQ(propertyValue(other, "POINT_SIZE"), 85);
    EXPECT_EQ(propertyValue(other, "RESOLUTION"), 138);
    Font uneven;
    ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}}, basicProperties, "8 75 100"), uneven), StatusOk);
    EXPECT_EQ(propertyValue(uneven, "RESOLUTION"), -99999);
    EXPECT_EQ(propertyValue(uneven, "RESOLUTION_Y"), 100);
    EXPECT_EQ(uneven.info.propertyCount(), 7);
    // Appended values that do not fit 32 bits refuse the file.
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, "3e8 75 75")));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, "8 2000000000 2000000000")));
    EXPECT_TRUE(loads(bdfFont({BdfGlyphText{}}, {"FONT_ASCENT 7", "FONT_DESCENT 0", "POINT_SIZE 80"}, "3e8 75 75")));
    // The point size in every form of the C library's %f; an infinite one needs the font's own
    // POINT_SIZE, a value beyond float's range fails even with one.
    for (const char* size : {"0x10 75 75", ".16e2 75 75", "16e 75 75", "+0X1p4 75 75"}) {
        Font hex;
        ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}}, basicProperties, size), hex), StatusOk) << size;
        EXPECT_EQ(propertyValue(hex, "POINT_SIZE"), 160) << size;
    }
    const std::vector<std::string> ownSize = {"FONT_ASCENT 7", "FONT_DESCENT 0", "POINT_SIZE 80"};
    for (const char* size : {"inf 75 75", "INF 75 75", "infinity 75 75"}) {
        EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, basicProperties, size))) << size;
        EXPECT_TRUE(loads(bdfFont({BdfGlyphText{}}, ownSize, size))) << size;
    }
    for (const char* size : {"nan 75 75", "-inf 75 75", "1e39 75 75", "0x1p128 75 75"})
        EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, ownSize, size))) << size;
}

TEST(BdfProperties, ValuesAndSpecialNames) {
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({BdfGlyphText{}},
                                  {"FONT_ASCENT 7", "  FONT_DESCENT\t0", "QUOTE \"say \"\"hi\"\" now\" ignored",
                                   "EMPTY \"\"", "PLUS +5", "MINUS -", "DEFAULT_CHAR \"x\"", "POINT_SIZE 10",
                                   "POINT_SIZE 20", "WEIGHT 50"}),
                          font),
              StatusOk);
    EXPECT_EQ(propertyText(font, "QUOTE"), "say \"hi\" now");
    EXPECT_EQ(propertyText(font, "EMPTY"), "");
    EXPECT_EQ(propertyValue(font, "PLUS"), 5);
    EXPECT_EQ(propertyValue(font, "MINUS"), 0);
    EXPECT_EQ(propertyValue(font, "DEFAULT_CHAR"), -99999);
    EXPECT_EQ(propertyValue(font, "FONT_ASCENT"), -99999);
    EXPECT_EQ(propertyValue(font, "WEIGHT"), 50);
    int pointSizes = 0;
    for (const auto& p : font.info.properties) pointSizes += std::string(atomName(p.name)) == "POINT_SIZE";
    EXPECT_EQ(pointSizes, 2);
    EXPECT_EQ(font.info.defaultChar, 0);  // a quoted DEFAULT_CHAR changes nothing
}

TEST(BdfProperties, MalformedBlocksAreRefused) {
    auto with = [](std::vector<std::string> extra) {
        std::vector<std::string> lines = basicProperties;
        lines.insert(lines.end(), extra.begin(), extra.end());
        return bdfFont({BdfGlyphText{}}, lines);
    };
    EXPECT_FALSE(loads(with({"UNCLOSED \"abc"})));
    EXPECT_FALSE(loads(with({"TRAILING 12a"})));
    EXPECT_FALSE(loads(with({"TWO 1 2"})));
    EXPECT_FALSE(loads(with({"WORDS plain text"})));
    EXPECT_FALSE(loads(with({"ALONE"})));
    EXPECT_FALSE(loads(with({"   "})));
    EXPECT_FALSE(loads(with({"HUGE 2147483648"})));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, {"FONT_ASCENT \"7\"", "FONT_DESCENT 0"})));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, {"FONT_ASCENT 7"})));
    EXPECT_FALSE(loads(bdfFont({BdfGlyphText{}}, {})));
    std::string early = smallestBdf();
    early.replace(early.find("STARTPROPERTIES 2"), 17, "STARTPROPERTIES 3");
    EXPECT_FALSE(loads(early));
    std::string extraLine = smallestBdf();
    extraLine.replace(extraLine.find("FONT_DESCENT 0\n"), 15, "FONT_DESCENT 0\nEXTRA 1\n");
    EXPECT_FALSE(loads(extraLine));
    // A COMMENT property vanishes and does not count toward the declared number.
    std::string comment = smallestBdf();
    comment.replace(comment.find("STARTPROPERTIES 2\n"), 18, "STARTPROPERTIES 3\nCOMMENT \"x\"\n");
    EXPECT_FALSE(loads(comment));
}

TEST(BdfGlyphs, EncodingRangesDuplicatesAndUnencodedGlyphs) {
    BdfGlyphText a, b, c;
    a.encoding = "-1 66";
    b.encoding = "66";
    c.encoding = "-1";
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({a, b, c}), font), StatusOk);
    EXPECT_EQ(font.bitmapFont->glyphCount, 3);
    ASSERT_EQ(font.bitmapFont->encoding.size(), 1u);
    EXPECT_EQ(font.bitmapFont->encoding[0], &font.bitmapFont->glyphs[1]);  // the later glyph wins

    BdfGlyphText low, high;
    high.encoding = "321";  // 0x141
    Font twoRows;
    ASSERT_EQ(loadBdfText(bdfFont({low, high}), twoRows), StatusOk);
    EXPECT_EQ(twoRows.info.firstRow, 0);
    EXPECT_EQ(twoRows.info.lastRow, 1);
    EXPECT_EQ(twoRows.info.firstColumn, 0x41);
    EXPECT_EQ(twoRows.info.lastColumn, 0x41);
    EXPECT_EQ(twoRows.bitmapFont->encoding.size(), 2u);

    BdfGlyphText none1, none2;
    none1.encoding = "-1 -1";
    none2.encoding = "65536";
    Font unencoded;
    ASSERT_EQ(loadBdfText(bdfFont({none1, none2}), unencoded), StatusOk);
    EXPECT_EQ(unencoded.info.firstRow, 256);
    EXPECT_EQ(unencoded.info.lastColumn, 0);
    EXPECT_TRUE(unencoded.bitmapFont->encoding.empty());
    EXPECT_TRUE(unencoded.info.flags & FlagAllCodesPresent);

    for (const char* bad : {"-2", "-1 -2", "", "x"}) {
        BdfGlyphText g;
        g.encoding = bad;
        EXPECT_FALSE(loads(bdfFont({g}))) << bad;
    }
}

TEST(BdfGlyphs, GapsInTheCodeRangeClearAllCodesPresent) {
    std::vector<BdfGlyphText> glyphs;
    for (int code = 32; code <= 126; ++code) {
        if (code == 65) continue;
        BdfGlyphText g;
        g.encoding = std::to_string(code);
        glyphs.push_back(g);
    }
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont(glyphs), font), StatusOk);
    EXPECT_EQ(font.bitmapFont->encoding.size(), 95u);
    EXPECT_FALSE(font.info.flags & FlagAllCodesPresent);
    EXPECT_EQ(encodedGlyph(font, 0, 65), nullptr);
    EXPECT_EQ(encodedGlyph(font, 0, 66), &font.bitmapFont->glyphs[65 - 32]);
}

TEST(BdfGlyphs, MetricLinesAreChecked) {
    auto loadsWith = [](auto change) {
        BdfGlyphText g;
        change(g);
        return loads(bdfFont({g}));
    };
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.dwidth = "5 1"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.dwidth = "5"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.dwidth = "32768 0"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "-1 7 0 0"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 -7 0 0"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 7 0"; }));
    // Sums beyond 16 bits refuse the file instead of wrapping.
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 7 32765 0"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 7 0 32761"; }));
    EXPECT_FALSE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 7 0 -32769"; }));
    EXPECT_TRUE(loadsWith([](BdfGlyphText& g) { g.bbx = "5 7 -2 -3"; }));
    // The box's own width and height are 16-bit metrics as well, with every row present.
    for (const char* bbx : {"40000 1 -20000 0", "32768 1 -16384 0", "1 40000 0 -20000"}) {
        BdfGlyphText g;
        g.bbx = bbx;
        g.rows.assign(bbx[0] == '1' ? 40000 : 1, "80");
        EXPECT_FALSE(loads(bdfFont({g}))) << bbx;
    }
    // A name longer than any fixed buffer is accepted.
    EXPECT_TRUE(loadsWith([](BdfGlyphText& g) { g.name = std::string(300, 'n'); }));

    std::string swidth = smallestBdf();
    swidth.replace(swidth.find("SWIDTH 667 0"), 12, "SWIDTH 667 1");
    EXPECT_FALSE(loads(swidth));
    std::string count = smallestBdf();
    count.replace(count.find("CHARS 1"), 7, "CHARS 2");
    EXPECT_FALSE(loads(count));
    count.replace(count.find("CHARS 2"), 7, "CHARS 0");
    EXPECT_FALSE(loads(count));
    std::string more = bdfFont({BdfGlyphText{}, BdfGlyphText{}});
    more.replace(more.find("CHARS 2"), 7, "CHARS 1");
    EXPECT_FALSE(loads(more));
}

TEST(BdfBitmap, RowsAreParsedPaddedAndCleared) {
    auto bitmapOf = [](const std::string& bbx, std::vector<std::string> rows, int pad = 1) {
        BdfGlyphText g;
        g.bbx = bbx;
        g.rows = std::move(rows);
        Font font;
        EXPECT_EQ(loadBdfText(bdfFont({g}, noCellProperties), font, 1, 1, pad, 1), StatusOk) << bbx;
        return font.bitmapFont ? glyphBytes(font, 0) : Bytes{};
    };
    EXPECT_EQ(bitmapOf("5 1 0 0", {"FF"}), (Bytes{0xF8}));
    EXPECT_EQ(bitmapOf("8 1 0 0", {"1G"}), (Bytes{0x01}));
    EXPECT_EQ(bitmapOf("8 2 0 0", {"ABCDEF", "C"}), (Bytes{0xAB, 0xC0}));
    EXPECT_EQ(bitmapOf("16 1 0 0", {"7"}), (Bytes{0x70, 0x00}));
    EXPECT_EQ(bitmapOf("12 1 0 0", {"FFF"}), (Bytes{0xFF, 0xF0}));
    EXPECT_EQ(bitmapOf("9 1 0 0", {"FFFF"}, 2), (Bytes{0xFF, 0x80}));
    EXPECT_EQ(bitmapOf("9 2 0 0", {"FFFF", "0180"}, 4), (Bytes{0xFF, 0x80, 0, 0, 0x01, 0x80, 0, 0}));
    EXPECT_EQ(bitmapOf("9 1 0 0", {"FFFF"}, 8), (Bytes{0xFF, 0x80, 0, 0, 0, 0, 0, 0}));
}

TEST(BdfBitmap, EmptyGlyphsAndTheEndcharLine) {
    BdfGlyphText zeroWidth;
    zeroWidth.bbx = "0 3 0 0";
    zeroWidth.rows = {};
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({zeroWidth}, noCellProperties), font), StatusOk);
    EXPECT_EQ(font.bitmapFont->glyphs[0].bitmap, nullptr);
    // Row lines of a zero-width glyph are consumed unread.
    zeroWidth.rows = {"anything", "at all"};
    EXPECT_TRUE(loads(bdfFont({zeroWidth})));

    BdfGlyphText zeroHeight;
    zeroHeight.bbx = "5 0 0 0";
    zeroHeight.rows = {};
    EXPECT_TRUE(loads(bdfFont({zeroHeight})));
    zeroHeight.rows = {"FF"};
    EXPECT_FALSE(loads(bdfFont({zeroHeight})));

    // ENDCHAR arriving before the rows are complete refuses the file.
    BdfGlyphText shortRows;
    shortRows.rows = {"20", "50", "88", "F8", "88", "88"};
    EXPECT_FALSE(loads(bdfFont({shortRows})));
    BdfGlyphText longRows;
    longRows.rows.push_back("88");
    EXPECT_FALSE(loads(bdfFont({longRows})));
}

TEST(BdfBitmap, LayoutIsAppliedWhileReading) {
    BdfGlyphText g;
    g.bbx = "16 1 0 0";
    g.rows = {"8001"};
    g.dwidth = "16 0";
    auto bytesIn = [&](int bitOrder, int byteOrder, int pad, int unit) {
        Font font;
        EXPECT_EQ(loadBdfText(bdfFont({g}, {"FONT_ASCENT 1", "FONT_DESCENT 0"}), font, bitOrder, byteOrder, pad, unit),
                  StatusOk);
        return glyphBytes(font, 0);
    };
    EXPECT_EQ(bytesIn(1, 1, 2, 2), (Bytes{0x80, 0x01}));
    EXPECT_EQ(bytesIn(0, 0, 2, 2), (Bytes{0x01, 0x80}));  // bits reversed, nothing swapped
    EXPECT_EQ(bytesIn(0, 1, 2, 2), (Bytes{0x80, 0x01}));  // reversed, then the pair exchanged
    EXPECT_EQ(bytesIn(1, 0, 2, 2), (Bytes{0x01, 0x80}));
    EXPECT_EQ(bytesIn(1, 0, 4, 4), (Bytes{0x00, 0x00, 0x01, 0x80}));
    EXPECT_EQ(bytesIn(1, 0, 2, 1), (Bytes{0x80, 0x01}));
}

TEST(BdfGlyphs, AttributesAndStatistics) {
    auto attributes = [](const std::string& line) {
        BdfGlyphText g;
        g.extra = line + "\n";
        Font font;
        EXPECT_EQ(loadBdfText(bdfFont({g}), font), StatusOk) << line;
        return font.bitmapFont ? font.bitmapFont->glyphs[0].metrics.attributes : 0xDEAD;
    };
    EXPECT_EQ(attributes("ATTRIBUTES 1234"), 0x1234);
    EXPECT_EQ(attributes("ATTRIBUTES \t abCD"), 0xABCD);
    EXPECT_EQ(attributes("ATTRIBUTES 12"), 0x1200);
    EXPECT_EQ(attributes("ATTRIBUTES 123"), 0x1203);
    EXPECT_EQ(attributes("ATTRIBUTES"), 0);
    EXPECT_EQ(attributes("ATTRIBUTESx12345"), 0x1234);

    std::vector<BdfGlyphText> digits;
    for (int d = 0; d <= 9; ++d) {
        BdfGlyphText g;
        g.name = std::to_string(d);
        g.encoding = std::to_string(48 + d);
        g.dwidth = (d < 5 ? "6 0" : "7 0");  // 30 + 35 = 65
        digits.push_back(g);
    }
    BdfGlyphText zero;
    zero.name = "zero";
    zero.encoding = "-1";
    zero.dwidth = "100 0";
    digits.push_back(zero);
    BdfGlyphText x;
    x.name = "x";
    x.encoding = "120";
    x.bbx = "5 7 0 -2";
    digits.push_back(x);
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont(digits), font), StatusOk);
    EXPECT_EQ(propertyValue(font, "QUAD_WIDTH"), 6);
    EXPECT_EQ(propertyValue(font, "X_HEIGHT"), 5);

    x.bbx = "5 2 0 -3";
    x.rows = {"F8", "F8"};
    Font low;
    ASSERT_EQ(loadBdfText(bdfFont({x}, {"FONT_ASCENT 7", "FONT_DESCENT 3"}), low), StatusOk);
    EXPECT_EQ(propertyValue(low, "X_HEIGHT"), 2);
}

TEST(BdfFinish, DefaultGlyphAndPlaceholders) {
    std::vector<BdfGlyphText> glyphs;
    for (int code : {32, 33, 35}) {
        BdfGlyphText g;
        g.encoding = std::to_string(code);
        glyphs.push_back(g);
    }
    auto load = [&](std::vector<std::string> extra, Font& font) {
        std::vector<std::string> lines = basicProperties;
        lines.insert(lines.end(), extra.begin(), extra.end());
        return loadBdfText(bdfFont(glyphs, lines), font);
    };
    Font first;
    ASSERT_EQ(load({"DEFAULT_CHAR 32"}, first), StatusOk);
    EXPECT_EQ(first.bitmapFont->defaultGlyph, &first.bitmapFont->glyphs[0]);
    Font outside;
    ASSERT_EQ(load({"DEFAULT_CHAR 300"}, outside), StatusOk);
    EXPECT_EQ(outside.bitmapFont->defaultGlyph, nullptr);
    EXPECT_EQ(outside.info.defaultChar, 300);
    Font hole;
    ASSERT_EQ(load({"DEFAULT_CHAR 34"}, hole), StatusOk);
    EXPECT_EQ(hole.bitmapFont->defaultGlyph, nullptr);

    // File placeholders of -1 resolve like appended ones; other values stay.
    Font placeholders;
    ASSERT_EQ(load({"WEIGHT -1", "X_HEIGHT -1", "QUAD_WIDTH 9"}, placeholders), StatusOk);
    EXPECT_EQ(propertyValue(placeholders, "WEIGHT"), 10);
    EXPECT_EQ(propertyValue(placeholders, "X_HEIGHT"), 7);
    EXPECT_EQ(propertyValue(placeholders, "QUAD_WIDTH"), 9);
}

TEST(BdfFinish, GlyphsThatFitOneCellArePaddedIntoIt) {
    BdfGlyphText full, small;
    full.bbx = "5 7 0 0";
    small.encoding = "66";
    small.bbx = "3 2 1 -1";
    small.rows = {"E0", "A0"};
    // Byte-swapped layout: the padding must place pixels by their logical position.
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({full, small}, {"FONT_ASCENT 7", "FONT_DESCENT 1"}), font, 1, 0, 2, 2), StatusOk);
    EXPECT_TRUE(font.info.flags & FlagTerminalCell);
    EXPECT_TRUE(font.info.flags & FlagHasInkMetrics);
    const Glyph& g = font.bitmapFont->glyphs[1];
    EXPECT_EQ(g.metrics.rightBearing, 5);
    EXPECT_EQ(g.metrics.ascent, 7);
    EXPECT_EQ(g.metrics.descent, 1);
    // 8 rows of 2 bytes, swapped in pairs: row 6 holds 0x70 (pixels 1..3), row 7 holds 0x50.
    Bytes expected(16, 0);
    expected[6 * 2 + 1] = 0x70;
    expected[7 * 2 + 1] = 0x50;
    EXPECT_EQ(glyphBytes(font, 1), expected);
    const GlyphMetrics& ink = (*font.bitmapFont->inkMetrics)[1];
    EXPECT_EQ(ink.leftBearing, 1);
    EXPECT_EQ(ink.rightBearing, 4);
    EXPECT_EQ(ink.ascent, 1);
    EXPECT_EQ(ink.descent, 1);
}

TEST(BdfMalformed, EveryTruncationFailsCleanly) {
    std::string text = bdfFont({BdfGlyphText{}, BdfGlyphText{}}, {"FONT_ASCENT 7", "FONT_DESCENT 0", "X \"y\""});
    for (std::size_t cut = 0; cut + 1 < text.size(); ++cut) {  // all but the last line feed
        if (cut > 0 && text[cut - 1] != '\n' && cut % 7 != 0) continue;  // every line end, some mid-line cuts
        Font font;
        EXPECT_EQ(loadBdfText(text.substr(0, cut), font), StatusFail) << cut;
        EXPECT_EQ(font.bitmapFont, nullptr);
        EXPECT_TRUE(font.info.properties.empty());
    }
    Font whole;
    EXPECT_EQ(loadBdfText(text, whole), StatusOk);
}

// Every refusal names its line and why. Each case changes the smallest file (lines 1 to 24:
// header 1-4, properties 5-8, CHARS 9, the glyph 10-23 with rows 16-22, ENDFONT 24).
TEST(BdfMalformed, EveryRefusalSaysWhereAndWhy) {
    const std::string small = smallestBdf();
    struct Case {
        std::string from, to, reason;
    } cases[] = {
        {small, "", "the file is empty: STARTFONT 2.1 expected"},
        {"STARTFONT 2.1", "COMMENT why\nSTARTFONT 2.2", "line 2: STARTFONT 2.2: only version 2.1 is read"},
        {"STARTFONT 2.1", "STARTFONT", "line 1: STARTFONT: STARTFONT 2.1 expected"},
        {"FONT sample8", "FONT", "line 2: FONT: FONT and a name expected"},
        {"SIZE 8 75 75", "SIZE 8 75", "line 3: SIZE 8 75: SIZE with a point size and two resolutions expected"},
        {"SIZE 8 75 75", "SIZE 0.5 75 75", "line 3: SIZE 0.5 75 75: a point size below 1"},
        {"SIZE 8 75 75", "SIZE 8 0 75", "line 3: SIZE 8 0 75: a resolution below 1"},
        {"SIZE 8 75 75", "SIZE 8 9999999999 75", "line 3: SIZE 8 9999999999 75: a number out of range"},
        {"SIZE 8 75 75", "SIZE 3e8 75 75", "line 8: POINT_SIZE from the SIZE line's point size is past 32 bits"},
        {"SIZE 8 75 75", "SIZE 8 2000000000 2000000000",
         "line 8: RESOLUTION from the SIZE line's resolution is past 32 bits"},
        {"FONTBOUNDINGBOX 5 7 0 0\n", "", "line 4: STARTPROPERTIES 2: FONTBOUNDINGBOX expected"},
        {"STARTPROPERTIES 2", "STARTPROPERTIES", "line 5: STARTPROPERTIES: STARTPROPERTIES and a count expected"},
        {"FONT_ASCENT 7", "FONT_ASCENT 7x", "line 6: FONT_ASCENT 7x: an integer or a quoted value expected"},
        {"FONT_ASCENT 7", "FONT_ASCENT 9999999999", "line 6: FONT_ASCENT 9999999999: a value past 32 bits"},
        {"FONT_ASCENT 7", "FONT_ASCENT \"7", "line 6: FONT_ASCENT \"7: a quoted value without its closing quote"},
        {"FONT_ASCENT 7", "FONT_ASCENT", "line 6: FONT_ASCENT: a property name and one value expected"},
        {"STARTPROPERTIES 2", "STARTPROPERTIES 3", "line 8: ENDPROPERTIES: only 2 of the 3 properties declared"},
        {"STARTPROPERTIES 2", "STARTPROPERTIES 1",
         "line 7: FONT_DESCENT 0: ENDPROPERTIES expected after the 1 properties declared"},
        {"FONT_ASCENT 7", "ASCENT 7", "line 8: ENDPROPERTIES: no integer FONT_ASCENT among the properties"},
        {"FONT_DESCENT 0", "FONT_DESCENT \"0\"", "line 8: ENDPROPERTIES: no integer FONT_DESCENT among the properties"},
        {"CHARS 1", "CHARS", "line 9: CHARS: CHARS and a glyph count expected"},
        {"CHARS 1", "CHARS 0", "line 9: CHARS 0: at least one glyph expected"},
        {"CHARS 1", "CHARS 2", "line 24: ENDFONT: only 1 of the 2 glyphs declared"},
        {"CHARS 1", "CHARS 2\nBITMAP", "line 10: BITMAP: STARTCHAR expected"},
        {"STARTCHAR A", "STARTCHAR", "line 10: STARTCHAR: STARTCHAR and a glyph name expected"},
        {"ENCODING 65", "ENCODING", "line 11: ENCODING: ENCODING and a code expected"},
        {"ENCODING 65", "ENCODING -1 -2", "line 11: ENCODING -1 -2: a code below -1"},
        {"SWIDTH 667 0", "DWIDTH 5 0", "line 12: DWIDTH 5 0: SWIDTH expected"},
        {"SWIDTH 667 0", "SWIDTH 667", "line 12: SWIDTH 667: two values expected"},
        {"SWIDTH 667 0", "SWIDTH 667 1", "line 12: SWIDTH 667 1: a second value other than 0"},
        {"DWIDTH 5 0", "SWIDTH 5 0", "line 13: SWIDTH 5 0: DWIDTH expected"},
        {"DWIDTH 5 0", "DWIDTH 40000 0", "line 13: DWIDTH 40000 0: an advance past the 16-bit metrics"},
        {"BBX 5 7 0 0", "BBX 5 7 0", "line 14: BBX 5 7 0: BBX and four values expected"},
        {"BBX 5 7 0 0", "BBX 5 -7 0 0", "line 14: BBX 5 -7 0 0: a negative width or height"},
        {"BBX 5 7 0 0", "BBX 5 7 32767 0", "line 14: BBX 5 7 32767 0: a box past the 16-bit metrics"},
        {"BBX 5 7 0 0", "BBX 16000 9000 0 0",
         "line 15: BITMAP: the glyphs' bitmaps pass 16 MiB, more than any output holds"},
        {"BITMAP", "ATTRIBUTES 0000\nBITMA", "line 16: BITMA: BITMAP expected"},
        {"50\n88\nF8\n88\n88\n88\n", "", "line 17: ENDCHAR: only 1 of the 7 rows of the BBX"},
        {"88\nENDCHAR", "88\nENDFONT", "line 23: ENDFONT: ENDCHAR expected after the 7 rows of the BBX"},
        {"ENDCHAR\n", "ENDCHAR\n" + bdfGlyph(BdfGlyphText{}), "line 24: STARTCHAR A: more glyphs than the 1 declared"},
        {"ENDFONT", "END", "line 24: END: ENDFONT expected"},
        {"F8\n88\n88\n88\nENDCHAR\nENDFONT\n", "F8", "the file ends after line 19: a bitmap row expected"},
        {"ENCODING 65", std::string(1500, 'E'),
         "line 11: EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE...: ENCODING and a code expected"},
        {"STARTFONT 2.1", "STARTFONT 2.1\x01", "line 1: STARTFONT 2.1?: only version 2.1 is read"},
    };
    for (const Case& c : cases) {
        std::string text = small;
        const std::size_t at = text.rfind(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, c.from.size(), c.to);
        Font font;
        ReadReason reason;
        EXPECT_EQ(loadBdfText(text, font, 1, 1, 1, 1, &reason), StatusFail) << c.reason;
        EXPECT_STREQ(reason.text, c.reason.c_str());
    }
}

TEST(BdfMalformed, HugeDeclaredCountsFailFast) {
    std::string chars = smallestBdf();
    chars.replace(chars.find("CHARS 1"), 7, "CHARS 2147483647");
    EXPECT_FALSE(loads(chars));
    std::string properties = smallestBdf();
    properties.replace(properties.find("STARTPROPERTIES 2"), 17, "STARTPROPERTIES 2147483647");
    EXPECT_FALSE(loads(properties));
    BdfGlyphText big;
    big.bbx = "60000 30000 -30000 -15000";
    big.rows = {"FF"};
    EXPECT_FALSE(loads(bdfFont({big})));
}

TEST(BdfMalformed, BitmapsAreCappedAtOneFaceInRowsOfWholeBytes) {
    // The font's bitmaps may take one face's bytes (16 MiB) in rows of whole bytes, whatever the
    // pad, counted before a glyph's rows are read. A glyph of 4096 x 32767 pixels takes 512 bytes a
    // row in every pad and leaves 512 bytes: a glyph of one byte per row fills them exactly at any
    // pad; one row more is over.
    BdfGlyphText wide;
    wide.bbx = "4096 32767 0 0";
    wide.dwidth = "1 0";
    wide.rows.assign(32767, "0");
    BdfGlyphText rest = wide;
    struct Case {
        int rows, pad, status;
    };
    for (Case c : {Case{512, 1, StatusOk}, Case{513, 1, StatusFail}, Case{512, 8, StatusOk}}) {
        rest.bbx = "8 " + std::to_string(c.rows) + " 0 0";
        rest.rows.assign(static_cast<std::size_t>(c.rows), "0");
        Font font;
        EXPECT_EQ(loadBdfText(bdfFont({wide, rest}, noCellProperties), font, 1, 1, c.pad, 1), c.status)
            << c.rows << " rows at pad " << c.pad;
    }
}

TEST(BdfMalformed, TerminalCellsOfHugeSizeAreNotBuilt) {
    // Each cell would be 32767 x 32767 pixels; the load goes on unpadded.
    BdfGlyphText g;
    g.dwidth = "32767 0";
    g.bbx = "1 1 0 0";
    g.rows = {"80"};
    Font font;
    ASSERT_EQ(loadBdfText(bdfFont({g, g, g}, {"FONT_ASCENT 32767", "FONT_DESCENT 0"}), font), StatusOk);
    EXPECT_EQ(font.bitmapFont->glyphs[0].metrics.rightBearing, 1);
    EXPECT_FALSE(font.info.flags & FlagTerminalCell);
}

TEST(BdfMalformed, AllocationFailureAnywhereFailsCleanly) {
    std::vector<BdfGlyphText> glyphs(3);
    glyphs[1].encoding = "300";
    glyphs[2].bbx = "3 2 1 -1";
    glyphs[2].rows = {"E0", "A0"};
    std::string text = bdfFont(glyphs, {"FONT_ASCENT 7", "FONT_DESCENT 1", "C \"text\""});
    TempDir dir;
    writeFile(dir.path("f.bdf"), text);
    int failures = 0;
    for (long n = 1; n < 400; ++n) {
        FontStream* stream = openFontFile(dir.path("f.bdf").c_str());
        ASSERT_NE(stream, nullptr);
        Font font;
        failAllocationAt(n);
        int status = readBdfFont(&font, stream, 1, 1, 1, 1, nullptr);
        long used = allocationCount();
        failAllocationAt(0);
        closeFontFile(stream);
        if (used < n) {
            EXPECT_EQ(status, StatusOk);  // every allocation passed
            // The release frees what the font owns and leaves the record (here on the stack).
            font.releaseFont(&font);
            EXPECT_EQ(font.bitmapFont, nullptr);
            break;
        }
        // Ink metrics and cell padding may lose their memory without failing the load.
        if (status != StatusOk) {
            ++failures;
            EXPECT_EQ(font.bitmapFont, nullptr);
            releaseTextFont(&font);  // after a failed read: nothing left to free twice
        }
    }
    EXPECT_GT(failures, 5);
}
}  // namespace
