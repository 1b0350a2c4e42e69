// -c over Debian's real fonts, FreeType as the judge: every position of the written code page shows
// the source glyph of the character it stands for (Python's codecs say which), placed by the cell
// rules; gaps show the placeholder; the header names the page, the weight and the slant. Fonts
// whose encoding is unknown, or with nothing in the page, are refused without output.
//
// COMPILE_FONTS_SAMPLE=N checks every Nth font only (for the sanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

struct Page {
    int number;  // 0: symbol
    int charSet;
};
const Page pages[] = {{1252, 0}, {1251, 204}, {437, 255}};
const Page samplePage = {1250, 238};  // on the fonts that also go through varnel
const Page symbolPage = {0, 2};        // on the fonts of no known encoding

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Python codec of an X encoding; "unicode" for ISO10646-1, "" when the encoding has no table.
std::string codecOf(const OracleFont& font) {
    const std::string name = lower(font.registry + "-" + font.encoding);
    if (name == "iso10646-1") return "unicode";
    if (name.rfind("iso8859-", 0) == 0 && name != "iso8859-12") return "iso8859_" + name.substr(8);
    if (name == "koi8-r" || name == "koi8-u") return "koi8_" + name.substr(5);
    if (name.rfind("microsoft-cp125", 0) == 0) return name.substr(10);
    if (name == "ibm-cp437" || name == "ibm-cp850" || name == "ibm-cp866") return name.substr(4);
    if (name == "paratype-pt154") return "ptcp154";
    if (name == "iso646.1991-irv" || name == "ascii-0") return "ascii";
    return "";
}

// What each byte stands for in each codec (-1: undefined), from one run of Python.
std::map<std::string, std::vector<int>> decodeTables(const std::vector<std::string>& codecs) {
    std::vector<std::string> argv = {"python3", "-c",
                                     "import sys\n"
                                     "for n in sys.argv[1:]:\n"
                                     "    out = []\n"
                                     "    for b in range(256):\n"
                                     "        try: t = bytes([b]).decode(n)\n"
                                     "        except UnicodeDecodeError: t = ''\n"
                                     "        out.append(str(ord(t)) if len(t) == 1 else '-1')\n"
                                     "    print(n, ' '.join(out))\n"};
    argv.insert(argv.end(), codecs.begin(), codecs.end());
    RunResult run = runCommand(argv);
    std::map<std::string, std::vector<int>> tables;
    std::istringstream lines(run.out);
    std::string name;
    while (lines >> name) {
        std::vector<int>& table = tables[name];
        table.resize(256);
        for (int& value : table) lines >> value;
    }
    return tables;
}

int expectedWeight(const std::string& name) {
    const std::map<std::string, int> weights = {
        {"thin", 100},     {"extralight", 200}, {"light", 300}, {"demibold", 600}, {"semibold", 600},
        {"bold", 700},     {"extrabold", 800},  {"black", 900}, {"heavy", 900}};
    auto found = weights.find(lower(name));
    return found == weights.end() ? 400 : found->second;
}

struct Tables {
    std::map<std::string, std::vector<int>> byCodec;
};

// The source code behind each page position, or -1.
std::vector<int> sourceCodes(const std::vector<int>& page, const std::string& codec, const Tables& tables) {
    std::vector<int> codes(256, -1);
    for (int p = 0; p < 256; ++p) {
        if (page[p] < 0) continue;
        if (codec == "unicode") {
            codes[p] = page[p];
            continue;
        }
        const std::vector<int>& source = tables.byCodec.at(codec);
        auto at = std::find(source.begin(), source.end(), page[p]);
        if (at != source.end()) codes[p] = static_cast<int>(at - source.begin());
    }
    return codes;
}

