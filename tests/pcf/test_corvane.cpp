// corvane end to end: a PCF made by bdftopcf converts to the same FON cells as varnel makes from
// the BDF it came from, and every single-row real font of the corpus, in every bdftopcf format,
// becomes a FON that FreeType opens with the source's glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "pcf/pcf_reader.h"
#include "tests/pcf/pcf_test_util.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace {
// The resources of a FON file in table order (font directory, font, information), found through
// the NE resource table as any reader of the file would.
std::vector<std::string> fonResources(const std::string& fon) {
    std::vector<std::string> resources;
    std::size_t ne = le16(fon, 0x3C);
    std::size_t table = ne + le16(fon, ne + 0x24);
    unsigned shift = le16(fon, table);
    for (std::size_t p = table + 2; le16(fon, p) != 0;) {
        std::size_t count = le16(fon, p + 2);
        p += 8;
        for (std::size_t i = 0; i < count; ++i, p += 12) {
            std::size_t offset = static_cast<std::size_t>(le16(fon, p)) << shift;
            std::size_t length = static_cast<std::size_t>(le16(fon, p + 2)) << shift;
            resources.push_back(fon.substr(offset, length));
        }
    }
    return resources;
}

bool run(const std::vector<std::string>& argv) { return runCommand(argv).exitStatus == 0; }

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Formats covering every bdftopcf setting, terminal and no-ink conversion, plus one whose
// swapped units are wider than its pad.
const char* const Formats[] = {"-p1 -u1 -m -M", "-p1 -u4 -l -L", "-p2 -u2 -m -L", "-p2 -u1 -l -M", "-p4 -u4 -m -L",
                               "-p4 -u2 -l -L", "-p8 -u4 -l -M", "-p8 -u1 -m -M", "-t",            "-i",
                               "-p1 -u4 -m -L"};
const char* const Layouts[] = {"", "-p8 -l -L -u4", "-p1 -l -M", "-p4 -m -L -u2"};

// bdftopcf asked for swapped units wider than the row pad it really writes (-p1 -u4 -m -L, and
// -p8 -u4 -l -M, which it writes with pad 1) produces glyph rows that no reader takes back to the
// source (see test_pcf_fixtures); corvane must still convert such files. Judged from the bitmap
// table's own format word. And bdftopcf -p8 on this system labels its table pad 1 while writing
// 8-byte rows, so pcf2bdf and FreeType cannot recover the source from it either.
bool sourceRecoverable(const std::string& pcf, const std::string& options) {
    if (options.find("-p8") != std::string::npos) return false;
    std::uint32_t count;
    std::memcpy(&count, pcf.data() + 4, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t type, offset, format;
        std::memcpy(&type, pcf.data() + 8 + 16 * i, 4);
        std::memcpy(&offset, pcf.data() + 8 + 16 * i + 12, 4);
        if (type != 8) continue;
        std::memcpy(&format, pcf.data() + offset, 4);
        bool swapped = ((format >> 2) & 1) != ((format >> 3) & 1);
        return !swapped || ((format >> 4) & 3) <= (format & 3);
    }
    return false;
}

std::vector<std::string> singleRowCorpus() {
    const char* names[] = {"misc/4x6-ISO8859-1",      "misc/5x7-ISO8859-1",       "misc/6x13B-ISO8859-1",
                           "misc/7x14-ISO8859-1",     "misc/10x20-ISO8859-1",     "misc/cursor",
                           "misc/decsess",            "misc/clR6x12",             "misc/ter-u12b_iso-8859-1",
                           "misc/ter-u32n_iso-8859-1", "misc/arabic24",           "75dpi/helvR12-ISO8859-1",
                           "75dpi/timBI24-ISO8859-1", "75dpi/symb14",             "100dpi/courR24-ISO8859-1",
                           "100dpi/lubB18-ISO8859-1"};
    std::vector<std::string> found;
    for (const char* name : names) {
        std::string path = std::string("/usr/share/fonts/X11/") + name + ".pcf.gz";
        if (fileExists(path)) found.push_back(path);
    }
    return found;
}

std::string compareGlyphs(const OracleFont& a, const OracleFont& b) {
    if (!a.error.empty() || !b.error.empty()) return a.error + b.error;
    if (a.glyphs.size() != b.glyphs.size()) return "glyph counts differ";
    for (const auto& [code, g] : a.glyphs) {
        auto other = b.glyphs.find(code);
        if (other == b.glyphs.end()) return "code " + std::to_string(code) + " missing";
        const OracleGlyph& h = other->second;
        if (g.width != h.width || g.rows != h.rows || g.left != h.left || g.top != h.top || g.advance != h.advance ||
            g.pixels != h.pixels)
            return "code " + std::to_string(code) + " differs";
    }
    return {};
}

