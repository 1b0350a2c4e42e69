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

// The font-wide numbers the cells depend on, as the reader computed them (the "SNF" resource
// carries them; the hand-built tests check that it copies them faithfully).
struct CellFrame {
    bool anchored = false;
    int maxAscent = 0;
    int height = 0;
};

int s16(std::uint32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

CellFrame frameOf(const std::string& fon) {
    const std::size_t snf = resourceAt(fon, 2).offset;
    CellFrame frame;
    frame.anchored = s16(le16(fon, snf + 34)) == 0;
    frame.maxAscent = s16(le16(fon, snf + 50 + 6));
    frame.height = frame.maxAscent + s16(le16(fon, snf + 50 + 8));
    return frame;
}

// How the reader was asked to lay the bitmaps out.
struct Layout {
    std::vector<std::string> options;
    int bitOrder = 1;
    int byteOrder = 1;
    int pad = 2;
    int unit = 1;
};

// The bytes of one source row as the reader stores them, read back most significant bit first as
// the writer does: the pixels the writer actually moves (8 per byte of the row's data).
std::vector<int> pixelsAsRead(const OracleGlyph& glyph, int y, const Layout& layout) {
    const int stride = paddedRowBytes(glyph.width, layout.pad);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < glyph.width; ++x)
        if (glyph.pixel(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    if (layout.bitOrder == 0) invertBitOrder(row.data(), stride);
    if (layout.byteOrder != layout.bitOrder && layout.unit == 2) swapTwoBytes(row.data(), stride);
    if (layout.byteOrder != layout.bitOrder && layout.unit == 4) swapFourBytes(row.data(), stride);
    std::vector<int> pixels;
    for (int x = 0; x < (glyph.width + 7) / 8 * 8; ++x) pixels.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    return pixels;
}

Cell cellOf(const OracleGlyph& source, const CellFrame& frame, const Layout& layout) {
    const int w = source.width, left = source.left;
    Cell cell;
    cell.height = frame.height;
    cell.width = std::max(0, frame.anchored ? (w < source.advance ? source.advance : left + w) : w);
    cell.pixels.assign(static_cast<std::size_t>(cell.width) * cell.height, 0);
    const int xoff = frame.anchored ? left : 0, top = frame.maxAscent - source.top;
    for (int y = 0; y < source.rows; ++y) {
        const std::vector<int> pixels = pixelsAsRead(source, y, layout);
        for (int x = 0; x < static_cast<int>(pixels.size()); ++x) {
            const int cx = xoff + x, cy = top + y;
            if (pixels[x] && cx >= 0 && cx < cell.width && cy >= 0 && cy < cell.height)
                cell.pixels[static_cast<std::size_t>(cy) * cell.width + cx] = 1;
        }
    }
    return cell;
}

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
    std::vector<std::string> files = realFontFiles({"misc", "75dpi"});
    if (files.empty()) GTEST_SKIP() << "no fonts under /usr/share/fonts/X11";
    ASSERT_FALSE(findTool("pcf2bdf").empty());
    TempDir dir;
    int converted = 0, failures = 0;
    auto record = [&](const std::string& name, const std::string& problem) {
        if (problem.empty()) return;
        ++failures;
        if (failures <= 10) ADD_FAILURE() << name << ": " << problem;
    };
    record("samples/seven.bdf", checkFont(samplesDir() + "/seven.bdf", dir, true, &converted));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string pcf = dir.path("font.pcf"), bdf = dir.path("font.bdf");
        if (!gunzipFile(files[i], pcf) || !pcfToBdf(pcf, bdf)) {
            record(files[i], "could not make the BDF");
            continue;
        }
        // The extra pads and layouts on a spread of fonts keep the run short under sanitizers.
        record(files[i], checkFont(bdf, dir, i % 16 == 0, &converted));
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(converted, static_cast<int>(files.size()) / 2);
}

}  // namespace
