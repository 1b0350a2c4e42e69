// Buffered streams: block boundaries, skips in and past the buffer, pipes, writes and failures.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "font/alloc.h"
#include "stream/file_calls.h"
#include "stream/font_stream.h"
#include "tests/support/test_support.h"

namespace {
std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t k = 0; k < n; ++k) s[k] = static_cast<char>((k * 7 + k / 251) & 0xFF);
    return s;
}

std::string readAll(FontStream* stream) {
    std::string s;
    for (int b; (b = getByte(stream)) != -1;) s += static_cast<char>(b);
    return s;
}

class FontStreamTest : public ::testing::Test {
protected:
    void TearDown() override {
        fileCalls = platformFileCalls;
        failAllocationAt(0);
    }
    TempDir dir;
};

TEST_F(FontStreamTest, ReadsAcrossBlockBoundaries) {
    for (size_t n : {0u, 1u, 8191u, 8192u, 8193u, 3 * 8192u + 5}) {
        std::string data = pattern(n);
        writeFile(dir.path("in"), data);
        FontStreamPtr s(openFontFile(dir.path("in").c_str()));
        ASSERT_TRUE(s);
        EXPECT_EQ(readAll(s.get()), data) << n;
        // End of data is sticky.
        EXPECT_EQ(getByte(s.get()), -1);
        EXPECT_EQ(getByte(s.get()), -1);
    }
}

TEST_F(FontStreamTest, ReadBytesReturnsWhatIsLeft) {
    writeFile(dir.path("in"), "abcdefghij");
    FontStreamPtr s(openFontFile(dir.path("in").c_str()));
    std::uint8_t buf[16];
    EXPECT_EQ(readBytes(s.get(), buf, 7), 7);
    EXPECT_EQ(readBytes(s.get(), buf, 10), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "hij");
    EXPECT_EQ(readBytes(s.get(), buf, 10), 0);
}

TEST_F(FontStreamTest, SkipsInsideAndPastTheBuffer) {
    std::string data = pattern(20000);
    writeFile(dir.path("in"), data);
    FontStreamPtr s(openFontFile(dir.path("in").c_str()));
    EXPECT_EQ(getByte(s.get()), static_cast<std::uint8_t>(data[0]));
    EXPECT_EQ(skipBytes(s.get(), 0), 0);
    EXPECT_EQ(getByte(s.get()), static_cast<std::uint8_t>(data[1]));
    EXPECT_NE(skipBytes(s.get(), 100), -1);
    EXPECT_EQ(getByte(s.get()), static_cast<std::uint8_t>(data[102]));
    EXPECT_NE(skipBytes(s.get(), 10000), -1);  // beyond the buffer: a seek
    EXPECT_EQ(getByte(s.get()), static_cast<std::uint8_t>(data[10103]));
    // Past the end of a regular file the seek succeeds and the data has ended.
    EXPECT_NE(skipBytes(s.get(), 50000), -1);
    EXPECT_EQ(getByte(s.get()), -1);
}

TEST_F(FontStreamTest, SkipOnAPipeReadsAndDrops) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string data = pattern(30000);
    std::thread writer([&] {
        ssize_t ignored = write(fds[1], data.data(), data.size());
        (void)ignored;
        close(fds[1]);
    });
    FontStream* s = openReadStream(fds[0]);
    EXPECT_EQ(getByte(s), static_cast<std::uint8_t>(data[0]));
    EXPECT_NE(skipBytes(s, 20000), -1);
    EXPECT_EQ(getByte(s), static_cast<std::uint8_t>(data[20001]));
    EXPECT_EQ(skipBytes(s, 20000), -1);  // runs out of data while discarding
    writer.join();
    closeFontFile(s);
}

TEST_F(FontStreamTest, WritesWholeBlocksAndTheRestAtClose) {
    static std::vector<size_t> writes;
    fileCalls.write = [](int fd, const void* b, size_t n) {
        writes.push_back(n);
        return platformFileCalls.write(fd, b, n);
    };
    for (size_t n : {0u, 1u, 8191u, 8192u, 8193u}) {
        writes.clear();
        FontStream* s = createFontFile(dir.path("out").c_str());
        ASSERT_NE(s, nullptr);
        std::string data = pattern(n);
        EXPECT_EQ(writeBytes(s, reinterpret_cast<const std::uint8_t*>(data.data()), static_cast<std::int32_t>(n)),
                  static_cast<std::int32_t>(n));
        if (n == 8192) {
            EXPECT_EQ(writes, std::vector<size_t>{8192});
        }
        EXPECT_EQ(closeFontFile(s), 0);
        EXPECT_EQ(readFile(dir.path("out")), data);
        if (n == 8193) {
            EXPECT_EQ(writes, (std::vector<size_t>{8192, 1}));
        } else if (n == 8192) {
            EXPECT_EQ(writes, std::vector<size_t>{8192});
        } else if (n == 0) {
            EXPECT_TRUE(writes.empty());
        }
    }
}

TEST_F(FontStreamTest, FailedWritesAreReportedIncludingTheFinalFlush) {
    fileCalls.write = [](int, const void*, size_t) -> std::int64_t { return -1; };
    FontStream* s = createFontFile(dir.path("out").c_str());
    std::string data = pattern(9000);
    EXPECT_EQ(writeBytes(s, reinterpret_cast<const std::uint8_t*>(data.data()), 9000), -1);
    EXPECT_EQ(closeFontFile(s), 0);  // nothing buffered any more: the failed block was dropped

    s = createFontFile(dir.path("out2").c_str());
    EXPECT_EQ(writeBytes(s, reinterpret_cast<const std::uint8_t*>(data.data()), 100), 100);
    EXPECT_EQ(closeFontFile(s), -1);
}

TEST_F(FontStreamTest, OpenFailuresAndNames) {
    EXPECT_EQ(openFontFile(dir.path("missing").c_str()), nullptr);
    // A name ending in ".Z" goes through the expander, which refuses data without its header.
    writeFile(dir.path("plain.Z"), "not compressed");
    EXPECT_EQ(openFontFile(dir.path("plain.Z").c_str()), nullptr);
    // Lower-case z, and a name that is only ".Z", are read as they are.
    writeFile(dir.path("plain.z"), "x");
    FontStreamPtr lower(openFontFile(dir.path("plain.z").c_str()));
    EXPECT_TRUE(lower);
    bool regular = false;
    FontStream* out = createFontFile(dir.path("made").c_str(), &regular);
    EXPECT_TRUE(regular);
    closeFontFile(out);
    EXPECT_EQ(createFontFile(dir.path("no/such/dir").c_str()), nullptr);
}

TEST_F(FontStreamTest, NoMemoryForTheRecordClosesTheDescriptor) {
    static int closed = -1;
    fileCalls.close = [](int fd) {
        closed = fd;
        return platformFileCalls.close(fd);
    };
    writeFile(dir.path("in"), "abc");
    failAllocationAt(1);
    EXPECT_EQ(openFontFile(dir.path("in").c_str()), nullptr);
    EXPECT_GE(closed, 0);
    closed = -1;
    failAllocationAt(1);
    EXPECT_EQ(createFontFile(dir.path("out").c_str()), nullptr);
    EXPECT_GE(closed, 0);
}
}  // namespace
