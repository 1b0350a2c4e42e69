// The PCF reader on hand-made files: tables, metrics forms, properties, accelerators, bitmap
// layout conversion, encodings, and the cases that must fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <random>

#include "font/alloc.h"
#include "font/bitmap.h"
#include "pcf/pcf_reader.h"
#include "tests/pcf/pcf_test_util.h"

namespace {
struct Layout {
    int bitOrder, byteOrder, glyphPad, scanUnit;
};

// Every glyph of the font read from `source` shows exactly the pixels the test font declares.
void expectGlyphs(const Font& font, const TestFont& source) {
    ASSERT_TRUE(font.bitmapFont);
    const BitmapFont& bf = *font.bitmapFont;
    ASSERT_EQ(bf.glyphs.size(), source.glyphs.size());
    for (std::size_t i = 0; i < source.glyphs.size(); ++i) {
        const TestGlyph& want = source.glyphs[i];
        const Glyph& glyph = bf.glyphs[i];
        EXPECT_EQ(glyph.metrics.leftBearing, want.leftBearing);
        EXPECT_EQ(glyph.metrics.rightBearing, want.rightBearing);
        EXPECT_EQ(glyph.metrics.advance, want.advance);
        int width = want.rightBearing - want.leftBearing;
        int rows = want.ascent + want.descent;
        if (width <= 0 || rows <= 0) {
            EXPECT_EQ(glyph.bitmap, nullptr);
            continue;
        }
        ASSERT_NE(glyph.bitmap, nullptr);
        // Every bitmap lies wholly inside the one block.
        const std::uint8_t* begin = bf.bitmapBlock.data();
        EXPECT_GE(glyph.bitmap, begin);
        EXPECT_LE(glyph.bitmap + rows * paddedRowBytes(width, font.glyphPad), begin + bf.bitmapBlock.size());
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(glyphPixel(font, glyph, x, y), ((want.rows[y] >> (width - 1 - x)) & 1) != 0)
                    << "glyph " << i << " x " << x << " y " << y;
    }
}

std::string flip(std::string bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// Offset of table `index` as the builder placed it (directory entry field at 8 + 16 i + 12).
std::uint32_t tableOffset(const std::string& file, int index) {
    std::uint32_t offset;
    std::memcpy(&offset, file.data() + 8 + 16 * index + 12, 4);
    return offset;
}

int readStatus(const std::string& bytes, Layout layout = {1, 1, 2, 1}) {
    Font font;
    return readPcfBytes(font, bytes, layout.bitOrder, layout.byteOrder, layout.glyphPad, layout.scanUnit);
}
}  // namespace

TEST(PcfReader, ReadsStandardFontAndFillsTheModel) {
    TestFont source = TestFont::standard();
    Font font;
    ASSERT_EQ(readPcfBytes(font, source.build()), StatusOk);
    expectGlyphs(font, source);
    const BitmapFont& bf = *font.bitmapFont;
    EXPECT_EQ(bf.sourceTag, 0x70636601u);
    EXPECT_EQ(bf.glyphCount, 4);
    EXPECT_EQ(bf.tableCount, 6);
    EXPECT_EQ(font.info.firstColumn, 65);
    EXPECT_EQ(font.info.lastColumn, 69);
    ASSERT_EQ(bf.encoding.size(), 5u);
    EXPECT_EQ(bf.encoding[0], &bf.glyphs[0]);
    EXPECT_EQ(bf.encoding[2], nullptr);
    EXPECT_EQ(bf.encoding[4], &bf.glyphs[3]);
    EXPECT_EQ(bf.defaultGlyph, &bf.glyphs[0]);
    EXPECT_FALSE(font.info.flags & FlagAllCodesPresent);
    EXPECT_EQ(font.info.flags & (FlagAlwaysSet | FlagAlwaysClear), FlagAlwaysSet);
    ASSERT_TRUE(bf.inkMetrics.has_value());
    EXPECT_EQ((*bf.inkMetrics)[1].rightBearing, 7);  // ink record, not the cell
    EXPECT_EQ(font.getGlyphs, getGlyphs);
    EXPECT_EQ(font.getMetrics, getMetrics);
    EXPECT_EQ(font.releaseFont, releaseBinaryFont);
    EXPECT_EQ(font.glyphPad, 2);
    // Properties keep their file order: string first, then the integer.
    ASSERT_EQ(font.info.propertyCount(), 2);
    EXPECT_STREQ(atomName(font.info.properties[0].name), "FAMILY_NAME");
    EXPECT_TRUE(font.info.propertyIsString[0]);
    EXPECT_STREQ(atomName(static_cast<Atom>(font.info.properties[0].value)), "Test");
    EXPECT_STREQ(atomName(font.info.properties[1].name), "POINT_SIZE");
    EXPECT_EQ(font.info.properties[1].value, 120);
}

TEST(PcfReader, IntegerOrdersAndMetricFormsReadAlike) {
    for (bool msb : {false, true}) {
        for (bool compressed : {false, true}) {
            TestFont source = TestFont::standard();
            source.msbTables = msb;
            source.compressedMetrics = compressed;
            Font font;
            ASSERT_EQ(readPcfBytes(font, source.build()), StatusOk) << msb << compressed;
            expectGlyphs(font, source);
            EXPECT_EQ(font.info.fontAscent, 3);
            EXPECT_EQ(font.info.maxBounds.rightBearing, 18);
            EXPECT_EQ(font.info.minBounds.leftBearing, -1);
        }
    }
}

TEST(PcfReader, CompressedMetricBytesAndUnsignedSixteenBitFields) {
    // 0x80 reads as 0, 0x00 as -128, 0xFF as 127; a full-form FF FF stores as -1.
    PcfInput input;
    std::string compressed("\x80\x00\xff\x81\x7f", 5);
    compressed.append(std::string("\xff\xff\x00\x01", 4));
    FontStream* stream = openMemoryStream(compressed);
    input.stream = stream;
    GlyphMetrics m{};
    ASSERT_TRUE(readCompressedMetric(input, m));
    EXPECT_EQ(m.leftBearing, 0);
    EXPECT_EQ(m.rightBearing, -128);
    EXPECT_EQ(m.advance, 127);
    EXPECT_EQ(m.ascent, 1);
    EXPECT_EQ(m.descent, -1);
    EXPECT_EQ(m.attributes, 0);
    std::int32_t value;
    ASSERT_TRUE(readInt16(input, 4, value));
    EXPECT_EQ(value, 65535);
    ASSERT_TRUE(readInt16(input, 4, value));
    EXPECT_EQ(value, 1);  // MSB first: 00 01
    EXPECT_EQ(input.position, 9);
    // End of data is reported, never assembled into a ones-filled value.
    EXPECT_FALSE(readInt16(input, 0, value));
    EXPECT_EQ(input.position, 9);
    closeFontStream(stream, 1);
}

TEST(PcfReader, HeaderAndDirectory) {
    std::string good = TestFont::standard().build();
    EXPECT_EQ(readStatus(good), StatusOk);
    std::string reversed = good;
    std::memcpy(reversed.data(), "\x70\x63\x66\x01", 4);
    EXPECT_EQ(readStatus(reversed), StatusFail);

    // Properties listed twice: the first entry counts; a second entry pointing at garbage is ignored.
    TestFont source = TestFont::standard();
    auto tables = source.tables();
    tables.push_back({1, std::string(16, '\xff')});
    EXPECT_EQ(readStatus(buildPcf(tables)), StatusOk);
    // ...and when the first is the broken one, the good duplicate does not rescue the read.
    std::swap(tables.front(), tables.back());
    EXPECT_EQ(readStatus(buildPcf(tables)), StatusFail);

    // A table offset inside the directory lies behind the position and cannot be reached.
    EXPECT_EQ(readStatus(flip(good, 8 + 12, 8)), StatusFail);
    // Required tables missing: each of 1, 2, 4, 8, 32.
    for (std::uint32_t missing : {1u, 2u, 4u, 8u, 32u}) {
        std::vector<PcfTableBytes> without;
        for (const auto& t : source.tables())
            if (t.type != missing) without.push_back(t);
        EXPECT_EQ(readStatus(buildPcf(without)), StatusFail) << missing;
    }
    // A zero or negative table count is an empty directory: nothing required is found.
    EXPECT_EQ(readStatus(flip(good, 4, 0)), StatusFail);
    EXPECT_EQ(readStatus(flip(good, 4, 0x80000000u)), StatusFail);
}

TEST(PcfReader, PropertyPaddingInvalidRecordsAndUnterminatedText) {
    for (int n = 4; n <= 7; ++n) {
        TestFont source = TestFont::standard();
        source.stringProperties.clear();
        source.intProperties.clear();
        for (int i = 0; i < n; ++i) source.intProperties.push_back({"P" + std::to_string(i), i * 10});
        Font font;
        ASSERT_EQ(readPcfBytes(font, source.build()), StatusOk) << n;
        ASSERT_EQ(font.info.propertyCount(), n);
        EXPECT_EQ(font.info.properties[n - 1].value, (n - 1) * 10);
    }

    TestFont source = TestFont::standard();
    source.stringProperties = {{"A", "x"}, {"B", "y"}, {"C", "z"}};
    source.intProperties.clear();
    std::string file = source.build();
    std::uint32_t props = tableOffset(file, 0);
    // MSB table: records start after format and count, 9 bytes each; the string block holds
    // "A\0x\0B\0y\0C\0z\0" (12 bytes).
    auto setBig = [&](std::string f, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * (3 - i)));
        return f;
    };
    std::size_t record1 = props + 8 + 9;
    // Name offset equal to the block size ends the list there, though the third record is valid.
    Font cut;
    ASSERT_EQ(readPcfBytes(cut, setBig(file, record1, 12)), StatusOk);
    EXPECT_EQ(cut.info.propertyCount(), 1);
    EXPECT_EQ(cut.info.propertyIsString.size(), 1u);
    // A string value outside the block ends it too.
    Font badValue;
    ASSERT_EQ(readPcfBytes(badValue, setBig(file, record1 + 5, 0xFFFFFFFFu)), StatusOk);
    EXPECT_EQ(badValue.info.propertyCount(), 1);
    // The last text's NUL replaced: the value runs to the block's end.
    std::size_t blockEnd = props + 8 + 27 + 1 + 4 + 12;
    std::string unterminated = file;
    unterminated[blockEnd - 1] = 'w';
    Font open;
    ASSERT_EQ(readPcfBytes(open, unterminated), StatusOk);
    ASSERT_EQ(open.info.propertyCount(), 3);
    EXPECT_STREQ(atomName(static_cast<Atom>(open.info.properties[2].value)), "zw");
    // A negative count fails the read.
    EXPECT_EQ(readStatus(setBig(file, props + 4, 0xFFFFFFFFu)), StatusFail);
}

