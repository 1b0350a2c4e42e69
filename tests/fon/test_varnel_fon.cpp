// varnel end to end over Debian's real fonts: every single-row font becomes a FON that FreeType
// shows with the source glyphs' pixels in their cells, for every glyph pad; multi-row fonts are
// refused. Layout options that reorder bits or bytes change the cells the way the writer reads them.
// Generated faces past 64 KiB, from both programs, are Windows 3.0 fonts that FreeType and
// FontForge read as the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

// Every character of the source, seen by FreeType in the BDF and in the FON, against the cell rules.
std::string compareFonts(const OracleFont& source, const std::string& fonPath, const Layout& layout) {
    const OracleFont fon = loadWithFreeType(fonPath);
    if (!fon.error.empty()) return "FreeType: " + fon.error;
    const CellFrame frame = frameOf(readFile(fonPath));
    for (const auto& [code, glyph] : source.glyphs) {
        const Cell cell = cellOf(glyph, frame, layout);
        auto seen = fon.glyphs.find(code & 0xFF);
        if (seen == fon.glyphs.end()) {
            if (cell.width != 0) return "code " + std::to_string(code) + " missing";
            continue;
        }
        if (std::string diff = compareWithOracle(seen->second, cell); !diff.empty())
            return "code " + std::to_string(code) + ": " + diff;
    }
    return {};
}

RunResult varnel(const Layout& layout, const std::string& fon, const std::string& bdf) {
    std::vector<std::string> argv = {varnelPath()};
    argv.insert(argv.end(), layout.options.begin(), layout.options.end());
    argv.insert(argv.end(), {"-o", fon, bdf});
    return runCommand(argv);
}

bool spansRows(const OracleFont& font) {
    if (font.glyphs.empty()) return false;
    return (font.glyphs.begin()->first >> 8) != (font.glyphs.rbegin()->first >> 8);
}

// Checks one BDF file; returns "" or what went wrong. `thorough` adds the other pads and layouts.
std::string checkFont(const std::string& bdf, const TempDir& dir, bool thorough, int* converted) {
    const OracleFont source = loadWithFreeType(bdf);
    if (!source.error.empty()) return "FreeType cannot read the source: " + source.error;
    const std::string fon = dir.path("out.fon");
    const Layout defaults;
    const RunResult run = varnel(defaults, fon, bdf);
    if (spansRows(source)) {
        if (run.exitStatus != 1 || run.err.find("too many characters") == std::string::npos)
            return "multi-row font not refused: " + run.err;
        return fileExists(fon) ? "output left behind" : "";
    }
    if (run.exitStatus != 0) return "varnel failed: " + run.err;
    ++*converted;
    if (std::string diff = compareFonts(source, fon, defaults); !diff.empty()) return "pad 2: " + diff;
    if (!thorough) return {};

    // Every pad gives the same file: the writer reads each row by the pad it was laid out with.
    const std::string reference = readFile(fon);
    for (int pad : {1, 4, 8}) {
        Layout layout;
        layout.options = {"-p" + std::to_string(pad)};
        layout.pad = pad;
        if (varnel(layout, fon, bdf).exitStatus != 0) return "varnel -p" + std::to_string(pad) + " failed";
        if (readFile(fon) != reference) return "-p" + std::to_string(pad) + " changed the file";
    }
    // Reordered bits and bytes reach the cells as the writer reads them, not as the source's pixels.
    const Layout reordered[] = {{{"-l", "-p1"}, 0, 1, 1, 1}, {{"-l", "-u2", "-p2"}, 0, 1, 2, 2},
                                {{"-L", "-u4", "-p4"}, 1, 0, 4, 4}};
    for (const Layout& layout : reordered) {
        if (varnel(layout, fon, bdf).exitStatus != 0) return "varnel " + layout.options[0] + " failed";
        if (std::string diff = compareFonts(source, fon, layout); !diff.empty())
            return layout.options[0] + " " + layout.options.back() + ": " + diff;
    }
    return {};
}

