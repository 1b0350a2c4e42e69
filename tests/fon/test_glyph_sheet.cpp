// --preview through the built programs: the PNG, decoded here with zlib, shows in every table cell
// the pixels FreeType reads for that position of the same FON file, and a sample line that
// Python's codecs read as the page's pangram; failures name the picture and keep the font.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "fon/glyph_sheet.h"
#include "tests/fon/fon_reader_oracle.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

std::uint32_t be32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<std::uint8_t>(b.at(at + k));
    return v;
}

struct Picture {
    std::uint32_t width = 0, height = 0;
    std::string error;
    std::vector<std::uint8_t> grey;
    std::uint8_t at(std::uint32_t x, std::uint32_t y) const { return grey.at(std::size_t{y} * width + x); }
};

// An 8-bit grey, unfiltered PNG as the programs write it, every chunk's CRC checked, each of its
// scale x scale blocks of one grey taken as one pixel.
Picture decodePng(const std::string& png, std::uint32_t scale = 1) {
    Picture p;
    std::string data;
    for (std::size_t at = 8; at + 12 <= png.size() && png.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0;) {
        const std::uint32_t length = be32(png, at);
        const std::string type = png.substr(at + 4, 4), body = png.substr(at + 8, length), crcd = png.substr(at + 4, 4 + length);
        if (crc32(0, reinterpret_cast<const Bytef*>(crcd.data()), static_cast<uInt>(crcd.size())) != be32(png, at + 8 + length))
            return p.error = "bad CRC in " + type, p;
        if (type == "IHDR" && body.substr(8) != std::string("\x08\0\0\0\0", 5)) return p.error = "not 8-bit grey", p;
        if (type == "IHDR") p.width = be32(body, 0), p.height = be32(body, 4);
        data += type == "IDAT" ? body : "";
        at += 12 + length;
    }
    // Compressed at zlib's default level, which the stream's header names; 9 takes ten times as long.
    if (data.compare(0, 2, "\x78\x9C") != 0) return p.error = "not at zlib's default level", p;
    const std::size_t row = p.width + 1;
    std::vector<std::uint8_t> raw(p.height * row);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK || size != raw.size())
        return p.error = "bad image data", p;
    for (std::uint32_t y = 0; y < p.height; ++y)
        for (std::uint32_t x = 0; x <= p.width; ++x)
            if (raw[y * row + x] != (x == 0 ? 0 : raw[y / scale * scale * row + (x - 1) / scale * scale + 1]))
                return p.error = x == 0 ? "filtered row" : "pixel not enlarged", p;
    for (std::uint32_t y = 0; y < p.height; y += scale)
        for (std::uint32_t x = 0; x < p.width; x += scale) p.grey.push_back(raw[y * row + x + 1]);
    p.width /= scale, p.height /= scale;
    return p;
}

// Every face's table and sample line against FreeType's reading of `fonPath`; "" or the first
// difference. The places come from the glyph sheet's layout; what lies there is FreeType's.
std::string compareWithFreeType(const std::string& fonPath, const Picture& picture, std::vector<std::string>* samples) {
    FonFile file;
    GlyphSheetLayout layout;
    if (readFonFile(fonPath.c_str(), &file) != StatusOk || !layoutGlyphSheet(file, &layout)) return "no layout";
    if (layout.width != picture.width || layout.height != picture.height) return "picture size";
    for (std::size_t k = 0; k < file.faces.size(); ++k) {
        const OracleFont font = loadWithFreeType(fonPath, static_cast<long>(k));
        const SheetFace& face = layout.faces[k];
        const std::uint32_t areaW = face.pitchX - 3, areaH = face.pitchY - 3;
        // The block at (x, y) shows `glyph` in ink on `paper` across its cell and Paper beyond it,
        // or, without a glyph, the missing-position marks and no ink.
        auto block = [&](std::uint32_t x, std::uint32_t y, const OracleGlyph* g, std::uint8_t paper, std::uint32_t w,
                         std::uint32_t h) -> std::string {
            for (std::uint32_t dy = 0; dy < h; ++dy)
                for (std::uint32_t dx = 0; dx < w; ++dx) {
                    const std::uint8_t v = picture.at(x + dx, y + dy);
                    const bool inCell = g && dx < std::uint32_t(g->width) && dy < std::uint32_t(g->rows);
                    const bool good = !g ? v == MissingFill || v == MissingMark
                                          : v == (inCell ? (g->pixel(int(dx), int(dy)) ? Ink : paper) : Paper);
                    if (!good) return "pixel " + std::to_string(dx) + "," + std::to_string(dy);
                }
            return {};
        };
        auto glyphOf = [&](std::uint32_t code) -> const OracleGlyph* {
            const auto g = font.glyphs.find(code);
            return g != font.glyphs.end() && g->second.width > 0 ? &g->second : nullptr;
        };
        for (std::uint32_t code = 0; code < 256; ++code) {
            const SheetPoint p = sheetCell(face, code);
            if (std::string d = block(p.x, p.y, glyphOf(code), CellPaper, areaW, areaH); !d.empty())
                return "face " + std::to_string(k) + " code " + std::to_string(code) + ": " + d;
        }
        std::uint32_t x = face.sample.x;
        std::string codes;
        for (std::uint8_t code : sampleCodes(file.faces[k])) {
            const OracleGlyph* g = glyphOf(code);
            const std::uint32_t w = g ? std::uint32_t(g->width) : areaW;
            if (std::string d = block(x, face.sample.y, g, Paper, w, std::max(file.faces[k].pixHeight, 1u)); !d.empty())
                return "face " + std::to_string(k) + " sample code " + std::to_string(code) + ": " + d;
            x += w;
            codes += static_cast<char>(code);
        }
        samples->push_back(codes);
    }
    return {};
}

