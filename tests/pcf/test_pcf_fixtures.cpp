// The PCF reader on files written by bdftopcf, in every format it can write, from our own BDF and
// from Debian's real fonts: every glyph as FreeType reads the same file, in every layout corvane
// can ask for. Then the same small files cut short and with hostile counts and offsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "font/bitmap.h"
#include "font/code_page.h"
#include "pcf/pcf_reader.h"
#include "tests/pcf/pcf_test_util.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace {
std::uint32_t getInt(const std::string& f, std::size_t at, int width, bool msb) {
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        int shift = msb ? 8 * (width - 1 - i) : 8 * i;
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(f[at + i])) << shift;
    }
    return v;
}

struct Layout {
    int bitOrder, byteOrder, glyphPad, scanUnit;
};

std::string describe(const Layout& l) {
    std::ostringstream s;
    s << (l.bitOrder ? "-m" : "-l") << (l.byteOrder ? " -M" : " -L") << " -p" << l.glyphPad << " -u" << l.scanUnit;
    return s.str();
}

// Every layout corvane accepts whose bytes are well defined: swapped units never wider than the pad.
std::vector<Layout> allLayouts() {
    std::vector<Layout> layouts;
    for (int bit : {1, 0})
        for (int byte : {1, 0})
            for (int pad : {2, 1, 4, 8})
                for (int unit : {1, 2, 4})
                    if (bit == byte || unit <= pad) layouts.push_back({bit, byte, pad, unit});
    return layouts;
}

// A handful that still covers each value of each setting, for the large real fonts.
std::vector<Layout> someLayouts() {
    return {{1, 1, 2, 1}, {0, 0, 1, 4}, {1, 0, 4, 4}, {0, 1, 8, 2}, {1, 0, 2, 2}, {0, 1, 8, 4}};
}

// Every combination of pad, unit and orders, then terminal and no-ink conversions.
std::vector<std::vector<std::string>> allBdftopcfFormats() {
    std::vector<std::vector<std::string>> formats;
    for (const char* pad : {"-p1", "-p2", "-p4", "-p8"})
        for (const char* unit : {"-u1", "-u2", "-u4"})
            for (const char* bit : {"-m", "-l"})
                for (const char* byte : {"-M", "-L"}) formats.push_back({pad, unit, bit, byte});
    formats.push_back({"-t"});
    formats.push_back({"-i"});
    return formats;
}

std::vector<std::vector<std::string>> someBdftopcfFormats() {
    return {{"-p1", "-u1", "-m", "-M"}, {"-p1", "-u4", "-l", "-L"}, {"-p2", "-u2", "-m", "-L"},
            {"-p2", "-u1", "-l", "-M"}, {"-p4", "-u4", "-m", "-L"}, {"-p4", "-u2", "-l", "-L"},
            {"-p8", "-u4", "-l", "-M"}, {"-p8", "-u1", "-m", "-M"}, {"-t"},  {"-i"}};
}

std::string joined(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

bool runBdftopcf(const std::string& bdf, const std::string& pcf, const std::vector<std::string>& options) {
    std::vector<std::string> argv = {"bdftopcf"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"-o", pcf, bdf});
    RunResult r = runCommand(argv);
    return r.exitStatus == 0 && fileExists(pcf);
}

