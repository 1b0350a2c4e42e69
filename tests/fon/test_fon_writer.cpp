// The FON writer on hand-built fonts: the container's layout, the font resource's header and cells,
// the information resource, the size limits and fonts that lie; FreeType reads back every file.
#include <gtest/gtest.h>

#include "fon/fnt_resource.h"
#include "fon/info_resource.h"
#include "fon/ne_module.h"
#include "stream/file_calls.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

std::vector<GlyphDrawing> printableAscii(GlyphMetrics m) {
    std::vector<GlyphDrawing> glyphs;
    for (int code = 32; code <= 126; ++code) glyphs.push_back(solid(code, m));
    return glyphs;
}

std::size_t fntOffset(const std::string& fon) { return resourceAt(fon, 1).offset; }

// Every character FreeType shows must be the cell the rules give; returns the first difference.
std::string checkWithFreeType(const Font& font, const std::string& path, int pad) {
    OracleFont oracle = loadWithFreeType(path);
    if (!oracle.error.empty()) return oracle.error;
    if (oracle.driver != "winfonts") return "driver " + oracle.driver;
    for (std::uint32_t i = 0; i + font.info.firstColumn <= font.info.lastColumn; ++i) {
        const Glyph* glyph = font.bitmapFont->encoding[i];
        const std::uint32_t code = (font.info.firstColumn + i) & 0xFF;
        auto seen = oracle.glyphs.find(code);
        if (!glyph) {
            if (seen != oracle.glyphs.end() && seen->second.width != 0) return "code " + std::to_string(code) + " inked";
            continue;
        }
        if (seen == oracle.glyphs.end()) return "code " + std::to_string(code) + " missing";
        if (std::string diff = compareWithOracle(seen->second, expectedCell(font, *glyph, pad)); !diff.empty())
            return "code " + std::to_string(code) + ": " + diff;
    }
    return {};
}

TEST(ByteWriter, LittleEndianFieldsAndFixedLayoutSizes) {
    ByteVector bytes;
    ByteWriter out(bytes);
    out.u8(0x1FF);
    out.u16(0x12345);
    out.u32(0x89ABCDEF);
    EXPECT_EQ(bytes, (ByteVector{0xFF, 0x45, 0x23, 0xEF, 0xCD, 0xAB, 0x89}));

    auto sizeOf = [](auto put) {
        ByteVector b;
        ByteWriter w(b);
        put(w);
        return b.size();
    };
    const NeLayout layout;
    const FntHeader fnt;
    const GlyphMetrics m{};
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putDosHeader(w, layout); }), 64u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putNeHeader(w, layout); }), 64u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putResourceTypeBlock(w, 0, 0); }), 8u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putResourceNameBlock(w, 0, 0, 0, 0); }), 12u);
    FntHeader fnt3;
    fnt3.dfVersion = FntVersion3;
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putFntHeader(w, fnt); }), 118u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putFntHeader(w, fnt3); }), 148u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putFontDirectoryEntry(w, 1, {}, "cour10"); }), 123u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putFntCharEntry(w, FntVersion2, 0, 0); }), 4u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putFntCharEntry(w, FntVersion3, 0, 0); }), 6u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putInfoHeader(w, InfoHeader{}); }), 72u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putInfoCharRecord(w, &m); }), 16u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putInfoCharRecord(w, nullptr); }), 16u);
    EXPECT_EQ(sizeOf([&](ByteWriter& w) { putInfoProperty(w, 0, 0, 0); }), 10u);
}