// What Python's codec makes of the sample's bytes.
std::string decoded(const std::string& codes, const std::string& codec) {
    return runCommand({"python3", "-c", "import sys; print(sys.stdin.buffer.read().decode(sys.argv[1]))", codec}, codes).out;
}

const std::string misc = "/usr/share/fonts/X11/misc/";
const std::string english = "The quick brown fox jumps over the lazy dog. 0123456789\n";
const std::string russian = "В чащах юга жил бы цитрус? Да, но фальшивый экземпляр! 0123456789\n";
const std::string greek = "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. 0123456789\n";

TEST(GlyphSheet, EveryCellShowsWhatFreeTypeReadsForEachPageType) {
    REQUIRE_INSTALLED("python3", XfontsBase, Xfonts100dpi, XfontsTerminus);
    struct Case {
        std::string label, program;
        std::vector<std::string> arguments;
        std::string codec, sample;
        std::uint32_t scale = 1;
    } cases[] = {
        {"sample, as read", varnelPath(), {samplesDir() + "/seven.bdf"}, "latin-1", english, 3},
        {"KOI8-R, as read", corvanePath(), {misc + "6x13-KOI8-R.pcf.gz"}, "koi8_r", russian},
        {"ANSI, proportional", corvanePath(), {"-c1252", "/usr/share/fonts/X11/100dpi/helvBO12-ISO8859-1.pcf.gz"},
         "cp1252", english},
        {"ANSI Cyrillic", corvanePath(), {"-c1251", misc + "6x13.pcf.gz"}, "cp1251", russian},
        {"ANSI Greek", corvanePath(), {"-c1253", misc + "6x13.pcf.gz"}, "cp1253", greek},
        {"OEM", corvanePath(), {"-c437", misc + "9x15.pcf.gz"}, "cp437", english, 8},
        {"symbol", corvanePath(), {"-csymbol", misc + "cursor.pcf.gz"}, "latin-1", english},
        {"family", corvanePath(), {"-c1252", misc + "ter-u12n_unicode.pcf.gz", misc + "ter-u12b_unicode.pcf.gz",
                                   misc + "ter-u16n_unicode.pcf.gz"}, "cp1252", english, 2},
    };
    TempDir dir;
    const std::string fon = dir.path("face.fon"), png = dir.path("face.png"), fon3 = dir.path("face3.fon");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> argv = {c.program, "--preview", png, "--preview-scale", std::to_string(c.scale), "-o", fon};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = runCommand(argv);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const Picture picture = decodePng(readFile(png), c.scale);
        ASSERT_EQ(picture.error, "");
        std::vector<std::string> samples;
        EXPECT_EQ(compareWithFreeType(fon, picture, &samples), "");
        for (const std::string& codes : samples) EXPECT_EQ(decoded(codes, c.codec), c.sample);
        // The same fonts in the Windows 3.0 layout read alike, and would be drawn alike.
        ASSERT_EQ(runCommand({"python3", FNT300_SCRIPT, fon, fon3}).exitStatus, 0);
        FonFile rewritten;
        ASSERT_EQ(readFonFile(fon3.c_str(), &rewritten), StatusOk);
        EXPECT_EQ(rewritten.faces.back().version, 0x0300u);
        EXPECT_EQ(readerDisagreement(fon3), "");
        EXPECT_EQ(compareWithFreeType(fon3, picture, &samples), "");
    }
}

