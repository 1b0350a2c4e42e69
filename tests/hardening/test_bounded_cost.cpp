// Bounded cost: small files that declare huge counts (glyphs, properties, tables, string blocks,
// bitmap blocks, code ranges) must be refused at once, in bounded memory, not acted upon.
// Each runs the real program under an address-space limit and a time limit in a child process.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/hardening/hardening_support.h"
#include "tests/support/test_support.h"

namespace {
// Far below what acting on any of the declared counts would take, far above what a converter needs.
constexpr long MemoryLimitMb = 256;
#if defined(HARDENING_UNDER_ASAN)
constexpr long ResidentLimitKb = 200 * 1024;  // the sanitizer's own shadow and quarantine included
#else
constexpr long ResidentLimitKb = 64 * 1024;
#endif
constexpr int TimeLimitSeconds = 60;

class BoundedCost : public ::testing::Test {
protected:
    // The program must refuse the file as corrupt (or, for a font it could read, as
    // `otherRefusal`), leave no output, and stay within the limits.
    void expectRefused(const std::string& program, const std::string& name, const std::string& content,
                       const std::string& otherRefusal = "", const std::string& option = "") {
        std::string input = dir.path(name), output = dir.path("out.fon");
        writeFile(input, content);
        std::vector<std::string> argv{program, "-o", output, input};
        if (!option.empty()) argv.insert(argv.begin() + 1, option);
        LimitedRun run = runLimited(argv, MemoryLimitMb, TimeLimitSeconds);
        EXPECT_EQ(run.exitStatus, 1) << name << " (-1: killed or crashed) " << run.err;
        bool corrupt = run.err.find("corrupt") != std::string::npos;
        bool other = !otherRefusal.empty() && run.err.find(otherRefusal) != std::string::npos;
        EXPECT_TRUE(corrupt || other) << name << ": " << run.err;
        EXPECT_FALSE(fileExists(output)) << name;
        EXPECT_LT(run.maxResidentKb, ResidentLimitKb) << name << " used " << run.maxResidentKb << " kB";
        std::printf("%s: refused, %ld kB resident\n", name.c_str(), run.maxResidentKb);
    }

