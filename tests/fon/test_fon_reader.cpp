// The FON reader: files the programs write (a face, a family, a code page) and their Windows 3.0
// rewrites read as FreeType reads them; damaged files are refused with a status, never a crash.
// The whole corpus goes through the same check in tests/hardening and the code page and family tests.
#include <gtest/gtest.h>

#include <functional>

#include "tests/fon/fon_reader_oracle.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

TEST(FonReader, ReadsWrittenFilesAndTheirVersion3FormsAsFreeTypeDoes) {
    REQUIRE_INSTALLED("python3", XfontsBase, Xfonts100dpi);
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::size_t faces;
        std::string encoding;  // of the first face
    } cases[] = {
        {varnelPath(), {samplesDir() + "/seven.bdf"}, 1, "ISO8859-1"},
        {corvanePath(), {"-c1251", "/usr/share/fonts/X11/misc/6x13.pcf.gz", "/usr/share/fonts/X11/misc/9x15.pcf.gz"},
         2, "microsoft-cp1251"},
        {corvanePath(), {"/usr/share/fonts/X11/100dpi/helvBO12-ISO8859-1.pcf.gz"}, 1, "ISO8859-1"},
    };
    TempDir dir;
    const std::string fon = dir.path("f.fon"), fon3 = dir.path("f3.fon");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        std::vector<std::string> argv = {c.program, "-o", fon};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        ASSERT_EQ(runCommand(argv).exitStatus, 0);
        EXPECT_EQ(readerDisagreement(fon), "");
        RunResult rewrite = runCommand({"python3", FNT300_SCRIPT, fon, fon3});
        ASSERT_EQ(rewrite.exitStatus, 0) << rewrite.err;
        EXPECT_EQ(readerDisagreement(fon3), "");
        FonFile file;
        ASSERT_EQ(readFonFile(fon3.c_str(), &file), StatusOk);
        EXPECT_EQ(file.faces.size(), c.faces);
        EXPECT_EQ(file.faces[0].version, 0x0300u);
        EXPECT_EQ(file.faces[0].encoding, c.encoding.c_str());
    }
}

ByteVector bytesOf(const std::string& text) { return ByteVector(text.begin(), text.end()); }

int statusOf(const std::string& bytes, std::string* encoding = nullptr) {
    FonFile file;
    const int status = readFon(bytesOf(bytes), &file);
    if (encoding && status == StatusOk) *encoding = file.faces.at(0).encoding.c_str();
    return status;
}

void put16(std::string& b, std::size_t at, std::uint32_t v) {
    b.at(at) = static_cast<char>(v & 0xFF);
    b.at(at + 1) = static_cast<char>(v >> 8);
}

TEST(FonReader, RefusesDamagedFiles) {
    REQUIRE_INSTALLED("python3");
    TempDir dir;
    ASSERT_EQ(runCommand({varnelPath(), "-o", dir.path("s.fon"), samplesDir() + "/seven.bdf"}).exitStatus, 0);
    ASSERT_EQ(runCommand({"python3", FNT300_SCRIPT, dir.path("s.fon"), dir.path("s3.fon")}).exitStatus, 0);
    const std::string good = readFile(dir.path("s.fon")), good3 = readFile(dir.path("s3.fon"));
    const std::size_t fnt = resourceAt(good, 1).offset, fnt3 = le16(good3, 158) * 16u;
    const std::size_t fntEnd = fnt + le32(good, fnt + 2), table = 64 + 64;
    // Every cut: refused while the font resource is incomplete; after it only the "SNF" resource
    // (the character set's name) may be lost.
    for (std::size_t size = 0; size < good.size(); ++size)
        ASSERT_EQ(statusOf(good.substr(0, size)), size < fntEnd ? StatusBadFormat : StatusOk) << size;

    struct Case {
        const char* damage;
        std::function<void(std::string&)> apply;
        bool version3 = false;
    } cases[] = {
        {"no MZ", [&](std::string& b) { b[0] = 'X'; }},
        {"NE header past the end", [&](std::string& b) { put16(b, 62, 0xFFFF); }},
        {"alignment shift 32", [&](std::string& b) { put16(b, table, 32); }},
        {"type block longer than the file", [&](std::string& b) { put16(b, table + 2 + 20 + 2, 0xFFFF); }},
        {"font resource past the end", [&](std::string& b) { put16(b, table + 2 + 20 + 8, 0xFFFF); }},
        {"no font directory", [&](std::string& b) { put16(b, table + 2, 0x8001); }},
        {"directory names no font", [&](std::string& b) { put16(b, resourceAt(b, 0).offset + 2, 9); }},
        {"version 0x0100", [&](std::string& b) { put16(b, fnt, 0x0100); }},
        {"dfSize past the resource", [&](std::string& b) { put16(b, fnt + 4, 1); }},
        {"vector font", [&](std::string& b) { put16(b, fnt + 66, 1); }},
        {"cell past dfSize", [&](std::string& b) { put16(b, fnt + 118 + 2, 0xFFF0); }},
        {"face name without its zero", [&](std::string& b) { put16(b, fnt + 105, le32(b, fnt + 2) - 1); b[fntEnd - 1] = 'x'; }},
        {"3.0 layout with ABC widths", [&](std::string& b) { put16(b, fnt3 + 118, 4); }, true},
        {"3.0 cell past dfSize", [&](std::string& b) { put16(b, fnt3 + 148 + 4, 1); }, true},
    };
    for (const Case& c : cases) {
        std::string bytes = c.version3 ? good3 : good;
        c.apply(bytes);
        EXPECT_EQ(statusOf(bytes), StatusBadFormat) << c.damage;
    }
    // A family whose directory names its first font twice.
    writeFile(dir.path("tall.bdf"), solidBdf(codeRange(32, 126), 5, 12));
    ASSERT_EQ(runCommand({varnelPath(), "-o", dir.path("fam.fon"), samplesDir() + "/seven.bdf", dir.path("tall.bdf")})
                  .exitStatus, 0);
    std::string family = readFile(dir.path("fam.fon"));
    ASSERT_EQ(statusOf(family), StatusOk);
    put16(family, resourceAt(family, 0).offset + 2 + 117 + 3, 1);
    EXPECT_EQ(statusOf(family), StatusBadFormat);

    // A damaged "SNF" resource costs only the name of the character set.
    std::string bytes = good, encoding = "unread";
    put16(bytes, resourceAt(good, 2).offset + 26, 0xFFFE);
    EXPECT_EQ(statusOf(bytes, &encoding), StatusOk);
    EXPECT_EQ(encoding, "");
}

}  // namespace
