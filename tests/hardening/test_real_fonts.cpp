// The real-font corpus: every font of xfonts-base, xfonts-75dpi, xfonts-100dpi and xfonts-terminus
// through both programs, plain and compress'ed. A font whose codes lie in one row must convert and
// show every source glyph's pixels by the cell rules, advancing by its own width and with its ink at
// its place on the line (across and above the baseline), as FreeType reads the FON; a multi-row
// font must be refused with "too many characters" and leave no output.
//
// The source glyphs and metrics come from pcf2bdf's text of the real PCF file; the cell geometry
// is worked out here from them, not read back from the converters' own output.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fon/fon_reader_oracle.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace {
struct SourceGlyph {
    int code = -1;  // -1: not encoded
    int leftBearing = 0, rightBearing = 0, advance = 0, ascent = 0, descent = 0;
    std::vector<std::uint8_t> pixels;  // (rightBearing - leftBearing) x (ascent + descent), top row first

    int width() const { return rightBearing - leftBearing; }
    int height() const { return ascent + descent; }
    bool pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width() + x] != 0; }
    bool empty() const { return height() == 0 && leftBearing == rightBearing && advance == 0; }
};

struct SourceFont {
    int fontAscent = 0, fontDescent = 0;
    std::vector<SourceGlyph> glyphs;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Just enough of BDF to take pcf2bdf's output apart; "" or what could not be understood.
std::string parseBdf(const std::string& text, SourceFont* font) {
    std::istringstream in(text);
    std::string line;
    SourceGlyph glyph;
    int rowsLeft = -1;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (rowsLeft > 0) {
            int width = glyph.width(), y = glyph.height() - rowsLeft;
            for (int x = 0; x < width; ++x) {
                std::size_t at = static_cast<std::size_t>(x / 4);
                int digit = at < line.size() ? hexDigit(line[at]) : -1;
                if (digit < 0) return "bad bitmap row: " + line;
                glyph.pixels[static_cast<std::size_t>(y) * width + x] = (digit >> (3 - x % 4)) & 1;
            }
            --rowsLeft;
            continue;
        }
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "FONT_ASCENT") words >> font->fontAscent;
        else if (key == "FONT_DESCENT") words >> font->fontDescent;
        else if (key == "STARTCHAR") glyph = SourceGlyph();
        else if (key == "ENCODING") words >> glyph.code;
        else if (key == "DWIDTH") words >> glyph.advance;
        else if (key == "BBX") {
            int w, h, x, y;
            if (!(words >> w >> h >> x >> y) || w < 0 || h < 0) return "bad BBX: " + line;
            glyph.leftBearing = x;
            glyph.rightBearing = x + w;
            glyph.ascent = h + y;
            glyph.descent = -y;
            glyph.pixels.assign(static_cast<std::size_t>(w) * h, 0);
        } else if (key == "BITMAP") rowsLeft = glyph.height();
        else if (key == "ENDCHAR") {
            if (rowsLeft > 0) return "short bitmap";
            font->glyphs.push_back(glyph);
            rowsLeft = -1;
        }
    }
    return font->glyphs.empty() ? "no glyphs" : "";
}

struct Bounds {
    int minLeft = 32767, maxLeft = -32768, minRight = 32767, maxRight = -32768, minAdvance = 32767,
        maxAdvance = -32768, minAscent = 32767, maxAscent = -32768, minDescent = 32767, maxDescent = -32768;

    void add(const SourceGlyph& g) {
        if (g.empty()) return;
        minLeft = std::min(minLeft, g.leftBearing), maxLeft = std::max(maxLeft, g.leftBearing);
        minRight = std::min(minRight, g.rightBearing), maxRight = std::max(maxRight, g.rightBearing);
        minAdvance = std::min(minAdvance, g.advance), maxAdvance = std::max(maxAdvance, g.advance);
        minAscent = std::min(minAscent, g.ascent), maxAscent = std::max(maxAscent, g.ascent);
        minDescent = std::min(minDescent, g.descent), maxDescent = std::max(maxDescent, g.descent);
    }
};

// What the cells of one converted font are measured against.
struct Frame {
    bool fixedPitch = false;  // every advance alike
    int maxAscent = 0;
    int height = 0;
};