    TempDir dir;
};

const char* const BdfHead = "STARTFONT 2.1\nFONT huge\nSIZE 8 75 75\nFONTBOUNDINGBOX 5 7 0 0\n";
const char* const BdfProperties = "STARTPROPERTIES 2\nFONT_ASCENT 7\nFONT_DESCENT 0\nENDPROPERTIES\n";
const char* const BdfGlyph =
    "STARTCHAR A\nENCODING 65\nSWIDTH 667 0\nDWIDTH 5 0\nBBX 5 7 0 0\nBITMAP\n20\n50\n88\nF8\n88\n88\n88\nENDCHAR\n";

TEST_F(BoundedCost, BdfHugeDeclarations) {
    std::string head = BdfHead, props = BdfProperties, glyph = BdfGlyph;
    expectRefused(varnelPath(), "glyphs.bdf", head + props + "CHARS 2000000000\n" + glyph);
    expectRefused(varnelPath(), "glyphs-then-end.bdf", head + props + "CHARS 2147483647\n" + glyph + "ENDFONT\n");
    expectRefused(varnelPath(), "properties.bdf",
                  head + "STARTPROPERTIES 2147483647\nFONT_ASCENT 7\nFONT_DESCENT 0\n");
    expectRefused(varnelPath(), "bitmap.bdf",
                  head + props +
                      "CHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 667 0\nDWIDTH 5 0\nBBX 32767 32767 0 0\nBITMAP\n00\n");
    expectRefused(varnelPath(), "bitmap-wide.bdf",
                  head + props +
                      "CHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 667 0\nDWIDTH 5 0\nBBX 2147483647 1 0 0\nBITMAP\n00\n"
                      "ENDCHAR\nENDFONT\n");
    // The widest code range a BDF file can declare: read, then refused by the writer.
    std::string second = glyph;
    second.replace(second.find("ENCODING 65"), 11, "ENCODING 65535");
    expectRefused(varnelPath(), "codes.bdf", head + props + "CHARS 2\n" + glyph + second + "ENDFONT\n",
                  "too many characters");
    // A face past the largest the writer writes, from a file of a few kilobytes: refused unbuilt.
    expectRefused(varnelPath(), "face.bdf", pastLargestFaceBdf(), "too large");
    // One line of a megabyte where a keyword belongs.
    expectRefused(varnelPath(), "line.bdf", head + props + "CHARS 1\n" + std::string(1 << 20, 'A') + "\n");
    // 30 blank glyphs of 16000 x 4000 pixels, 8 MB each: past one face at the third, refused unbuilt.
    std::string blank = head + "STARTPROPERTIES 2\nFONT_ASCENT 4000\nFONT_DESCENT 0\nENDPROPERTIES\nCHARS 30\n";
    std::string rows;
    for (int y = 0; y < 4000; ++y) rows += "00\n";
    for (int k = 0; k < 30; ++k)
        blank += "STARTCHAR g\nENCODING " + std::to_string(65 + k) +
                 "\nSWIDTH 500 0\nDWIDTH 16000 0\nBBX 16000 4000 0 0\nBITMAP\n" + rows + "ENDCHAR\n";
    expectRefused(varnelPath(), "blank.bdf", blank + "ENDFONT\n");
}

// Terminal cells that no face can hold: a font whose ascent and descent are 32767 and whose one
// glyph, a dot, advances 32760 pixels. Each run must refuse it as too large without building the
// cell (over 256 MB with the ink scan of it), with and without -c, from BDF and from bdftopcf's PCF.
TEST_F(BoundedCost, TerminalCellsPastTheLargestFace) {
    const std::string bdf = "STARTFONT 2.1\nFONT cell\nSIZE 8 75 75\nFONTBOUNDINGBOX 1 1 0 0\nSTARTPROPERTIES 4\n"
                            "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nFONT_ASCENT 32767\nFONT_DESCENT 32767\n"
                            "ENDPROPERTIES\nCHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 32760 0\n"
                            "BBX 1 1 0 0\nBITMAP\n80\nENDCHAR\nENDFONT\n";
    for (const char* option : {"", "-c1252"}) expectRefused(varnelPath(), "cell.bdf", bdf, "too large", option);
    // What the largest face lets such a file cost: 256 dots in cells of 65280 rows, 16.7 MB of
    // cells at the default pad (the header then takes the face just past the limit).
    std::string dots = bdf.substr(0, bdf.find("CHARS 1"));
    dots.replace(dots.find("ASCENT 32767"), 12, "ASCENT 32640");
    dots.replace(dots.find("DESCENT 32767"), 13, "DESCENT 32640");
    dots += "CHARS 256\n";
    for (int code = 0; code < 256; ++code)
        dots += "STARTCHAR c\nENCODING " + std::to_string(code) + "\nSWIDTH 500 0\nDWIDTH 1 0\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\n";
    expectRefused(varnelPath(), "cells.bdf", dots + "ENDFONT\n", "too large");

    // bdftopcf would write that cell out whole: it gets a dot 200 pixels apart in a one-row cell
    // (metrics too wide for the compressed form), and the file is then patched to the huge cell.
    REQUIRE_INSTALLED("bdftopcf");
    std::string small = bdf;
    for (auto [from, to] : {std::pair<std::string, std::string>{"ASCENT 32767", "ASCENT 1"}, {"DESCENT 32767", "DESCENT 0"},
                            {"DWIDTH 32760", "DWIDTH 200"}})
        small.replace(small.find(from), from.size(), to);
    writeFile(dir.path("small.bdf"), small);
    RunResult made = runCommand({"bdftopcf", "-L", "-o", dir.path("small.pcf"), dir.path("small.bdf")});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    std::string pcf = readFile(dir.path("small.pcf"));
    for (std::uint32_t k = 0; k < le32(pcf, 4); ++k) {
        const std::uint32_t type = le32(pcf, 8 + 16 * k), at = le32(pcf, 8 + 16 * k + 12);
        if (type == 2 || type == 256) put32(pcf, at + 12, 32767), put32(pcf, at + 16, 32767);  // ascent, descent
        if (type == 4) {
            ASSERT_EQ(le32(pcf, at) & 0xFFFFFF00u, 0u) << "metrics in the full form";
            put16(pcf, at + 8 + 2, 1), put16(pcf, at + 8 + 4, 32760);  // the dot's right bearing and advance
        }
    }
    expectRefused(corvanePath(), "cell.pcf", pcf, "too large", "-c1252");
}

// Families past the bytes one file may hold, from inputs of a few kilobytes: one empty glyph 16000
// pixels wide and H high makes a face of 16 MB (its cell and the sentinel's). A dozen pages of one,
// or five inputs, are refused before any face is built; four make one file, built face by face.
TEST_F(BoundedCost, FamiliesPastTheFileBound) {
    std::vector<std::string> inputs;
    for (int h = 4000; h > 3995; --h) {
        std::string bdf = "STARTFONT 2.1\nFONT -x-w-medium-r-normal--" + std::to_string(h) + "-0-75-75-p-10-iso8859-1\n"
                          "SIZE 8 75 75\nFONTBOUNDINGBOX 16000 " + std::to_string(h) + " 0 0\nSTARTPROPERTIES 4\n"
                          "FONT_ASCENT " + std::to_string(h) + "\nFONT_DESCENT 0\nCHARSET_REGISTRY \"ISO8859\"\n"
                          "CHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 1\nSTARTCHAR g\nENCODING 65\nSWIDTH 500 0\n"
                          "DWIDTH 16000 0\nBBX 16000 " + std::to_string(h) + " 0 0\nBITMAP\n";
        for (int row = 0; row < h; ++row) bdf += "00\n";
        inputs.push_back("h" + std::to_string(h) + ".bdf");
        writeFile(dir.path(inputs.back()), bdf + "ENDCHAR\nENDFONT\n");
    }
    expectRefused(varnelPath(), inputs[0], readFile(dir.path(inputs[0])), "64 MiB one file may hold",
                  "-c1250,1251,1252,1253,1254,1255,1256,1257,1258,874,437,symbol");
    const std::string output = dir.path("family.fon");
    for (std::size_t count : {5, 4}) {
        std::vector<std::string> argv{varnelPath(), "-o", output};
        for (std::size_t k = 0; k < count; ++k) argv.push_back(dir.path(inputs[k]));
        LimitedRun run = runLimited(argv, MemoryLimitMb, TimeLimitSeconds);
        EXPECT_EQ(run.exitStatus, count == 5 ? 1 : 0) << run.err;
        EXPECT_EQ(fileExists(output), count == 4) << run.err;
        // Four faces take 64 MB: held at once with their fonts, they would pass the limit.
        EXPECT_LT(run.maxResidentKb, ResidentLimitKb) << count << " inputs used " << run.maxResidentKb << " kB";
        std::printf("%zu inputs: status %d, %ld kB resident\n", count, run.exitStatus, run.maxResidentKb);
    }
}

class BoundedCostPcf : public BoundedCost {
protected:
    void SetUp() override {
        REQUIRE_INSTALLED("bdftopcf");
        writeFile(dir.path("cell.bdf"), CellFontBdf);
        // Least significant byte first, so every field patched below is little-endian.
        RunResult made = runCommand({"bdftopcf", "-L", "-m", "-p1", "-u1", "-o", dir.path("cell.pcf"), dir.path("cell.bdf")});
        ASSERT_EQ(made.exitStatus, 0) << made.err;
        pcf = readFile(dir.path("cell.pcf"));
        ASSERT_GT(pcf.size(), 8u);
        ASSERT_EQ(le32(pcf, 0), 0x70636601u);
        std::uint32_t tables = le32(pcf, 4);
        for (std::uint32_t k = 0; k < tables; ++k)
            if (le32(pcf, 8 + 16 * k) < 512) offsets[le32(pcf, 8 + 16 * k)] = le32(pcf, 8 + 16 * k + 12);
        for (std::uint32_t type : {1u, 4u, 8u, 32u}) ASSERT_NE(offsets[type], 0u) << "table " << type;
    }
    std::string pcf;
    std::uint32_t offsets[512] = {};
};

TEST_F(BoundedCostPcf, HugeDeclarations) {
    std::string file;

    file = pcf;
    put32(file, 4, 0x7FFFFFFF);  // table count
    expectRefused(corvanePath(), "tables.pcf", file);
    expectRefused(corvanePath(), "tables-only.pcf", file.substr(0, 8));

    std::uint32_t properties = offsets[1];
    file = pcf;
    put32(file, properties + 4, 0x7FFFFFFF);  // property count
    expectRefused(corvanePath(), "properties.pcf", file);

    std::uint32_t count = le32(pcf, properties + 4);
    std::uint32_t stringSize = properties + 8 + 9 * count + (count % 4 ? 4 - count % 4 : 0);
    file = pcf;
    put32(file, stringSize, 0x7FFFFFFF);  // string block size
    expectRefused(corvanePath(), "strings.pcf", file);

    // Metrics in the plain form, whose count is 32 bits wide.
    std::uint32_t metrics = offsets[4];
    file = pcf;
    put32(file, metrics, 0);
    put32(file, metrics + 4, 0x7FFFFFFF);
    expectRefused(corvanePath(), "metrics.pcf", file);

    std::uint32_t bitmaps = offsets[8];
    std::uint32_t glyphs = le32(pcf, bitmaps + 4);
    file = pcf;
    put32(file, bitmaps + 4, 0x7FFFFFFF);  // bitmap count (differs from the metrics)
    expectRefused(corvanePath(), "bitmap-count.pcf", file);
    file = pcf;
    for (int pad = 0; pad < 4; ++pad) put32(file, bitmaps + 8 + 4 * glyphs + 4 * pad, 0x7FFFFFFF);  // block sizes
    expectRefused(corvanePath(), "bitmap-size.pcf", file);

    // Every code from 0 to 0xFFFF in both bytes: four thousand million encoding entries.
    std::uint32_t encodings = offsets[32];
    file = pcf;
    put16(file, encodings + 4, 0);
    put16(file, encodings + 6, 0xFFFF);
    put16(file, encodings + 8, 0);
    put16(file, encodings + 10, 0xFFFF);
    expectRefused(corvanePath(), "codes.pcf", file);

    // A table two gigabytes beyond the end of the file.
    file = pcf;
    for (std::uint32_t k = 0; k < le32(pcf, 4); ++k)
        if (le32(pcf, 8 + 16 * k) == 32) put32(file, 8 + 16 * k + 12, 0x7FFFFFF0);
    expectRefused(corvanePath(), "far-table.pcf", file);
}

TEST_F(BoundedCostPcf, HugeDeclarationsBehindCompression) {
    std::string file = pcf;
    put32(file, offsets[1] + 4, 0x7FFFFFFF);
    writeFile(dir.path("packed"), file);
    RunResult packed = runShell("compress -c < " + dir.path("packed") + " > " + dir.path("properties.pcf.Z"));
    ASSERT_TRUE(packed.exitStatus == 0 || packed.exitStatus == 2) << packed.err;
    expectRefused(corvanePath(), "properties.pcf.Z", readFile(dir.path("properties.pcf.Z")));
}
}  // namespace
