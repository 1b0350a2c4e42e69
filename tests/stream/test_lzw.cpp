// LZW expansion of ".Z" input: round trips through Debian's compress, hand-made code streams for
// the awkward cases, and broken or truncated data that must end cleanly.
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
#include "stream/lzw.h"
#include "tests/support/test_support.h"

namespace {

// Text-like lines, then bytes of little structure, then text again: the table fills, compress sees
// its ratio drop and emits clear codes, and every code width is crossed on the way.
std::string mixedData(std::size_t n, std::uint32_t seed) {
    std::string s;
    s.reserve(n);
    std::uint32_t x = seed;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        if ((s.size() / 65536) % 3 == 1) {
            s += static_cast<char>(x >> 24);
        } else {
            s += "STARTCHAR glyph" + std::to_string((x >> 16) % 700) + "\nBITMAP\n";
            s += "3C\n" + std::to_string((x >> 8) % 97) + "\n";
        }
    }
    s.resize(n);
    return s;
}

// Through a file rather than standard input: the helper writes all input before it reads output,
// which would stall on large data.
std::string compressData(const std::string& data, int bits) {
    TempDir dir;
    writeFile(dir.path("data"), data);
    RunResult r = runCommand({"compress", "-f", "-c", "-b" + std::to_string(bits), dir.path("data")});
    EXPECT_TRUE(r.exitStatus == 0 || r.exitStatus == 2) << r.err;  // 2: the output grew
    return r.out;
}

// A source stream over bytes in memory that hands out at most `piece` bytes per fill, so that code
// groups straddle the source's refills.
struct MemorySource {
    std::string data;
    std::size_t position = 0;
    std::size_t piece = StreamBufferSize;
    bool closed = false;
    int closeFlag = -1;
};

int memoryFill(FontStream* stream) {
    auto* m = static_cast<MemorySource*>(stream->context);
    std::size_t n = std::min(m->piece, m->data.size() - m->position);
    if (n == 0) {
        stream->remaining = 0;
        return -1;
    }
    std::memcpy(stream->buffer, m->data.data() + m->position, n);
    m->position += n;
    stream->cursor = stream->buffer + 1;
    stream->remaining = static_cast<std::int32_t>(n - 1);
    return stream->buffer[0];
}

int memoryClose(FontStream* stream, int closeFile) {
    auto* m = static_cast<MemorySource*>(stream->context);
    m->closed = true;
    m->closeFlag = closeFile;
    return 1;
}

FontStream* memoryStream(MemorySource& m) { return newFontStream(&m, memoryFill, nullptr, memoryClose); }

std::string readAll(FontStream* stream, std::size_t cap = 1u << 30) {
    std::string s;
    std::uint8_t block[4096];
    while (s.size() < cap) {
        std::int32_t n = readBytes(stream, block, sizeof block);
        if (n <= 0) break;
        s.append(reinterpret_cast<char*>(block), static_cast<std::size_t>(n));
    }
    return s;
}

// Expands `compressed` through a memory source; `opened` tells whether the filter accepted it.
// What the filter found wrong with the data of the last expand (null: nothing).
const char* lastDamage = nullptr;

std::string expand(const std::string& compressed, bool* opened = nullptr, std::size_t piece = StreamBufferSize) {
    MemorySource m;
    m.data = compressed;
    m.piece = piece;
    FontStream* source = memoryStream(m);
    FontStreamPtr filter(pushLzwFilter(source));
    if (opened) *opened = filter != nullptr;
    lastDamage = nullptr;
    if (!filter) {
        closeFontFile(source);
        return {};
    }
    std::string all = readAll(filter.get());
    lastDamage = filter->damage;
    return all;
}

// Packs codes the way compress does: least significant bit first, in groups of codeWidth bytes
// that are padded out whenever the width changes or a clear code has been written.
class CodeWriter {
public:
    CodeWriter(int maxBits, bool blockMode) {
        out_ = {'\x1f', '\x9d', static_cast<char>(maxBits | (blockMode ? 0x80 : 0))};
    }
    void code(std::uint32_t value, int width) {
        if (width != width_) endGroup();
        width_ = width;
        for (int k = 0; k < width; ++k) bit((value >> k) & 1);
    }
    // Pads the current group to its full codeWidth bytes (after a clear code or a width change).
    void endGroup() {
        std::size_t groupBits = static_cast<std::size_t>(width_) * 8;
        while (bits_ % groupBits != 0) bit(0);
        bits_ = 0;
    }
    std::string finish() {
        if (bits_ % 8 != 0) out_ += static_cast<char>(partial_);
        return out_;
    }

private:
    void bit(unsigned b) {
        partial_ |= b << (bits_ % 8);
        ++bits_;
        if (bits_ % 8 == 0) {
            out_ += static_cast<char>(partial_);
            partial_ = 0;
        }
    }
    std::string out_;
    std::size_t bits_ = 0;
    unsigned partial_ = 0;
    int width_ = 9;
};

