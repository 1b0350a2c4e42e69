// The TrueType output against independent readers, over a sample of the real-font corpus: every
// 20th font of xfonts-base, -75dpi and -100dpi (every 200th under the sanitizers) through both
// programs (corvane from the PCF, varnel from pcf2bdf's BDF of it), a family of three Terminus
// sizes, and unifont once. For each .ttf:
//   - OTS (ots-sanitize, the sanitizer browsers apply to web fonts) accepts it;
//   - its cmap holds exactly the source's characters (X encodings mapped through Python's codecs,
//     control characters never, fonts of no known encoding at U+F000 + code, past one byte at
//     U+F0000 + code), one strike per input at that input's pixel size, and unitsPerEm a
//     power-of-two multiple of the first;
//   - FreeType draws every character as FreeType draws the source BDF/PCF: ink shape, place relative
//     to pen and baseline, advance. From each strike at its size; from the outlines alone without
//     hinting at ppem and at 2 x ppem (each source pixel a 2 x 2 block), in grey levels with no
//     grey pixel; and with FreeType's default hinting (the font's prep program makes it the
//     TrueType interpreter), the same pixels at ppem and 2 x ppem, and in one bit at ppem. Light
//     hinting (what browsers ask for) and the auto-hinter forced on are drawn too and their
//     differences counted, not failed: FreeType 2.12 draws light hinting with its auto-hinter
//     whatever the font holds, and the auto-hinter's blue zones move edges of some scripts
//     (Devanagari, Bengali, Mongolian).
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace {

// One way FreeType draws a character of the .ttf; each must give the source's ink at `scale`
// times its size.
struct Rendering {
    const char* name;
    int scale;
    int flags;
    bool embedded;  // from the strike (every strike) rather than the outlines (the first input's)
    bool required;  // false: differences are counted and reported only
};
const Rendering renderings[] = {
    {"strike", 1, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO, true, true},
    {"outline", 1, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, false, true},
    {"outline x2", 2, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING, false, true},
    {"hinted", 1, FT_LOAD_NO_BITMAP, false, true},
    {"hinted x2", 2, FT_LOAD_NO_BITMAP, false, true},
    {"hinted mono", 1, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO, false, true},
    {"light", 1, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT, false, false},
    {"light x2", 2, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT, false, false},
    {"auto-hinter", 1, FT_LOAD_NO_BITMAP | FT_LOAD_FORCE_AUTOHINT, false, false},
};

struct SourceCharacter {
    std::uint32_t code = 0;     // the source's own code
    std::uint32_t unicode = 0;  // where the .ttf's cmap must put it
    OracleGlyph ink;
};

// A source font as FreeType reads it, and where its characters go.
struct Source {
    std::string error;
    int ppem = 0;  // PIXEL_SIZE, else FONT_ASCENT + FONT_DESCENT
    std::vector<SourceCharacter> characters;  // the mapped ones
};

Source readSource(const std::string& path, const std::map<std::string, std::vector<int>>& tables) {
    Source source;
    FreeTypeFace font(path);
    if (!font.error().empty()) {
        source.error = "FreeType cannot read the source: " + font.error();
        return source;
    }
    FT_Face face = font.face();
    const char *encoding = "", *registry = "";
    FT_Get_BDF_Charset_ID(face, &encoding, &registry);
    const std::string codec = codecOf(registry ? registry : "", encoding ? encoding : "");
    source.ppem = bdfInteger(face, "PIXEL_SIZE");
    if (source.ppem <= 0) source.ppem = bdfInteger(face, "FONT_ASCENT") + bdfInteger(face, "FONT_DESCENT");
    auto table = tables.find(codec);
    if (!codec.empty() && codec != "unicode" && table == tables.end()) {
        source.error = "no Python table for " + codec;
        return source;
    }
    for (std::uint32_t code : font.codes()) {
        long unicode = codec.empty() ? (code < 256 ? 0xF000 : 0xF0000) + code
                       : codec == "unicode" ? code
                       : code < 256 ? table->second[code]
                                    : -1;
        if (unicode < 0 || unicode <= 0x1F || (unicode >= 0x7F && unicode <= 0x9F)) continue;
        FreeTypeFace::Drawing drawn;
        if (!font.draw(code, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO, drawn)) continue;
        source.characters.push_back({code, static_cast<std::uint32_t>(unicode), inkOf(drawn.glyph)});
    }
    return source;
}

std::string box(const OracleGlyph& g) {
    return std::to_string(g.width) + "x" + std::to_string(g.rows) + " at " + std::to_string(g.left) + "," +
           std::to_string(g.top) + " advance " + std::to_string(g.advance);
}

std::string picture(const OracleGlyph& g) {
    std::string rows;
    for (int y = 0; y < g.rows; ++y) {
        rows += y ? "|" : "";
        for (int x = 0; x < g.width; ++x) rows += g.pixel(x, y) ? '#' : '.';
    }
    return rows;
}

// "" when the drawing shows the expected ink, else what differs.
std::string difference(const FreeTypeFace::Drawing& d, const Rendering& r, const OracleGlyph& expected) {
    if (d.embedded != r.embedded) return d.embedded ? "drawn from a bitmap" : "drawn from the outline";
    if (d.greyPixels) return std::to_string(d.greyPixels) + " grey pixels";
    const OracleGlyph ink = inkOf(d.glyph);
    if (ink == expected) return "";
    return box(ink) + " [" + picture(ink) + "], expected " + box(expected) + " [" + picture(expected) + "]";
}

struct TtfCase {
    std::string program;  // varnel or corvane
    std::vector<std::string> inputs;
    std::string name;
};

struct Tally {
    long files = 0, characters = 0, drawings = 0, wrong = 0;
    std::map<std::string, long> wrongBy;  // by rendering, those counted only included
};

class TrueTypeOracle : public testing::Test {
protected:
    void SetUp() override { REQUIRE_INSTALLED("ots-sanitize", "pcf2bdf", "gzip", "python3", XfontsBase); }

    std::string hex(std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "U+%04X", value);
        return text;
    }

    // Converts one case and holds the .ttf against its sources; the problems found.
    std::vector<std::string> check(const TtfCase& c, const std::string& ttf, Tally& tally) {
        std::vector<std::string> argv{c.program == "varnel" ? varnelPath() : corvanePath(), "-o", ttf};
        argv.insert(argv.end(), c.inputs.begin(), c.inputs.end());
        RunResult run = runCommand(argv, "", 300);
        if (run.exitStatus != 0 || !run.err.empty())
            return {c.program + ": status " + std::to_string(run.exitStatus) + " " + run.err};
        ++tally.files;
        std::vector<std::string> problems;
        RunResult ots = runCommand({"ots-sanitize", ttf, ttf + ".ots"});
        if (ots.exitStatus != 0) problems.push_back("OTS refuses it: " + ots.out + ots.err);
        FreeTypeFace font(ttf);
        if (!font.error().empty()) return {"FreeType cannot read the .ttf: " + font.error()};
        FT_Face face = font.face();
        if (face->num_fixed_sizes != static_cast<int>(c.inputs.size()))
            problems.push_back(std::to_string(face->num_fixed_sizes) + " strikes for " +
                               std::to_string(c.inputs.size()) + " inputs");
        for (std::size_t i = 0; i < c.inputs.size(); ++i) {
            const Source source = readSource(c.inputs[i], tables_);
            if (!source.error.empty()) return {source.error};
            bool strike = false;
            for (int k = 0; k < face->num_fixed_sizes; ++k) strike |= face->available_sizes[k].y_ppem >> 6 == source.ppem;
            if (!strike) problems.push_back("no strike at " + std::to_string(source.ppem) + " ppem");
            if (i == 0) {
                const int units = face->units_per_EM / source.ppem;
                if (face->units_per_EM % source.ppem != 0 || (units & (units - 1)) != 0)
                    problems.push_back("unitsPerEm " + std::to_string(face->units_per_EM) + " for ppem " +
                                       std::to_string(source.ppem));
                std::set<std::uint32_t> expected, mapped;
                for (const SourceCharacter& s : source.characters) expected.insert(s.unicode);
                for (std::uint32_t code : font.codes()) mapped.insert(code);
                for (std::uint32_t code : expected)
                    if (!mapped.count(code)) problems.push_back(hex(code) + " missing from the cmap");
                for (std::uint32_t code : mapped)
                    if (!expected.count(code)) problems.push_back(hex(code) + " in the cmap but not in the source");
                tally.characters += static_cast<long>(source.characters.size());
            }
            for (const Rendering& r : renderings) {
                if (!r.embedded && i > 0) continue;
                if (!font.setPixelSize(source.ppem * r.scale)) {
                    problems.push_back(std::string(r.name) + ": no size " + std::to_string(source.ppem * r.scale));
                    continue;
                }
                for (const SourceCharacter& s : source.characters) {
                    FreeTypeFace::Drawing drawn;
                    ++tally.drawings;
                    const std::string wrong = !font.draw(s.unicode, r.flags, drawn)
                                                  ? "not drawn"
                                                  : difference(drawn, r, r.scale == 1 ? s.ink : scaledBy(s.ink, r.scale));
                    if (wrong.empty()) continue;
                    ++tally.wrongBy[r.name];
                    if (!r.required) continue;
                    ++tally.wrong;
                    problems.push_back(hex(s.unicode) + " (code " + std::to_string(s.code) + ") " + r.name + " at " +
                                       std::to_string(source.ppem * r.scale) + " ppem: " + wrong);
                }
            }
        }
        return problems;
    }

    // Every case checked; a summary line with the figures.
    void sweep(const std::vector<TtfCase>& cases, const char* label) {
        tables_ = decodeTables();
        ASSERT_FALSE(tables_.empty()) << "python3 codecs";
        TempDir dir;
        Tally tally;
        for (const TtfCase& c : cases) {
            const std::vector<std::string> problems = check(c, dir.path(c.name + ".ttf"), tally);
            if (problems.empty()) continue;
            std::string text;
            for (std::size_t p = 0; p < problems.size() && p < 8; ++p) text += "\n  " + problems[p];
            if (problems.size() > 8) text += "\n  ... " + std::to_string(problems.size() - 8) + " more";
            ADD_FAILURE() << c.program << " " << c.inputs[0] << ":" << text;
        }
        std::string by;
        for (const auto& [name, count] : tally.wrongBy) by += " " + name + " " + std::to_string(count) + ";";
        std::printf("truetype %s: %ld files, %ld characters, %ld drawings, %ld wrong (by rendering:%s "
                    "light and auto-hinter ones counted only)\n",
                    label, tally.files, tally.characters, tally.drawings, tally.wrong, by.c_str());
        EXPECT_GT(tally.files, 0);
    }

    std::map<std::string, std::vector<int>> tables_;
};