TEST(PcfReader, FormatKinds) {
    TestFont source = TestFont::standard();
    auto tables = source.tables();
    auto withFormat = [&](std::size_t index, std::uint32_t format) {
        auto copy = tables;
        std::uint32_t old;
        std::memcpy(&old, copy[index].bytes.data(), 4);
        std::uint32_t word = (old & 0xFF) | format;
        std::memcpy(copy[index].bytes.data(), &word, 4);
        return buildPcf(copy);
    };
    EXPECT_EQ(readStatus(withFormat(2, 0x200)), StatusFail);      // metrics kind 0x200
    EXPECT_EQ(readStatus(withFormat(2, 0x10000)), StatusFail);    // any bit above 8
    EXPECT_EQ(readStatus(withFormat(2, 0xC0)), StatusOk);         // bits 6, 7 ignored
    EXPECT_EQ(readStatus(withFormat(0, 0x100)), StatusFail);      // properties only plain
    EXPECT_EQ(readStatus(withFormat(3, 0x100)), StatusFail);      // bitmaps only plain
    EXPECT_EQ(readStatus(withFormat(5, 0x100)), StatusFail);      // encodings only plain
    EXPECT_EQ(readStatus(withFormat(1, 0x300)), StatusFail);      // accelerators 0 or 0x100
}