// Our own font: widths from 1 to 70 pixels cross every row pad, bearings on both sides of the
// origin, descenders, an empty glyph, gaps in the codes and a default character.
std::string sampleBdf() {
    std::ostringstream bdf;
    struct G {
        int code, width, height, xoff, yoff, advance;
    };
    // 188 (one quarter) is in no Cyrillic page: -c1251 drops it and packs the glyphs after it anew.
    std::vector<G> glyphs = {{32, 0, 0, 0, 0, 5},   {188, 5, 3, 0, 0, 6},   {33, 1, 9, 2, 0, 4},    {34, 7, 3, -1, 6, 6},
                             {48, 8, 10, 0, -2, 8}, {49, 9, 12, -2, -3, 9}, {65, 16, 11, 0, 0, 17},
                             {66, 17, 14, 1, -3, 18}, {67, 33, 5, -4, 2, 30}, {90, 70, 4, 0, -1, 71},
                             {255, 3, 3, 0, 0, 4}};
    bdf << "STARTFONT 2.1\nFONT -test-sample-medium-r-normal--14-140-75-75-p-90-iso8859-1\nSIZE 14 75 75\n"
        << "FONTBOUNDINGBOX 70 14 -4 -3\nSTARTPROPERTIES 7\nFONT_ASCENT 11\nFONT_DESCENT 3\nDEFAULT_CHAR 48\n"
        << "CHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"1\"\n"
        << "COPYRIGHT \"nobody\"\nFAMILY_NAME \"Sample\"\nENDPROPERTIES\nCHARS " << glyphs.size() << "\n";
    unsigned seed = 12345;
    for (const G& g : glyphs) {
        bdf << "STARTCHAR c" << g.code << "\nENCODING " << g.code << "\nSWIDTH 500 0\nDWIDTH " << g.advance
            << " 0\nBBX " << g.width << " " << g.height << " " << g.xoff << " " << g.yoff << "\nBITMAP\n";
        int bytes = (g.width + 7) / 8;
        for (int y = 0; y < g.height; ++y) {
            for (int b = 0; b < bytes; ++b) {
                seed = seed * 1103515245 + 12345;
                int value = static_cast<int>((seed >> 16) & 0xFF);
                int used = g.width - 8 * b;
                if (used < 8) value &= (0xFF << (8 - used)) & 0xFF;
                // The edges always carry ink so the bounding box stays as declared.
                if (b == 0) value |= 0x80;
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02X", value);
                bdf << hex;
            }
            bdf << "\n";
        }
        bdf << "ENDCHAR\n";
    }
    bdf << "ENDFONT\n";
    return bdf.str();
}

// Every encoded glyph of `font` equals FreeType's reading of the same PCF, and FreeType finds no
// code the font lacks.
void expectSameAsFreeType(const Font& font, const OracleFont& oracle, const std::string& what) {
    ASSERT_TRUE(oracle.error.empty()) << what << ": " << oracle.error;
    const BitmapFont& bf = *font.bitmapFont;
    std::size_t columns = static_cast<std::size_t>(font.info.lastColumn - font.info.firstColumn) + 1;
    std::size_t encoded = 0;
    int mismatches = 0;
    for (std::size_t i = 0; i < bf.encoding.size() && mismatches < 5; ++i) {
        const Glyph* glyph = bf.encoding[i];
        if (!glyph) continue;
        ++encoded;
        std::uint32_t code = static_cast<std::uint32_t>((font.info.firstRow + i / columns) * 256 +
                                                        font.info.firstColumn + i % columns);
        auto found = oracle.glyphs.find(code);
        if (found == oracle.glyphs.end()) {
            ADD_FAILURE() << what << ": FreeType has no code " << code;
            ++mismatches;
            continue;
        }
        const OracleGlyph& o = found->second;
        const GlyphMetrics& m = glyph->metrics;
        int width = m.rightBearing - m.leftBearing;
        int rows = m.ascent + m.descent;
        bool same = o.left == m.leftBearing && o.top == m.ascent && o.advance == m.advance &&
                    (width <= 0 || rows <= 0 || (o.width == width && o.rows == rows));
        for (int y = 0; same && width > 0 && y < rows; ++y)
            for (int x = 0; same && x < width; ++x) same = glyphPixel(font, *glyph, x, y) == o.pixel(x, y);
        if (!same) {
            ADD_FAILURE() << what << ": glyph " << code << " differs from FreeType";
            ++mismatches;
        }
    }
    if (mismatches == 0) {
        EXPECT_EQ(encoded, oracle.glyphs.size()) << what;
    }
}

// bdftopcf asked for swapped units wider than the row pad (say -p1 -u4 -l -M) writes a table
// whose glyphs do not start on unit boundaries yet whose bytes were swapped as if they did: no
// reading recovers the source glyphs (FreeType swaps per glyph, pcf2bdf per block, and both
// differ from the BDF). Such files are read, but there is nothing to compare them with.
bool consistentFile(const std::string& bytes) {
    std::uint32_t count;
    std::memcpy(&count, bytes.data() + 4, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t type, offset, format;
        std::memcpy(&type, bytes.data() + 8 + 16 * i, 4);
        std::memcpy(&offset, bytes.data() + 8 + 16 * i + 12, 4);
        if (type != 8) continue;
        std::memcpy(&format, bytes.data() + offset, 4);
        bool swapped = ((format >> 2) & 1) != ((format >> 3) & 1);
        return !swapped || ((format >> 4) & 3) <= (format & 3);
    }
    return false;
}

