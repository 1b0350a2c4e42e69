// --preview through the built programs: the PNG, decoded here with zlib, shows in every table cell
// exactly the pixels FreeType reads for that position of the same FON file, and its sample line
// is the pangram of the page (Python's codecs decode it) set in those glyphs; failures name the
// picture and keep the font; the README's picture is what `make demo` makes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "fon/specimen.h"
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

// An 8-bit grey, unfiltered PNG as the programs write it; every chunk's CRC checked.
Picture decodePng(const std::string& png) {
    Picture p;
    std::string data;
    if (png.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0) return p.error = "no signature", p;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = be32(png, at);
        const std::string type = png.substr(at + 4, 4), body = png.substr(at + 8, length);
        const std::string crcd = png.substr(at + 4, 4 + length);
        if (crc32(0, reinterpret_cast<const Bytef*>(crcd.data()), static_cast<uInt>(crcd.size())) != be32(png, at + 8 + length))
            return p.error = "bad CRC in " + type, p;
        if (type == "IHDR") p.width = be32(body, 0), p.height = be32(body, 4);
        if (type == "IHDR" && body.substr(8) != std::string("\x08\0\0\0\0", 5)) return p.error = "not 8-bit grey", p;
        if (type == "IDAT") data += body;
        if (type == "IEND") break;
        at += 12 + length;
    }
    std::vector<std::uint8_t> raw(std::size_t{p.height} * (p.width + 1));
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK || size != raw.size())
        return p.error = "bad image data", p;
    for (std::uint32_t y = 0; y < p.height; ++y) {
        if (raw[std::size_t{y} * (p.width + 1)] != 0) return p.error = "filtered row", p;
        p.grey.insert(p.grey.end(), raw.begin() + y * (p.width + 1) + 1, raw.begin() + (y + 1) * (p.width + 1));
    }
    return p;
}

