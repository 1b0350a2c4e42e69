// gzip expansion of ".gz" input: the real font corpus against gzip itself, headers with every
// optional field, several members, and broken or truncated files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "font/alloc.h"
#include "stream/font_stream.h"
#include "stream/gzip.h"
#include "tests/support/test_support.h"

namespace {

std::string readAll(FontStream* stream) {
    std::string s;
    std::uint8_t block[4096];
    for (std::int32_t n; (n = readBytes(stream, block, sizeof block)) > 0;)
        s.append(reinterpret_cast<char*>(block), static_cast<std::size_t>(n));
    return s;
}

// Expands the file at `path` through openFontFile; `opened` tells whether the open succeeded.
std::string expandFile(const std::string& path, bool* opened = nullptr) {
    FontStreamPtr stream(openFontFile(path.c_str()));
    if (opened) *opened = stream != nullptr;
    return stream ? readAll(stream.get()) : std::string();
}

std::string textData(std::size_t n) {
    std::string s;
    for (std::uint32_t k = 0; s.size() < n; ++k)
        s += "STARTCHAR c" + std::to_string(k) + "\nENCODING " + std::to_string(k % 256) + "\nBITMAP\n" +
             std::to_string((k * 2654435761u) >> 20) + "\nENDCHAR\n";
    s.resize(n);
    return s;
}

// gzip's output for `data`, made through a file (the run helper feeds standard input whole before
// it reads any output).
std::string gzipData(const std::string& data, const std::string& level = "-9") {
    TempDir dir;
    writeFile(dir.path("data"), data);
    RunResult r = runCommand({"gzip", "-n", "-c", level, dir.path("data")});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    return r.out;
}

class GzipTest : public ::testing::Test {
protected:
    void TearDown() override { failAllocationAt(0); }
    std::string write(const std::string& name, const std::string& data) {
        writeFile(dir.path(name), data);
        return dir.path(name);
    }
    TempDir dir;
};

TEST_F(GzipTest, EveryRealFontExpandsAsGzipDoes) {
    REQUIRE_INSTALLED(XfontsBase, Xfonts75dpi, Xfonts100dpi);
    std::vector<std::string> fonts = realFontFiles({"misc", "75dpi", "100dpi"});
    ASSERT_GT(fonts.size(), 100u);
    int mismatches = 0;
    for (const std::string& font : fonts) {
        RunResult expected = runCommand({"gzip", "-dc", font});
        ASSERT_EQ(expected.exitStatus, 0) << font;
        bool opened = false;
        std::string got = expandFile(font, &opened);
        if (!opened || got != expected.out) {
            ADD_FAILURE() << font << ": " << (opened ? "different bytes" : "not opened");
            if (++mismatches > 5) break;
        }
    }
}

TEST_F(GzipTest, MembersAndOptionalHeaderFields) {
    const std::string a = textData(100000), b = textData(3000).substr(1000);
    // Several members, one of them empty, read as one stream.
    std::string joined = gzipData(a) + gzipData("") + gzipData(b, "-1");
    EXPECT_TRUE(expandFile(write("joined.gz", joined)) == a + b);

    // A header with extra field, file name and comment before the data (flags 0x04, 0x08, 0x10).
    std::string plain = gzipData(a);
    ASSERT_GT(plain.size(), 10u);
    std::string header = plain.substr(0, 10);
    header[3] = 0x1C;
    std::string fields = std::string("\x05\x00", 2) + "xtra!" + "name.bdf" + '\0' + "a comment" + '\0';
    EXPECT_TRUE(expandFile(write("fields.gz", header + fields + plain.substr(10))) == a);

    // Stored (level 0) and tiny members.
    EXPECT_TRUE(expandFile(write("one.gz", gzipData("x", "-1"))) == "x");
    bool opened = false;
    EXPECT_EQ(expandFile(write("empty.gz", gzipData("")), &opened), "");
    EXPECT_TRUE(opened);
}

TEST_F(GzipTest, BadHeadersFailTheOpen) {
    const std::string good = gzipData(textData(5000));
    std::string zlibFramed = "\x78\x9c" + good.substr(10);  // deflate data in zlib framing
    std::string badMethod = good;
    badMethod[2] = 7;
    std::string reservedFlag = good;
    reservedFlag[3] = static_cast<char>(0x20);
    for (const std::string& data : {std::string(), std::string("\x1f"), std::string("\x1f\x8b\x08"),
                                    good.substr(0, 9), std::string("plain text, not compressed\n"), zlibFramed,
                                    badMethod, reservedFlag}) {
        bool opened = true;
        expandFile(write("bad.gz", data), &opened);
        EXPECT_FALSE(opened) << data.size();
    }
    // Only names ending in ".gz" go through the filter.
    EXPECT_EQ(expandFile(write("kept.gzip", good)), good);
    EXPECT_EQ(expandFile(write("kept.GZ", good)), good);
}

TEST_F(GzipTest, TruncatedAndCorruptedDataEndsTheData) {
    const std::string data = textData(300000);
    const std::string packed = gzipData(data);
    for (std::size_t keep : {std::size_t{10}, std::size_t{11}, std::size_t{200}, packed.size() / 2,
                             packed.size() - 8, packed.size() - 1}) {
        bool opened = false;
        std::string out = expandFile(write("cut.gz", packed.substr(0, keep)), &opened);
        EXPECT_TRUE(opened) << keep;
        EXPECT_LE(out.size(), data.size());
        EXPECT_TRUE(data.compare(0, out.size(), out) == 0) << keep;
        if (keep < packed.size() - 8) {
            EXPECT_LT(out.size(), data.size()) << keep;
        }
    }
    // Flipped bytes in the deflate data: no crash, no hang, and never more than the data's size
    // plus one buffer once the damage is found.
    std::uint32_t x = 5;
    for (int round = 0; round < 40; ++round) {
        std::string bad = packed;
        for (int k = 0; k <= round % 4; ++k) {
            x = x * 1664525u + 1013904223u;
            bad[10 + (x >> 8) % (bad.size() - 18)] ^= static_cast<char>(1 + (x >> 24) % 255);
        }
        std::string out = expandFile(write("bad.gz", bad));
        EXPECT_LE(out.size(), 64 * data.size()) << round;
    }
    // Garbage after a complete member ends the data after that member.
    EXPECT_TRUE(expandFile(write("tail.gz", packed + "trailing garbage")) == data);
}

TEST_F(GzipTest, BytesAfterAMemberThatStartNoMemberAreIgnoredWhateverTheirNumber) {
    const std::string data = textData(20000);
    const std::string packed = gzipData(data);
    const std::string other = gzipData("more");
    struct Case {
        std::string tail;
        bool clean;
    };
    // As gzip tells them: bytes that are no gzip header start no member; bytes from the magic's
    // first on start one, and its end or damage before it is whole is damage to the data.
    for (const Case& c : {Case{std::string(1, '\0'), true}, Case{std::string(3, '\0'), true}, Case{"j", true},
                          Case{"junk", true}, Case{"\x1f", false}, Case{"\x1f\x8b", false}, Case{"\x1f\x8b\x08", false},
                          Case{other.substr(0, 9), false}, Case{"\x1f\x8b\x07 bad method", false},
                          Case{other.substr(0, 10), false}, Case{other.substr(0, 12), false},
                          Case{other.substr(0, other.size() - 1), false}}) {
        FontStream* stream = openFontFile(write("tail.gz", packed + c.tail).c_str());
        ASSERT_NE(stream, nullptr);
        const std::string out = readAll(stream);
        EXPECT_TRUE(c.clean ? out == data : out.compare(0, data.size(), data) == 0) << c.tail.size();
        EXPECT_EQ(closeFontFile(stream), c.clean ? 0 : -1) << c.tail.size();
    }
}

TEST_F(GzipTest, SkipsAndFillSizes) {
    const std::string data = textData(50000);
    FontStreamPtr stream(openFontFile(write("s.gz", gzipData(data)).c_str()));
    ASSERT_TRUE(stream);
    EXPECT_EQ(getByte(stream.get()), static_cast<std::uint8_t>(data[0]));
    EXPECT_EQ(stream->remaining, StreamBufferSize - 1);
    EXPECT_NE(skipBytes(stream.get(), 0), -1);
    EXPECT_NE(skipBytes(stream.get(), 100), -1);
    EXPECT_EQ(getByte(stream.get()), static_cast<std::uint8_t>(data[101]));
    EXPECT_NE(skipBytes(stream.get(), 30000), -1);
    EXPECT_EQ(getByte(stream.get()), static_cast<std::uint8_t>(data[30102]));
    EXPECT_EQ(skipBytes(stream.get(), 30000), -1);
    EXPECT_EQ(getByte(stream.get()), -1);
    EXPECT_EQ(getByte(stream.get()), -1);
}

TEST_F(GzipTest, ClosingClosesTheSourceWithTheSameFlag) {
    std::string path = write("c.gz", gzipData("abc"));
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    FontStream* filter = pushGzipFilter(openReadStream(fd));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(readAll(filter), "abc");
    closeFontStream(filter, 0);
    EXPECT_NE(fcntl(fd, F_GETFD), -1);
    lseek(fd, 0, SEEK_SET);
    filter = pushGzipFilter(openReadStream(fd));
    ASSERT_NE(filter, nullptr);
    closeFontFile(filter);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST_F(GzipTest, NoMemoryAnywhereFailsCleanly) {
    const std::string data = textData(20000);
    std::string path = write("m.gz", gzipData(data));
    // Every allocation of the open in turn, then every allocation while reading; the sanitizer
    // build reports anything left behind.
    bool completed = false;
    for (long failing = 1; failing < 50 && !completed; ++failing) {
        failAllocationAt(failing);
        FontStream* stream = openFontFile(path.c_str());
        if (stream) {
            std::string out = readAll(stream);
            EXPECT_TRUE(data.compare(0, out.size(), out) == 0) << failing;
            completed = allocationCount() < failing && out == data;
            closeFontFile(stream);
        }
        failAllocationAt(0);
    }
    EXPECT_TRUE(completed);
}

TEST_F(GzipTest, ConvertersReadGzippedFontsDirectly) {
    // A BDF packed with gzip -9 gives the same FON as the plain file, for varnel; a PCF from the
    // corpus gives the same FON as its expanded copy, for corvane.
    std::string bdf = samplesDir() + "/seven.bdf";
    std::string bdfGz = write("seven.bdf.gz", gzipData(readFile(bdf)));
    // A font whose codes lie in one row, so that it converts.
    std::string pcfGz = Xfonts75dpi;
    REQUIRE_INSTALLED(pcfGz);
    std::string pcf = dir.path("font.pcf");
    ASSERT_TRUE(gunzipFile(pcfGz, pcf));

    struct Pair {
        std::string program, plain, packed;
    };
    for (const Pair& p : {Pair{varnelPath(), bdf, bdfGz}, Pair{corvanePath(), pcf, pcfGz}}) {
        // The same output name in two folders: the font's name comes from it.
        std::filesystem::create_directories(dir.path("a"));
        std::filesystem::create_directories(dir.path("b"));
        RunResult a = runCommand({p.program, "-o", dir.path("a/out.fon"), p.plain});
        RunResult b = runCommand({p.program, "-o", dir.path("b/out.fon"), p.packed});
        ASSERT_EQ(a.exitStatus, 0) << p.plain << a.err;
        ASSERT_EQ(b.exitStatus, 0) << p.packed << b.err;
        std::string fa = readFile(dir.path("a/out.fon"));
        EXPECT_FALSE(fa.empty());
        EXPECT_TRUE(fa == readFile(dir.path("b/out.fon"))) << p.packed;
    }

    // A truncated or non-gzip ".gz" input: a clean failure with the reader's messages.
    std::string packed = gzipData(readFile(bdf));
    RunResult cut = runCommand({varnelPath(), "-o", dir.path("cut.fon"), write("cut.bdf.gz", packed.substr(0, packed.size() / 2))});
    EXPECT_EQ(cut.exitStatus, 1);
    EXPECT_NE(cut.err.find("corrupt"), std::string::npos) << cut.err;
    EXPECT_FALSE(fileExists(dir.path("cut.fon")));
    RunResult notGzip = runCommand({corvanePath(), "-o", dir.path("n.fon"), write("n.pcf.gz", readFile(pcf))});
    EXPECT_EQ(notGzip.exitStatus, 1);
    EXPECT_NE(notGzip.err.find("can't open pcf source file"), std::string::npos) << notGzip.err;
}

}  // namespace