TEST(PcfReader, AcceleratorFlagsAndTheBdfStyleTable) {
    TestFont source = TestFont::standard();
    auto tables = source.tables();
    // Flag bytes: only the lowest bit counts (direction: the lowest two).
    TableBytes accel(0x0C);
    for (int b : {0x03, 0x02, 0x01, 0xFE, 0x01, 0x01, 0x05, 0xFF}) accel.byte(static_cast<std::uint32_t>(b));
    accel.i32(0x00010007);  // ascent keeps its low 16 bits
    accel.i32(2);
    accel.i32(0xFFFFFFFF);
    accel.metric(-2, 1, 3, 4, 5, 6);
    accel.metric(7, 8, 9, 10, 11, 12);
    tables[1].bytes = accel.data();
    Font font;
    ASSERT_EQ(readPcfBytes(font, buildPcf(tables)), StatusOk);
    std::uint32_t flags = font.info.flags;
    EXPECT_TRUE(flags & FlagNonOverlapping);
    EXPECT_FALSE(flags & FlagUniformMetrics);
    EXPECT_TRUE(flags & FlagTerminalCell);
    EXPECT_FALSE(flags & FlagFixedAdvance);
    EXPECT_TRUE(flags & FlagInkWithinCell);
    EXPECT_TRUE(flags & FlagHasInkMetrics);
    EXPECT_EQ(flags & DirectionMask, 0x080u);
    EXPECT_EQ(font.info.fontAscent, 7);
    EXPECT_EQ(font.info.fontDescent, 2);
    EXPECT_EQ(font.info.maxOverlap, -1);
    EXPECT_EQ(font.info.minBounds.leftBearing, -2);
    EXPECT_EQ(font.info.maxBounds.attributes, 12);
    // Plain kind: ink bounds are copies of the bounds.
    EXPECT_EQ(font.info.inkMinBounds.descent, 5);
    EXPECT_EQ(font.info.inkMaxBounds.ascent, 10);

    // Both listed: only table 256 is read, last, and its ink bounds are its own.
    source.bdfAccelerators = true;
    Font both;
    ASSERT_EQ(readPcfBytes(both, source.build()), StatusOk);
    EXPECT_EQ(both.info.inkMinBounds.rightBearing, 1);
    EXPECT_EQ(both.info.minBounds.rightBearing, 0);
    EXPECT_FALSE(both.info.flags & FlagAllCodesPresent);  // the encoding step's bit survives
    // Table 2 broken does not matter when 256 is listed.
    auto withBroken = source.tables();
    withBroken[1].bytes = std::string(4, '\xff');
    EXPECT_EQ(readStatus(buildPcf(withBroken)), StatusOk);
    // Table 256 placed before the metrics can no longer be reached at the end.
    auto early = source.tables();
    PcfTableBytes bdfAccel = early.back();
    early.pop_back();
    early.insert(early.begin() + 2, bdfAccel);
    EXPECT_EQ(readStatus(buildPcf(early)), StatusFail);
}