int inkCount(const OracleGlyph& g) {
    int ink = 0;
    for (std::uint8_t p : g.pixels) ink += p;
    return ink;
}
}  // namespace

// Both programs give byte-identical font directories and font resources, whatever the format
// bdftopcf wrote and whatever layout both are asked for. The information resource agrees in its
// header (bounds, flags, ascent) and its per-character metrics; after those come the property
// records and the string pool, which hold every atom of the run in creation order: varnel's
// reader creates its atoms in another order than the PCF's string table gives them, and
// bdftopcf moves FONT_ASCENT, FONT_DESCENT and DEFAULT_CHAR out of the property list into the
// accelerators and encodings, so those bytes legitimately differ.
TEST(Corvane, SameCellsAsVarnelOnTheSourceBdf) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf", XfontsBase, Xfonts75dpi);
    TempDir dir;
    std::vector<std::string> fonts = {"/usr/share/fonts/X11/75dpi/helvR12-ISO8859-1.pcf.gz",
                                      "/usr/share/fonts/X11/misc/cursor.pcf.gz",
                                      "/usr/share/fonts/X11/misc/6x13B-ISO8859-1.pcf.gz",
                                      "/usr/share/fonts/X11/75dpi/timBI24-ISO8859-1.pcf.gz"};
    for (const std::string& gz : fonts) {
        ASSERT_TRUE(gunzipFile(gz, dir.path("source.pcf"))) << gz;
        ASSERT_TRUE(pcfToBdf(dir.path("source.pcf"), dir.path("f.bdf"))) << gz;
        for (const char* layout : Layouts) {
            std::vector<std::string> varnel = {varnelPath()};
            for (const auto& w : words(layout)) varnel.push_back(w);
            varnel.insert(varnel.end(), {"-o", dir.path("v/f.fon"), dir.path("f.bdf")});
            std::filesystem::create_directories(dir.path("v"));
            std::filesystem::create_directories(dir.path("c"));
            ASSERT_TRUE(run(varnel)) << gz << " " << layout;
            std::vector<std::string> byVarnel = fonResources(readFile(dir.path("v/f.fon")));
            ASSERT_EQ(byVarnel.size(), 3u);
            for (const char* format : Formats) {
                std::vector<std::string> bdftopcf = {"bdftopcf"};
                for (const auto& w : words(format)) bdftopcf.push_back(w);
                bdftopcf.insert(bdftopcf.end(), {"-o", dir.path("f.pcf"), dir.path("f.bdf")});
                ASSERT_TRUE(run(bdftopcf));
                if (!sourceRecoverable(readFile(dir.path("f.pcf")), format)) continue;
                std::vector<std::string> corvane = {corvanePath()};
                for (const auto& w : words(layout)) corvane.push_back(w);
                corvane.insert(corvane.end(), {"-o", dir.path("c/f.fon"), dir.path("f.pcf")});
                ASSERT_TRUE(run(corvane)) << gz << " " << format << " " << layout;
                std::vector<std::string> byCorvane = fonResources(readFile(dir.path("c/f.fon")));
                ASSERT_EQ(byCorvane.size(), 3u);
                SCOPED_TRACE(gz + " bdftopcf " + format + ", both run with " + layout);
                EXPECT_TRUE(byCorvane[0] == byVarnel[0]) << "font directory";
                EXPECT_TRUE(byCorvane[1] == byVarnel[1]) << "font resource";
                // Header and per-character records: 72 + 16 bytes per code of the row.
                const std::string& fnt = byVarnel[1];
                std::size_t codes = static_cast<std::uint8_t>(fnt.at(96)) - static_cast<std::uint8_t>(fnt.at(95)) + 1u;
                std::size_t fixed = 72 + 16 * codes;
                EXPECT_TRUE(byCorvane[2].substr(0, fixed) == byVarnel[2].substr(0, fixed)) << "information header";
                if (HasFailure()) return;
            }
        }
    }
}