// Every face's table and sample line against FreeType's reading of `fonPath`; "" or the first
// difference. The places come from the specimen's layout; what lies there is FreeType's.
std::string compareWithFreeType(const std::string& fonPath, const Picture& picture, std::vector<std::string>* samples) {
    FonFile file;
    SpecimenLayout layout;
    if (readFonFile(fonPath.c_str(), &file) != StatusOk || !layoutSpecimen(file, &layout)) return "no layout";
    if (layout.width != picture.width || layout.height != picture.height) return "picture size";
    for (std::size_t k = 0; k < file.faces.size(); ++k) {
        const OracleFont font = loadWithFreeType(fonPath, static_cast<long>(k));
        const SpecimenFace& face = layout.faces[k];
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
            const SpecimenPoint p = specimenCell(face, code);
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
    std::string hex;
    for (unsigned char c : codes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return runCommand({"python3", "-c", "import sys; print(bytes.fromhex(sys.argv[1]).decode(sys.argv[2]))", hex, codec})
        .out;
}

const std::string misc = "/usr/share/fonts/X11/misc/";
const std::string english = "The quick brown fox jumps over the lazy dog. 0123456789\n";
const std::string russian = "В чащах юга жил бы цитрус? Да, но фальшивый экземпляр! 0123456789\n";
const std::string greek = "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. 0123456789\n";

TEST(Specimen, EveryCellShowsWhatFreeTypeReadsForEachPageType) {
    REQUIRE_INSTALLED("python3", XfontsBase, Xfonts100dpi, XfontsTerminus);
    struct Case {
        std::string label, program;
        std::vector<std::string> arguments;
        std::string codec, sample;
    } cases[] = {
        {"sample, as read", varnelPath(), {samplesDir() + "/seven.bdf"}, "latin-1", english},
        {"KOI8-R, as read", corvanePath(), {misc + "6x13-KOI8-R.pcf.gz"}, "koi8_r", russian},
        {"ANSI, proportional", corvanePath(), {"-c1252", "/usr/share/fonts/X11/100dpi/helvBO12-ISO8859-1.pcf.gz"},
         "cp1252", english},
        {"ANSI Cyrillic", corvanePath(), {"-c1251", misc + "6x13.pcf.gz"}, "cp1251", russian},
        {"ANSI Greek", corvanePath(), {"-c1253", misc + "6x13.pcf.gz"}, "cp1253", greek},
        {"OEM", corvanePath(), {"-c437", misc + "9x15.pcf.gz"}, "cp437", english},
        {"symbol", corvanePath(), {"-csymbol", misc + "cursor.pcf.gz"}, "latin-1", english},
        {"family", corvanePath(), {"-c1252", misc + "ter-u12n_unicode.pcf.gz", misc + "ter-u12b_unicode.pcf.gz",
                                   misc + "ter-u16n_unicode.pcf.gz"}, "cp1252", english},
    };
    TempDir dir;
    // The same base name without the picture, for the font it must leave as it is.
    const std::string fon = dir.path("face.fon"), png = dir.path("face.png"), plain = dir.path("plain/face.fon");
    std::filesystem::create_directories(dir.path("plain"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> argv = {c.program, "-o", fon, "--preview", png};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = runCommand(argv);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, "");
        argv.erase(argv.begin() + 1, argv.begin() + 5);
        argv.insert(argv.begin() + 1, {"-o", plain});
        ASSERT_EQ(runCommand(argv).exitStatus, 0);
        EXPECT_TRUE(readFile(fon) == readFile(plain)) << "the picture changed the font";
        const Picture picture = decodePng(readFile(png));
        ASSERT_EQ(picture.error, "");
        std::vector<std::string> samples;
        EXPECT_EQ(compareWithFreeType(fon, picture, &samples), "");
        for (const std::string& codes : samples) EXPECT_EQ(decoded(codes, c.codec), c.sample);
    }
}

TEST(Specimen, ScaleEnlargesEveryPixel) {
    TempDir dir;
    const std::string font = samplesDir() + "/seven.bdf";
    ASSERT_EQ(runCommand({varnelPath(), "--preview", dir.path("1.png"), "-o", dir.path("f.fon"), font}).exitStatus, 0);
    ASSERT_EQ(runCommand({varnelPath(), "--preview-scale", "3", "--preview", dir.path("3.png"), "-o", dir.path("f.fon"),
                          font}).exitStatus, 0);
    const Picture one = decodePng(readFile(dir.path("1.png"))), three = decodePng(readFile(dir.path("3.png")));
    ASSERT_EQ(three.width, 3 * one.width);
    ASSERT_EQ(three.height, 3 * one.height);
    for (std::uint32_t y = 0; y < three.height; ++y)
        for (std::uint32_t x = 0; x < three.width; ++x) ASSERT_EQ(three.at(x, y), one.at(x / 3, y / 3)) << x << "," << y;
}

TEST(Specimen, FailuresNameThePictureAndKeepTheFont) {
    REQUIRE_INSTALLED(XfontsBase);
    TempDir dir;
    const std::string seven = samplesDir() + "/seven.bdf", wide = dir.path("wide.bdf"), fon = dir.path("f.fon");
    const std::string png = dir.path("f.png"), lost = dir.path("no/such/f.png");
    writeFile(wide, solidBdf({65}, 2600, 100));  // a font that fits, a table of 74 million pixels
    std::string usage = runCommand({varnelPath()}).err;
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string message;  // "" for the usage message
        bool fonStays;
    } cases[] = {
        {corvanePath(), {"--preview", png, misc + "6x13.pcf.gz"}, "Font f not created:  too many characters.\r\n(Use PCF format.)", false},
        {varnelPath(), {"--preview", lost, seven}, "Can't create file " + lost, true},
        {varnelPath(), {"--preview", png, wide}, "Picture " + png + " not created:  too large.", true},
        {varnelPath(), {"--preview-scale", "9", "--preview", png, seven}, "", false},
        {varnelPath(), {"--preview-scale", "0", "--preview", png, seven}, "", false},
        {varnelPath(), {seven, "--preview"}, "", false},
        {varnelPath(), {"--preview", fon, seven}, "", false},
        {varnelPath(), {"--preview", seven, seven}, "", false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(fon);
        writeFile(png, "earlier picture");
        std::vector<std::string> argv = {c.program, "-o", fon};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = runCommand(argv);
        EXPECT_EQ(run.exitStatus, 1) << c.message;
        EXPECT_EQ(run.err, c.message.empty() ? usage : "Compile Fonts: " + c.message + "\n");
        EXPECT_EQ(fileExists(fon), c.fonStays) << c.message;
        EXPECT_EQ(readFile(png), "earlier picture") << c.message;
    }
    // Only a file can be read back.
    const RunResult run = runCommand({varnelPath(), "-o", "/dev/null", "--preview", png, seven});
    EXPECT_EQ(run.err, "Compile Fonts: Can't output to file " + png + " (reason unknown).\n");
}

// `make demo` draws the README's pictures, and draws them the same every time.
TEST(Specimen, TheDemoMakesTheCommittedPictures) {
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