class LzwTest : public ::testing::Test {
protected:
    void TearDown() override { failAllocationAt(0); }
    TempDir dir;
};

TEST_F(LzwTest, CompressWithEveryMaxBits) {
    REQUIRE_INSTALLED("compress");
    // Large enough to fill a 16-bit table several times over.
    const std::string data = mixedData(900000, 7);
    for (int bits = 9; bits <= 16; ++bits) {
        std::string compressed = compressData(data, bits);
        ASSERT_GT(compressed.size(), 3u);
        std::string path = dir.path("font" + std::to_string(bits) + ".Z");
        writeFile(path, compressed);
        FontStreamPtr stream(openFontFile(path.c_str()));
        if (bits < 12) {
            EXPECT_FALSE(stream) << bits;
            continue;
        }
        ASSERT_TRUE(stream) << bits;
        EXPECT_TRUE(readAll(stream.get()) == data) << bits;
        // End of data is sticky.
        EXPECT_EQ(getByte(stream.get()), -1);
        EXPECT_EQ(getByte(stream.get()), -1);
    }
}

TEST_F(LzwTest, SmallInputsAndSourcesThatDeliverFewBytesAtATime) {
    for (std::string data : {std::string(""), std::string("a"), std::string("ab"), std::string(8192, 'x'),
                             std::string(8193, 'x'), mixedData(30000, 3)}) {
        std::string compressed = compressData(data, 16);
        ASSERT_GE(compressed.size(), 3u);
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{StreamBufferSize}}) {
            bool opened = false;
            EXPECT_TRUE(expand(compressed, &opened, piece) == data) << data.size() << " " << piece;
            EXPECT_TRUE(opened);
        }
    }
}

TEST_F(LzwTest, HeaderChecks) {
    bool opened = true;
    EXPECT_EQ(expand("", &opened), "");
    EXPECT_FALSE(opened);
    expand("\x1f", &opened);
    EXPECT_FALSE(opened);
    expand("\x1f\x9d", &opened);
    EXPECT_FALSE(opened);
    expand("\x1f\x9e\x90", &opened);
    EXPECT_FALSE(opened);
    expand("\x9d\x1f\x90", &opened);
    EXPECT_FALSE(opened);
    for (int bits = 0; bits < 32; ++bits) {
        // Bits 5 and 6 of the flags are ignored.
        std::string header = {'\x1f', '\x9d', static_cast<char>(0x80 | 0x60 | bits)};
        EXPECT_EQ(expand(header, &opened), "");
        EXPECT_EQ(opened, bits >= 12 && bits <= 16) << bits;
    }
}

TEST_F(LzwTest, HandMadeStreams) {
    // The code equal to nextFree repeats the previous string plus its own first byte.
    CodeWriter kwkwk(16, true);
    for (std::uint32_t c : {97u, 257u, 258u, 98u, 260u}) kwkwk.code(c, 9);
    EXPECT_EQ(expand(kwkwk.finish()), "aaaaaabbb");

    // Without block mode 256 is an ordinary string code and strings start at 256.
    CodeWriter plain(12, false);
    for (std::uint32_t c : {97u, 256u, 257u}) plain.code(c, 9);
    EXPECT_EQ(expand(plain.finish()), "aaaaaa");

    // A clear code restarts the table and abandons the rest of its group; the codes after it
    // start a new group at 9 bits.
    CodeWriter clear(12, true);
    for (std::uint32_t c : {97u, 98u, 257u}) clear.code(c, 9);  // a b ab
    clear.code(256, 9);
    clear.endGroup();
    for (std::uint32_t c : {99u, 100u, 257u, 258u}) clear.code(c, 9);  // c d cd dc
    EXPECT_EQ(expand(clear.finish()), "ababcdcddc");

    // A clear code as the last code: the data simply ends.
    CodeWriter clearLast(12, true);
    clearLast.code(97, 9);
    clearLast.code(256, 9);
    EXPECT_EQ(expand(clearLast.finish()), "a");
}