// Module cour10 with codes 32 to 126: every offset of the container and the font resource's table.
TEST(FonLayout, Cour10Module) {
    Font font = makeFont(32, 126, printableAscii(metrics(0, 7, 7, 8, 2)));
    TempDir dir;
    Written w = writeFontFile(font, dir, "cour10");
    ASSERT_EQ(w.status, StatusOk);
    const std::string& f = w.bytes;
    EXPECT_EQ(f.substr(0, 2), "MZ");
    EXPECT_EQ(le32(f, 60), 64u);
    EXPECT_EQ(f.substr(64, 2), "NE");
    EXPECT_EQ(le16(f, 64 + 4), 150u);   // entry table
    EXPECT_EQ(le16(f, 64 + 32), 31u);   // non-resident names
    EXPECT_EQ(le16(f, 64 + 38), 140u);  // resident names
    EXPECT_EQ(le16(f, 64 + 40), 150u);
    EXPECT_EQ(le16(f, 64 + 42), 150u);
    EXPECT_EQ(le32(f, 64 + 44), 216u);
    EXPECT_EQ(le16(f, 64 + 52), 3u);
    EXPECT_EQ(le16(f, 128), 4u);
    // type, count, reserved, unit, length, flags, name, per resource
    const std::uint32_t records[3][5] = {
        {0x8007, 16, 8, 0x0C50, 64}, {0x8008, 24, 0, 0x1C30, 0x8001}, {72, 0, 0, 0x0C30, 0x8001}};
    for (int r = 0; r < 3; ++r) {
        const std::size_t at = 130 + 20 * r;
        EXPECT_EQ(le16(f, at), records[r][0]) << r;
        EXPECT_EQ(le16(f, at + 2), 1u);
        if (records[r][1]) {
            EXPECT_EQ(le16(f, at + 8), records[r][1]) << r;
        }
        if (records[r][2]) {
            EXPECT_EQ(le16(f, at + 10), records[r][2]) << r;
        }
        EXPECT_EQ(le16(f, at + 12), records[r][3]) << r;
        EXPECT_EQ(le16(f, at + 14), records[r][4]) << r;
    }
    EXPECT_EQ(le16(f, 190), 0u);
    EXPECT_EQ(f.substr(192, 12), "\x07" "FONTDIR" "\x03" "SNF");
    EXPECT_EQ(f.substr(204, 10), std::string("\x06" "cour10\0\0\0", 10));
    EXPECT_EQ(f.substr(216, 31), std::string("\x1b" "FONTRES 133, 96, 72: cour10\0\0\0", 31));
    EXPECT_EQ(f.substr(247, 9), std::string(9, '\0'));

    const std::size_t fnt = fntOffset(f);
    ASSERT_EQ(fnt, 384u);
    const std::uint32_t dfSize = le32(f, fnt + 2);
    const std::uint32_t snfUnits = le16(f, 130 + 40 + 10);
    EXPECT_EQ(f.size(), 384 + (dfSize + 15) / 16 * 16 + snfUnits * 16);
    const std::uint32_t image = 256 + 128 + (dfSize + 15) / 16 * 16;  // the "SNF" resource is not counted
    EXPECT_EQ(le16(f, 2), image % 512);
    EXPECT_EQ(le16(f, 4), image / 512);
    // The directory repeats the header's first 113 bytes, dfSize included.
    EXPECT_EQ(le16(f, 256), 1u);
    EXPECT_EQ(f.substr(256 + 4, 113), f.substr(fnt, 113));
    EXPECT_EQ(f.substr(256 + 117, 8), std::string("\0cour10\0", 8));
    EXPECT_EQ(static_cast<unsigned char>(f[fnt + 95]), 32);
    EXPECT_EQ(static_cast<unsigned char>(f[fnt + 96]), 126);
    EXPECT_EQ(le32(f, fnt + 105), 502u);
    EXPECT_EQ(le32(f, fnt + 113), 509u);
    EXPECT_EQ(f.substr(fnt + 502, 7), std::string("cour10\0", 7));
    // 95 characters of 1 column x 10 rows, then the sentinel of dfMaxWidth.
    EXPECT_EQ(le16(f, fnt + 118 + 4 * 95), 7u);
    EXPECT_EQ(le16(f, fnt + 118 + 4 * 95 + 2), 509u + 950);
    EXPECT_EQ(dfSize, 509u + 10 * 96);
    EXPECT_EQ(checkWithFreeType(font, w.path, 1), "");
}

