// POSIX file descriptors behind the file-call table.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "stream/file_calls.h"

namespace {
int posixOpenRead(const char* path) {
    int fd;
    do fd = ::open(path, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int posixCreate(const char* path) {
    int fd;
    do fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool posixIsRegularFile(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t posixRead(int fd, void* buffer, std::size_t n) {
    ssize_t got;
    do got = ::read(fd, buffer, n);
    while (got < 0 && errno == EINTR);
    return got;
}

std::int64_t posixWrite(int fd, const void* buffer, std::size_t n) {
    // A short write is retried for the rest; only an error or no progress ends it.
    std::size_t done = 0;
    while (done < n) {
        ssize_t put = ::write(fd, static_cast<const char*>(buffer) + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        done += static_cast<std::size_t>(put);
    }
    return static_cast<std::int64_t>(done);
}

int posixSeekForward(int fd, std::int64_t n) {
    if (::lseek(fd, static_cast<off_t>(n), SEEK_CUR) != static_cast<off_t>(-1)) return 0;
    return errno == ESPIPE ? 1 : -1;
}

int posixClose(int fd) { return ::close(fd); }

bool posixSameFile(const char* a, const char* b) {
    struct stat first, second;
    return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}
}  // namespace

const FileCalls platformFileCalls = {posixOpenRead, posixCreate,      posixIsRegularFile, posixRead,
                                     posixWrite,    posixSeekForward, posixClose,         posixSameFile};
FileCalls fileCalls = platformFileCalls;