TEST_F(LzwTest, CodeWidthGrowsAndGroupsAreAbandoned) {
    // 255 new strings fill the 9-bit codes (257..511); the 256th code is then read at 10 bits in
    // a fresh group. Each code repeats the previous string plus one byte.
    CodeWriter w(12, true);
    std::string expected = "a";
    w.code(97, 9);
    std::string last = "a";
    for (std::uint32_t next = 257; next < 257 + 600; ++next) {
        // Each code here equals nextFree, so the width grows exactly when the code reaches 512.
        w.code(next, next < 512 ? 9 : 10);
        last += 'a';
        expected += last;
    }
    EXPECT_TRUE(expand(w.finish()) == expected);
}

TEST_F(LzwTest, BrokenDataEndsTheData) {
    // A first code that is not a literal.
    CodeWriter firstCode(12, true);
    firstCode.code(300, 9);
    firstCode.code(97, 9);
    EXPECT_EQ(expand(firstCode.finish()), "");

    // A code beyond nextFree: what came before is kept, nothing after it.
    CodeWriter beyond(12, true);
    for (std::uint32_t c : {97u, 98u, 300u, 99u}) beyond.code(c, 9);
    EXPECT_EQ(expand(beyond.finish()), "ab");
    EXPECT_STREQ(lastDamage, "a code past the decoder's table");

    // After a clear code the old table must not be walked: 256 right after the clear stands for
    // the previous string, here an entry that no longer exists.
    CodeWriter stale(12, true);
    for (std::uint32_t c : {97u, 98u, 257u, 258u}) stale.code(c, 9);  // a b ab ba
    stale.code(256, 9);
    stale.endGroup();
    stale.code(256, 9);
    stale.code(97, 9);
    EXPECT_EQ(expand(stale.finish()), "ababba");

    // A lone byte after the last whole group cannot hold a code.
    CodeWriter tail(12, true);
    for (int k = 0; k < 8; ++k) tail.code(97, 9);
    std::string oneByteMore = tail.finish() + "\x62";
    EXPECT_EQ(expand(oneByteMore), "aaaaaaaa");
    EXPECT_STREQ(lastDamage, "a lone byte after the last code");
}

TEST_F(LzwTest, StringLongerThanTheStackEndsTheData) {
    // Each code is nextFree, so string k has k bytes; the string of 8193 bytes does not fit.
    CodeWriter w(16, true);
    w.code(97, 9);
    std::size_t expectedLength = 1;
    int width = 9;
    for (std::uint32_t next = 257, length = 2; length <= 8200; ++next, ++length) {
        if (next == (1u << width)) ++width;
        w.code(next, width);
        if (length <= 8192) expectedLength += length;
    }
    std::string out = expand(w.finish());
    EXPECT_EQ(out.size(), expectedLength);
    EXPECT_EQ(out.find_first_not_of('a'), std::string::npos);
}

TEST_F(LzwTest, TruncatedAndCorruptedFilesEndCleanly) {
    const std::string data = mixedData(200000, 11);
    const std::string compressed = compressData(data, 14);
    for (std::size_t keep : {std::size_t{3}, std::size_t{4}, std::size_t{5}, std::size_t{100}, compressed.size() / 2,
                             compressed.size() - 1}) {
        std::string out = expand(compressed.substr(0, keep));
        EXPECT_LE(out.size(), data.size());
        EXPECT_TRUE(data.compare(0, out.size(), out) == 0) << keep;
    }
    // Flipped bytes and plain garbage after a valid header: any output, but no crash, no hang and
    // a bounded amount of data (at most one stack of bytes per code).
    std::uint32_t x = 99;
    for (int round = 0; round < 60; ++round) {
        std::string bad = compressed.substr(0, 4000);
        for (int k = 0; k < 1 + round % 5; ++k) {
            x = x * 1664525u + 1013904223u;
            bad[3 + (x >> 8) % (bad.size() - 3)] ^= static_cast<char>(1 + (x >> 24) % 255);
        }
        if (round % 3 == 0) {
            bad = {'\x1f', '\x9d', static_cast<char>(0x8c + round % 5)};
            for (int k = 0; k < 3000; ++k) bad += static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
        }
        std::string out = expand(bad);
        EXPECT_LE(out.size(), (bad.size() * 8 / 9 + 1) * 8192) << round;
    }
}

