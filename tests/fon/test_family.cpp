// Several fonts in one FON file, through the built programs on real and generated fonts: each
// member equals its own single conversion (font and "SNF" resources, FreeType's rendering of its
// face), the directory repeats each font's header, a family past 1 MiB still loads, Windows 2.x
// and 3.0 fonts mix, and every refusal names its inputs and leaves the output alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/fon/fon_reader_oracle.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

// One resource as a loader finds it through the resource table.
struct Member {
    std::uint32_t nameId = 0;
    std::string bytes;  // whole alignment units
};

// The resources of a FON file by type ("7" and "8" for integer types, the text otherwise).
struct FonTable {
    std::uint32_t shift = 0;
    std::uint32_t typeBlocks = 0;
    std::map<std::string, std::vector<Member>> byType;
};

FonTable tableOf(const std::string& fon) {
    FonTable t;
    const std::size_t table = 64 + le16(fon, 64 + 36);
    t.shift = le16(fon, table);
    std::size_t at = table + 2;
    while (const std::uint32_t type = le16(fon, at)) {
        const std::uint32_t count = le16(fon, at + 2);
        const std::string key = (type & 0x8000) ? std::to_string(type & 0x7FFF)
                                                : fon.substr(table + type + 1, static_cast<unsigned char>(fon[table + type]));
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::size_t name = at + 8 + 12 * k;
            t.byType[key].push_back({le16(fon, name + 6) & 0x7FFF, fon.substr(std::size_t{le16(fon, name)} << t.shift,
                                                                              std::size_t{le16(fon, name + 2)} << t.shift)});
        }
        ++t.typeBlocks;
        at += 8 + 12 * count;
    }
    return t;
}

std::string fntOf(const Member& m) { return m.bytes.substr(0, le32(m.bytes, 2)); }

// The "SNF" resource without its padding: header, character records, properties, pool, ink.
std::string infoOf(const Member& m) {
    const std::size_t positions = le16(m.bytes, 18) - le16(m.bytes, 16) + 1;
    std::size_t size = 72 + 16 * positions + 10 * le16(m.bytes, 24) + le16(m.bytes, 26);
    if (le32(m.bytes, 12) & 8) size += 16 * (positions + 2);
    return m.bytes.substr(0, size);
}

RunResult convert(const std::string& program, const std::vector<std::string>& options, const std::string& output,
                  const std::vector<std::string>& inputs) {
    std::vector<std::string> args = {program};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-o", output});
    args.insert(args.end(), inputs.begin(), inputs.end());
    return runCommand(args);
}

// Converts `inputs` into <dir>/<base>.fon as one family and each alone into <dir>/<k>/<base>.fon,
// then checks the family member by member against the singles. With `pages`, the family is made
// with them as one -c list: each input gives one member per page, whose single is that input in
// that page alone.
void checkFamily(const std::string& program, const std::vector<std::string>& options,
                 const std::vector<std::string>& inputs, const TempDir& dir, const std::string& base,
                 const std::vector<std::string>& pages = {}) {
    const std::string familyPath = dir.path(base + ".fon");
    std::vector<std::string> familyOptions = options;
    std::string list;
    for (const std::string& page : pages) list += (list.empty() ? "-c" : ",") + page;
    if (!list.empty()) familyOptions.push_back(list);
    RunResult r = convert(program, familyOptions, familyPath, inputs);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err + r.out, "");
    const std::string family = readFile(familyPath);
    const FonTable table = tableOf(family);
    const std::size_t perInput = std::max<std::size_t>(pages.size(), 1), n = inputs.size() * perInput;
    EXPECT_EQ(table.typeBlocks, 3u);
    EXPECT_EQ(le16(family, 64 + 52), 1 + 2 * n);
    ASSERT_EQ(table.byType.at("8").size(), n);
    ASSERT_EQ(table.byType.at("SNF").size(), n);
    const std::string directory = table.byType.at("7").at(0).bytes;
    EXPECT_EQ(le16(directory, 0), n);

    EXPECT_EQ(readerDisagreement(familyPath), "");
    OracleFont first = loadWithFreeType(familyPath);
    EXPECT_EQ(first.driver, "winfonts") << first.error;
    EXPECT_EQ(first.faceCount, static_cast<long>(n));
    std::size_t entry = 2;
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& input = inputs[k / perInput];
        std::vector<std::string> singleOptions = options;
        if (!pages.empty()) singleOptions.push_back("-c" + pages[k % perInput]);
        SCOPED_TRACE(input + (pages.empty() ? "" : " " + singleOptions.back()));
        // The single conversion has the same base name, so the same face name in its header.
        const std::string singleDir = dir.path(std::to_string(k));
        std::filesystem::create_directories(singleDir);
        const std::string singlePath = singleDir + "/" + base + ".fon";
        ASSERT_EQ(convert(program, singleOptions, singlePath, {input}).exitStatus, 0);
        const FonTable alone = tableOf(readFile(singlePath));

        const Member& fnt = table.byType.at("8")[k];
        EXPECT_EQ(fnt.nameId, k + 1);
        EXPECT_EQ(table.byType.at("SNF")[k].nameId, k + 1);
        const std::string got = fntOf(fnt);
        EXPECT_EQ(got, fntOf(alone.byType.at("8")[0]));
        EXPECT_EQ(got.substr(le32(got, 105), base.size() + 1), base + '\0');
        EXPECT_EQ(infoOf(table.byType.at("SNF")[k]), infoOf(alone.byType.at("SNF")[0]));

        // Directory entry: ordinal, the header's first 113 bytes, no device, the face.
        EXPECT_EQ(le16(directory, entry), k + 1);
        EXPECT_EQ(directory.substr(entry + 2, 113), got.substr(0, 113));
        EXPECT_EQ(directory.substr(entry + 115, base.size() + 2), '\0' + base + '\0');
        entry += 117 + base.size();

        const OracleFont member = loadWithFreeType(familyPath, static_cast<long>(k));
        ASSERT_EQ(member.error, "");
        EXPECT_EQ(member.faceCount, static_cast<long>(n));
        const OracleFont alonePixels = loadWithFreeType(singlePath);
        EXPECT_EQ(member.height, alonePixels.height);
        EXPECT_TRUE(member.glyphs == alonePixels.glyphs);
    }
}