Frame frameOf(const Bounds& b) { return {b.minAdvance == b.maxAdvance, b.maxAscent, b.maxAscent + b.maxDescent}; }

// The text reader pads a fixed-width font whose glyphs all fit one cell into that cell.
bool couldBeTerminalCell(const Bounds& b, int fontAscent, int fontDescent) {
    if (b.minLeft < 0 || b.maxRight > b.maxAdvance || b.minAdvance != b.maxAdvance || b.maxAscent > fontAscent ||
        b.maxDescent > fontDescent)
        return false;
    if (b.maxLeft == 0 && b.minRight == b.minAdvance && b.minAscent == fontAscent && b.minDescent == fontDescent)
        return false;
    return b.maxAscent != 0 || b.maxDescent != 0;
}

SourceGlyph padToCell(const SourceGlyph& g, int advance, int fontAscent, int fontDescent) {
    SourceGlyph cell = g;
    cell.leftBearing = 0;
    cell.rightBearing = cell.advance = advance;
    cell.ascent = fontAscent;
    cell.descent = fontDescent;
    cell.pixels.assign(static_cast<std::size_t>(advance) * (fontAscent + fontDescent), 0);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) {
            int cx = x + g.leftBearing, cy = y + fontAscent - g.ascent;
            if (g.pixel(x, y) && cx >= 0 && cx < advance && cy >= 0 && cy < cell.height())
                cell.pixels[static_cast<std::size_t>(cy) * advance + cx] = 1;
        }
    return cell;
}

Placement placement(const SourceGlyph& g, const Frame& frame) {
    return placementOf(g.width(), g.leftBearing, g.advance, frame.fixedPitch);
}

// The glyphs the FON must show, and its frame, as one of the two programs builds them.
struct Expected {
    Frame frame;
    std::vector<SourceGlyph> glyphs;  // encoded ones only
    long resourceSize = 0;            // of the FNT resource, in the layout of its version
};

Expected expectedFor(const SourceFont& font, bool textReader, const std::string& baseName) {
    Expected e;
    Bounds all, encoded;
    for (const auto& g : font.glyphs) {
        all.add(g);
        if (g.code >= 0) {
            encoded.add(g);
            e.glyphs.push_back(g);
        }
    }
    // The PCF reader takes the accelerator bounds, which cover every glyph of the file; the BDF
    // reader measures the encoded glyphs, and may pad them into a terminal cell first.
    e.frame = frameOf(textReader ? encoded : all);
    if (textReader && couldBeTerminalCell(encoded, font.fontAscent, font.fontDescent)) {
        Bounds padded;
        for (auto& g : e.glyphs) {
            g = padToCell(g, encoded.minAdvance, font.fontAscent, font.fontDescent);
            padded.add(g);
        }
        e.frame = frameOf(padded);
    }
    int first = 255, last = 0, maxWidth = 0;
    long widthBytes = 0;
    for (const auto& g : e.glyphs) {
        first = std::min(first, g.code & 0xFF);
        last = std::max(last, g.code & 0xFF);
        int w = placement(g, e.frame).width;
        maxWidth = std::max(maxWidth, w);
        widthBytes += (w + 7) / 8;
    }
    widthBytes += (maxWidth + 7) / 8;
    e.resourceSize = 127 + 4L * (last - first) + static_cast<long>(baseName.size()) + e.frame.height * widthBytes;
    // Past the Windows 2.x layout's 64 KiB: the 3.0 layout, 30 header bytes and 2 per entry more.
    if (e.resourceSize > 65536) e.resourceSize += 30 + 2L * (last - first + 2);
    return e;
}

