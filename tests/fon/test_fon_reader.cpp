// The FON reader on damaged files. How it reads good ones is checked against FreeType on the whole
// corpus (tests/hardening), every code-page run and family, and the glyph sheet's files and their
// Windows 3.0 rewrites (test_glyph_sheet.cpp); crashes and runaway cost are the fuzz target's.
#include <gtest/gtest.h>

#include "fon/fon_reader.h"
#include "tests/fon/fon_test_font.h"

using namespace fontest;

namespace {

int statusOf(const std::string& bytes) {
    FonFile file;
    return readFon(ByteVector(bytes.begin(), bytes.end()), &file);
}

TEST(FonReader, RefusesDamagedFiles) {
    TempDir dir;
    writeFile(dir.path("tall.bdf"), solidBdf(codeRange(32, 126), 5, 12));
    ASSERT_EQ(runCommand({varnelPath(), "-o", dir.path("s.fon"), samplesDir() + "/seven.bdf", dir.path("tall.bdf")})
                  .exitStatus, 0);
    const std::string good = readFile(dir.path("s.fon"));
    // Every cut: refused while a font resource is incomplete; past the last one only the "SNF"
    // resources (the character set's name) may be lost.
    FonFile whole;
    ASSERT_EQ(readFon(ByteVector(good.begin(), good.end()), &whole), StatusOk);
    const FonFace& last = whole.faces.back();
    const std::size_t fontsEnd = static_cast<std::size_t>(last.resource.data() + last.resource.size() - whole.bytes.data());
    for (std::size_t size = 0; size < good.size(); ++size)
        ASSERT_EQ(statusOf(good.substr(0, size)), size < fontsEnd ? StatusBadFormat : StatusOk) << size;

    // One face per font resource: a directory naming its first font twice is refused.
    std::string twice = good;
    put16(twice, resourceAt(good, 0).offset + 2 + 117 + 1, 1);
    EXPECT_EQ(statusOf(twice), StatusBadFormat);
}

}  // namespace
