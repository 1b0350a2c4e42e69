// The low-level file descriptor calls used by the file streams, behind one table so that a
// platform binding supplies them and tests can make any of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct FileCalls {
    // Read-only, binary. -1 on failure.
    int (*openRead)(const char* path);
    // Read/write, create or truncate, binary, permission bits 0666. -1 on failure.
    int (*create)(const char* path);
    // Whether fd is a regular file (only such outputs are deleted after a failure).
    bool (*isRegularFile)(int fd);
    // Bytes read, 0 at end, -1 on error.
    std::int64_t (*read)(int fd, void* buffer, std::size_t n);
    // Bytes written, or -1.
    std::int64_t (*write)(int fd, const void* buffer, std::size_t n);
    // Seeks forward by n from the current position: 0 on success, 1 when the descriptor cannot
    // seek at all (a pipe), -1 on any other failure.
    int (*seekForward)(int fd, std::int64_t n);
    // 0 on success.
    int (*close)(int fd);
    // Whether both paths name one existing file, however each is spelled (links, "./", "..",
    // letter case where the file system ignores it); false when either names none.
    bool (*sameFile)(const char* a, const char* b);
};

// The table in use; initialised with the platform's calls.
extern FileCalls fileCalls;
// The platform's own calls, for tests that restore them.
extern const FileCalls platformFileCalls;

#ifdef _WIN32
// Text is UTF-8 inside the programs and UTF-16 at the Windows calls, so that every name the file
// system holds can be given and opened. Malformed sequences become U+FFFD.
std::wstring utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::wstring_view wide);
#endif