// Every character against FreeType's reading of the FON; "" or the first difference.
std::string compareCells(const Expected& e, const std::string& fonPath) {
    OracleFont fon = loadWithFreeType(fonPath);
    if (!fon.error.empty()) return "FreeType cannot open the FON: " + fon.error;
    // Our own reader, which the preview draws from, must read the file as FreeType does.
    if (std::string disagreement = readerDisagreement(fonPath, &fon); !disagreement.empty()) return disagreement;
    std::vector<bool> seen(256, false);
    for (const auto& g : e.glyphs) {
        int code = g.code & 0xFF;
        seen[code] = true;
        const Placement place = placement(g, e.frame);
        int width = place.width, height = e.frame.height, top = e.frame.maxAscent - g.ascent, xoff = place.column;
        std::vector<std::uint8_t> cell(static_cast<std::size_t>(std::max(width, 0)) * height, 0);
        for (int y = 0; y < g.height(); ++y)
            for (int x = 0; x < g.width(); ++x) {
                int cx = xoff + x, cy = top + y;
                if (g.pixel(x, y) && cx >= 0 && cx < width && cy >= 0 && cy < height)
                    cell[static_cast<std::size_t>(cy) * width + cx] = 1;
            }
        bool inked = std::find(cell.begin(), cell.end(), 1) != cell.end();
        auto found = fon.glyphs.find(static_cast<std::uint32_t>(code));
        std::string where = "code " + std::to_string(g.code) + ": ";
        if (found == fon.glyphs.end()) {
            if (inked) return where + "missing from the FON";
            continue;
        }
        const OracleGlyph& shown = found->second;
        if (width <= 0 || height <= 0) {
            if (std::find(shown.pixels.begin(), shown.pixels.end(), 1) != shown.pixels.end())
                return where + "ink in an empty cell";
            continue;
        }
        // Each character advances by its own width, from the origin.
        if (shown.width != width || shown.rows != height || shown.advance != width || shown.left != 0)
            return where + "cell " + std::to_string(shown.width) + "x" + std::to_string(shown.rows) + " advancing " +
                   std::to_string(shown.advance) + ", expected " + std::to_string(width) + "x" + std::to_string(height);
        // On its baseline: the cell's top as far above it as the source puts the glyph's rows.
        if (shown.top != e.frame.maxAscent)
            return where + "cell top " + std::to_string(shown.top) + " rows above the baseline, expected " +
                   std::to_string(e.frame.maxAscent);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (shown.pixel(x, y) != (cell[static_cast<std::size_t>(y) * width + x] != 0))
                    return where + "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs";
    }
    for (const auto& [code, shown] : fon.glyphs)
        if (code < 256 && !seen[code] && std::find(shown.pixels.begin(), shown.pixels.end(), 1) != shown.pixels.end())
            return "code " + std::to_string(code) + " has ink but no source glyph";
    return "";
}

struct Tally {
    int fonts = 0, converted = 0, tooLarge = 0, multiRow = 0, failures = 0;
};

class RealFontCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_INSTALLED("gzip", "pcf2bdf", "compress");
    }

    // Runs one program; "" when it behaved as expected.
    std::string convert(const std::string& program, const std::string& input, const std::string& output,
                        const Expected& e, bool multiRow, Tally* tally, bool count) {
        RunResult run = runCommand({program, "-o", output, input}, "", 120);
        std::string name = program.substr(program.rfind('/') + 1) + " " + input.substr(input.rfind('/') + 1);
        if (multiRow || e.resourceSize > (16L << 20)) {
            const char* reason = multiRow ? "too many characters" : "too large";
            if (run.exitStatus != 1 || run.err.find(reason) == std::string::npos)
                return name + ": expected \"" + reason + "\", got status " + std::to_string(run.exitStatus) + " " +
                       run.err;
            if (fileExists(output)) return name + ": refused but left its output";
            if (count) ++(multiRow ? tally->multiRow : tally->tooLarge);
            return "";
        }
        if (run.exitStatus != 0 || !run.err.empty())
            return name + ": status " + std::to_string(run.exitStatus) + " " + run.err;
        if (count) ++tally->converted;
        return "";
    }

    std::string checkFont(const std::string& gz, const TempDir& dir, Tally* tally) {
        std::string pcf = dir.path("font.pcf"), bdf = dir.path("font.bdf");
        if (!gunzipFile(gz, pcf) || !pcfToBdf(pcf, bdf)) return "could not make the BDF";
        RunResult packed = runShell("compress -c < '" + pcf + "' > '" + pcf + ".Z' && compress -c < '" + bdf +
                                    "' > '" + bdf + ".Z'; test -s '" + bdf + ".Z'");
        if (packed.exitStatus != 0) return "compress failed: " + packed.err;
        SourceFont font;
        if (std::string problem = parseBdf(readFile(bdf), &font); !problem.empty()) return "pcf2bdf output: " + problem;
        int lowRow = 1 << 30, highRow = -1;
        for (const auto& g : font.glyphs)
            if (g.code >= 0) lowRow = std::min(lowRow, g.code >> 8), highRow = std::max(highRow, g.code >> 8);
        bool multiRow = highRow != lowRow;

        // Same base name for every output, so the compressed inputs must give identical files.
        const std::string base = "font";
        struct Case {
            bool text;
            std::string program, input, output;
        } cases[] = {{false, corvanePath(), pcf, dir.path("pcf/font.fon")},
                     {false, corvanePath(), pcf + ".Z", dir.path("pcfz/font.fon")},
                     {true, varnelPath(), bdf, dir.path("bdf/font.fon")},
                     {true, varnelPath(), bdf + ".Z", dir.path("bdfz/font.fon")}};
        std::string problems;
        for (int k = 0; k < 4; ++k) {
            const Case& c = cases[k];
            std::remove(c.output.c_str());
            Expected e = expectedFor(font, c.text, base);
            std::string problem = convert(c.program, c.input, c.output, e, multiRow, tally, k == 0);
            if (problem.empty() && fileExists(c.output)) {
                if (k % 2 == 1) {
                    if (readFile(c.output) != readFile(cases[k - 1].output))
                        problem = c.input + ": the compressed input gives another file";
                } else if (std::string diff = compareCells(e, c.output); !diff.empty()) {
                    problem = (c.text ? "varnel: " : "corvane: ") + diff;
                }
            }
            if (!problem.empty()) problems += (problems.empty() ? "" : "; ") + problem;
        }
        return problems;
    }

    // Every font of the folders (every tenth under the sanitizers, see corpusStride).
    // CORPUS_PART=k/n (k from 1) takes every n-th of those, starting at the k-th, so that ctest can
    // spread one folder over the cores.
    void runCorpus(const std::vector<std::string>& folders, const char* label) {
        std::vector<std::string> files = realFontFiles(folders);
        std::size_t stride = corpusStride(), part = 1, parts = 1;
        if (const char* slice = std::getenv("CORPUS_PART")) {
            ASSERT_EQ(std::sscanf(slice, "%zu/%zu", &part, &parts), 2) << "CORPUS_PART=" << slice;
            ASSERT_TRUE(part >= 1 && part <= parts) << "CORPUS_PART=" << slice;
        }
        TempDir dir;
        for (const char* sub : {"pcf", "pcfz", "bdf", "bdfz"}) std::filesystem::create_directories(dir.path(sub));
        Tally tally;
        auto start = std::chrono::steady_clock::now();
        for (std::size_t i = (part - 1) * stride; i < files.size(); i += stride * parts) {
            ++tally.fonts;
            std::string problem = checkFont(files[i], dir, &tally);
            if (problem.empty()) continue;
            ++tally.failures;
            ADD_FAILURE() << files[i] << ": " << problem;
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("corpus %s part %zu/%zu: %d fonts (every %zu of %zu), %d converted by both programs (plain and "
                    ".Z), %d multi-row refused, %d too large refused, %d failed, %.0f s\n",
                    label, part, parts, tally.fonts, stride * parts, files.size(), tally.converted, tally.multiRow,
                    tally.tooLarge, tally.failures, seconds);
        EXPECT_EQ(tally.failures, 0);
    }
};

// Terminus installs into misc with xfonts-base's fonts.
TEST_F(RealFontCorpus, Misc) {
    REQUIRE_INSTALLED(XfontsBase, XfontsTerminus);
    runCorpus({"misc"}, "misc");
}
TEST_F(RealFontCorpus, Dpi75) {
    REQUIRE_INSTALLED(Xfonts75dpi);
    runCorpus({"75dpi"}, "75dpi");
}
TEST_F(RealFontCorpus, Dpi100) {
    REQUIRE_INSTALLED(Xfonts100dpi);
    runCorpus({"100dpi"}, "100dpi");
}
}  // namespace
