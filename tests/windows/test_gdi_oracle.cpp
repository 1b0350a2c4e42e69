// Windows' own font loader as an oracle: wine's GDI loads, lists, selects and draws the FON files
// we write (through gdi_probe.exe, cross-built with MinGW), and must agree with FreeType's reading
// of the same files and with the headers we wrote. One wine process serves the whole list.
//
// Other outputs join the list as cases: a conversion (program, options, inputs), the face name GDI
// must list and, when it matters, the character set the header must carry. A file of several
// fonts is checked font by font: each must be listed under the one face name with its own height,
// selected by that height, and drawn as FreeType reads the face of the same number.
//
// TrueType outputs are cases of their own: GDI must list the face as a TrueType font, of fixed pitch
// when the source is monospaced, and draw a few characters at the em size as FreeType draws them.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct GdiCase {
    std::string program;               // varnel or corvane
    std::vector<std::string> options;  // before -o
    std::vector<std::string> inputs;   // after the output
    std::string face;                  // the output is <work>/<face>.fon
    int charset = -1;                  // the header's character set; -1: not checked
    // Wine 8 selects among raster fonts of one height without regard to the italic flag (it gives
    // the upright face for either request): of an upright and an oblique face of one height it
    // lists both, but selects and draws the upright alone.
    bool italicSelectable = true;
};

// ---- What we wrote: the FNT headers of a FON file, found through its resource table.

struct FntHeader {
    int height = 0;   // dfPixHeight
    int ascent = 0;   // dfAscent
    int charset = 0;  // dfCharSet
    int italic = 0;
    int weight = 0;
    int pitchAndFamily = 0;
    int avgWidth = 0;
    int maxWidth = 0;
    int firstChar = 0;
    int lastChar = 0;
    int defaultChar = 0;   // dfDefaultChar as GDI reads it: counted from dfFirstChar
    int xDefaultChar = -1; // the X font's default character (from the "SNF" resource), -1 if none
    int cellAscent = -1;   // rows of the cells above the baseline: the "SNF" maxBounds.ascent the
                           // cells were laid out with, within 0..height
    std::string face;

    // As EnumFontFamiliesEx lists it: in a LOGFONT the pitch bits say 1 fixed, 2 variable,
    // where the header's low bit marks variable pitch.
    std::string listing(int listedCharset) const {
        const int pitch = (pitchAndFamily & 0xF0) | ((pitchAndFamily & 1) ? 2 : 1);
        return "face=" + face + " height=" + std::to_string(height) + " avgwidth=" + std::to_string(avgWidth) +
               " weight=" + std::to_string(weight) + " italic=" + std::to_string(italic) +
               " charset=" + std::to_string(listedCharset) + " pitchfamily=" + std::to_string(pitch) + " raster=1";
    }
};

std::vector<FntHeader> readFntHeaders(const std::string& fon) {
    std::vector<FntHeader> fonts;
    std::vector<int> xDefaults, cellAscents;  // one per "SNF" resource, in file order
    if (fon.size() < 64 + 64) return fonts;  // no output: the conversion's failure says why
    const size_t table = 64 + le16(fon, 64 + 36);
    const unsigned shift = le16(fon, table);
    for (size_t at = table + 2; at + 8 <= fon.size() && le16(fon, at) != 0;) {
        const unsigned type = le16(fon, at), count = le16(fon, at + 2);
        const bool snf = !(type & 0x8000) && fon.compare(table + type, 4, "\x03SNF") == 0;
        for (unsigned i = 0; i < count; ++i) {
            const size_t fnt = static_cast<size_t>(le16(fon, at + 8 + 12 * i)) << shift;
            if (snf && fnt + 60 <= fon.size()) {
                // Row and column of the default character, kept when it lies in the font's range.
                const unsigned code = le16(fon, fnt + 28), column = code & 0xFF;
                const bool inside = code >> 8 == le16(fon, fnt + 20) && column >= le16(fon, fnt + 16) &&
                                    column <= le16(fon, fnt + 18);
                xDefaults.push_back(inside ? static_cast<int>(column) : -1);
                const int ascent = static_cast<std::int16_t>(le16(fon, fnt + 56));
                const int height = ascent + static_cast<std::int16_t>(le16(fon, fnt + 58));
                cellAscents.push_back(std::max(0, std::min(ascent, height)));
            }
            if (type != 0x8008 || fnt + 118 > fon.size()) continue;
            FntHeader h;
            h.ascent = static_cast<int>(le16(fon, fnt + 74));
            h.italic = static_cast<unsigned char>(fon[fnt + 80]);
            h.weight = static_cast<int>(le16(fon, fnt + 83));
            h.charset = static_cast<unsigned char>(fon[fnt + 85]);
            h.height = static_cast<int>(le16(fon, fnt + 88));
            h.pitchAndFamily = static_cast<unsigned char>(fon[fnt + 90]);
            h.avgWidth = static_cast<int>(le16(fon, fnt + 91));
            h.maxWidth = static_cast<int>(le16(fon, fnt + 93));
            h.firstChar = static_cast<unsigned char>(fon[fnt + 95]);
            h.lastChar = static_cast<unsigned char>(fon[fnt + 96]);
            h.defaultChar = (h.firstChar + static_cast<unsigned char>(fon[fnt + 97])) & 0xFF;
            const size_t face = fnt + (le16(fon, fnt + 105) | le16(fon, fnt + 107) << 16);
            if (face < fon.size()) h.face = fon.substr(face, fon.find('\0', face) - face);
            fonts.push_back(h);
        }
        at += 8 + 12 * static_cast<size_t>(count);
    }
    if (xDefaults.size() == fonts.size())
        for (size_t i = 0; i < fonts.size(); ++i) fonts[i].xDefaultChar = xDefaults[i], fonts[i].cellAscent = cellAscents[i];
    return fonts;
}