TEST(PcfReader, BitmapLayoutConversionInEveryRequest) {
    // File formats: pads 1..8, both byte and bit orders, units 1, 2, 4.
    for (std::uint32_t padIndex = 0; padIndex < 4; ++padIndex)
        for (std::uint32_t orders : {0u, 4u, 8u, 12u})
            for (std::uint32_t unitIndex = 0; unitIndex < 3; ++unitIndex) {
                TestFont source = TestFont::standard();
                source.bitmapFormat = padIndex | orders | unitIndex << 4;
                std::string file = source.build();
                for (int bit : {0, 1})
                    for (int byte : {0, 1})
                        for (int pad : {1, 2, 4, 8})
                            for (int unit : {1, 2, 4}) {
                                // Swapped units wider than the row pad have no consistent layout.
                                if (bit != byte && unit > pad) continue;
                                // So do files whose swapped units are wider than their pad.
                                if (((orders >> 2) & 1) != ((orders >> 3) & 1) && unitIndex > padIndex) continue;
                                Font font;
                                ASSERT_EQ(readPcfBytes(font, file, bit, byte, pad, unit), StatusOk);
                                SCOPED_TRACE(::testing::Message() << "format " << source.bitmapFormat << " layout "
                                                                  << bit << byte << pad << unit);
                                expectGlyphs(font, source);
                                if (HasFatalFailure() || HasNonfatalFailure()) return;
                            }
            }
}

TEST(PcfReader, DocumentedSwapUnitChoice) {
    // File byte order 0, bit order 1, unit 4, requesting MSB/MSB unit 1: the file's unit undoes it.
    TestFont source = TestFont::standard();
    source.glyphs = {{0, 32, 32, 1, 0, {0x01020304}}};
    source.encoding = {0};
    source.bitmapFormat = 0x08 | 0x20 | 2;  // bits MSB, bytes LSB, unit 4, pad 4
    Font font;
    ASSERT_EQ(readPcfBytes(font, source.build(), 1, 1, 4, 1), StatusOk);
    const std::uint8_t* row = font.bitmapFont->glyphs[0].bitmap;
    EXPECT_EQ(std::vector<int>(row, row + 4), (std::vector<int>{1, 2, 3, 4}));
    // File MSB/MSB, requesting byte order 0, bit order 1, unit 2: the requested unit is used.
    source.bitmapFormat = 0x0C | 2;
    Font swapped;
    ASSERT_EQ(readPcfBytes(swapped, source.build(), 1, 0, 4, 2), StatusOk);
    row = swapped.bitmapFont->glyphs[0].bitmap;
    EXPECT_EQ(std::vector<int>(row, row + 4), (std::vector<int>{2, 1, 4, 3}));
}