TEST_F(LzwTest, FillsWholeBuffersAndSkips) {
    const std::string data = mixedData(30000, 5);
    MemorySource m;
    m.data = compressData(data, 16);
    FontStreamPtr filter(pushLzwFilter(memoryStream(m)));
    ASSERT_TRUE(filter);
    EXPECT_EQ(getByte(filter.get()), static_cast<std::uint8_t>(data[0]));
    EXPECT_EQ(filter->remaining, StreamBufferSize - 1);
    EXPECT_NE(skipBytes(filter.get(), 0), -1);
    EXPECT_NE(skipBytes(filter.get(), 100), -1);
    EXPECT_EQ(getByte(filter.get()), static_cast<std::uint8_t>(data[101]));
    // Across several buffers.
    EXPECT_NE(skipBytes(filter.get(), 20000), -1);
    EXPECT_EQ(getByte(filter.get()), static_cast<std::uint8_t>(data[20102]));
    EXPECT_EQ(skipBytes(filter.get(), 10000), -1);  // the data ends first
    EXPECT_EQ(getByte(filter.get()), -1);
}

TEST_F(LzwTest, ClosingClosesTheSourceWithTheSameFlag) {
    MemorySource m;
    m.data = compressData("abc", 12);
    FontStream* filter = pushLzwFilter(memoryStream(m));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(closeFontStream(filter, 0), 0);
    EXPECT_TRUE(m.closed);
    EXPECT_EQ(m.closeFlag, 0);

    // Over a real descriptor: closeFile = 0 leaves it open, 1 closes it.
    writeFile(dir.path("a.Z"), m.data);
    int fd = open(dir.path("a.Z").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    filter = pushLzwFilter(openReadStream(fd));
    ASSERT_NE(filter, nullptr);
    closeFontStream(filter, 0);
    EXPECT_NE(fcntl(fd, F_GETFD), -1);
    lseek(fd, 0, SEEK_SET);
    filter = pushLzwFilter(openReadStream(fd));
    ASSERT_NE(filter, nullptr);
    closeFontFile(filter);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST_F(LzwTest, NoMemoryForTheDecoderLeavesTheSourceWithTheCaller) {
    MemorySource m;
    m.data = compressData("abcabcabc", 16);
    for (long failing : {1L, 2L}) {  // the state with its tables, then the stream record
        m.position = 0;
        m.closed = false;
        FontStream* source = memoryStream(m);
        failAllocationAt(failing);
        EXPECT_EQ(pushLzwFilter(source), nullptr) << failing;
        failAllocationAt(0);
        EXPECT_FALSE(m.closed);
        closeFontFile(source);
    }
    // Decoding allocates nothing.
    m.position = 0;
    FontStreamPtr filter(pushLzwFilter(memoryStream(m)));
    ASSERT_TRUE(filter);
    failAllocationAt(1, true);
    EXPECT_EQ(readAll(filter.get()), "abcabcabc");
    failAllocationAt(0);
}

TEST_F(LzwTest, ConvertersReadCompressedFontsDirectly) {
    // varnel on a BDF and corvane on a PCF give the same FON for the file and its ".Z" form.
    std::string bdf = samplesDir() + "/seven.bdf";
    std::string pcf = dir.path("font.pcf");
    REQUIRE_INSTALLED(Xfonts75dpi);
    ASSERT_TRUE(gunzipFile(Xfonts75dpi, pcf));
    std::filesystem::create_directories(dir.path("plain"));
    std::filesystem::create_directories(dir.path("packed"));
    struct Case {
        std::string program, input;
        int bits;
    };
    for (const Case& c : {Case{varnelPath(), bdf, 16}, Case{varnelPath(), bdf, 12}, Case{corvanePath(), pcf, 16},
                          Case{corvanePath(), pcf, 13}}) {
        std::string packed = dir.path("input.Z");
        writeFile(packed, compressData(readFile(c.input), c.bits));
        // The same output name in both folders: the font's name comes from it.
        RunResult a = runCommand({c.program, "-o", dir.path("plain/out.fon"), c.input});
        RunResult b = runCommand({c.program, "-o", dir.path("packed/out.fon"), packed});
        ASSERT_EQ(a.exitStatus, 0) << a.err;
        ASSERT_EQ(b.exitStatus, 0) << b.err;
        std::string plain = readFile(dir.path("plain/out.fon"));
        EXPECT_FALSE(plain.empty());
        EXPECT_TRUE(plain == readFile(dir.path("packed/out.fon"))) << c.input << " -b" << c.bits;
    }
    // A ".Z" input that compress did not make is refused at the open.
    writeFile(dir.path("plain.bdf.Z"), readFile(bdf));
    RunResult refused = runCommand({varnelPath(), "-o", dir.path("r.fon"), dir.path("plain.bdf.Z")});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("can't open bdf source file"), std::string::npos) << refused.err;
}

}  // namespace