// Every glyph a read for a code page keeps has the metrics and bytes the whole read gives its code.
void expectSameKeptGlyphs(const Font& whole, const Font& paged, const std::string& what) {
    const FontInfo& info = paged.info;
    const std::size_t columns = static_cast<std::size_t>(info.lastColumn - info.firstColumn) + 1;
    for (std::size_t i = 0; i < paged.bitmapFont->encoding.size(); ++i) {
        const Glyph* kept = paged.bitmapFont->encoding[i];
        if (!kept) continue;
        const Glyph* full = encodedGlyph(whole, static_cast<unsigned>(info.firstRow + i / columns),
                                         static_cast<unsigned>(info.firstColumn + i % columns));
        const std::size_t size = static_cast<std::size_t>(glyphBitmapBytes(kept->metrics, paged.glyphPad));
        ASSERT_NE(full, nullptr) << what;
        EXPECT_TRUE(std::memcmp(&kept->metrics, &full->metrics, sizeof(GlyphMetrics)) == 0 &&
                    (size == 0 || std::memcmp(kept->bitmap, full->bitmap, size) == 0))
            << what << ": code " << info.firstColumn + i % columns << " differs from the whole read";
    }
}

// Every layout; for a file of our font also a read for -c1251, which drops and repacks glyphs.
// `oracleFile`: where FreeType reads the same glyphs, when not from the file itself.
void readAndCompare(const std::string& pcf, const std::vector<Layout>& layouts, const std::string& what,
                    bool paged = false, const std::string& oracleFile = "") {
    OracleFont oracle = loadWithFreeType(oracleFile.empty() ? pcf : oracleFile);
    std::string bytes = readFile(pcf);
    bool comparable = !oracleFile.empty() || consistentFile(bytes);
    for (const Layout& layout : layouts) {
        Font font;
        int status = readPcfBytes(font, bytes, layout.bitOrder, layout.byteOrder, layout.glyphPad, layout.scanUnit);
        ASSERT_EQ(status, StatusOk) << what << " read as " << describe(layout);
        if (comparable) expectSameAsFreeType(font, oracle, what + " read as " + describe(layout));
        if (paged) {
            Font page;
            CodePageRequest cp1251;
            cp1251.page = findCodePage("1251");
            page.codePages = std::span<const CodePageRequest>(&cp1251, 1);
            ASSERT_EQ(readPcfBytes(page, bytes, layout.bitOrder, layout.byteOrder, layout.glyphPad, layout.scanUnit),
                      StatusOk);
            ASSERT_LT(page.bitmapFont->glyphs.size(), font.bitmapFont->glyphs.size()) << what;
            expectSameKeptGlyphs(font, page, what + " -c1251 read as " + describe(layout));
        }
        if (::testing::Test::HasFailure()) return;
    }
}

// A file whose scan unit is wider than its pad, as a writer of that unit holds it (bdftopcf makes
// no such file readable): bdftopcf's unit-1 file with the unit set in the bitmap table's format and
// the block swapped in units counted from its start (a partial last unit as it is).
std::string withWiderUnit(std::string pcf, int unit) {
    for (std::uint32_t k = 0; k < le32(pcf, 4); ++k) {
        if (le32(pcf, 8 + 16 * k) != 8) continue;
        const std::size_t table = le32(pcf, 8 + 16 * k + 12);
        const std::uint32_t format = (le32(pcf, table) & ~0x30u) | (unit == 2 ? 0x10u : 0x20u);
        put32(pcf, 8 + 16 * k + 4, format), put32(pcf, table, format);
        const std::uint32_t count = getInt(pcf, table + 4, 4, format & 4);
        const std::size_t block = table + 8 + 4 * count + 16, size = getInt(pcf, block - 16 + 4 * (format & 3), 4, format & 4);
        for (std::size_t at = 0; at + unit <= size; at += unit) std::reverse(pcf.begin() + block + at, pcf.begin() + block + at + unit);
    }
    return pcf;
}

struct RealFont {
    std::string path;  // .pcf.gz under /usr/share/fonts/X11
};