std::vector<std::string> installed(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const auto& name : names) {
        const std::string path = "/usr/share/fonts/X11/misc/" + name + ".pcf.gz";
        if (!fileExists(path)) return {};
        paths.push_back(path);
    }
    return paths;
}

// Real fonts of the corpus. Without a code page every header says weight 400, so those families
// hold one font per height.
TEST(Family, RealFontsEachEqualTheirSingleConversion) {
    REQUIRE_INSTALLED("pcf2bdf", XfontsBase, XfontsTerminus, XfontsUnifont);
    struct Case {
        const char* label;
        bool bdf;
        std::vector<std::string> options;
        std::vector<std::string> fonts;
        std::vector<std::string> pages = {};  // a -c list: a member per input and page
    } cases[] = {
        {"two, varnel, bit order", true, {"-l"}, {"6x13-ISO8859-1", "ter-u16b_iso-8859-1"}},
        {"Terminus", false, {"-p4"}, {"ter-u12n_iso-8859-1", "ter-u14n_iso-8859-1", "ter-u16n_iso-8859-1",
                                      "ter-u20n_iso-8859-1", "ter-u24n_iso-8859-1"}},
        // With a code page the headers carry each font's weight: regular and bold of one height.
        {"Terminus regular and bold, code page", false, {"-c1252"},
         {"ter-u12n_unicode", "ter-u12b_unicode", "ter-u16n_unicode", "ter-u16b_unicode"}},
        // Italic tells an upright and an oblique face of one height apart.
        {"upright and oblique, code page", false, {"-c1252"}, {"6x13", "6x13O"}},
        // A list of pages: one read of each input makes its font of every page.
        {"four pages", false, {}, {"unifont", "ter-u14n_unicode"}, {"1252", "1251", "1250", "1253"}},
        {"OEM and ANSI pages, varnel", true, {"-p4"}, {"ter-u16b_unicode"}, {"866", "1251", "1257"}},
        {"twelve", false, {}, {"4x6-ISO8859-1", "5x7-ISO8859-1", "5x8-ISO8859-1", "6x9-ISO8859-1", "6x10-ISO8859-1",
                               "6x12-ISO8859-1", "6x13B-ISO8859-1", "7x14-ISO8859-1", "9x15B-ISO8859-1",
                               "9x18-ISO8859-1", "10x20-ISO8859-1", "ter-u24b_iso-8859-1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> inputs = installed(c.fonts);
        ASSERT_FALSE(inputs.empty());
        TempDir dir;
        if (c.bdf) {
            for (auto& input : inputs) {
                const std::string bdf = dir.path(std::to_string(&input - inputs.data()) + ".bdf");
                ASSERT_TRUE(pcfToBdf(input, bdf));
                input = bdf;
            }
        }
        checkFamily(c.bdf ? varnelPath() : corvanePath(), c.options, inputs, dir, "family", c.pages);
    }
}

// 24 fonts of up to 60 KiB: 16-byte units no longer reach the last resources.
TEST(Family, PastOneMebibyteTheUnitGrows) {
    TempDir dir;
    std::vector<std::string> inputs;
    for (int height = 56; height < 80; ++height) {
        inputs.push_back(dir.path("h" + std::to_string(height) + ".bdf"));
        writeFile(inputs.back(), solidBdf(codeRange(1, 255), 24, height));
    }
    checkFamily(varnelPath(), {}, inputs, dir, "big");
    const std::string fon = readFile(dir.path("big.fon"));
    EXPECT_GT(fon.size(), 1u << 20);
    EXPECT_EQ(tableOf(fon).shift, 5u);
    EXPECT_EQ(le16(fon, 64 + 50), 5u);
}

// A Windows 2.x font and a Windows 3.0 one (six13 and big64x64 of bench/gen_fonts.py) in one file,
// with and without a code page.
TEST(Family, Windows2And3FontsTogether) {
    REQUIRE_INSTALLED("bdftopcf", "python3");
    TempDir dir;
    std::vector<std::string> inputs;
    for (const char* name : {"six13", "big64x64"}) {
        ASSERT_NE(generatedFont(dir.dir(), name, true), "");
        inputs.push_back(dir.path(std::string(name) + ".pcf"));
    }
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-c1252"}}) {
        checkFamily(corvanePath(), options, inputs, dir, "mixed");
        const FonTable table = tableOf(readFile(dir.path("mixed.fon")));
        EXPECT_EQ(le16(table.byType.at("8").at(0).bytes, 0), 0x200u);
        EXPECT_EQ(le16(table.byType.at("8").at(1).bytes, 0), 0x300u);
    }
}

TEST(Family, RefusalsNameTheirInputsAndLeaveTheOutputAlone) {
    TempDir dir;
    auto font = [&](const std::string& name, const std::string& bdf) {
        writeFile(dir.path(name), bdf);
        return dir.path(name);
    };
    const std::string a = font("a.bdf", solidBdf(codeRange(32, 126), 5, 10));
    const std::string b = font("b.bdf", solidBdf(codeRange(32, 126), 5, 12));
    const std::string wide = font("wide.bdf", solidBdf(codeRange(48, 57), 9, 10));  // a's height
    const std::string rows = font("rows.bdf", solidBdf({65, 0x141}));
    const std::string big = font("big.bdf", pastLargestFaceBdf());
    const std::string junk = font("junk.bdf", "not a font\n");
    const std::string missing = dir.path("missing.bdf");
    std::vector<std::string> many;
    for (int k = 0; k < 65; ++k) many.push_back(dir.path("m" + std::to_string(k)));
    struct Case {
        std::vector<std::string> inputs;
        std::string message;
    } cases[] = {
        {{a, missing}, "can't open bdf source file " + missing},
        {{a, junk, b}, "bdf input, " + junk + ", corrupt
(line 1: not a font: STARTFONT 2.1 expected)"},
        {{a, rows}, "Font " + rows + " not created:  too many characters.
(Its codes pass 255: choose a code page "
                       "with -c, or write TrueType with -o NAME.ttf.)"},
        {{big, a}, "Font " + big + " not created:  too large.\r\n(Use PCF format.)"},
        {{a, b, wide},
         "Fonts " + a + " and " + wide +
             " not combined:  Windows cannot tell them apart (same height, weight, italic and character set)."},
        {{a, a}, "Fonts " + a + " and " + a +
                     " not combined:  Windows cannot tell them apart (same height, weight, italic and character set)."},
        {many, "Font " + many[64] + " not created:  more than 64 fonts in one file."},
    };
    const std::string output = dir.path("out.fon");
    for (const Case& c : cases) {
        writeFile(output, "precious");
        RunResult r = convert(varnelPath(), {}, output, c.inputs);
        EXPECT_EQ(r.exitStatus, 1) << c.message;
        EXPECT_EQ(r.err, "Compile Fonts: " + c.message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(readFile(output), "precious") << c.message;
    }

    // The limit itself: 64 fonts of heights 1 to 64.
    std::vector<std::string> inputs;
    for (int height = 1; height <= 64; ++height)
        inputs.push_back(font("s" + std::to_string(height) + ".bdf", solidBdf(codeRange(65, 70), 3, height)));
    RunResult r = convert(varnelPath(), {}, output, inputs);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(loadWithFreeType(output, 63).faceCount, 64);
}

}  // namespace