TEST(PcfReader, RepaddingSizesTheBlockFromTheGlyphs) {
    TestFont source = TestFont::standard();  // pad 4 in the file
    Font same;
    ASSERT_EQ(readPcfBytes(same, source.build(), 1, 1, 4, 1), StatusOk);
    // Widths 3, 9, 17, 0 with 3, 3, 2, 0 rows.
    EXPECT_EQ(same.bitmapFont->bitmapBlock.size(), 3u * 4 + 3 * 4 + 2 * 4);
    Font narrow;
    ASSERT_EQ(readPcfBytes(narrow, source.build(), 1, 1, 2, 1), StatusOk);
    EXPECT_EQ(narrow.bitmapFont->bitmapBlock.size(), 3u * 2 + 3 * 2 + 2 * 4);
    Font wide;
    ASSERT_EQ(readPcfBytes(wide, source.build(), 1, 1, 8, 1), StatusOk);
    EXPECT_EQ(wide.bitmapFont->bitmapBlock.size(), 3u * 8 + 3 * 8 + 2 * 8);

    // A size entry for the requested pad that claims 2 GB: the block is still what the glyphs need.
    std::string file = source.build();
    std::uint32_t bitmaps = tableOffset(file, 3);
    std::size_t sizes = bitmaps + 8 + 4 * 4;  // after format, count and four offsets
    auto setBig = [](std::string f, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * (3 - i)));
        return f;
    };
    Font huge;
    ASSERT_EQ(readPcfBytes(huge, setBig(file, sizes + 4 * 3, 0x7FFFFFFF), 1, 1, 8, 1), StatusOk);
    EXPECT_EQ(huge.bitmapFont->bitmapBlock.size(), 3u * 8 + 3 * 8 + 2 * 8);
    // One byte short of what the glyphs need at that pad fails.
    EXPECT_EQ(readStatus(setBig(file, sizes + 4 * 3, 3 * 8 + 3 * 8 + 2 * 8 - 1), {1, 1, 8, 1}), StatusFail);
    // Negative entry.
    EXPECT_EQ(readStatus(setBig(file, sizes + 4 * 1, 0x80000000u), {1, 1, 2, 1}), StatusFail);
}

TEST(PcfReader, BitmapOffsetsAndExtents) {
    TestFont source = TestFont::standard();
    std::string file = source.build();
    std::uint32_t bitmaps = tableOffset(file, 3);
    auto setBig = [](std::string f, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * (3 - i)));
        return f;
    };
    std::size_t offsets = bitmaps + 8;
    std::uint32_t blockSize = 3 * 4 + 3 * 4 + 2 * 4;
    // The empty glyph may sit at the very end of the block.
    EXPECT_EQ(readStatus(setBig(file, offsets + 12, blockSize)), StatusOk);
    EXPECT_EQ(readStatus(setBig(file, offsets + 12, blockSize + 1)), StatusFail);
    // The last real glyph moved so its rows would run past the block.
    EXPECT_EQ(readStatus(setBig(file, offsets + 8, blockSize - 7)), StatusFail);
    EXPECT_EQ(readStatus(setBig(file, offsets + 8, 0xFFFFFFF0u)), StatusFail);
    // Glyph count different from the metrics.
    EXPECT_EQ(readStatus(setBig(file, bitmaps + 4, 3)), StatusFail);
    // The block cut short by the end of the file.
    std::string shortBlock = file.substr(0, bitmaps + 8 + 16 + 16 + blockSize - 1);
    EXPECT_EQ(readStatus(shortBlock), StatusFail);
}

TEST(PcfReader, NegativeSizesGiveNoBitmap) {
    TestFont source = TestFont::standard();
    source.glyphs.push_back({5, 2, 3, 2, 1, {}});   // negative width
    source.glyphs.push_back({0, 4, 4, -3, 1, {}});  // negative height
    source.encoding = {0, 1, 2, 3, 4, 5};
    for (int pad : {1, 4, 8}) {
        Font font;
        ASSERT_EQ(readPcfBytes(font, source.build(), 1, 1, pad, 1), StatusOk);
        EXPECT_EQ(font.bitmapFont->glyphs[4].bitmap, nullptr);
        EXPECT_EQ(font.bitmapFont->glyphs[5].bitmap, nullptr);
        expectGlyphs(font, source);
    }
}