// Single-row fonts of every kind in the installed corpus (fixed and proportional, cursors,
// terminal fonts, 75 and 100 dpi), and one large multi-row font.
std::vector<std::string> realCorpus() {
    const char* names[] = {"misc/4x6-ISO8859-1",  "misc/5x7-ISO8859-1",     "misc/6x13B-ISO8859-1",
                           "misc/7x14-ISO8859-1", "misc/10x20-ISO8859-1",   "misc/cursor",
                           "misc/decsess",        "misc/clR6x12",           "misc/ter-u12b_iso-8859-1",
                           "misc/ter-u32n_iso-8859-1", "misc/arabic24",     "75dpi/helvR12-ISO8859-1",
                           "75dpi/timBI24-ISO8859-1", "75dpi/symb14",      "100dpi/courR24-ISO8859-1",
                           "100dpi/lubB18-ISO8859-1", "misc/6x13"};
    std::vector<std::string> found;
    for (const char* name : names) {
        std::string path = std::string("/usr/share/fonts/X11/") + name + ".pcf.gz";
        if (fileExists(path)) found.push_back(path);
    }
    return found;
}

}  // namespace

TEST(PcfFixtures, SampleFontInEveryBdftopcfFormatAndEveryLayout) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf");
    TempDir dir;
    writeFile(dir.path("sample.bdf"), sampleBdf());
    for (const auto& options : allBdftopcfFormats()) {
        std::string pcf = dir.path("sample.pcf");
        ASSERT_TRUE(runBdftopcf(dir.path("sample.bdf"), pcf, options)) << joined(options);
        readAndCompare(pcf, allLayouts(), "sample " + joined(options), true);
        if (HasFailure()) return;
    }
    // Units wider than the pad, across glyph boundaries, with bytes swapped against the bit order.
    for (auto [pad, unit] : {std::pair{1, 2}, {1, 4}, {2, 4}}) {
        const std::string narrow = dir.path("narrow.pcf"), wide = dir.path("wide.pcf");
        ASSERT_TRUE(runBdftopcf(dir.path("sample.bdf"), narrow, {"-p" + std::to_string(pad), "-u1", "-l", "-M"}));
        writeFile(wide, withWiderUnit(readFile(narrow), unit));
        readAndCompare(wide, allLayouts(), "sample -p" + std::to_string(pad) + " -u" + std::to_string(unit) + " -l -M",
                       true, narrow);
        if (HasFailure()) return;
    }
}

TEST(PcfFixtures, SampleFontProperties) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf");
    TempDir dir;
    writeFile(dir.path("sample.bdf"), sampleBdf());
    ASSERT_TRUE(runBdftopcf(dir.path("sample.bdf"), dir.path("sample.pcf"), {}));
    Font font;
    ASSERT_EQ(readPcfBytes(font, readFile(dir.path("sample.pcf"))), StatusOk);
    std::map<std::string, std::string> strings;
    std::map<std::string, int> integers;
    for (int i = 0; i < font.info.propertyCount(); ++i) {
        std::string name = atomName(font.info.properties[i].name);
        if (font.info.propertyIsString[i]) strings[name] = atomName(static_cast<Atom>(font.info.properties[i].value));
        else integers[name] = font.info.properties[i].value;
    }
    EXPECT_EQ(strings["COPYRIGHT"], "nobody");
    EXPECT_EQ(strings["FAMILY_NAME"], "Sample");
    // bdftopcf moves these three into the accelerators and the encodings.
    EXPECT_EQ(integers.count("FONT_ASCENT") + integers.count("FONT_DESCENT") + integers.count("DEFAULT_CHAR"), 0u);
    EXPECT_EQ(font.info.fontAscent, 11);
    EXPECT_EQ(font.info.fontDescent, 3);
    EXPECT_EQ(font.info.defaultChar, 48);
    EXPECT_EQ(font.info.firstColumn, 32);
    EXPECT_EQ(font.info.lastColumn, 255);
    EXPECT_FALSE(font.info.flags & FlagAllCodesPresent);
    ASSERT_NE(font.bitmapFont->defaultGlyph, nullptr);
    EXPECT_EQ(font.bitmapFont->defaultGlyph->metrics.rightBearing, 8);
    EXPECT_EQ(font.info.maxBounds.rightBearing, 70);
    EXPECT_EQ(font.info.minBounds.leftBearing, -4);
}

