// -c over Debian's real fonts, FreeType as the judge: every position of the written code page shows
// the source glyph of the character it stands for (Python's codecs say which; at the control
// positions of an OEM page, the IBM PC graphic character Python's unicodedata names, where the font
// has it), placed by the cell rules; gaps show the placeholder; the header names the page, the
// weight and the slant, the "SNF" resource the page's encoding. Fonts whose encoding is unknown, or
// with nothing in the page, are refused without output. A list of pages gives one font per page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "font/code_page.h"
#include "tests/fon/fon_reader_oracle.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

struct Page {
    std::string option;
    int charSet;
    std::string codec;  // what its bytes stand for; "" for symbol (the font's own codes)
};
const Page pages[] = {{"-c1252", 0, "cp1252"}, {"-c1251", 204, "cp1251"}, {"-c437", 255, "cp437"}};
const Page samplePage = {"-c1250", 238, "cp1250"};  // on the fonts that also go through varnel
const Page symbolPage = {"-csymbol", 2, ""};         // on the fonts of no known encoding

// What the console draws at an OEM page's positions 1 to 31 and 127, by Unicode name.
const char* const oemGraphicNames[32] = {
    "WHITE SMILING FACE", "BLACK SMILING FACE", "BLACK HEART SUIT", "BLACK DIAMOND SUIT", "BLACK CLUB SUIT",
    "BLACK SPADE SUIT", "BULLET", "INVERSE BULLET", "WHITE CIRCLE", "INVERSE WHITE CIRCLE", "MALE SIGN",
    "FEMALE SIGN", "EIGHTH NOTE", "BEAMED EIGHTH NOTES", "WHITE SUN WITH RAYS", "BLACK RIGHT-POINTING POINTER",
    "BLACK LEFT-POINTING POINTER", "UP DOWN ARROW", "DOUBLE EXCLAMATION MARK", "PILCROW SIGN", "SECTION SIGN",
    "BLACK RECTANGLE", "UP DOWN ARROW WITH BASE", "UPWARDS ARROW", "DOWNWARDS ARROW", "RIGHTWARDS ARROW",
    "LEFTWARDS ARROW", "RIGHT ANGLE", "LEFT RIGHT ARROW", "BLACK UP-POINTING TRIANGLE",
    "BLACK DOWN-POINTING TRIANGLE", "HOUSE"};
int oemGraphicPosition(int k) { return k < 31 ? k + 1 : 127; }