TEST(NeModule, TablesForOtherResourceLists) {
    TempDir dir;
    const std::string path = dir.path("m.fon");
    const std::uint8_t data[32] = {1, 2, 3};
    auto write = [&](std::span<const ResourceEntry> list, const char* name, const char* text) {
        FontStream* stream = createFontFile(path.c_str());
        const int status = writeNeModule(stream, list, name, text);
        EXPECT_EQ(closeFontFile(stream), 0);
        return status;
    };
    // One integer-typed, integer-named resource: no strings, R = 24; 32 bytes need no padding.
    const ResourceEntry one[] = {{{8, nullptr}, {1, nullptr}, data, 32, 0x30}};
    ASSERT_EQ(write(one, "m", ""), StatusOk);
    std::string f = readFile(path);
    EXPECT_EQ(le16(f, 64 + 38), 0x40u + 24);
    EXPECT_EQ(f.size(), 176u + 32);
    EXPECT_EQ(f.substr(176), std::string(reinterpret_cast<const char*>(data), 32));

    // Two resources of one type keep a type block each; names longer than a length byte are cut.
    const ResourceEntry two[] = {{{8, nullptr}, {1, nullptr}, data, 3, 0}, {{8, nullptr}, {2, nullptr}, data, 17, 0}};
    const std::string longName(300, 'a'), longText(300, 'b');
    ASSERT_EQ(write(two, longName.c_str(), longText.c_str()), StatusOk);
    f = readFile(path);
    EXPECT_EQ(le16(f, 64 + 52), 2u);
    EXPECT_EQ(le16(f, 130), 0x8008u);
    EXPECT_EQ(le16(f, 150), 0x8008u);
    EXPECT_EQ(le16(f, 150 + 10), 2u);  // 17 bytes take two units
    const std::size_t resident = 64 + le16(f, 64 + 38);
    EXPECT_EQ(static_cast<unsigned char>(f[resident]), 255);
    EXPECT_EQ(f.substr(resident + 1, 256), std::string(255, 'a') + '\0');
    EXPECT_EQ(le16(f, 64 + 32), 259u);
    const std::size_t nonResident = le32(f, 64 + 44);
    EXPECT_EQ(f.substr(nonResident, 257), "\xff" + std::string(255, 'b') + '\0');

    // A length in 16-byte units past 65535 would wrap: the unit doubles, for every offset and length.
    const ByteVector huge(65536 * 16);
    const ResourceEntry longer[] = {{{8, nullptr}, {1, nullptr}, data, 3, 0}, {{8, nullptr}, {2, nullptr}, huge.data(), 65536 * 16, 0}};
    ASSERT_EQ(write(longer, "m", "d"), StatusOk);
    f = readFile(path);
    EXPECT_EQ(le16(f, 64 + 50), 5u);
    EXPECT_EQ(le16(f, 128), 5u);
    EXPECT_EQ(le16(f, 130 + 8), 6u);  // the head's 176 bytes take 6 units of 32
    EXPECT_EQ(le16(f, 130 + 10), 1u);
    EXPECT_EQ(le16(f, 150 + 8), 7u);
    EXPECT_EQ(le16(f, 150 + 10), 32768u);
    EXPECT_EQ(f.size(), 7u * 32 + 65536 * 16);
    // Past the largest unit: refused before anything is written (the data is never read).
    const ResourceEntry tooLong[] = {{{8, nullptr}, {1, nullptr}, data, 0xFFFFFFFFu, 0}};
    EXPECT_EQ(write(tooLong, "m", "d"), StatusFail);
    EXPECT_EQ(readFile(path).size(), 0u);
    // Only an entry of the same type can join a type block.
    const ResourceEntry mixed[] = {{{8, nullptr}, {1, nullptr}, data, 3, 0}, {{0, "SNF"}, {2, nullptr}, data, 3, 0, true}};
    EXPECT_EQ(write(mixed, "m", "d"), StatusFail);

    // The first failed write ends the module with -1.
    FontStream* stream = createFontFile(path.c_str());
    fileCalls.write = [](int, const void*, std::size_t) -> std::int64_t { return -1; };
    const ResourceEntry big[] = {{{8, nullptr}, {1, nullptr}, huge.data(), 20000, 0}};
    EXPECT_EQ(writeNeModule(stream, big, "m", "d"), -1);
    closeFontFile(stream);
    fileCalls = platformFileCalls;
}