// ---- What GDI made of it: gdi_probe's plain text output, parsed.

using Fields = std::map<std::string, std::string>;

// "face=DejaVu Sans height=16": a word without '=' continues the previous value.
Fields parseFields(const std::string& text) {
    Fields fields;
    std::istringstream words(text);
    std::string word, last;
    while (words >> word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos) {
            if (!last.empty()) fields[last] += " " + word;
            continue;
        }
        last = word.substr(0, eq);
        fields[last] = word.substr(eq + 1);
    }
    return fields;
}

int number(const Fields& fields, const std::string& key) {
    auto it = fields.find(key);
    return it == fields.end() ? -1 : static_cast<int>(std::strtol(it->second.c_str(), nullptr, 0));
}

struct GdiSelection {
    int requestedHeight = 0;
    int requestedCharset = 1;  // DEFAULT_CHARSET: any
    int requestedItalic = 0;
    std::string error;
    Fields metrics;
    std::vector<int> widths;
    std::map<unsigned, std::string> glyphs;  // code -> rows in hex, blank-separated
};

struct GdiFile {
    int added = -1;
    std::vector<Fields> listed;
    std::vector<GdiSelection> selections;
};

// The probe's answers per file; its "codepage N charset=C" lines (TranslateCharsetInfo's character
// set of each code page) go to `charsets`.
std::map<std::string, GdiFile> parseProbeOutput(const std::string& text, std::map<int, int>& charsets) {
    std::map<std::string, GdiFile> files;
    GdiFile* file = nullptr;
    GdiSelection* selection = nullptr;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (key == "codepage") {
            charsets[std::atoi(rest.c_str())] = number(parseFields(rest), "charset");
        } else if (key == "file") {
            file = &files[rest];
            selection = nullptr;
        } else if (!file) {
            continue;
        } else if (key == "added") {
            file->added = std::atoi(rest.c_str());
        } else if (key == "enum") {
            file->listed.push_back(parseFields(rest));
        } else if (key == "select") {
            file->selections.emplace_back();
            selection = &file->selections.back();
            const Fields fields = parseFields(rest);
            selection->requestedHeight = number(fields, "height");
            selection->requestedCharset = number(fields, "charset");
            selection->requestedItalic = number(fields, "italic");
        } else if (!selection) {
            continue;
        } else if (key == "error") {
            selection->error += rest + ";";
        } else if (key == "metrics") {
            selection->metrics = parseFields(rest);
        } else if (key == "widths") {
            std::istringstream values(rest);
            for (int w; values >> w;) selection->widths.push_back(w);
        } else if (key == "glyph") {
            const size_t sep = rest.find(' ');
            selection->glyphs[static_cast<unsigned>(std::atoi(rest.c_str()))] =
                sep == std::string::npos ? "" : rest.substr(sep + 1);
        }
    }
    return files;
}