// Checks one written file against its source; "" or what is wrong. `refused` receives the refusal.
std::string checkOutput(const OracleFont& source, const std::vector<int>& codes, const Page& page,
                        const RunResult& run, const std::string& fon, bool fromBdf, std::string* refused) {
    int first = -1, last = -1, inked = 0;
    for (int p = 0; p < 256; ++p) {
        if (codes[p] < 0 || !source.glyphs.count(static_cast<std::uint32_t>(codes[p]))) continue;
        if (first < 0) first = p;
        last = p;
        const OracleGlyph& glyph = source.glyphs.at(static_cast<std::uint32_t>(codes[p]));
        inked += glyph.width > 0 && glyph.rows > 0;
    }
    if (first < 0) {
        *refused = "nothing in the page";
        if (run.exitStatus != 1 || run.err.find("none of its characters is in code page") == std::string::npos)
            return "not refused as nothing in the page: " + run.err;
        return fileExists(fon) ? "output left behind" : "";
    }
    if (inked == 0) {
        // Glyphs of no size at all give no cell height: the writer refuses such a font as ever.
        *refused = "only empty glyphs";
        if (run.exitStatus != 1 || run.err.find("too large") == std::string::npos) return "not refused: " + run.err;
        return fileExists(fon) ? "output left behind" : "";
    }
    if (run.exitStatus != 0) return "failed: " + run.err;
    const OracleFont written = loadWithFreeType(fon);
    if (!written.error.empty()) return "FreeType: " + written.error;
    if (written.firstChar != first || written.lastChar != last)
        return "range " + std::to_string(written.firstChar) + ".." + std::to_string(written.lastChar);
    if (written.charSet != page.charSet) return "dfCharSet " + std::to_string(written.charSet);
    if (written.weight != expectedWeight(source.weightName)) return "dfWeight " + std::to_string(written.weight);
    const int italic = lower(source.slant) == "i" || lower(source.slant) == "o" ? 1 : 0;
    if (written.italic != italic) return "dfItalic " + std::to_string(written.italic);

    auto own = [&](int p) { return codes[p] >= 0 && source.glyphs.count(static_cast<std::uint32_t>(codes[p])); };
    // dfDefaultChar counts from dfFirstChar.
    const int placeholder = written.firstChar + written.winDefaultChar;
    if (placeholder < first || placeholder > last || !own(placeholder)) return "placeholder not from the font";
    if (fromBdf) {  // FreeType shows DEFAULT_CHAR of a BDF file only
        int expected = -1;
        for (int p = first; p <= last && expected < 0; ++p)
            if (own(p) && codes[p] == source.defaultChar) expected = p;
        if (expected < 0) expected = own('?') ? '?' : first;
        if (placeholder != expected) return "placeholder " + std::to_string(placeholder);
    }

    // The "SNF" resource names the encoding written; a symbol font keeps its own.
    const std::string bytes = readFile(fon);
    const std::string registry = page.charSet == 255 ? "ibm" : "microsoft";
    const std::string encoding = "cp" + std::to_string(page.number);
    if (page.number != 0 && (bytes.find(std::string("\0") + registry + '\0') == std::string::npos ||
                             bytes.find(std::string("\0") + encoding + '\0') == std::string::npos))
        return "SNF does not name " + registry + "-" + encoding;

    const CellFrame frame = frameOf(bytes);
    int tallest = -32768;
    for (int p = first; p <= last; ++p)
        if (own(p)) tallest = std::max(tallest, source.glyphs.at(static_cast<std::uint32_t>(codes[p])).top);
    // Over the written glyphs, unless they were padded to the font's terminal cell.
    if (frame.maxAscent != tallest && frame.maxAscent != source.ascent)
        return "cell ascent " + std::to_string(frame.maxAscent) + " for glyphs up to " + std::to_string(tallest);
    for (int p = first; p <= last; ++p) {
        const int code = codes[own(p) ? p : placeholder];
        const Cell cell = cellOf(source.glyphs.at(static_cast<std::uint32_t>(code)), frame, Layout{});
        // FreeType's view of a cell of no width is not to be relied on.
        if (cell.width == 0) continue;
        auto seen = written.glyphs.find(static_cast<std::uint32_t>(p));
        if (seen == written.glyphs.end()) return "position " + std::to_string(p) + " missing";
        if (std::string diff = compareWithOracle(seen->second, cell); !diff.empty())
            return "position " + std::to_string(p) + (own(p) ? "" : " (placeholder)") + ": " + diff;
    }
    return {};
}