// The character of each position an OEM page fills with a graphic (-1 elsewhere), from the names.
std::vector<int> oemGraphics() {
    std::vector<std::string> argv{"python3", "-c",
                                  "import sys, unicodedata\n"
                                  "print(' '.join(str(ord(unicodedata.lookup(n))) for n in sys.argv[1:]))\n"};
    argv.insert(argv.end(), std::begin(oemGraphicNames), std::end(oemGraphicNames));
    std::istringstream values(runCommand(argv).out);
    std::vector<int> graphics(256, -1);
    for (int k = 0; k < 32 && values >> graphics[static_cast<std::size_t>(oemGraphicPosition(k))]; ++k) {
    }
    return graphics;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int expectedWeight(const std::string& name) {
    const std::map<std::string, int> weights = {{"thin", 100},     {"extralight", 200}, {"light", 300},
                                                {"demibold", 600}, {"semibold", 600},   {"bold", 700},
                                                {"extrabold", 800}, {"black", 900},     {"heavy", 900}};
    auto found = weights.find(lower(name));
    return found == weights.end() ? 400 : found->second;
}

// The source code behind each position of the page, or -1.
std::vector<int> sourceCodes(const Page& page, const OracleFont& source, const std::string& codec,
                             const std::map<std::string, std::vector<int>>& tables, const std::vector<int>& graphics) {
    std::vector<int> codes(256, -1);
    const int row = source.glyphs.empty() ? 0 : static_cast<int>(source.glyphs.begin()->first >> 8);
    auto codeOf = [&](int u) {
        if (u < 0 || codec == "unicode") return u;
        const std::vector<int>& table = tables.at(codec);
        auto at = std::find(table.begin(), table.end(), u);
        return at == table.end() ? -1 : static_cast<int>(at - table.begin());
    };
    for (int p = 0; p < 256; ++p) {
        codes[p] = page.codec.empty() ? row << 8 | p : codeOf(tables.at(page.codec)[p]);
        const int graphic = page.charSet == 255 ? codeOf(graphics[p]) : -1;
        if (graphic >= 0 && source.glyphs.count(static_cast<std::uint32_t>(graphic))) codes[p] = graphic;
    }
    return codes;
}

// The XLFD name with the page's registry and encoding as its last two fields; any other name as it is.
std::string renamedFont(const std::string& name, const std::string& registryAndEncoding) {
    if (name.empty() || name[0] != '-' || std::count(name.begin(), name.end(), '-') != 14) return name;
    std::size_t at = 0;
    for (int dash = 0; dash < 13; ++dash) at = name.find('-', at) + 1;
    return name.substr(0, at) + registryAndEncoding;
}

// A refusal without output; "" or what is wrong.
std::string refusedWith(const RunResult& run, const std::string& fon, const std::string& message) {
    if (run.exitStatus != 1 || run.err.find(message) == std::string::npos) return "not refused: " + run.err;
    return fileExists(fon) ? "output left behind" : "";
}

// Runs `argv` into `fon` and checks the file against its source; "" or what is wrong. `refused`
// receives the reason of an expected refusal.
std::string checkRun(std::vector<std::string> argv, const std::string& fon, const OracleFont& source,
                     const std::vector<int>& codes, const Page& page, bool fromBdf, std::string* refused) {
    std::remove(fon.c_str());
    const RunResult run = runCommand(argv);
    auto own = [&](int p) { return codes[p] >= 0 && source.glyphs.count(static_cast<std::uint32_t>(codes[p])); };
    auto glyphAt = [&](int p) -> const OracleGlyph& { return source.glyphs.at(static_cast<std::uint32_t>(codes[p])); };
    int first = -1, last = -1, inked = 0, tallest = -32768, notEmpty = 0, narrowest = 32767, widest = -32768;
    for (int p = 0; p < 256; ++p) {
        if (!own(p)) continue;
        first = first < 0 ? p : first;
        last = p;
        inked += glyphAt(p).width > 0 && glyphAt(p).rows > 0;
        const bool counts = glyphAt(p).width > 0 || glyphAt(p).rows > 0 || glyphAt(p).advance != 0;
        notEmpty += counts;
        if (counts) narrowest = std::min(narrowest, glyphAt(p).advance), widest = std::max(widest, glyphAt(p).advance);
        tallest = std::max(tallest, glyphAt(p).top);
    }
    if (page.codec.empty() && !source.glyphs.empty() &&
        source.glyphs.rbegin()->first >> 8 != source.glyphs.begin()->first >> 8) {
        *refused = "codes in several rows";
        return refusedWith(run, fon, "too many characters");
    }
    if (first < 0 || notEmpty == 0) {  // glyphs without pixels or advance are no characters
        *refused = "nothing in the page";
        return refusedWith(run, fon, "not created:  none of its characters is in code page " + page.option.substr(2) + ".");
    }
    if (inked == 0) {  // no cell height: the writer refuses such a font as ever
        *refused = "only empty glyphs";
        return refusedWith(run, fon, "too large");
    }
    if (run.exitStatus != 0) return "failed: " + run.err;
    const OracleFont written = loadWithFreeType(fon);
    if (!written.error.empty()) return "FreeType: " + written.error;
    if (std::string disagreement = readerDisagreement(fon, &written); !disagreement.empty()) return disagreement;
    if (written.firstChar != first || written.lastChar != last)
        return "range " + std::to_string(written.firstChar) + ".." + std::to_string(written.lastChar);
    const int italic = lower(source.slant) == "i" || lower(source.slant) == "o" ? 1 : 0;
    if (written.charSet != page.charSet || written.weight != expectedWeight(source.weightName) || written.italic != italic)
        return "dfCharSet/dfWeight/dfItalic " + std::to_string(written.charSet) + "/" + std::to_string(written.weight) +
               "/" + std::to_string(written.italic);

    // dfDefaultChar counts from dfFirstChar. FreeType shows the DEFAULT_CHAR of a BDF file only.
    const int placeholder = written.firstChar + written.winDefaultChar;
    if (placeholder > last || !own(placeholder)) return "placeholder not from the font";
    int expected = -1;
    for (int p = first; p <= last && expected < 0; ++p)
        if (own(p) && codes[p] == source.defaultChar) expected = p;
    if (fromBdf && placeholder != (expected >= 0 ? expected : own('?') ? '?' : first))
        return "placeholder " + std::to_string(placeholder);

    // The "SNF" resource names the encoding written, in the FONT name too; a symbol font keeps its own.
    const std::string bytes = readFile(fon);
    const std::string registry = written.charSet == 255 ? "ibm" : "microsoft", encoding = "cp" + page.option.substr(2);
    if (!page.codec.empty() && bytes.find(registry + '\0' + encoding + '\0') == std::string::npos)
        return "the SNF resource does not name the page";
    const std::string fontName = renamedFont(source.name, registry + "-" + encoding);
    if (!page.codec.empty() && !source.name.empty() && bytes.find('\0' + fontName + '\0') == std::string::npos)
        return "the SNF resource's FONT is not " + fontName;

    // The cell over the written glyphs, each as wide as its advance: the page is fixed pitch when
    // its own glyphs advance alike, whatever the whole font does.
    CellFrame frame = frameOf(bytes);
    frame.fixedPitch = narrowest == widest;
    if (frame.maxAscent != tallest && frame.maxAscent != source.ascent)
        return "cell ascent " + std::to_string(frame.maxAscent) + " for glyphs up to " + std::to_string(tallest);
    for (int p = first; p <= last; ++p) {
        const Cell cell = cellOf(glyphAt(own(p) ? p : placeholder), frame, Layout{});
        if (cell.width == 0) continue;  // FreeType's view of a cell of no width is not to be relied on
        auto seen = written.glyphs.find(static_cast<std::uint32_t>(p));
        if (seen == written.glyphs.end()) return "position " + std::to_string(p) + " missing";
        if (std::string diff = compareWithOracle(seen->second, cell); !diff.empty())
            return "position " + std::to_string(p) + (own(p) ? "" : " (placeholder)") + ": " + diff;
    }
    return {};
}

TEST(CodePages, RealFontsThroughFreeType) {
    REQUIRE_INSTALLED("pcf2bdf", "python3", XfontsBase, XfontsTerminus, Xfonts75dpi, Xfonts100dpi);
    std::vector<std::string> files = realFontFiles({"misc", "75dpi", "100dpi"});
    const std::map<std::string, std::vector<int>> tables = decodeTables();
    ASSERT_EQ(tables.size(), 31u) << "python3 codecs";
    // The OEM pages' graphic characters: the product's typed table holds what their names say.
    const std::vector<int> graphics = oemGraphics();
    for (int p = 0; p < 256; ++p)
        EXPECT_EQ(oemGraphicCharacter(p), graphics[p] < 0 ? NoCharacter : graphics[p]) << "position " << p;

    TempDir dir;
    const std::string pcf = dir.path("font.pcf"), bdf = dir.path("font.bdf"), fon = dir.path("out.fon");
    std::map<std::string, int> converted, refusals;
    int failures = 0;
    auto record = [&](const std::string& what, const std::string& problem) {
        if (!problem.empty() && ++failures <= 10) ADD_FAILURE() << what << ": " << problem;
    };
    const std::size_t every = corpusStride();
    for (std::size_t i = 0; i < files.size(); i += every) {
        if (!gunzipFile(files[i], pcf)) {
            record(files[i], "gzip");
            continue;
        }
        const OracleFont source = loadWithFreeType(pcf);
        const std::string codec = codecOf(source.registry, source.encoding);
        std::vector<Page> toCheck(std::begin(pages), std::end(pages));
        if (codec.empty()) {
            // Refused with any page; with -c symbol the font keeps its own codes.
            std::remove(fon.c_str());
            ++refusals["unknown encoding " + source.registry + "-" + source.encoding];
            record(files[i], refusedWith(runCommand({corvanePath(), "-c1252", "-o", fon, pcf}), fon,
                                         "not created:  its encoding, " +
                                             (source.registry.empty() ? "none" : source.registry + "-" + source.encoding) +
                                             ", has no mapping to code page 1252."));
            toCheck = {symbolPage};
        }
        // Every font also goes through varnel with -c1252; a spread of them with the sample page.
        const bool sample = (i / every) % 8 == 0, alsoBdf = !codec.empty() && pcfToBdf(pcf, bdf);
        const OracleFont bdfSource = alsoBdf ? loadWithFreeType(bdf) : OracleFont{};
        if (alsoBdf && sample) toCheck.push_back(samplePage);
        for (const Page& page : toCheck) {
            const std::vector<int> codes = sourceCodes(page, source, codec, tables, graphics);
            std::string refused;
            const std::string problem =
                checkRun({corvanePath(), page.option, "-o", fon, pcf}, fon, source, codes, page, false, &refused);
            record(files[i] + " corvane " + page.option, problem);
            if (alsoBdf && sample && problem.empty() && refused.empty()) {
                // The pads reach the page's glyphs only (the rest is never laid out): the same file.
                const std::string reference = readFile(fon);
                for (const char* pad : {"-p1", "-p8"}) {
                    runCommand({corvanePath(), page.option, pad, "-u4", "-o", fon, pcf});
                    if (readFile(fon) != reference) record(files[i] + " corvane " + page.option + " " + pad, "differs");
                }
            }
            if (alsoBdf && (sample || page.option == "-c1252"))
                record(files[i] + " varnel " + page.option,
                       checkRun({varnelPath(), page.option, "-o", fon, bdf}, fon, bdfSource, codes, page, true, &refused));
            if (!refused.empty()) ++refusals[refused + " " + page.option];
            else if (problem.empty()) ++converted[page.option];
        }
    }
    for (const auto& [option, count] : converted) std::cout << "converted " << option << ": " << count << "\n";
    for (const auto& [reason, count] : refusals) std::cout << "refused, " << reason << ": " << count << "\n";
    EXPECT_EQ(failures, 0);
    EXPECT_GT(converted["-c1252"], static_cast<int>(files.size() / every) / 2);
}

// What the corpus does not show: bad option values, -v, the last -c winning, a glyph past 64 KiB.
TEST(CodePages, OptionsAndLimits) {
    TempDir dir;
    const std::string fon = dir.path("out.fon");
    for (const char* value : {"-c", "-c1249", "-cfoo", "-c12520", "-c01252", "-cSymbol", "-c1252x", "-c-1", "-c1252,",
                              "-c,1252", "-c1252,,1251", "-c1252;1251"}) {
        RunResult r = runCommand({varnelPath(), value, "-o", fon, samplesDir() + "/seven.bdf"});
        EXPECT_EQ(r.exitStatus, 1) << value;
        EXPECT_EQ(r.err.find("Compile Fonts: usage: varnel"), 0u) << value << ": " << r.err;
        EXPECT_NE(r.err.find("\n       [-c codepage[,codepage...]] [-v]"), std::string::npos) << value;
    }
    RunResult r = runCommand({varnelPath(), "-v", "-o", fon, samplesDir() + "/seven.bdf"});
    EXPECT_EQ(r.err, "Compile Fonts: Font out: no code page, 37 positions from the font.\n");

    // One glyph, 'A', of `width` x `height` in an ISO8859-1 font.
    auto font = [&](int width, int height) {
        std::string bdf = "STARTFONT 2.1\nFONT f\nSIZE 8 75 75\nFONTBOUNDINGBOX 1 1 0 0\nSTARTPROPERTIES 4\n"
                          "FONT_ASCENT " + std::to_string(height) + "\nFONT_DESCENT 0\nCHARSET_REGISTRY \"ISO8859\"\n"
                          "CHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 500 0\n"
                          "DWIDTH " + std::to_string(width) + " 0\nBBX " + std::to_string(width) + " " +
                          std::to_string(height) + " 0 0\nBITMAP\n";
        for (int row = 0; row < height; ++row) bdf += std::string(static_cast<std::size_t>((width + 7) / 8 * 2), 'F') + "\n";
        writeFile(dir.path("a.bdf"), bdf + "ENDCHAR\nENDFONT\n");
        return dir.path("a.bdf");
    };
    // A glyph starting left of its origin is moved to it, and -v says so.
    std::string shifted = readFile(font(4, 4));
    writeFile(dir.path("a.bdf"), shifted.replace(shifted.find("BBX 4 4 0 0"), 11, "BBX 4 4 -1 0"));
    EXPECT_NE(runCommand({varnelPath(), "-v", "-o", fon, dir.path("a.bdf")}).err.find("Compile Fonts: Font out: 1 glyphs "
              "moved to fit their character cells, 0 lost columns past their advance.\n"), std::string::npos);
    r = runCommand({varnelPath(), "-c437", "-v", "-c1252", "-o", fon, font(4, 4)});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err.rfind("Compile Fonts: Font out: code page 1252, 1 positions from the font, 0 placeholders, 217 "
                          "characters missing: U+0020 U+0021 U+0022 U+0023 U+0024 U+0025 U+0026 U+0027 U+0028 U+0029 "
                          "and 207 more\n", 0), 0u) << r.err;
    EXPECT_EQ(loadWithFreeType(fon).charSet, 0);

    // A glyph past the 64 KiB of a Windows 2.x font makes a Windows 3.0 font, which -v names: 148
    // header bytes, two entries of 6, "out" and its zero, the cell and the sentinel's of 75 x 900.
    r = runCommand({varnelPath(), "-c1252", "-v", "-o", fon, font(600, 900)});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("\nCompile Fonts: Font out: written as a Windows 3.0 font (version 0x0300) of 135164 bytes, "
                         "past the 65536 of version 0x0200.\n"), std::string::npos) << r.err;
    EXPECT_EQ(loadWithFreeType(fon).glyphs.at('A').width, 600);
}