TEST(PcfReader, InkMetricsPresenceAndCount) {
    TestFont source = TestFont::standard();
    source.inkMetrics = false;
    Font none;
    ASSERT_EQ(readPcfBytes(none, source.build()), StatusOk);
    EXPECT_FALSE(none.bitmapFont->inkMetrics.has_value());
    // An ink table placed before the bitmaps is passed by then: absent, not an error.
    source.inkMetrics = true;
    auto tables = source.tables();
    std::swap(tables[3], tables[4]);
    Font passed;
    ASSERT_EQ(readPcfBytes(passed, buildPcf(tables)), StatusOk);
    EXPECT_FALSE(passed.bitmapFont->inkMetrics.has_value());
    // One record fewer than the glyphs.
    TestFont fewer = TestFont::standard();
    auto fewerTables = fewer.tables();
    TestFont shorter = fewer;
    shorter.glyphs.pop_back();
    fewerTables[4].bytes = shorter.metrics(true).data();
    EXPECT_EQ(readStatus(buildPcf(fewerTables)), StatusFail);
}

TEST(PcfReader, EncodingEntriesRangesAndDefaultGlyph) {
    TestFont source = TestFont::standard();
    source.encoding = {0, 1, 2, 3};
    Font all;
    ASSERT_EQ(readPcfBytes(all, source.build()), StatusOk);
    EXPECT_TRUE(all.info.flags & FlagAllCodesPresent);

    source.encoding = {0, 1, 4};  // 4 = the glyph count
    EXPECT_EQ(readStatus(source.build()), StatusFail);

    source = TestFont::standard();
    for (int defaultChar : {0xFFFF, 64, 70, 0x0141, 67}) {
        source.defaultChar = defaultChar;
        Font font;
        ASSERT_EQ(readPcfBytes(font, source.build()), StatusOk);
        // Outside the ranges, none, or a code without a glyph (67): no default glyph.
        EXPECT_EQ(font.bitmapFont->defaultGlyph, nullptr) << defaultChar;
    }
    source.defaultChar = 68;
    Font withDefault;
    ASSERT_EQ(readPcfBytes(withDefault, source.build()), StatusOk);
    EXPECT_EQ(withDefault.bitmapFont->defaultGlyph, &withDefault.bitmapFont->glyphs[2]);

    // Inverted ranges fail rather than producing a negative table size.
    std::string file = TestFont::standard().build();
    std::uint32_t enc = tableOffset(file, 5);
    std::string inverted = file;
    inverted[enc + 4] = 0;
    inverted[enc + 5] = 70;
    inverted[enc + 6] = 0;
    inverted[enc + 7] = 65;
    EXPECT_EQ(readStatus(inverted), StatusFail);
    std::string rows = file;
    rows[enc + 8] = 0;
    rows[enc + 9] = 2;  // first row 2 above last row 0
    EXPECT_EQ(readStatus(rows), StatusFail);
}

TEST(PcfReader, HugeDeclaredCountsFailWithoutHugeMemory) {
    struct rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::string file = TestFont::standard().build();
    auto setBig = [](std::string f, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * (3 - i)));
        return f;
    };
    std::vector<std::string> cases;
    cases.push_back(flip(file, 4, 0x7FFFFFFF));                            // directory entries
    cases.push_back(setBig(file, tableOffset(file, 0) + 4, 0x7FFFFFFF));   // properties
    cases.push_back(setBig(file, tableOffset(file, 2) + 4, 0x7FFFFFFF));   // metrics
    cases.push_back(setBig(file, tableOffset(file, 4) + 4, 0x7FFFFFFF));   // ink metrics
    cases.push_back(setBig(file, tableOffset(file, 3) + 4, 0x7FFFFFFF));   // bitmaps count
    cases.push_back(setBig(file, tableOffset(file, 3) + 8 + 16 + 8, 0x7FFFFFFF));  // block size (pad 4)
    std::string bigCodes = file;  // 65536 x 65536 codes
    std::uint32_t enc = tableOffset(file, 5);
    for (int i = 0; i < 4; ++i) bigCodes[enc + 4 + i] = "\x00\x00\xff\xff"[i];
    bigCodes[enc + 8] = 0; bigCodes[enc + 9] = 0; bigCodes[enc + 10] = '\xff'; bigCodes[enc + 11] = '\xff';
    cases.push_back(bigCodes);
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(readStatus(cases[i]), StatusFail) << i;
    // The string block size is the last field before the strings: a huge one only reads to the end.
    struct rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "kilobytes";
}