// FreeType's cell of a FON character in the probe's form: each row in hex, bit 7 leftmost.
std::string hexRows(const OracleGlyph& glyph) {
    static const char digits[] = "0123456789ABCDEF";
    std::string rows;
    for (int y = 0; y < glyph.rows; ++y) {
        if (y) rows += ' ';
        for (int x0 = 0; x0 < glyph.width; x0 += 8) {
            unsigned byte = 0;
            for (int x = x0; x < x0 + 8 && x < glyph.width; ++x)
                if (glyph.pixel(x, y)) byte |= 0x80u >> (x - x0);
            rows += digits[byte >> 4];
            rows += digits[byte & 15];
        }
    }
    return rows;
}

// The character sets Windows knows; wine's loader takes any other for OEM (255).
int listedCharset(int headerCharset) {
    static const std::set<int> windows{0, 1, 2, 77, 128, 129, 130, 134, 136, 161, 162, 163, 177, 178, 186, 204, 222, 238, 255};
    return windows.count(headerCharset) ? headerCharset : 255;
}

// Every way GDI's selection differs from FreeType's reading of the same font: widths and
// drawings of each character FreeType loads.
std::vector<std::string> compareDrawing(const GdiSelection& gdi, const OracleFont& freetype) {
    std::vector<std::string> differences;
    if (!freetype.error.empty()) differences.push_back("FreeType: " + freetype.error);
    if (!gdi.error.empty()) differences.push_back("GDI: " + gdi.error);
    if (gdi.widths.size() != 256) differences.push_back("GDI: no widths");
    if (!differences.empty()) return differences;
    for (const auto& [code, glyph] : freetype.glyphs) {
        if (code > 255) continue;
        const std::string at = "code " + std::to_string(code) + ": ";
        if (gdi.widths[code] != glyph.advance) {
            differences.push_back(at + "GDI width " + std::to_string(gdi.widths[code]) + ", FreeType advance " +
                                  std::to_string(glyph.advance));
            continue;
        }
        if (glyph.advance == 0) continue;
        auto drawn = gdi.glyphs.find(code);
        const std::string expected = hexRows(glyph);
        if (drawn == gdi.glyphs.end())
            differences.push_back(at + "GDI drew nothing");
        else if (drawn->second != expected)
            differences.push_back(at + "GDI drew [" + drawn->second + "], FreeType [" + expected + "]");
    }
    return differences;
}

std::string summary(const std::vector<std::string>& differences) {
    std::string text;
    for (size_t i = 0; i < differences.size() && i < 5; ++i) text += "\n  " + differences[i];
    if (differences.size() > 5) text += "\n  ... " + std::to_string(differences.size() - 5) + " more";
    return text;
}

// A TrueType output: converted like the FON cases, selected at -ppem (the em in pixels).
struct TrueTypeCase {
    std::string program;
    std::string input;
    std::string face;  // the output is <work>/<face>.ttf
    int ppem;
    bool fixedPitch;
};

const std::vector<TrueTypeCase>& trueTypeCases() {
    static const std::vector<TrueTypeCase> cases{
        {"corvane", "/usr/share/fonts/X11/misc/6x13.pcf.gz", "tt-6x13", 13, true},
        {"corvane", "/usr/share/fonts/X11/misc/ter-u16b_iso-8859-1.pcf.gz", "tt-ter16b", 16, true},
        {"corvane", "/usr/share/fonts/X11/75dpi/helvR12-ISO8859-1.pcf.gz", "tt-helvR12", 12, false},
    };
    return cases;
}
// The characters drawn of each (those the font has).
const std::vector<unsigned> trueTypeCharacters{'A', 'g', '@', '|', 0xE9, 0x2192, 0x2588, 0x2592};

// FreeType's drawing of a TrueType character in the probe's cell: `width` columns, `height` rows,
// the baseline `ascent` rows below the top.
OracleGlyph inCell(const OracleGlyph& glyph, int width, int height, int ascent) {
    OracleGlyph cell;
    cell.width = width;
    cell.rows = height;
    cell.pixels.assign(static_cast<size_t>(std::max(0, width * height)), 0);
    for (int y = 0; y < glyph.rows; ++y)
        for (int x = 0; x < glyph.width; ++x) {
            const int cx = glyph.left + x, cy = ascent - glyph.top + y;
            if (glyph.pixel(x, y) && cx >= 0 && cx < width && cy >= 0 && cy < height)
                cell.pixels[static_cast<size_t>(cy) * width + cx] = 1;
        }
    return cell;
}