TEST(PcfFixtures, RealFontsInEveryFormatMatchFreeType) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf", XfontsBase, XfontsTerminus, Xfonts75dpi, Xfonts100dpi);
    std::vector<std::string> corpus = realCorpus();
    ASSERT_GE(corpus.size(), 10u);
    TempDir dir;
    for (const std::string& gz : corpus) {
        std::string original = dir.path("original.pcf");
        std::string bdf = dir.path("font.bdf");
        ASSERT_TRUE(gunzipFile(gz, original)) << gz;
        // The installed file itself, then bdftopcf's rewrites of it.
        readAndCompare(original, someLayouts(), gz);
        ASSERT_TRUE(pcfToBdf(original, bdf)) << gz;
        for (const auto& options : someBdftopcfFormats()) {
            std::string pcf = dir.path("font.pcf");
            ASSERT_TRUE(runBdftopcf(bdf, pcf, options)) << gz << " " << joined(options);
            readAndCompare(pcf, {someLayouts()[0], someLayouts()[1]}, gz + " " + joined(options));
        }
        if (HasFailure()) return;
    }
}

TEST(PcfFixtures, CompressedInputReadsTheSame) {
    REQUIRE_INSTALLED("compress", XfontsBase);
    TempDir dir;
    std::string pcf = dir.path("font.pcf");
    ASSERT_TRUE(gunzipFile("/usr/share/fonts/X11/misc/9x15-ISO8859-1.pcf.gz", pcf));
    ASSERT_EQ(runShell("compress -c '" + pcf + "' > '" + pcf + ".Z'").exitStatus, 0);
    ASSERT_TRUE(fileExists(pcf + ".Z"));
    for (const std::string& path : {pcf, pcf + ".Z"}) {
        FontStream* stream = openFontFile(path.c_str());
        ASSERT_NE(stream, nullptr);
        Font font;
        EXPECT_EQ(readPcfFont(&font, stream, 1, 1, 2, 1, nullptr), StatusOk) << path;
        closeFontFile(stream);
        expectSameAsFreeType(font, loadWithFreeType(pcf), path);
    }
}

// ---- Malformed files ----

namespace {
// Where the integer fields of a PCF file lie, found by walking the file as written.
struct Field {
    std::string name;
    std::size_t at;
    int width;  // 2 or 4
    bool msb;
    bool mustFail;  // an extreme value here must fail the read
};

std::string putInt(std::string f, const Field& field, std::uint32_t v) {
    for (int i = 0; i < field.width; ++i) {
        int shift = field.msb ? 8 * (field.width - 1 - i) : 8 * i;
        f[field.at + i] = static_cast<char>(v >> shift);
    }
    return f;
}

std::vector<Field> countAndOffsetFields(const std::string& f) {
    std::vector<Field> fields;
    std::uint32_t count = le32(f, 4);
    fields.push_back({"table count", 4, 4, false, true});
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t entry = 8 + 16 * i;
        std::uint32_t type = le32(f, entry);
        std::size_t at = le32(f, entry + 12);
        // Only the tables the reader needs must fail; ink metrics beyond reach are just absent.
        bool required = type == 1 || type == 4 || type == 8 || type == 32 || type == 256;
        fields.push_back({"offset of table " + std::to_string(type), entry + 12, 4, false, required});
        std::uint32_t format = le32(f, at);
        bool msb = format & 4;
        switch (type) {
        case 1: {
            std::uint32_t n = getInt(f, at + 4, 4, msb);
            fields.push_back({"property count", at + 4, 4, msb, true});
            std::size_t strings = at + 8 + 9 * n + (n % 4 ? 4 - n % 4 : 0);
            fields.push_back({"string block size", strings, 4, msb, true});
            break;
        }
        case 4:
        case 16: {
            bool compressed = (format & 0xFFFFFF00) == 0x100;
            fields.push_back({"metrics count of " + std::to_string(type), at + 4, compressed ? 2 : 4, msb, true});
            break;
        }
        case 8: {
            std::uint32_t n = getInt(f, at + 4, 4, msb);
            fields.push_back({"bitmap count", at + 4, 4, msb, true});
            for (std::uint32_t g = 0; g < n; ++g)
                fields.push_back({"bitmap offset " + std::to_string(g), at + 8 + 4 * g, 4, msb, true});
            for (int s = 0; s < 4; ++s)
                // Only the size entry for the file's pad (and the requested one) is read.
                fields.push_back({"bitmap size " + std::to_string(s), at + 8 + 4 * n + 4 * s, 4, msb,
                                  s == static_cast<int>(format & 3)});
            break;
        }
        case 32:
            for (int k = 0; k < 4; ++k)
                fields.push_back({"code range " + std::to_string(k), at + 4 + 2 * k, 2, msb, true});
            break;
        default:
            break;
        }
    }
    return fields;
}