TEST(VarnelEndToEnd, RealFontsAndTheSample) {
    REQUIRE_INSTALLED("pcf2bdf", XfontsBase, Xfonts75dpi);
    std::vector<std::string> files = realFontFiles({"misc", "75dpi"});
    TempDir dir;
    int converted = 0, failures = 0;
    auto record = [&](const std::string& name, const std::string& problem) {
        if (problem.empty()) return;
        ++failures;
        if (failures <= 10) ADD_FAILURE() << name << ": " << problem;
    };
    record("samples/seven.bdf", checkFont(samplesDir() + "/seven.bdf", dir, true, &converted));
    int tried = 0;
    for (std::size_t i = 0; i < files.size(); i += corpusStride(), ++tried) {
        const std::string pcf = dir.path("font.pcf"), bdf = dir.path("font.bdf");
        if (!gunzipFile(files[i], pcf) || !pcfToBdf(pcf, bdf)) {
            record(files[i], "could not make the BDF");
            continue;
        }
        // The extra pads and layouts on a spread of fonts keep the run short under sanitizers.
        record(files[i], checkFont(bdf, dir, tried % 16 == 0, &converted));
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(converted, tried / 2);
}

// A glyph's set pixels about its origin on the baseline (x to the right, y up), and its advance.
std::pair<int, std::set<std::pair<int, int>>> inkAboutOrigin(const OracleGlyph& glyph) {
    std::set<std::pair<int, int>> ink;
    for (int y = 0; y < glyph.rows; ++y)
        for (int x = 0; x < glyph.width; ++x)
            if (glyph.pixel(x, y)) ink.insert({glyph.left + x, glyph.top - y});
    return {glyph.advance, ink};
}

// FontForge's Python module as Debian installs it, for Debian's own interpreter.
const char* const FontForgePython = "/usr/bin/python3";

TEST(Windows30Faces, FreeTypeAndFontForgeReadThemAsTheSource) {
    REQUIRE_INSTALLED("bdftopcf", "python3");
    if (runCommand({FontForgePython, "-c", "import fontforge"}).exitStatus != 0) {
        if (runningInCi()) FAIL() << "needs FontForge's Python module (apt-get install python3-fontforge)";
        GTEST_SKIP() << "needs FontForge's Python module (apt-get install python3-fontforge)";
    }
    TempDir dir;
    // The two largest cost seconds under the sanitizers, and add no path the others do not take.
    std::vector<std::string> names = {"big32x64", "big64x64"};
    if (corpusStride() == 1) names.insert(names.end(), {"noise128", "huge256"});
    std::vector<std::pair<std::string, OracleFont>> fons;  // each output and its source
    for (const std::string& name : names) {
        const std::string bdf = generatedFont(dir.dir(), name, true);
        ASSERT_NE(bdf, "") << name;
        const OracleFont source = loadWithFreeType(bdf);
        for (const auto& [program, input] : {std::pair{varnelPath(), bdf}, {corvanePath(), dir.path(name + ".pcf")}}) {
            const std::string fon = input + ".fon";
            const RunResult run = runCommand({program, "-o", fon, input});
            ASSERT_EQ(run.exitStatus, 0) << input << ": " << run.err;
            const std::string written = readFile(fon);
            EXPECT_EQ(le16(written, resourceAt(written, 1).offset), 0x300u) << input;
            EXPECT_EQ(compareFonts(source, fon, Layout{}), "") << input;
            fons.emplace_back(fon, source);
        }
    }

    // FontForge's own reader of FON files writes each strike out as BDF, which FreeType reads.
    std::vector<std::string> argv = {FontForgePython, "-c", "import fontforge, os, sys\nfor fon in sys.argv[1:]:\n"
        "    os.mkdir(fon + '.ff'); fontforge.open(fon).generate(fon + '.ff/strike.', bitmap_type='bdf')\n"};
    for (const auto& [fon, source] : fons) argv.push_back(fon);
    const RunResult ff = runCommand(argv, "", 600);
    ASSERT_EQ(ff.exitStatus, 0) << ff.err;
    for (const auto& [fon, source] : fons) {
        SCOPED_TRACE(fon);
        std::vector<std::filesystem::path> strikes(std::filesystem::directory_iterator(fon + ".ff"), {});
        ASSERT_EQ(strikes.size(), 1u);
        const OracleFont read = loadWithFreeType(strikes[0].string());
        ASSERT_EQ(read.error, "");
        int differences = 0;
        for (const auto& [code, glyph] : source.glyphs)
            differences += !read.glyphs.count(code) || inkAboutOrigin(read.glyphs.at(code)) != inkAboutOrigin(glyph);
        EXPECT_EQ(differences, 0);
    }
}

}  // namespace