// A list of pages (each face equal to its page alone: tests/fon/test_family.cpp): -v has a line per
// font naming its page, in order. On OEM pages, unifont draws the graphic characters at the control
// positions. Pages of one character set, and lists past 64 fonts, are refused before anything is
// written.
TEST(CodePages, ListOfPages) {
    REQUIRE_INSTALLED("python3", XfontsUnifont);
    TempDir dir;
    const std::string fon = dir.path("pages.fon");
    const RunResult run = runCommand({corvanePath(), "-v", "-c", "1252,1251,1250,1253", "-o", fon, XfontsUnifont});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    std::istringstream notes(run.err);
    std::string note;
    for (const char* page : {"1252", "1251", "1250", "1253"}) {
        std::getline(notes, note);
        EXPECT_EQ(note.rfind("Compile Fonts: Font " + XfontsUnifont + ": code page " + page + ", ", 0), 0u) << note;
    }
    EXPECT_FALSE(std::getline(notes, note)) << note;

    // The graphic characters at the control positions of -c866 (the sweep runs -c437), which
    // unifont has every one of.
    const std::string unifont = dir.path("unifont.pcf");
    ASSERT_TRUE(gunzipFile(XfontsUnifont, unifont));
    const OracleFont source = loadWithFreeType(unifont);
    const std::vector<int> graphics = oemGraphics();
    for (int k = 0; k < 32; ++k)
        ASSERT_TRUE(source.glyphs.count(static_cast<std::uint32_t>(graphics[oemGraphicPosition(k)]))) << oemGraphicNames[k];
    const Page oem = {"-c866", 255, "cp866"};
    std::string refused;
    EXPECT_EQ(checkRun({corvanePath(), oem.option, "-o", fon, unifont}, fon, source,
                       sourceCodes(oem, source, "unicode", decodeTables(), graphics), oem, false, &refused), "");
    EXPECT_EQ(refused, "");

    // Refusals: two pages of one character set, and more than 64 fonts; no output is made.
    std::remove(fon.c_str());
    for (const auto& [list, first, second, charSet] :
         {std::tuple{"437,866", "437", "866", 255}, {"1252,symbol,1252", "1252", "1252", 0}}) {
        const RunResult run = runCommand({corvanePath(), "-c", list, "-o", fon, XfontsUnifont});
        EXPECT_EQ(run.err, "Compile Fonts: Code pages " + std::string(first) + " and " + second +
                               " not combined:  Windows cannot tell their fonts apart (both have character set " +
                               std::to_string(charSet) + ").\n");
        EXPECT_FALSE(fileExists(fon));
    }
    std::vector<std::string> argv{corvanePath(), "-c1252,1251,1250,1253", "-o", fon};
    for (int k = 0; k < 17; ++k) argv.push_back(dir.path("in" + std::to_string(k) + ".pcf"));
    EXPECT_EQ(runCommand(argv).err,
              "Compile Fonts: Font " + dir.path("in16.pcf") + " not created:  more than 64 fonts in one file.\n");
    argv.pop_back();
    EXPECT_EQ(runCommand(argv).err, "Compile Fonts: can't open pcf source file " + dir.path("in0.pcf") + "\n");
}

// The committed tables are what the generator writes today.
TEST(CodePages, GeneratedTablesAreCurrent) {
    REQUIRE_INSTALLED("python3");
    const std::string source = samplesDir() + "/../font/";
    RunResult r = runCommand({"python3", source + "gen_code_pages.py"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(r.out == readFile(source + "code_page_tables.cpp"))
        << "regenerate: python3 font/gen_code_pages.py > font/code_page_tables.cpp";
}

}  // namespace