TEST(Corvane, EverySingleRowRealFontInEveryFormatOpensWithTheSourceGlyphs) {
    REQUIRE_INSTALLED("bdftopcf", "pcf2bdf", XfontsBase, XfontsTerminus, Xfonts75dpi, Xfonts100dpi);
    std::vector<std::string> corpus = singleRowCorpus();
    ASSERT_GE(corpus.size(), 10u);
    TempDir dir;
    int singleRow = 0;
    for (const std::string& gz : corpus) {
        ASSERT_TRUE(gunzipFile(gz, dir.path("source.pcf")));
        Font read;
        ASSERT_EQ(readPcfBytes(read, readFile(dir.path("source.pcf"))), StatusOk) << gz;
        if (read.info.firstRow != read.info.lastRow) continue;  // refused by the FON format
        ++singleRow;
        ASSERT_TRUE(pcfToBdf(dir.path("source.pcf"), dir.path("f.bdf")));
        OracleFont source = loadWithFreeType(dir.path("source.pcf"));
        ASSERT_TRUE(source.error.empty()) << gz;
        ASSERT_TRUE(run({varnelPath(), "-o", dir.path("v.fon"), dir.path("f.bdf")})) << gz;
        OracleFont reference = loadWithFreeType(dir.path("v.fon"));
        for (const char* format : Formats) {
            std::vector<std::string> bdftopcf = {"bdftopcf"};
            for (const auto& w : words(format)) bdftopcf.push_back(w);
            bdftopcf.insert(bdftopcf.end(), {"-o", dir.path("f.pcf"), dir.path("f.bdf")});
            ASSERT_TRUE(run(bdftopcf));
            ASSERT_TRUE(run({corvanePath(), "-o", dir.path("c.fon"), dir.path("f.pcf")})) << gz << " " << format;
            if (!sourceRecoverable(readFile(dir.path("f.pcf")), format)) continue;
            OracleFont fon = loadWithFreeType(dir.path("c.fon"));
            ASSERT_TRUE(fon.error.empty()) << gz << " " << format << ": " << fon.error;
            EXPECT_EQ(fon.driver, "winfonts");
            EXPECT_EQ(compareGlyphs(fon, reference), "") << gz << " " << format;
            // Independently of varnel: every source character is in the FON with all its ink.
            for (const auto& [code, glyph] : source.glyphs) {
                auto cell = fon.glyphs.find(code);
                if (cell == fon.glyphs.end()) {
                    ADD_FAILURE() << gz << " " << format << ": code " << code << " missing";
                    break;
                }
                EXPECT_EQ(inkCount(cell->second), inkCount(glyph)) << gz << " " << format << ": code " << code;
                if (HasFailure()) return;
            }
        }
    }
    EXPECT_GE(singleRow, 10);
}

namespace {
// The properties of a FON's information resource: name -> its text value, or its integer value
// in decimal.
std::map<std::string, std::string> infoProperties(const std::string& fon) {
    const std::string info = fonResources(fon).at(2);
    auto le32 = [&info](std::size_t at) { return le16(info, at) | le16(info, at + 2) << 16; };
    const std::size_t positions = le16(info, 18) - le16(info, 16) + 1, count = le16(info, 24);
    const std::size_t records = 72 + 16 * positions, pool = records + 10 * count;
    std::map<std::string, std::string> properties;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t record = records + 10 * k;
        const std::string name = info.c_str() + pool + le32(record);
        const bool text = le16(info, record + 8) != 0;
        properties[name] = text ? std::string(info.c_str() + pool + le32(record + 4))
                                : std::to_string(static_cast<std::int32_t>(le32(record + 4)));
    }
    return properties;
}
}  // namespace

// "CAAAAAAAA@@" hashes to -2^31, the one hash without an absolute value, and "" (hash 0) holds
// the slot where its search starts: both programs convert the font with both properties.
// bdftopcf fails on that name itself, so the PCF is made from a name one byte away, and that
// byte is set in its string table afterwards.
TEST(Corvane, TheHashWithoutAbsoluteValueConvertsInBothPrograms) {
    TempDir dir;
    auto bdf = [](const std::string& name) {
        return "STARTFONT 2.1\nFONT x\nSIZE 8 75 75\nFONTBOUNDINGBOX 1 1 0 0\nSTARTPROPERTIES 4\nA \"\"\n" + name +
               " 1\nFONT_ASCENT 1\nFONT_DESCENT 0\nENDPROPERTIES\nCHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 500 0\n"
               "DWIDTH 1 0\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\nENDFONT\n";
    };
    writeFile(dir.path("odd.bdf"), bdf("CAAAAAAAA@@"));
    writeFile(dir.path("near.bdf"), bdf("CAAAAAAAA@A"));
    ASSERT_TRUE(run({"bdftopcf", "-o", dir.path("near.pcf"), dir.path("near.bdf")}));
    std::string pcf = readFile(dir.path("near.pcf"));
    const std::size_t at = pcf.find("CAAAAAAAA@A");
    ASSERT_NE(at, std::string::npos);
    pcf[at + 10] = '@';
    writeFile(dir.path("odd.pcf"), pcf);

    for (const auto& [program, input] : {std::pair{varnelPath(), "odd.bdf"}, std::pair{corvanePath(), "odd.pcf"}}) {
        RunResult r = runCommand({program, "-o", dir.path("odd.fon"), dir.path(input)});
        ASSERT_EQ(r.exitStatus, 0) << input << ": " << r.err;
        const auto properties = infoProperties(readFile(dir.path("odd.fon")));
        EXPECT_TRUE(properties.count("A") && properties.at("A").empty()) << input;
        EXPECT_TRUE(properties.count("CAAAAAAAA@@") && properties.at("CAAAAAAAA@@") == "1") << input;
    }
}