TEST(FntHeader, FieldsFromPropertiesAndFlags) {
    std::vector<GlyphDrawing> glyphs = {solid('A', metrics(0, 6, 10, 9, 3)), solid('X', metrics(0, 5, 8, 9, 3))};
    Font font = makeFont('A', 'Z', glyphs);
    const std::string copyright60(60, 'c');
    addStringProperty(font, "COPYRIGHT", copyright60);
    addProperty(font, "POINT_SIZE", 120);
    addStringProperty(font, "RESOLUTION_X", "75");
    addProperty(font, "RESOLUTION_Y", 72);
    font.info.defaultChar = 0x0141;
    TempDir dir;
    Written w = writeFontFile(font, dir);
    ASSERT_EQ(w.status, StatusOk);
    const std::string& f = w.bytes;
    const std::size_t h = fntOffset(f);
    EXPECT_EQ(le16(f, h), 0x200u);
    EXPECT_EQ(f.substr(h + 6, 61), copyright60 + '\0');  // no terminator inside the field
    EXPECT_EQ(le16(f, h + 68), 120u);
    EXPECT_EQ(le16(f, h + 70), 72u);
    EXPECT_EQ(le16(f, h + 72), 0u);  // a string RESOLUTION_X counts as absent
    EXPECT_EQ(le16(f, h + 74), 9u);
    EXPECT_EQ(le16(f, h + 83), 400u);
    EXPECT_EQ(static_cast<unsigned char>(f[h + 85]), 44);
    EXPECT_EQ(le16(f, h + 86), 0u);   // metrics differ
    EXPECT_EQ(le16(f, h + 88), 12u);
    EXPECT_EQ(static_cast<unsigned char>(f[h + 90]), 0x51);
    EXPECT_EQ(le16(f, h + 91), 8u);   // the cell of X, not maxBounds.advance
    EXPECT_EQ(le16(f, h + 93), 10u);
    EXPECT_EQ(static_cast<unsigned char>(f[h + 97]), 0x41);
    EXPECT_EQ(static_cast<unsigned char>(f[h + 98]), 0);  // no space in 'A'..'Z' to break at
    EXPECT_EQ(le16(f, h + 99), 2u + 1 + 2);

    // A longer COPYRIGHT is cut at 60; without X the average is maxBounds.advance; uniform metrics
    // give dfPixWidth and the fixed pitch; no default character is 0xFF.
    Font fixed = makeFont('A', 'B', {solid('A', metrics(0, 6, 8, 9, 3)), solid('B', metrics(0, 6, 8, 9, 3))});
    addStringProperty(fixed, "COPYRIGHT", copyright60 + "0123456789");
    Written v = writeFontFile(fixed, dir, "fixed");
    ASSERT_EQ(v.status, StatusOk);
    const std::size_t g = fntOffset(v.bytes);
    EXPECT_EQ(v.bytes.substr(g + 6, 60), copyright60);
    EXPECT_EQ(le16(v.bytes, g + 86), 8u);
    EXPECT_EQ(static_cast<unsigned char>(v.bytes[g + 90]), 0x50);
    EXPECT_EQ(le16(v.bytes, g + 91), 8u);
    EXPECT_EQ(static_cast<unsigned char>(v.bytes[g + 97]), 0xFF);

    // A default character inside the range counts from dfFirstChar, as Windows reads it (the one
    // of row 1 above lies outside row 0 and keeps its low byte).
    fixed.info.defaultChar = 'B';
    Written d = writeFontFile(fixed, dir, "fixedb");
    ASSERT_EQ(d.status, StatusOk);
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[fntOffset(d.bytes) + 97]), 1);
    // So does the break character, the space, in the font and its directory copy.
    Font spaced = makeFont(30, 'B', {solid(' ', metrics(0, 6, 8, 9, 3))});
    Written b = writeFontFile(spaced, dir, "spaced");
    ASSERT_EQ(b.status, StatusOk);
    EXPECT_EQ(b.bytes[fntOffset(b.bytes) + 98], 2);
    EXPECT_EQ(b.bytes[resourceAt(b.bytes, 0).offset + 4 + 98], 2);
}