// ---- The run: convert the cases, start wine once, keep what it printed.

std::string wineProgram() {
    for (const char* name : {"wine", "wine64"})
        if (std::string path = findTool(name); !path.empty()) return path;
    return fileExists("/usr/lib/wine/wine64") ? "/usr/lib/wine/wine64" : "";
}

std::string wineServer() {
    if (std::string path = findTool("wineserver"); !path.empty()) return path;
    return fileExists("/usr/lib/wine/wineserver64") ? "/usr/lib/wine/wineserver64" : "";
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

class GdiOracle : public testing::Test {
protected:
    struct Converted {
        GdiCase source;
        std::string fon;
    };
    struct ConvertedTrueType {
        TrueTypeCase source;
        std::string ttf;
        std::vector<unsigned> characters;
    };
    static inline std::vector<ConvertedTrueType> truetype_;
    static inline std::string missing_;  // why the run could not happen
    static inline std::string failure_;  // why it went wrong
    static inline std::vector<Converted> converted_;
    static inline std::map<std::string, GdiFile> gdi_;
    static inline std::string work_;
    static inline std::map<int, int> charsets_;  // TranslateCharsetInfo's character set of each code page
    // Every page -c knows, and the Windows code page of each (symbol: CP_SYMBOL).
    static inline const std::vector<std::string> pages{
        "1252", "1250", "1251", "1253", "1254", "1255", "1256", "1257", "1258", "874", "437", "737", "775",
        "850",  "852",  "855",  "857",  "860",  "861",  "862",  "863",  "865",  "866", "869", "symbol"};
    static int windowsCodePage(const std::string& page) { return page == "symbol" ? 42 : std::stoi(page); }

    // The sample font, then every tenth font of the corpus that one FON can hold, as PCF and
    // through pcf2bdf as BDF, and as PCF once more in one of the other bit and byte layouts at the
    // default pad. A case of another kind is one more line in the first list, for example
    // {"varnel", {"-p4"}, {samplesDir() + "/seven.bdf"}, "seven4", 44}.
    static std::vector<GdiCase> cases() {
        std::vector<GdiCase> list{
            {"varnel", {}, {samplesDir() + "/seven.bdf"}, "seven", 44},
        };
        // Code pages: a Unicode font into every page (its character set judged by what Windows gives
        // the code page), a bold Latin-2 one through BDF, a font of its own encoding kept as a
        // symbol font, unifont into four pages of one file (one face, four character sets), and an
        // upright and an oblique face of one height.
        const std::string misc = "/usr/share/fonts/X11/misc/", dpi75 = "/usr/share/fonts/X11/75dpi/";
        for (const std::string& page : pages)
            if (page != "symbol") list.push_back({"corvane", {"-c" + page}, {misc + "6x13.pcf.gz"}, "cp" + page + "-6x13"});
        if (pcfToBdf(misc + "9x15B.pcf.gz", work_ + "/9x15B.bdf"))
            list.push_back({"varnel", {"-c1250"}, {work_ + "/9x15B.bdf"}, "cp1250-9x15B"});
        list.push_back({"corvane", {"-csymbol"}, {dpi75 + "symb12.pcf.gz"}, "symbol-symb12"});
        list.push_back({"corvane", {"-c1252,1251,1250,1253"}, {misc + "unifont.pcf.gz"}, "unifont-pages"});
        list.push_back({"corvane", {"-c1252"}, {misc + "6x13.pcf.gz", misc + "6x13O.pcf.gz"}, "oblique-6x13", -1, false});
        // Families: five Terminus sizes under one face; the bold ones from Unicode with -c1252, whose
        // headers then say bold (one weight: asked for a height alone, GDI prefers the regular weight
        // of another height to the bold of that one); and 24 large fonts that pass 1 MiB.
        std::vector<std::string> terminus, bold, large;
        for (int size : {12, 14, 16, 20, 24}) {
            terminus.push_back(misc + "ter-u" + std::to_string(size) + "n_iso-8859-1.pcf.gz");
            bold.push_back(misc + "ter-u" + std::to_string(size) + "b_unicode.pcf.gz");
        }
        if (fileExists(terminus.back())) list.push_back({"corvane", {}, terminus, "terminus", 44});
        if (fileExists(bold.back())) list.push_back({"corvane", {"-c1252"}, bold, "terminus-bold"});
        for (int height = 56; height < 80; ++height) {
            large.push_back(work_ + "/large" + std::to_string(height) + ".bdf");
            writeFile(large.back(), solidBdf(codeRange(1, 255), 24, height));
        }
        list.push_back({"varnel", {}, large, "large", 44});
        // Faces past 64 KiB, Windows 3.0 fonts: generated ones from BDF and through bdftopcf from PCF,
        // one into a code page, and a family of a 2.x and a 3.0 font.
        for (const std::string name : {"big32x64", "big64x64", "noise128", "huge256"}) {
            list.push_back({"varnel", {}, {generatedFont(work_, name, true)}, "w3b-" + name, 44});
            list.push_back({"corvane", {}, {work_ + "/" + name + ".pcf"}, "w3p-" + name, 44});
        }
        generatedFont(work_, "six13", true);
        list.push_back({"corvane", {"-c1252"}, {work_ + "/big64x64.pcf"}, "w3c-big64x64", 0});
        list.push_back({"corvane", {}, {work_ + "/six13.pcf", work_ + "/big64x64.pcf"}, "w3-family", 44});
        const std::vector<std::vector<std::string>> layouts{{"-l"}, {"-u2", "-L"}, {"-u4", "-L"}, {"-l", "-u4", "-L"}};
        int oneRow = 0;
        for (const std::string& pcf : realFontFiles({"misc", "75dpi", "100dpi"})) {
            const fs::path path(pcf);
            const std::string folder = path.parent_path().filename().string();
            std::string name = path.filename().string();
            name = (folder == "misc" ? "m" : folder.substr(0, folder.size() - 3)) + "-" + name.substr(0, name.find('.'));
            const std::string probe = work_ + "/row-check.fon";
            if (runCommand({corvanePath(), "-o", probe, pcf}).exitStatus != 0 || oneRow++ % 10 != 0) continue;
            list.push_back({"corvane", {}, {pcf}, "p" + name});
            list.push_back({"corvane", layouts[oneRow / 10 % layouts.size()], {pcf}, "l" + name});
            const std::string bdf = work_ + "/b" + name + ".bdf";
            if (pcfToBdf(pcf, bdf)) list.push_back({"varnel", {}, {bdf}, "b" + name});
        }
        return list;
    }

    static void SetUpTestSuite() {
        const std::string wine = wineProgram(), server = wineServer();
        if (wine.empty() || server.empty() || !fileExists(GDI_PROBE_PATH)) {
            missing_ = "needs wine and the MinGW cross compiler (apt-get install wine64 wine g++-mingw-w64-x86-64)";
            return;
        }
        work_ = std::string(TEST_BINARY_DIR) + "/gdi-oracle";
        fs::remove_all(work_);
        fs::create_directories(work_);
        const auto start = std::chrono::steady_clock::now();
        std::string list;
        for (const std::string& page : pages) list += "codepage " + std::to_string(windowsCodePage(page)) + "\n";
        for (const GdiCase& c : cases()) {
            const std::string fon = work_ + "/" + c.face + ".fon";
            std::vector<std::string> argv{c.program == "varnel" ? varnelPath() : corvanePath()};
            argv.insert(argv.end(), c.options.begin(), c.options.end());
            argv.insert(argv.end(), {"-o", fon});
            argv.insert(argv.end(), c.inputs.begin(), c.inputs.end());
            RunResult r = runCommand(argv);
            if (r.exitStatus != 0) {
                failure_ += c.face + ": " + c.program + " failed: " + r.err + "\n";
                continue;
            }
            converted_.push_back({c, fon});
            list += fon + "\t" + c.face + "\n";
        }
        for (const TrueTypeCase& c : trueTypeCases()) {
            const std::string ttf = work_ + "/" + c.face + ".ttf";
            RunResult r = runCommand({c.program == "varnel" ? varnelPath() : corvanePath(), "-o", ttf, c.input});
            if (r.exitStatus != 0) {
                failure_ += c.face + ": " + c.program + " failed: " + r.err + "\n";
                continue;
            }
            truetype_.push_back({c, ttf, {}});
            FreeTypeFace font(ttf);
            std::string codes;
            for (unsigned code : trueTypeCharacters) {
                if (!font.face() || FT_Get_Char_Index(font.face(), code) == 0) continue;
                truetype_.back().characters.push_back(code);
                codes += (codes.empty() ? "" : ",") + std::to_string(code);
            }
            list += ttf + "\t" + c.face + "\t" + std::to_string(-c.ppem) + "\t" + codes + "\n";
        }
        writeFile(work_ + "/list.txt", list);
        const auto converted = std::chrono::steady_clock::now();

        // A private prefix in the build tree, set up once; no display, so nothing waits on one.
        // Only this prefix's server is ended afterwards: it serves no process but ours.
        const std::string prefix = std::string(TEST_BINARY_DIR) + "/gdi-wineprefix";
        const std::string env = "WINEPREFIX=" + quoted(prefix) +
                                " WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='; export WINEPREFIX "
                                "WINEARCH WINEDEBUG WINEDLLOVERRIDES; unset DISPLAY WAYLAND_DISPLAY; ";
        const std::string setup = "[ -f " + quoted(prefix + "/system.reg") + " ] || timeout 300 " + quoted(wine) +
                                  " wineboot --init >" + quoted(work_ + "/wineboot.log") + " 2>&1; ";
        const std::string probe = "timeout 300 " + quoted(wine) + " " + quoted(GDI_PROBE_PATH) + " " +
                                  quoted(work_ + "/list.txt") + " " + quoted(work_ + "/gdi.txt") + " >" +
                                  quoted(work_ + "/probe.log") + " 2>&1; status=$?; " + quoted(server) +
                                  " -k >/dev/null 2>&1; exit $status";
        RunResult r = runShell(env + setup + probe, 700);
        if (r.exitStatus != 0) failure_ += "gdi_probe under wine: exit status " + std::to_string(r.exitStatus) +
                                           "; " + readFile(work_ + "/probe.log") + "\n";
        gdi_ = parseProbeOutput(readFile(work_ + "/gdi.txt"), charsets_);
        const auto end = std::chrono::steady_clock::now();
        using seconds = std::chrono::duration<double>;
        std::printf("%zu FON files: converted in %.1f s, wine ran in %.1f s\n", converted_.size(),
                    seconds(converted - start).count(), seconds(end - converted).count());
    }

    void SetUp() override {
        if (missing_.empty()) return;
        if (runningInCi()) FAIL() << "the GDI oracle " << missing_;
        GTEST_SKIP() << "the GDI oracle " << missing_;
    }

    // The selection GDI made for one font of a file: by name alone for a file of one font; in a
    // file of several, by its height and italic flag, and its character set where those differ.
    static const GdiSelection* selectionFor(const GdiFile& file, const FntHeader& font, size_t fonts) {
        for (const GdiSelection& s : file.selections) {
            if (fonts == 1 && s.requestedHeight == 0) return &s;
            if (fonts > 1 && s.requestedHeight == font.height && s.requestedItalic == font.italic &&
                (s.requestedCharset == 1 || s.requestedCharset == listedCharset(font.charset)))
                return &s;
        }
        return nullptr;
    }
};

// What GDI listed for a file and what we wrote, in the listing's terms, one row per font.
void checkListing(const GdiFile& file, const std::vector<FntHeader>& fonts) {
    EXPECT_EQ(file.added, static_cast<int>(fonts.size()));
    std::multiset<std::string> wrote, listed;
    for (const FntHeader& font : fonts) wrote.insert(font.listing(listedCharset(font.charset)));
    for (const Fields& entry : file.listed) {
        std::string row = "face=" + (entry.count("face") ? entry.at("face") : "");
        for (const char* key : {"height", "avgwidth", "weight", "italic", "charset", "pitchfamily", "raster"})
            row += std::string(" ") + key + "=" + std::to_string(number(entry, key));
        listed.insert(row);
    }
    EXPECT_EQ(listed, wrote);
}

// GetTextMetrics of the selected font against the header; its ascent against the cells' too.
void checkSelection(const GdiSelection& s, const FntHeader& font) {
    EXPECT_EQ(number(s.metrics, "ascent"), font.cellAscent) << "GDI's baseline is not the cells'";
    EXPECT_EQ(s.error, "");
    auto row = [](const std::string& face, const std::vector<int>& values) {
        static const char* const keys[] = {"height", "ascent", "charset",     "avgwidth", "maxwidth", "weight",
                                           "italic", "pitchfamily", "first", "last",     "default",  "break"};
        std::string text = "face=" + face;
        for (size_t i = 0; i < values.size(); ++i) text += std::string(" ") + keys[i] + "=" + std::to_string(values[i]);
        return text;
    };
    std::vector<int> seen;
    for (const char* key : {"height", "ascent", "charset", "avgwidth", "maxwidth", "weight", "italic", "pitchfamily",
                            "first", "last", "default", "break"})
        seen.push_back(number(s.metrics, key));
    // A symbol font's metrics give the whole symbol range, 0x1E to 0xFF, whatever the header holds
    // (its drawings still follow the header's range).
    const bool symbol = font.charset == 2;
    EXPECT_EQ(row(s.metrics.count("face") ? s.metrics.at("face") : "", seen),
              row(font.face, {font.height, font.ascent, font.charset, font.avgWidth, font.maxWidth, font.weight,
                              font.italic, font.pitchAndFamily, symbol ? 0x1E : font.firstChar,
                              symbol ? 0xFF : font.lastChar, font.defaultChar,
                              font.firstChar <= 32 && 32 <= font.lastChar ? 32 : font.firstChar}));
    // Windows substitutes the X font's own default character for the codes it lacks.
    if (font.xDefaultChar >= 0) {
        EXPECT_EQ(number(s.metrics, "default"), font.xDefaultChar);
    }
}

TEST_F(GdiOracle, ListsAndSelectsEveryFontUnderItsNameSizeAndCharset) {
    EXPECT_EQ(failure_, "");
    EXPECT_GT(converted_.size(), 150u);
    for (const Converted& c : converted_) {
        SCOPED_TRACE(c.fon);
        const std::vector<FntHeader> fonts = readFntHeaders(readFile(c.fon));
        auto found = gdi_.find(c.fon);
        if (fonts.empty() || found == gdi_.end()) {
            ADD_FAILURE() << (fonts.empty() ? "no font resource in the file" : "gdi_probe did not report it");
            continue;
        }
        for (const FntHeader& font : fonts) {
            EXPECT_EQ(font.face, c.source.face);
            if (c.source.charset >= 0) {
                EXPECT_EQ(font.charset, c.source.charset);
            }
        }
        checkListing(found->second, fonts);
        for (const FntHeader& font : fonts) {
            if (font.italic && !c.source.italicSelectable) continue;
            const GdiSelection* s = selectionFor(found->second, font, fonts.size());
            if (s)
                checkSelection(*s, font);
            else
                ADD_FAILURE() << "no selection of height " << font.height;
        }
    }
}

TEST_F(GdiOracle, DrawsEveryCharacterAsFreeTypeReadsIt) {
    size_t characters = 0;
    for (const Converted& c : converted_) {
        SCOPED_TRACE(c.fon);
        const std::vector<FntHeader> fonts = readFntHeaders(readFile(c.fon));
        auto found = gdi_.find(c.fon);
        for (size_t i = 0; found != gdi_.end() && i < fonts.size(); ++i) {
            if (fonts[i].italic && !c.source.italicSelectable) continue;
            const GdiSelection* s = selectionFor(found->second, fonts[i], fonts.size());
            if (!s) continue;  // reported by the listing test
            const OracleFont freetype = loadWithFreeType(c.fon, static_cast<long>(i));
            const std::vector<std::string> differences = compareDrawing(*s, freetype);
            EXPECT_TRUE(differences.empty()) << differences.size() << " difference(s):" << summary(differences);
            for (const auto& [code, glyph] : freetype.glyphs) characters += code < 256 && glyph.advance > 0;
        }
    }
    std::printf("%zu characters drawn alike\n", characters);
    EXPECT_GT(characters, 10000u);
}

// GDI lists each TrueType output under its face as a TrueType font, of fixed pitch for a monospaced
// source, and draws its characters at the em size as FreeType draws them there.
TEST_F(GdiOracle, ListsTrueTypeFontsAndDrawsThemAsFreeType) {
    EXPECT_EQ(failure_, "");
    ASSERT_EQ(truetype_.size(), trueTypeCases().size());
    size_t characters = 0;
    for (const ConvertedTrueType& c : truetype_) {
        SCOPED_TRACE(c.ttf);
        auto found = gdi_.find(c.ttf);
        ASSERT_NE(found, gdi_.end()) << "gdi_probe did not report it";
        const GdiFile& file = found->second;
        EXPECT_GE(file.added, 1);
        EXPECT_FALSE(file.listed.empty());
        for (const Fields& entry : file.listed) {
            EXPECT_EQ(entry.count("face") ? entry.at("face") : "", c.source.face);
            EXPECT_EQ(number(entry, "truetype"), 1);
            EXPECT_EQ(number(entry, "pitchfamily") & 3, c.source.fixedPitch ? 1 : 2) << "FIXED_PITCH 1, VARIABLE_PITCH 2";
        }
        ASSERT_EQ(file.selections.size(), 1u);
        const GdiSelection& s = file.selections.front();
        EXPECT_EQ(s.error, "");
        EXPECT_EQ(s.metrics.count("face") ? s.metrics.at("face") : "", c.source.face);
        // TEXTMETRIC's pitch bits: TMPF_TRUETYPE (4) set, TMPF_FIXED_PITCH (1) set for variable pitch.
        const int pitch = number(s.metrics, "pitchfamily");
        EXPECT_EQ(pitch & 5, c.source.fixedPitch ? 4 : 5) << "tmPitchAndFamily " << pitch;
        const int height = number(s.metrics, "height"), ascent = number(s.metrics, "ascent");
        ASSERT_EQ(s.widths.size(), c.characters.size());
        FreeTypeFace font(c.ttf);
        ASSERT_TRUE(font.setPixelSize(c.source.ppem)) << font.error();
        for (size_t i = 0; i < c.characters.size(); ++i) {
            const unsigned code = c.characters[i];
            FreeTypeFace::Drawing drawn;
            ASSERT_TRUE(font.draw(code, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO, drawn)) << code;
            EXPECT_EQ(s.widths[i], drawn.glyph.advance) << "U+" << std::hex << code;
            auto rows = s.glyphs.find(code);
            const std::string expected = hexRows(inCell(drawn.glyph, drawn.glyph.advance, height, ascent));
            EXPECT_EQ(rows == s.glyphs.end() ? "(nothing)" : rows->second, expected) << "U+" << std::hex << code;
            ++characters;
        }
    }
    EXPECT_GE(characters, 3 * trueTypeCases().size());
}

// Each page's fonts carry the character set Windows gives its code page; a page for which Windows
// has none (the OEM pages) carries OEM_CHARSET.
TEST_F(GdiOracle, EveryPageCarriesTheCharacterSetOfItsCodePage) {
    ASSERT_EQ(charsets_.size(), pages.size());
    size_t judged = 0;
    for (const Converted& c : converted_) {
        if (c.source.options.size() != 1 || c.source.options[0].rfind("-c", 0) != 0) continue;
        std::istringstream list(c.source.options[0].substr(2));
        std::vector<std::string> named;
        for (std::string page; std::getline(list, page, ',');) named.push_back(page);
        const std::vector<FntHeader> fonts = readFntHeaders(readFile(c.fon));
        ASSERT_EQ(fonts.size() % named.size(), 0u) << c.fon;
        for (size_t i = 0; i < fonts.size(); ++i) {
            const int windows = charsets_.at(windowsCodePage(named[i % named.size()]));
            EXPECT_EQ(fonts[i].charset, windows >= 0 ? windows : 255) << c.fon << " font " << i;
            ++judged;
        }
    }
    EXPECT_GE(judged, pages.size() + 4);
}

// The comparison finds a font that is not the one GDI drew: each file's drawing held against the
// FreeType reading of the next file whose height differs.
TEST_F(GdiOracle, ComparisonTellsFontsApart) {
    size_t pairs = 0;
    for (size_t i = 0; i < converted_.size(); i += 10) {
        const std::string& drawn = converted_[i].fon;
        const int height = readFntHeaders(readFile(drawn)).at(0).height;
        for (size_t j = i + 1; j < converted_.size(); ++j) {
            const FntHeader other = readFntHeaders(readFile(converted_[j].fon)).at(0);
            if (other.height == height) continue;
            SCOPED_TRACE(drawn + " against " + converted_[j].fon);
            auto found = gdi_.find(drawn);
            ASSERT_NE(found, gdi_.end());
            ASSERT_FALSE(found->second.selections.empty());
            EXPECT_FALSE(compareDrawing(found->second.selections.front(), loadWithFreeType(converted_[j].fon)).empty());
            ++pairs;
            break;
        }
    }
    EXPECT_GT(pairs, 10u);
}

}  // namespace
