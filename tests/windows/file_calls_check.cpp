// The Win32 file calls as the streams use them: binary mode both ways, regular-file detection,
// one file's other names, and the pipe that cannot seek. Runs under wine; prints each failure and exits 1 on any.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "stream/file_calls.h"
#include "stream/font_stream.h"

namespace {
int failures = 0;

void check(bool ok, const char* what) {
    if (ok) return;
    std::printf("FAIL: %s\n", what);
    ++failures;
}

// Bytes that text mode would change: CR LF pairs, lone LF, and the 0x1A end-of-file mark.
std::vector<std::uint8_t> awkwardBytes(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    static const std::uint8_t pattern[] = {'\r', '\n', 0x1A, '\n', 0x00, 0xFF, 'a'};
    for (std::size_t k = 0; k < n; ++k) bytes[k] = pattern[k % sizeof pattern];
    return bytes;
}

void binaryRoundTrip(const std::string& path) {
    std::vector<std::uint8_t> bytes = awkwardBytes(10000);
    int fd = fileCalls.create(path.c_str());
    check(fd >= 0, "create a new file");
    if (fd < 0) return;
    check(fileCalls.isRegularFile(fd), "a created file is a regular file");
    check(fileCalls.write(fd, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size()),
          "write all bytes");
    check(fileCalls.close(fd) == 0, "close the written file");

    struct _stati64 st;
    check(::_stati64(path.c_str(), &st) == 0 && st.st_size == 10000, "no byte added on write");

    fd = fileCalls.openRead(path.c_str());
    check(fd >= 0, "open the file for reading");
    if (fd < 0) return;
    std::vector<std::uint8_t> back(bytes.size() + 10);
    std::size_t got = 0;
    for (;;) {
        std::int64_t n = fileCalls.read(fd, back.data() + got, back.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    back.resize(got);
    check(back == bytes, "read gives back exactly the bytes written");

    // Seeking forward from the start lands on the byte at that offset.
    check(::_lseeki64(fd, 0, SEEK_SET) == 0, "rewind");
    check(fileCalls.seekForward(fd, 9000) == 0, "a file seeks");
    std::uint8_t one = 0;
    check(fileCalls.read(fd, &one, 1) == 1 && one == bytes[9000], "seek lands on the right byte");
    check(fileCalls.seekForward(fd, 5000) == 0, "seeking past the end is allowed");
    check(fileCalls.read(fd, &one, 1) == 0, "after the end, a read finds nothing");
    check(fileCalls.close(fd) == 0, "close the read file");

    // Creating again truncates.
    fd = fileCalls.create(path.c_str());
    check(fd >= 0, "create an existing file");
    if (fd >= 0) check(fileCalls.close(fd) == 0, "close the truncated file");
    check(::_stati64(path.c_str(), &st) == 0 && st.st_size == 0, "create truncates");
}

void missingAndOddPaths(const std::string& dir) {
    check(fileCalls.openRead((dir + "\\no such file").c_str()) < 0, "a missing input does not open");
    check(fileCalls.create((dir + "\\no such folder\\x.fon").c_str()) < 0, "an output in a missing folder fails");
    int fd = fileCalls.create("NUL");
    check(fd >= 0, "the null device opens");
    if (fd >= 0) {
        check(!fileCalls.isRegularFile(fd), "the null device is not a regular file");
        fileCalls.close(fd);
    }
}

// Another spelling of one file (letter case included) is that file; another file or none is not.
void namesOfOneFile(const std::string& dir) {
    const std::string path = dir + "\\one.fon";
    const int fd = fileCalls.create(path.c_str());
    if (fd >= 0) fileCalls.close(fd);
    check(fileCalls.sameFile(path.c_str(), (dir + "\\.\\ONE.FON").c_str()), "another spelling names the same file");
    check(!fileCalls.sameFile(path.c_str(), (dir + "\\calls.bin").c_str()), "two files are not the same");
    check(!fileCalls.sameFile(path.c_str(), (dir + "\\none.fon").c_str()), "a missing file is not the same");
}

void pipeSkip() {
    int fds[2];
    // Large enough to hold the whole test data, since nothing reads while we write.
    if (::_pipe(fds, 65536, _O_BINARY) != 0) {
        check(false, "make a pipe");
        return;
    }
    std::vector<std::uint8_t> bytes(20000);
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<std::uint8_t>(k * 7 + k / 256);
    check(fileCalls.write(fds[1], bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size()),
          "write into the pipe");
    check(!fileCalls.isRegularFile(fds[0]), "a pipe is not a regular file");
    check(fileCalls.seekForward(fds[0], 10) == 1, "a pipe reports that it cannot seek");
    fileCalls.close(fds[1]);

    // Through a stream: the skip beyond the buffer must read and drop the bytes instead.
    FontStream* stream = openReadStream(fds[0]);
    check(stream != nullptr, "a stream over the pipe");
    if (!stream) return;
    check(getByte(stream) == bytes[0], "first byte through the pipe");
    check(skipBytes(stream, 12000) != -1, "skip beyond the buffer on a pipe");
    check(getByte(stream) == bytes[12001], "the byte after the skip");
    check(skipBytes(stream, 100000) == -1, "skipping past the end of a pipe fails");
    closeFontFile(stream);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: file_calls_check folder\n");
        return 2;
    }
    std::string dir = argv[1];
    binaryRoundTrip(dir + "\\calls.bin");
    missingAndOddPaths(dir);
    namesOfOneFile(dir);
    pipeSkip();
    std::printf("%s\n", failures ? "file calls: FAILED" : "file calls: ok");
    return failures ? 1 : 0;
}