TEST(FntHeader, LookUpsNeverCreateAtoms) {
    resetAtomTableForTesting();
    Font font = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    TempDir dir;
    ASSERT_EQ(writeFontFile(font, dir).status, StatusOk);
    EXPECT_EQ(atomTable().lastAtom, 0u);

    addProperty(font, "POINT_SIZE", -1);
    addProperty(font, "WEIGHT", 10);
    addStringProperty(font, "FAMILY_NAME", "Fixed");
    const Atom last = atomTable().lastAtom;
    EXPECT_EQ(findIntegerProperty(font, "POINT_SIZE"), -1);
    EXPECT_EQ(findIntegerProperty(font, "WEIGHT"), 10);
    EXPECT_EQ(findIntegerProperty(font, "FAMILY_NAME"), -1);
    EXPECT_STREQ(findStringProperty(font, "FAMILY_NAME"), "Fixed");
    EXPECT_EQ(findStringProperty(font, "WEIGHT"), nullptr);
    EXPECT_EQ(findStringProperty(font, "COPYRIGHT"), nullptr);
    EXPECT_EQ(atomTable().lastAtom, last);
}

TEST(FontShape, RowsAndColumnRanges) {
    TempDir dir;
    Font twoRows = makeFont(0, 255, {solid(65, metrics(0, 3, 4, 4, 0))});
    twoRows.info.lastRow = 1;
    Written w = writeFontFile(twoRows, dir);
    EXPECT_EQ(w.status, StatusBadFormat);
    EXPECT_EQ(w.bytes.size(), 0u);
    Font wide = makeFont(250, 255, {solid(251, metrics(0, 3, 4, 4, 0))});
    wide.info.lastColumn = 256;
    EXPECT_EQ(writeFontFile(wide, dir).status, StatusBadFormat);
    Font inverted = makeFont(10, 10, {});
    inverted.info.lastColumn = 8;
    EXPECT_EQ(writeFontFile(inverted, dir).status, StatusBadFormat);
    Font empty = makeFont(10, 9, {});
    EXPECT_EQ(writeFontFile(empty, dir).status, StatusOk);

    // All codes in row 1: the columns become the codes; the information resource says row 0.
    Font row1 = makeFont(0x40, 0x42, {solid(0x141, metrics(0, 3, 4, 4, 0))});
    row1.info.firstRow = row1.info.lastRow = 1;
    Written r = writeFontFile(row1, dir, "row1");
    ASSERT_EQ(r.status, StatusOk);
    EXPECT_EQ(static_cast<unsigned char>(r.bytes[fntOffset(r.bytes) + 95]), 0x40);
    const std::size_t snf = resourceAt(r.bytes, 2).offset;
    EXPECT_EQ(le16(r.bytes, snf + 20), 0u);
    EXPECT_EQ(le16(r.bytes, snf + 22), 0u);
    EXPECT_EQ(checkWithFreeType(row1, r.path, 1), "");
}

// Each cell is the advance, or in a proportional face a wider glyph's box, the ink at its left
// bearing as far as the cell allows; read from the table, the cells, -v's counts and FreeType.
TEST(GlyphCells, EveryCharacterKeepsItsWidth) {
    std::vector<GlyphDrawing> glyphs = {
        solid('A', metrics(0, 10, 8, 3, 0)),  // w 10 > advance: W = w = 10
        solid('B', metrics(2, 7, 8, 3, 0)),   // w 5 < 8: W = 8, ink in 2..6
        solid('C', metrics(9, 12, 14, 3, 0)), // W 14, K 2, ink in column 1 at 9..11
        solid('D', metrics(2, 9, 8, 3, 0)),   // W 8: the ink (2..8) moved left to 1..7
        solid('F', metrics(1, 4, 5, 2, 1)),   // E has no glyph
    };
    Font font = makeFont('A', 'F', glyphs);
    TempDir dir;
    Written w = writeFontFile(font, dir);
    ASSERT_EQ(w.status, StatusOk);
    const std::string& f = w.bytes;
    const std::size_t h = fntOffset(f);
    const std::uint32_t widths[] = {10, 8, 14, 8, 0, 5, 14};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(le16(f, h + 118 + 4 * i), widths[i]) << i;
    EXPECT_EQ(le16(f, h + 118 + 4 * 4 + 2), le16(f, h + 118 + 4 * 5 + 2));  // E shares F's offset
    const std::size_t cellC = h + le16(f, h + 118 + 8 + 2);
    EXPECT_EQ(f.substr(cellC, 8), std::string("\0\0\0\0\x70\x70\x70\0", 8));  // H = 4: column 0, then 1
    const std::size_t cellD = h + le16(f, h + 118 + 12 + 2);
    EXPECT_EQ(static_cast<unsigned char>(f[cellD]), 0x7F);
    EXPECT_EQ(checkWithFreeType(font, w.path, 1), "");
    EXPECT_EQ(cellPlacement(font).moved, 1);

    // 'a' at left bearing 1, or -1 (moved right to the origin); in a fixed-pitch face, 7 wide (moved,
    // and cut at its advance), and 'b' at 3..8 moved left into its cell.
    for (auto [left, right, advance, moved] : {std::tuple{1, 4, 10, 0}, {-1, 4, 10, 1}, {-4, 3, 6, 2}}) {
        Font boxed = makeFont('a', 'b', {solid('a', metrics(left, right, 6, 3, 0)), solid('b', metrics(3, 9, advance, 2, 1))});
        Written b = writeFontFile(boxed, dir, "boxed");
        ASSERT_EQ(b.status, StatusOk);
        EXPECT_EQ(le16(b.bytes, fntOffset(b.bytes) + 118), 6u);
        EXPECT_EQ(le16(b.bytes, fntOffset(b.bytes) + 122), static_cast<std::uint32_t>(advance));
        EXPECT_EQ(cellPlacement(boxed).moved, moved);
        EXPECT_EQ(cellPlacement(boxed).cut, advance == 6);
        EXPECT_EQ(checkWithFreeType(boxed, b.path, 1), "");
    }
}