TEST(PcfReader, EveryAllocationFailureFailsCleanly) {
    std::string file = TestFont::standard().build();
    for (int layout = 0; layout < 2; ++layout) {
        int pad = layout ? 8 : 4;  // with and without re-padding
        bool succeeded = false;
        for (long n = 1; n < 200 && !succeeded; ++n) {
            FontStream* stream = openMemoryStream(file);
            ASSERT_NE(stream, nullptr);
            Font font;
            failAllocationAt(n);
            int status = readPcfFont(&font, stream, 1, 1, pad, 1, nullptr);
            failAllocationAt(0);
            closeFontStream(stream, 1);
            if (status == StatusOk) {
                succeeded = true;
                // The release frees what the font owns and leaves the record (here on the stack).
                font.releaseFont(&font);
                EXPECT_FALSE(font.bitmapFont);
                continue;
            }
            EXPECT_EQ(status, StatusFail);
            EXPECT_EQ(font.info.propertyCount(), 0);
            EXPECT_EQ(font.info.properties.capacity(), 0u);
            EXPECT_FALSE(font.bitmapFont);
            releaseBinaryFont(&font);  // after a failed read: nothing left to free twice
        }
        EXPECT_TRUE(succeeded);
    }
}

TEST(PcfReader, RejectsRequestsOutsideTheDocumentedLayouts) {
    std::string file = TestFont::standard().build();
    EXPECT_EQ(readStatus(file, {1, 1, 3, 1}), StatusFail);
    EXPECT_EQ(readStatus(file, {1, 1, 2, 8}), StatusFail);
    EXPECT_EQ(readStatus(file, {2, 1, 2, 1}), StatusFail);
}

// Fields are taken straight from the stream's buffer when it holds them whole, and gathered byte
// by byte across a refill otherwise: fills of 1 to 7 bytes put every boundary inside every field.
TEST(PcfReader, SmallFillsReadTheSameFont) {
    std::mt19937 random(15);
    TestFont wide = TestFont::standard();
    wide.glyphs.clear();
    wide.encoding.clear();
    for (int k = 0; k < 40; ++k) {
        int width = 1 + static_cast<int>(random() % 31), ascent = static_cast<int>(random() % 6);
        TestGlyph glyph{static_cast<int>(random() % 3), 0, width, ascent, static_cast<int>(random() % 3), {}};
        glyph.rightBearing = glyph.leftBearing + width;
        for (int r = 0; r < ascent + glyph.descent; ++r)
            glyph.rows.push_back(static_cast<std::uint32_t>(random()) & ((1u << width) - 1));
        wide.glyphs.push_back(glyph);
        wide.encoding.push_back(k);
    }
    TestFont compressed = TestFont::standard(), lsb = TestFont::standard();
    compressed.compressedMetrics = true;
    lsb.msbTables = false;
    auto describe = [](const std::string& file, std::size_t fillSize) {
        FontStream* stream = openMemoryStream(file, fillSize);
        Font font;
        int status = readPcfFont(&font, stream, 1, 1, 2, 1, nullptr);
        closeFontStream(stream, 1);
        std::string text = std::to_string(status);
        if (status != StatusOk) return text;
        const BitmapFont& store = *font.bitmapFont;
        for (const Glyph& g : store.glyphs) {
            const GlyphMetrics& m = g.metrics;
            for (int v : {int{m.leftBearing}, int{m.rightBearing}, int{m.advance}, int{m.ascent}, int{m.descent},
                          int{m.attributes}})
                text += " " + std::to_string(v);
            if (g.bitmap)
                text.append(reinterpret_cast<const char*>(g.bitmap), static_cast<std::size_t>(glyphBitmapBytes(m, 2)));
        }
        for (const Glyph* g : store.encoding) text += g ? std::to_string(g - store.glyphs.data()) : "-";
        for (const FontProperty& p : font.info.properties) text += " " + std::to_string(p.value);
        return text;
    };
    for (const TestFont* source : {&wide, &compressed, &lsb}) {
        const std::string file = source->build();
        const std::string whole = describe(file, StreamBufferSize);
        ASSERT_EQ(whole.substr(0, 2), std::to_string(StatusOk));
        for (std::size_t fill = 1; fill <= 7; ++fill) EXPECT_EQ(describe(file, fill), whole) << "fill " << fill;
    }
}

