// varnel end to end over Debian's real fonts: every single-row font becomes a FON that FreeType
// shows with the source glyphs' pixels in their cells, for every glyph pad; multi-row fonts are
// refused. Layout options that reorder bits or bytes change the cells the way the writer reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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

}  // namespace