// Irregular pixels, every glyph pad: FreeType sees the same cells whatever the source padding.
TEST(GlyphCells, EveryGlyphPadGivesTheSourcePixels) {
    std::vector<GlyphDrawing> glyphs;
    for (int code = 33; code < 60; ++code) {
        const int left = code % 4, width = 1 + (code * 7) % 23, ascent = 1 + code % 9, descent = code % 3;
        GlyphDrawing drawing{code, metrics(left, left + width, width + code % 5, ascent, descent), {}};
        for (int y = 0; y < ascent + descent; ++y) {
            std::string row;
            for (int x = 0; x < width; ++x) row += ((x * 3 + y * 5 + code) % 7 < 3) ? '#' : '.';
            drawing.rows.push_back(row);
        }
        glyphs.push_back(drawing);
    }
    glyphs.push_back(solid(60, metrics(0, 2, 2, 1, 0)));
    TempDir dir;
    for (int pad : {1, 2, 4, 8}) {
        Font font = makeFont(33, 60, glyphs, pad);
        Written w = writeFontFile(font, dir, "pad", pad);
        ASSERT_EQ(w.status, StatusOk) << pad;
        EXPECT_EQ(checkWithFreeType(font, w.path, pad), "") << pad;
    }
}

// The largest face of the Windows 2.x layout stays in it; one byte more takes the 3.0 layout (a
// longer header, entries with 32-bit offsets, the same cells); past MaxFaceBytes nothing is written.
TEST(FntSize, Windows2LayoutUpTo65536BytesThenWindows3) {
    // 126 + 0 + name + 1 + 64 rows x (511 + 511 sentinel) columns: 65536 with a one-letter name.
    auto build = [] { return makeFont(0, 0, {solid(0, metrics(0, 4088, 4088, 64, 0))}); };
    TempDir dir;
    Font exact = build();
    Written w = writeFontFile(exact, dir, "f");
    ASSERT_EQ(w.status, StatusOk);
    EXPECT_EQ(le16(w.bytes, fntOffset(w.bytes)), 0x200u);
    EXPECT_EQ(le32(w.bytes, fntOffset(w.bytes) + 2), 65536u);
    Font over = build();
    Written v = writeFontFile(over, dir, "fg");
    ASSERT_EQ(v.status, StatusOk);
    const std::string& f = v.bytes;
    const std::size_t h = fntOffset(f);
    EXPECT_EQ(le16(f, h), 0x300u);
    EXPECT_EQ(le32(f, h + 2), 163u + 64 * 1022);  // 148 + 2 entries of 6 + "fg" and its zero
    EXPECT_EQ(le32(f, h + 105), 160u);
    EXPECT_EQ(le32(f, h + 113), 163u);
    EXPECT_EQ(le32(f, h + 118), 1u);  // dfFlags: fixed pitch
    EXPECT_EQ(f.substr(h + 122, 26), std::string(26, '\0'));
    EXPECT_EQ(f.substr(h + 148, 12), std::string("\xF8\x0F\xA3\0\0\0\xF8\x0F\x63\x80\0\0", 12));
    EXPECT_EQ(f.substr(resourceAt(f, 0).offset + 4, 113), f.substr(h, 113));
    EXPECT_EQ(checkWithFreeType(over, v.path, 1), "");

    // A dot advancing 32760 pixels in cells 2100 rows tall: with the sentinel, 17 MB.
    Font past = makeFont('a', 'b', {solid('a', metrics(0, 1, 32760, 1, 0)), solid('b', metrics(0, 1, 1, 2100, 0))});
    Written p = writeFontFile(past, dir);
    EXPECT_EQ(p.status, StatusFail);
    EXPECT_EQ(p.bytes.size(), 0u);

    Font negative = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    negative.info.maxBounds.ascent = -10;
    EXPECT_EQ(writeFontFile(negative, dir).status, StatusFail);
}

