// The C runtime's binary-mode descriptors behind the file-call table, for the Win32 build, opened
// by their UTF-16 names; and the conversions between the programs' UTF-8 and those names.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "stream/file_calls.h"

std::wstring utf16FromUtf8(std::string_view utf8) {
    std::wstring wide;
    if (utf8.empty() || utf8.size() > INT_MAX) return wide;
    const int count = static_cast<int>(utf8.size());
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, nullptr, 0);
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, wide.data(), length);
    return wide;
}

std::string utf8FromUtf16(std::wstring_view wide) {
    std::string utf8;
    if (wide.empty() || wide.size() > INT_MAX) return utf8;
    const int count = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {
// Binary mode everywhere: text mode would turn CR LF into LF and stop at a 0x1A byte on read,
// and add a CR before every 0x0A written into the FON file.
int win32OpenRead(const char* path) {
    const std::wstring wide = utf16FromUtf8(path);
    const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    const DWORD attributes = fd < 0 ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return fd;
    // A folder: the runtime will not open it, where POSIX opens it and its reads then fail, so that
    // the input is corrupt rather than missing. Its own handle reads the same way there.
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    const int folder = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (folder < 0) CloseHandle(handle);
    return folder;
}

int win32Create(const char* path) {
    // Read and write permission is the runtime's form of 0666: the file is not made read-only.
    return ::_wopen(utf16FromUtf8(path).c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

bool win32IsRegularFile(int fd) {
    struct _stati64 st;
    return ::_fstati64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
}

// The runtime counts in unsigned int and answers in int; a larger request is cut to what the
// answer can express (the streams ask for at most one buffer anyway).
unsigned int runtimeCount(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<unsigned int>(n); }

std::int64_t win32Read(int fd, void* buffer, std::size_t n) { return ::_read(fd, buffer, runtimeCount(n)); }

std::int64_t win32Write(int fd, const void* buffer, std::size_t n) {
    // A short write is retried for the rest; only an error or no progress ends it.
    std::size_t done = 0;
    while (done < n) {
        int put = ::_write(fd, static_cast<const char*>(buffer) + done, runtimeCount(n - done));
        if (put <= 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        done += static_cast<std::size_t>(put);
    }
    return static_cast<std::int64_t>(done);
}

int win32SeekForward(int fd, std::int64_t n) {
    // Ask the handle what it is before seeking: the runtime fails a seek on a pipe with EINVAL,
    // like any other bad seek, and "succeeds" on a device while skipping nothing.
    auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return -1;
    DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR) return 1;
    if (::_lseeki64(fd, n, SEEK_CUR) != -1) return 0;
    return errno == ESPIPE ? 1 : -1;
}

int win32Close(int fd) { return ::_close(fd); }

// A file is its volume and its index there; a folder opens too (backup semantics), and asking
// needs no access to the data, so a file another program holds open still answers.
bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileW(utf16FromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return known;
}

bool win32SameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return fileIdentity(a, &first) && fileIdentity(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
}  // namespace

const FileCalls platformFileCalls = {win32OpenRead, win32Create,      win32IsRegularFile, win32Read,
                                     win32Write,    win32SeekForward, win32Close,         win32SameFile};
FileCalls fileCalls = platformFileCalls;