TEST(CodePages, RealFontsThroughFreeType) {
    std::vector<std::string> files = realFontFiles({"misc", "75dpi", "100dpi"});
    if (files.empty()) GTEST_SKIP() << "no fonts under /usr/share/fonts/X11";
    ASSERT_FALSE(findTool("pcf2bdf").empty());
    const char* sampleText = std::getenv("COMPILE_FONTS_SAMPLE");
    const std::size_t every = sampleText ? std::max(1, std::atoi(sampleText)) : 1;

    Tables tables;
    std::vector<std::string> codecs = {"cp1252", "cp1251", "cp437", "cp1250"};
    for (int n = 1; n <= 16; ++n)
        if (n != 12) codecs.push_back("iso8859_" + std::to_string(n));
    for (const char* c : {"koi8_r", "koi8_u", "cp1253", "cp1254", "cp1255", "cp1256", "cp1257", "cp1258", "cp850",
                          "cp866", "ptcp154", "ascii"})
        codecs.push_back(c);
    tables.byCodec = decodeTables(codecs);
    ASSERT_EQ(tables.byCodec.size(), codecs.size()) << "python3 codecs";

    TempDir dir;
    std::map<std::string, int> converted, refusals;
    int failures = 0;
    auto record = [&](const std::string& what, const std::string& problem) {
        if (problem.empty()) return;
        if (++failures <= 10) ADD_FAILURE() << what << ": " << problem;
    };
    for (std::size_t i = 0; i < files.size(); i += every) {
        const std::string pcf = dir.path("font.pcf"), fon = dir.path("out.fon");
        if (!gunzipFile(files[i], pcf)) {
            record(files[i], "gzip");
            continue;
        }
        const OracleFont source = loadWithFreeType(pcf);
        const std::string codec = codecOf(source);
        if (codec.empty()) {
            std::remove(fon.c_str());
            const RunResult run = runCommand({corvanePath(), "-c1252", "-o", fon, pcf});
            ++refusals["unknown encoding " + source.registry + "-" + source.encoding];
            if (run.exitStatus != 1 || run.err.find("has no mapping to code page 1252") == std::string::npos)
                record(files[i], "unknown encoding not refused: " + run.err);
            else if (fileExists(fon))
                record(files[i], "output left behind");
            // Such a font keeps its own codes with -c symbol, when they lie in one row.
            const std::uint32_t row = source.glyphs.empty() ? 0 : source.glyphs.begin()->first >> 8;
            std::vector<int> codes(256);
            for (int p = 0; p < 256; ++p) codes[p] = static_cast<int>(row << 8) | p;
            const RunResult symbol = runCommand({corvanePath(), "-csymbol", "-o", fon, pcf});
            if (!source.glyphs.empty() && source.glyphs.rbegin()->first >> 8 != row) {
                ++refusals["symbol, codes in several rows"];
                if (symbol.exitStatus != 1 || symbol.err.find("too many characters") == std::string::npos)
                    record(files[i], "-csymbol over several rows not refused: " + symbol.err);
                continue;
            }
            std::string refused;
            std::string problem = checkOutput(source, codes, symbolPage, symbol, fon, false, &refused);
            record(files[i] + " corvane -csymbol", problem);
            if (!refused.empty()) ++refusals[refused + " -csymbol"];
            else if (problem.empty()) ++converted["-csymbol"];
            continue;
        }
        // A spread of fonts also goes through varnel and the sample page.
        const bool alsoBdf = (i / every) % 8 == 0;
        const std::string bdf = dir.path("font.bdf");
        OracleFont bdfSource;
        if (alsoBdf) {
            if (!pcfToBdf(pcf, bdf)) record(files[i], "pcf2bdf");
            bdfSource = loadWithFreeType(bdf);
        }
        std::vector<Page> toCheck(std::begin(pages), std::end(pages));
        if (alsoBdf) toCheck.push_back(samplePage);
        for (const Page& page : toCheck) {
            const std::string option = "-c" + std::to_string(page.number);
            const std::vector<int> codes =
                sourceCodes(tables.byCodec.at("cp" + std::to_string(page.number)), codec, tables);
            std::string refused;
            std::remove(fon.c_str());
            std::string problem = checkOutput(source, codes, page, runCommand({corvanePath(), option, "-o", fon, pcf}),
                                              fon, false, &refused);
            record(files[i] + " corvane " + option, problem);
            if (alsoBdf) {
                std::remove(fon.c_str());
                record(files[i] + " varnel " + option,
                       checkOutput(bdfSource, codes, page, runCommand({varnelPath(), option, "-o", fon, bdf}), fon,
                                   true, &refused));
            }
            if (!refused.empty()) ++refusals[refused + " " + option];
            else if (problem.empty()) ++converted[option];
        }
    }
    for (const auto& [option, count] : converted) std::cout << "converted " << option << ": " << count << "\n";
    for (const auto& [reason, count] : refusals) std::cout << "refused, " << reason << ": " << count << "\n";
    EXPECT_EQ(failures, 0);
    EXPECT_GT(converted["-c1252"], static_cast<int>(files.size() / every) / 2);
}