// A refused conversion writes no picture; one that cannot be had is named and the font stays.
TEST(GlyphSheet, FailuresNameThePictureAndKeepTheFont) {
    TempDir dir;
    const std::string seven = samplesDir() + "/seven.bdf", wide = dir.path("wide.bdf"), fon = dir.path("f.fon");
    const std::string png = dir.path("f.png"), lost = dir.path("no/f.png"), usage = runCommand({varnelPath()}).err;
    writeFile(wide, solidBdf({65}, 2600, 100));  // a font that fits, a table of 74 million pixels
    writeFile(dir.path("hundred.bdf"), solidBdf({65}, 100, 100));  // 157 million pixels at scale 4
    struct Case {
        std::vector<std::string> arguments;
        std::string message;  // "" for the usage message
        bool fonStays;
    } cases[] = {
        {{"--preview", png, dir.path("two-rows.bdf")},
         "Font f not created:  too many characters.\r\n(Its codes pass 255: choose a code page with -c, or write "
         "TrueType with -o NAME.ttf.)", false},
        {{"--preview", lost, seven}, "Can't create file " + lost, true},
        {{"--preview", png, wide}, "Picture " + png + " not created:  too large.", true},
        {{"--preview-scale", "4", "--preview", png, dir.path("hundred.bdf")}, "Picture " + png + " not created:  "
         "22032 x 7128 pixels, past the 100 megapixels a picture may have (try a smaller --preview-scale).", true},
        {{"--preview-scale", "9", "--preview", png, seven}, "", false},
        {{"--preview", fon, seven},
         "--preview " + fon + " names the output: the picture would replace the font it shows.\n" +
             usage.substr(usage.find("usage: ")), false},
    };
    writeFile(dir.path("two-rows.bdf"), solidBdf({65, 0x141}));
    for (const Case& c : cases) {
        std::filesystem::remove(fon);
        writeFile(png, "earlier picture");
        std::vector<std::string> argv = {varnelPath(), "-o", fon};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = runCommand(argv);
        const std::string end = !c.message.empty() && c.message.back() == '\n' ? "" : "\n";
        EXPECT_EQ(run.err, c.message.empty() ? usage : "Compile Fonts: " + c.message + end);
        EXPECT_EQ(run.exitStatus, 1) << c.message;
        EXPECT_EQ(fileExists(fon), c.fonStays) << c.message;
        EXPECT_EQ(readFile(png), "earlier picture") << c.message;
    }
    // Only a file can be read back. The device is named through a link of the test's own, so a
    // run that wrongly removed its output would remove only the link.
    const std::string device = dir.path("device.fon");
    std::filesystem::create_symlink("/dev/null", device);
    const RunResult run = runCommand({varnelPath(), "-o", device, "--preview", png, seven});
    EXPECT_EQ(run.err, "Compile Fonts: Can't output to file " + png + " (reason unknown).\n");
    EXPECT_TRUE(std::filesystem::is_symlink(device));
}

// `make demo` draws the README's pictures, and draws them the same every time.
TEST(GlyphSheet, TheDemoMakesTheCommittedPictures) {
    REQUIRE_INSTALLED("bdftopcf", XfontsBase);
    const std::string build = std::filesystem::path(varnelPath()).parent_path();
    const RunResult demo = runCommand({"sh", samplesDir() + "/demo.sh", build});
    ASSERT_EQ(demo.exitStatus, 0) << demo.err;
    for (const std::string name : {"seven.png", "6x13-cp1251.png"}) {
        ASSERT_TRUE(fileExists(build + "/demo/" + name)) << demo.out;
        EXPECT_TRUE(readFile(build + "/demo/" + name) == readFile(samplesDir() + "/" + name))
            << "the demo's " << name << " differs from the one in samples/: copy it there";
    }
}

}  // namespace