// Every 20th font (every 200th under the sanitizers) through both programs, and a family of sizes.
TEST_F(TrueTypeOracle, CorpusSample) {
    REQUIRE_INSTALLED(Xfonts75dpi, Xfonts100dpi, XfontsTerminus);
    TempDir sources;
    std::vector<TtfCase> cases;
    const std::vector<std::string> files = realFontFiles({"misc", "75dpi", "100dpi"});
    for (std::size_t i = 0; i < files.size(); i += 20 * corpusStride()) {
        std::string name = files[i].substr(files[i].rfind('/') + 1);
        name = name.substr(0, name.find('.'));
        const std::string bdf = sources.path(std::to_string(i) + ".bdf");
        cases.push_back({"corvane", {files[i]}, "p" + std::to_string(i)});
        if (pcfToBdf(files[i], bdf))
            cases.push_back({"varnel", {bdf}, "b" + std::to_string(i)});
        else
            ADD_FAILURE() << "pcf2bdf " << files[i];
    }
    std::vector<std::string> terminus;
    for (int size : {12, 14, 16})
        terminus.push_back("/usr/share/fonts/X11/misc/ter-u" + std::to_string(size) + "n_iso-8859-1.pcf.gz");
    cases.push_back({"corvane", terminus, "family"});
    sweep(cases, "corpus sample");
}

// unifont's 57,000 characters in one file (run in the normal build only).
TEST_F(TrueTypeOracle, Unifont) {
    REQUIRE_INSTALLED(XfontsUnifont);
    sweep({{"corvane", {XfontsUnifont}, "unifont"}}, "unifont");
}

}  // namespace