// A PCF file's accelerators are taken as they stand, so glyphs may lie outside the bounds that
// make the cell: the writer keeps what fits the cell.
TEST(GlyphCells, GlyphsOutsideTheBoundsAreCut) {
    TempDir dir;
    Font font = makeFont('a', 'e', {solid('a', metrics(0, 6, 6, 4, 0)), solid('b', metrics(-3, 5, 6, 9, 2)),
                                    solid('c', metrics(0, 16, 16, 4, 0)), solid('d', metrics(5, 2, 6, 4, 0)),
                                    solid('e', metrics(0, 6, 6, 4, 0))});
    font.info.maxBounds.ascent = 4;  // 'b' is taller than the cell and starts left of it
    font.info.maxBounds.descent = 0;
    font.info.minBounds.leftBearing = 0;
    Written w = writeFontFile(font, dir);
    ASSERT_EQ(w.status, StatusOk);
    const std::size_t h = fntOffset(w.bytes);
    EXPECT_EQ(le16(w.bytes, h + 118 + 12), 6u);  // 'd': rightBearing < leftBearing, W = advance
    const std::size_t cellB = h + le16(w.bytes, h + 118 + 4 + 2);
    EXPECT_EQ(w.bytes.substr(cellB, 4), std::string(4, '\xFF'));  // source rows 5..8, moved right to the origin
}

TEST(InfoResource, PoolOfFamilyNameAndFixed) {
    resetAtomTableForTesting();
    Font font = makeFont('a', 'c', {solid('a', metrics(0, 3, 4, 4, 0)), solid('c', metrics(0, 3, 4, 4, 0))});
    addStringProperty(font, "FAMILY_NAME", "Fixed");
    TempDir dir;
    Written w = writeFontFile(font, dir);
    ASSERT_EQ(w.status, StatusOk);
    const std::string& f = w.bytes;
    const std::size_t snf = resourceAt(f, 2).offset;
    EXPECT_EQ(le16(f, snf), 4u);
    EXPECT_EQ(le16(f, snf + 24), 1u);
    EXPECT_EQ(le16(f, snf + 26), 18u);
    EXPECT_EQ(le16(f, snf + 70), 4u);
    // The position of 'b' has no glyph: 16 zero bytes; 'a' has its metrics and bit 24.
    EXPECT_EQ(le16(f, snf + 72 + 2), 3u);
    EXPECT_EQ(le32(f, snf + 72 + 12), 1u << 24);
    EXPECT_EQ(f.substr(snf + 88, 16), std::string(16, '\0'));
    const std::size_t property = snf + 72 + 48;
    EXPECT_EQ(le32(f, property), 0u);
    EXPECT_EQ(le32(f, property + 4), 12u);
    EXPECT_EQ(le16(f, property + 8), 1u);
    EXPECT_EQ(f.substr(property + 10, 18), std::string("FAMILY_NAME\0Fixed\0", 18));
    EXPECT_EQ(resourceAt(f, 2).units, (72u + 48 + 10 + 18 + 15) / 16);
}