// Every refusal names the part of the file and what was wrong in it. The standard font's tables: 0 properties,
// 1 accelerators, 2 metrics, 3 bitmaps (pad 4), 4 ink metrics, 5 encodings; integers MSB first, format words LSB.
TEST(PcfReader, EveryRefusalSaysWhichTableAndWhy) {
    const TestFont source = TestFont::standard();
    const std::string good = source.build();
    auto at = [&](int table) { return static_cast<std::size_t>(tableOffset(good, table)); };
    auto set = [&](std::size_t offset, std::uint32_t value, int width) {
        std::string file = good;
        for (int i = 0; i < width; ++i) file[offset + i] = static_cast<char>(value >> (8 * (width - 1 - i)));
        return file;
    };
    auto cut = [&](std::size_t length) { return good.substr(0, length); };
    struct Case {
        std::string file;
        int pad;
        std::string reason;
    } cases[] = {
        {"", 2, "file header: the file ends at byte 0"},
        {flip(good, 0, 0x01666370), 2, "file header: no PCF magic (the bytes 01 66 63 70) at its start"},
        {good.substr(0, 20), 2, "table directory: the file ends at byte 20"},
        {flip(good, 8 + 16 * 3, 64), 2, "PCF_BITMAPS table: not in the table directory"},
        {flip(good, 8 + 12, 8), 2,
         "PCF_PROPERTIES table: at byte 8, behind byte 104 where reading stands (tables come in a fixed order)"},
        {flip(good, 8 + 16 * 5 + 12, 0x7FFFFF00), 2,
         "PCF_BDF_ENCODINGS table: at byte 2147483392, past the end of the file"},
        {flip(good, at(0), 0x10C), 2, "PCF_PROPERTIES table: format 0x0000010C of a kind this table does not take"},
        {set(at(0) + 4, 0xFFFFFFFF, 4), 2, "PCF_PROPERTIES table: a negative property count, -1"},
        {set(at(0) + 28, 0xFFFFFFFF, 4), 2, "PCF_PROPERTIES table: a negative string block size, -1"},
        {cut(at(0) + 26), 2, "PCF_PROPERTIES table: the file ends at byte " + std::to_string(at(0) + 26)},
        {flip(good, at(1), 0x30C), 2, "PCF_ACCELERATORS table: format 0x0000030C of a kind this table does not take"},
        {cut(at(1) + 6), 2, "PCF_ACCELERATORS table: the file ends at byte " + std::to_string(at(1) + 6)},
        {flip(good, at(2), 0x20C), 2, "PCF_METRICS table: format 0x0000020C of a kind this table does not take"},
        {set(at(2) + 4, 0xFFFFFFFF, 4), 2, "PCF_METRICS table: a negative glyph count, -1"},
        {cut(at(2) + 10), 2, "PCF_METRICS table: the file ends at byte " + std::to_string(at(2) + 10)},
        {flip(good, at(3), 0x10E), 2, "PCF_BITMAPS table: format 0x0000010E of a kind this table does not take"},
        {set(at(3) + 4, 5, 4), 2, "PCF_BITMAPS table: a glyph count of 5 for the 4 glyphs of the PCF_METRICS table"},
        {set(at(3) + 32, 0xFFFFFFFF, 4), 4, "PCF_BITMAPS table: a negative block size, -1"},
        {set(at(3) + 8, 1000, 4), 4, "PCF_BITMAPS table: glyph 0 at offset 1000 runs past the 32-byte block"},
        {set(at(3) + 28, 0xFFFFFFFF, 4), 2, "PCF_BITMAPS table: a negative block size for pad 2, -1"},
        {set(at(3) + 28, 1, 4), 2,
         "PCF_BITMAPS table: the bitmaps take 20 bytes at pad 2, more than the 1 its size entry gives"},
        {cut(at(3) + 50), 2, "PCF_BITMAPS table: the file ends at byte " + std::to_string(at(3) + 50)},
        {set(at(4) + 4, 3, 4), 2, "PCF_INK_METRICS table: 3 records for the 4 glyphs of the PCF_METRICS table"},
        {flip(good, at(5), 0x10C), 2, "PCF_BDF_ENCODINGS table: format 0x0000010C of a kind this table does not take"},
        {set(at(5) + 6, 0, 2), 2, "PCF_BDF_ENCODINGS table: last column 0 before first column 65"},
        {set(at(5) + 8, 1, 2), 2, "PCF_BDF_ENCODINGS table: last row 0 before first row 1"},
        {set(at(5) + 14, 4, 2), 2, "PCF_BDF_ENCODINGS table: entry 0 names glyph 4 of 4"},
        {cut(at(5) + 15), 2, "PCF_BDF_ENCODINGS table: the file ends at byte " + std::to_string(at(5) + 15)},
        {good, 3, "a bitmap layout the programs never ask for"},
    };
    for (const Case& c : cases) {
        Font font;
        ReadReason reason;
        EXPECT_EQ(readPcfBytes(font, c.file, 1, 1, c.pad, 1, &reason), StatusFail) << c.reason;
        EXPECT_STREQ(reason.text, c.reason.c_str());
    }
}