std::string tinyBdf() {
    return "STARTFONT 2.1\nFONT tiny\nSIZE 8 75 75\nFONTBOUNDINGBOX 9 4 0 -1\nSTARTPROPERTIES 2\n"
           "FONT_ASCENT 3\nFONT_DESCENT 1\nENDPROPERTIES\nCHARS 3\n"
           "STARTCHAR a\nENCODING 97\nSWIDTH 500 0\nDWIDTH 5 0\nBBX 4 4 0 -1\nBITMAP\n90\n60\n60\n90\nENDCHAR\n"
           "STARTCHAR b\nENCODING 98\nSWIDTH 500 0\nDWIDTH 10 0\nBBX 9 2 0 0\nBITMAP\n8080\nFF80\nENDCHAR\n"
           "STARTCHAR d\nENCODING 100\nSWIDTH 500 0\nDWIDTH 3 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\nENDFONT\n";
}

std::string tinyPcf(TempDir& dir, const std::vector<std::string>& options) {
    writeFile(dir.path("tiny.bdf"), tinyBdf());
    std::string pcf = dir.path("tiny.pcf");
    if (!runBdftopcf(dir.path("tiny.bdf"), pcf, options)) return "";
    return readFile(pcf);
}
}  // namespace

TEST(PcfMalformed, EveryTruncationFails) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf");
    TempDir dir;
    for (const auto& options : std::vector<std::vector<std::string>>{{}, {"-p1", "-l", "-L", "-u4"}}) {
        std::string file = tinyPcf(dir, options);
        ASSERT_FALSE(file.empty());
        Font whole;
        ASSERT_EQ(readPcfBytes(whole, file), StatusOk);
        for (std::size_t length = 0; length < file.size(); ++length) {
            Font font;
            EXPECT_EQ(readPcfBytes(font, file.substr(0, length), 1, 1, 8, 2), StatusFail) << length;
        }
        // Through a file stream too, where skipping past the end succeeds and the reads then fail.
        for (std::size_t length : {std::size_t{9}, file.size() / 2, file.size() - 1}) {
            std::string path = dir.path("cut.pcf");
            writeFile(path, file.substr(0, length));
            FontStream* stream = openFontFile(path.c_str());
            ASSERT_NE(stream, nullptr);
            Font font;
            EXPECT_EQ(readPcfFont(&font, stream, 1, 1, 2, 1, nullptr), StatusFail) << length;
            closeFontFile(stream);
        }
    }
}

TEST(PcfMalformed, ExtremeCountsAndOffsets) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf");
    TempDir dir;
    for (const auto& options : std::vector<std::vector<std::string>>{{}, {"-p4", "-m", "-L", "-u2"}}) {
        std::string file = tinyPcf(dir, options);
        ASSERT_FALSE(file.empty());
        std::vector<Field> fields = countAndOffsetFields(file);
        ASSERT_GT(fields.size(), 20u);
        for (const Field& field : fields) {
            std::vector<std::uint32_t> values = field.width == 4
                                                    ? std::vector<std::uint32_t>{0x7FFFFFFF, 0x80000000, 0xFFFFFFFF}
                                                    : std::vector<std::uint32_t>{0x7FFF, 0x8000, 0xFFFF};
            for (std::uint32_t value : values) {
                std::string bad = putInt(file, field, value);
                for (Layout layout : {Layout{1, 1, 2, 1}, Layout{0, 1, 8, 4}}) {
                    Font font;
                    int status = readPcfBytes(font, bad, layout.bitOrder, layout.byteOrder, layout.glyphPad,
                                              layout.scanUnit);
                    if (field.mustFail) EXPECT_EQ(status, StatusFail) << field.name << " = " << value;
                    else EXPECT_TRUE(status == StatusOk || status == StatusFail) << field.name;
                }
            }
        }
    }
}