// Re-padding may take at most eight times the bitmap block read, the most an honest file needs
// (rows of one byte at pad 1 become eight at pad 8). A font of such rows converts exactly at the
// cap; with its last glyph moved onto the first's bytes and the block one byte shorter, the same
// glyphs need more than eight times the block, and the file is corrupt.
TEST(Corvane, RepaddingIsCappedAtEightTimesTheBlockRead) {
    TempDir dir;
    std::string bdf = "STARTFONT 2.1\nFONT x\nSIZE 8 75 75\nFONTBOUNDINGBOX 8 3 0 0\nSTARTPROPERTIES 2\nFONT_ASCENT 3\n"
                      "FONT_DESCENT 0\nENDPROPERTIES\nCHARS 3\n";
    for (const char* glyph : {"65\nSWIDTH 500 0\nDWIDTH 8 0\nBBX 8 2 0 0\nBITMAP\nFF\n81\n",
                              "66\nSWIDTH 500 0\nDWIDTH 8 0\nBBX 5 1 0 0\nBITMAP\nF8\n",
                              "67\nSWIDTH 500 0\nDWIDTH 8 0\nBBX 3 3 0 0\nBITMAP\nE0\nA0\nE0\n"})
        bdf += std::string("STARTCHAR g\nENCODING ") + glyph + "ENDCHAR\n";
    writeFile(dir.path("f.bdf"), bdf + "ENDFONT\n");
    // Integers least significant byte first, so the fields below are little-endian.
    ASSERT_TRUE(run({"bdftopcf", "-L", "-m", "-p1", "-u1", "-o", dir.path("f.pcf"), dir.path("f.bdf")}));
    std::string pcf = readFile(dir.path("f.pcf"));
    auto le32 = [&pcf](std::size_t at) { return le16(pcf, at) | le16(pcf, at + 2) << 16; };
    auto put32 = [&pcf](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) pcf[at + k] = static_cast<char>(v >> (8 * k));
    };
    std::size_t bitmaps = 0;
    for (std::uint32_t k = 0; k < le32(4); ++k)
        if (le32(8 + 16 * k) == 8) bitmaps = le32(8 + 16 * k + 12);
    ASSERT_NE(bitmaps, 0u);
    ASSERT_EQ(le32(bitmaps + 4), 3u);
    const std::size_t offsets = bitmaps + 8, sizes = offsets + 3 * 4;
    // bdftopcf pads these glyphs to one 8 x 3 cell each: 3 bytes at pad 1, 24 at pad 8.
    const std::uint32_t block = le32(sizes);
    ASSERT_EQ(block, 9u);
    ASSERT_EQ(le32(sizes + 12), 8 * block);

    RunResult atCap = runCommand({corvanePath(), "-p8", "-o", dir.path("f.fon"), dir.path("f.pcf")});
    EXPECT_EQ(atCap.exitStatus, 0) << atCap.err;
    put32(offsets + 2 * 4, 0);
    put32(sizes, block - 1);
    writeFile(dir.path("over.pcf"), pcf);
    RunResult over = runCommand({corvanePath(), "-p8", "-o", dir.path("over.fon"), dir.path("over.pcf")});
    EXPECT_EQ(over.exitStatus, 1);
    EXPECT_NE(over.err.find("corrupt\r\n(PCF_BITMAPS table: the bitmaps take 72 bytes at pad 8, more than eight "
                            "times the block)"),
              std::string::npos)
        << over.err;
    // Below pad 8 the same stacked glyphs stay within the cap.
    EXPECT_EQ(runCommand({corvanePath(), "-p4", "-o", dir.path("over.fon"), dir.path("over.pcf")}).exitStatus, 0);
}