TEST(InfoResource, SizesPoolSharingAndInkSection) {
    resetAtomTableForTesting();
    Font font = makeFont(32, 126, printableAscii(metrics(0, 7, 7, 8, 2)));
    for (int i = 0; i < 20; ++i) {
        const std::string name = "PROP_NAME_" + std::string(4 - std::to_string(i).size(), '0') + std::to_string(i);
        addProperty(font, name.c_str(), i);  // 20 names of 14 letters: a pool of 300 bytes
    }
    InfoResourcePlan plan;
    ASSERT_TRUE(planInfoResource(font, plan));
    EXPECT_EQ(plan.size, 2092u);
    EXPECT_EQ(plan.header.bitFlags & InfoInkSectionBit, 0u);
    font.info.flags |= FlagHasInkMetrics;  // flag without records: still no ink section
    ASSERT_TRUE(planInfoResource(font, plan));
    EXPECT_EQ(plan.size, 2092u);
    font.bitmapFont->inkMetrics.emplace(font.bitmapFont->glyphs.size(), metrics(1, 2, 3, 4, 5));
    ASSERT_TRUE(planInfoResource(font, plan));
    EXPECT_EQ(plan.size, 3644u);
    EXPECT_NE(plan.header.bitFlags & InfoInkSectionBit, 0u);
    ByteVector bytes;
    ByteWriter out(bytes);
    buildInfoResource(font, font.bitmapFont.get(), plan, out);
    ASSERT_EQ(bytes.size(), 3644u);
    EXPECT_EQ(bytes[2092 + 32 + 16 * 3], 1u);  // ink record of code 35: leftBearing 1
    EXPECT_EQ(bytes[2092 + 32 + 16 * 3 + 15], 1u);

    // A value shared by two properties, and a name that is another property's value, pool once.
    resetAtomTableForTesting();
    Font shared = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    addStringProperty(shared, "FOUNDRY", "Misc");
    addStringProperty(shared, "FAMILY_NAME", "Misc");
    addStringProperty(shared, "CHARSET_REGISTRY", "FOUNDRY");
    ASSERT_TRUE(planInfoResource(shared, plan));
    EXPECT_EQ(plan.header.poolLength, 8u + 5 + 12 + 17);
}

TEST(InfoResource, UndescribableResourcesFail) {
    TempDir dir;
    Font pool = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    addStringProperty(pool, "COMMENT", std::string(40000, 'x'));
    addStringProperty(pool, "NOTICE", std::string(40000, 'y'));
    EXPECT_EQ(writeFontFile(pool, dir).status, StatusFail);

    Font many = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    for (int i = 0; i < 65536; ++i) addProperty(many, "WEIGHT", i);
    EXPECT_EQ(writeFontFile(many, dir).status, StatusFail);
    many.info.properties.pop_back();
    many.info.propertyIsString.pop_back();
    EXPECT_EQ(writeFontFile(many, dir).status, StatusOk);

    Font unknown = makeFont('a', 'a', {solid('a', metrics(0, 3, 4, 4, 0))});
    unknown.info.properties.push_back({atomTable().lastAtom + 1, 0});
    unknown.info.propertyIsString.push_back(0);
    EXPECT_EQ(writeFontFile(unknown, dir).status, StatusFail);
}

TEST(FonWriter, EveryAllocationFailureIsStatusFail) {
    Font font = makeFont(32, 126, printableAscii(metrics(0, 7, 7, 8, 2)));
    addStringProperty(font, "FAMILY_NAME", "Fixed");
    TempDir dir;
    const std::string path = dir.path("alloc.fon");
    for (long n = 1;; ++n) {
        FontStream* stream = createFontFile(path.c_str());
        ASSERT_NE(stream, nullptr);
        stream->fontName = "alloc";
        failAllocationAt(n);
        const int status = writeFon(&font, stream, 1);
        const bool failed = allocationCount() >= n;
        failAllocationAt(0);
        closeFontFile(stream);
        if (!failed) {
            EXPECT_EQ(status, StatusOk);
            break;
        }
        EXPECT_EQ(status, StatusFail) << n;
    }
}

}  // namespace