// Refusals that need no corpus: bad option values, a font of no known encoding, nothing in the page.
TEST(CodePages, Refusals) {
    TempDir dir;
    const std::string fon = dir.path("out.fon");
    for (const char* value : {"-c", "-c1249", "-cfoo", "-c12520", "-c01252", "-cSymbol", "-c1252x", "-c-1"}) {
        RunResult r = runCommand({varnelPath(), value, "-o", fon, samplesDir() + "/seven.bdf"});
        EXPECT_EQ(r.exitStatus, 1) << value;
        EXPECT_EQ(r.err.find("Compile Fonts: usage: varnel"), 0u) << value << ": " << r.err;
        EXPECT_NE(r.err.find("[-c codepage] [-v]"), std::string::npos) << value;
    }
    auto font = [&](const std::string& charset, int code) {
        std::string bdf = dir.path("one.bdf");
        const auto count = std::count(charset.begin(), charset.end(), '\n') + 2;
        writeFile(bdf, "STARTFONT 2.1\nFONT one\nSIZE 8 75 75\nFONTBOUNDINGBOX 4 4 0 0\nSTARTPROPERTIES " +
                           std::to_string(count) + "\nFONT_ASCENT 4\nFONT_DESCENT 0\n" + charset +
                           "ENDPROPERTIES\nCHARS 1\nSTARTCHAR a\nENCODING " + std::to_string(code) +
                           "\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 4 4 0 0\nBITMAP\nF0\n90\n90\nF0\nENDCHAR\nENDFONT\n");
        return bdf;
    };
    const std::string noEncoding = font("FOUNDRY \"x\"\n", 65);
    RunResult r = runCommand({varnelPath(), "-c", "1252", "-o", fon, noEncoding});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Font " + noEncoding +
                         " not created:  its encoding, none, has no mapping to code page 1252.\n");
    EXPECT_FALSE(fileExists(fon));
    // Without -c the same font converts as always; -v says so.
    r = runCommand({varnelPath(), "-v", "-o", fon, noEncoding});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "Compile Fonts: Font out: no code page, 1 positions from the font.\n");

    const std::string hiragana = font("CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n", 0x3042);
    std::remove(fon.c_str());
    r = runCommand({varnelPath(), "-c437", "-o", fon, hiragana});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Font " + hiragana + " not created:  none of its characters is in code page 437.\n");
    EXPECT_FALSE(fileExists(fon));

    // The last -c wins; -v reports filled positions, placeholders and what is missing.
    const std::string letterA = font("CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n", 'A');
    r = runCommand({varnelPath(), "-c437", "-v", "-c1252", "-o", fon, letterA});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err.rfind("Compile Fonts: Font out: code page 1252, 1 positions from the font, 0 placeholders, 2", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("missing: U+0020 U+0021"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" more\n"), std::string::npos) << r.err;
    EXPECT_EQ(loadWithFreeType(fon).charSet, 0);

    // Glyphs whose bitmaps alone would not fit a Windows font are refused before they are copied.
    std::string big = "STARTFONT 2.1\nFONT big\nSIZE 8 75 75\nFONTBOUNDINGBOX 600 900 0 0\nSTARTPROPERTIES 4\n"
                      "FONT_ASCENT 900\nFONT_DESCENT 0\nCHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"1\"\n"
                      "ENDPROPERTIES\nCHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 600 0\n"
                      "BBX 600 900 0 0\nBITMAP\n";
    for (int row = 0; row < 900; ++row) big += std::string(150, 'F') + "\n";
    writeFile(dir.path("big.bdf"), big + "ENDCHAR\nENDFONT\n");
    std::remove(fon.c_str());
    r = runCommand({varnelPath(), "-c1252", "-o", fon, dir.path("big.bdf")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Font out not created:  too large.\r\n(Use PCF format.)\n");
    EXPECT_FALSE(fileExists(fon));
}

// The committed tables are what the generator writes today.
TEST(CodePages, GeneratedTablesAreCurrent) {
    const std::string source = samplesDir() + "/../font/";
    RunResult r = runCommand({"python3", source + "gen_code_pages.py"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(r.out == readFile(source + "code_page_tables.cpp"))
        << "regenerate: python3 font/gen_code_pages.py > font/code_page_tables.cpp";
}

}  // namespace
