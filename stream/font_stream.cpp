// Buffered font streams over file descriptors: the record, the file operations, open and close.
#include "stream/font_stream.h"

#include <cstring>

#include "font/alloc.h"
#include "stream/file_calls.h"
#include "stream/gzip.h"
#include "stream/lzw.h"

namespace {
int fileFill(FontStream* stream) {
    std::int64_t got = fileCalls.read(streamDescriptor(stream), stream->buffer, StreamBufferSize);
    if (got <= 0) {
        stream->remaining = 0;
        return -1;
    }
    stream->remaining = static_cast<std::int32_t>(got - 1);
    stream->cursor = stream->buffer + 1;
    return stream->buffer[0];
}

int fileSkip(FontStream* stream, std::int64_t n) {
    if (n <= stream->remaining) {
        // n may be 0 or negative only through a caller's fault; nothing moves backwards.
        if (n > 0) {
            stream->cursor += n;
            stream->remaining -= static_cast<std::int32_t>(n);
        }
        return 0;
    }
    std::int64_t need = n - (stream->remaining > 0 ? stream->remaining : 0);
    int fd = streamDescriptor(stream);
    int seek = fileCalls.seekForward(fd, need);
    if (seek < 0) return -1;
    if (seek > 0) {
        // The descriptor cannot seek (a pipe): read the bytes and drop them.
        while (need > 0) {
            std::size_t chunk = need < StreamBufferSize ? static_cast<std::size_t>(need) : StreamBufferSize;
            std::int64_t got = fileCalls.read(fd, stream->buffer, chunk);
            if (got <= 0) {
                stream->remaining = 0;
                return -1;
            }
            need -= got;
        }
    }
    stream->remaining = 0;
    return 0;
}

// Writes the buffered bytes and empties the buffer (before writing, so a failed write loses this
// buffer's bytes rather than repeating them). False when the write fell short.
bool writeBuffer(FontStream* stream) {
    std::int64_t length = stream->cursor - stream->buffer;
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    if (length == 0) return true;
    return fileCalls.write(streamDescriptor(stream), stream->buffer, static_cast<std::size_t>(length)) == length;
}

int fileFlush(int value, FontStream* stream) {
    if (value != -1) *stream->cursor++ = static_cast<std::uint8_t>(value);
    return writeBuffer(stream) ? value : -1;
}

// A failed final flush or close is reported (as 0): a full disk at the very end of a conversion
// must not pass for success.
int fileCloseWrite(FontStream* stream, int closeFile) {
    bool written = writeBuffer(stream);
    if (closeFile && fileCalls.close(streamDescriptor(stream)) != 0) written = false;
    return written ? 1 : 0;
}

int fileCloseRead(FontStream* stream, int closeFile) {
    if (closeFile) fileCalls.close(streamDescriptor(stream));
    return 1;
}

int closeStream(FontStream* stream, int closeFile, ReadReason* reason) {
    if (!stream) return 0;
    int closed = stream->close(stream, closeFile);
    if (stream->damage) replaceReason(reason, "compressed data: %s", stream->damage);
    release(stream);
    return closed == 0 ? -1 : 0;
}

void* descriptorContext(int fd) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)); }

bool endsWith(const char* path, const char* suffix) {
    std::size_t length = std::strlen(path), suffixLength = std::strlen(suffix);
    return length > suffixLength && std::memcmp(path + length - suffixLength, suffix, suffixLength) == 0;
}
}  // namespace

FontStream* newFontStream(void* context, FillOp fill, SkipOp skip, CloseOp close) {
    auto* stream = static_cast<FontStream*>(allocate(sizeof(FontStream)));
    if (!stream) return nullptr;
    std::memset(stream, 0, sizeof(FontStream));
    stream->cursor = stream->buffer;
    stream->remaining = 0;
    stream->transfer.fill = fill;
    stream->skip = skip;
    stream->close = close;
    stream->context = context;
    stream->fontName = nullptr;
    stream->damage = nullptr;
    return stream;
}

FontStream* openReadStream(int fd) { return newFontStream(descriptorContext(fd), fileFill, fileSkip, fileCloseRead); }

FontStream* openWriteStream(int fd) {
    FontStream* stream = newFontStream(descriptorContext(fd), nullptr, nullptr, fileCloseWrite);
    if (!stream) {
        fileCalls.close(fd);
        return nullptr;
    }
    stream->transfer.flush = fileFlush;
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    return stream;
}

FontStream* openFontFile(const char* path) {
    int fd = fileCalls.openRead(path);
    if (fd < 0) return nullptr;
    FontStream* stream = openReadStream(fd);
    if (!stream) {
        fileCalls.close(fd);
        return nullptr;
    }
    if (endsWith(path, ".Z")) {
        FontStream* expanded = pushLzwFilter(stream);
        if (!expanded) {
            closeFontStream(stream, 1);
            return nullptr;
        }
        return expanded;
    }
    if (endsWith(path, ".gz")) {
        FontStream* expanded = pushGzipFilter(stream);
        if (!expanded) {
            closeFontStream(stream, 1);
            return nullptr;
        }
        return expanded;
    }
    return stream;
}

FontStream* createFontFile(const char* path, bool* isRegularFile) {
    int fd = fileCalls.create(path);
    if (fd < 0) return nullptr;
    if (isRegularFile) *isRegularFile = fileCalls.isRegularFile(fd);
    return openWriteStream(fd);
}

std::int32_t readBytes(FontStream* stream, std::uint8_t* destination, std::int32_t n) {
    std::int32_t stored = 0;
    while (stored < n) {
        // Whole runs from the buffer at once; the fill runs only when it is empty.
        if (stream->remaining > 0) {
            std::int32_t run = stream->remaining < n - stored ? stream->remaining : n - stored;
            std::memcpy(destination + stored, stream->cursor, static_cast<std::size_t>(run));
            stream->cursor += run;
            stream->remaining -= run;
            stored += run;
            continue;
        }
        int byte = getByte(stream);
        if (byte == -1) break;
        destination[stored++] = static_cast<std::uint8_t>(byte);
    }
    return stored;
}

std::int32_t writeBytes(FontStream* stream, const std::uint8_t* source, std::int32_t n) {
    for (std::int32_t k = 0; k < n;) {
        // Runs that leave the buffer short of full are copied at once; the byte that fills it
        // goes through putByte, so blocks reach the file exactly as byte-wise puts would send them.
        if (stream->remaining > 1) {
            std::int32_t run = stream->remaining - 1 < n - k ? stream->remaining - 1 : n - k;
            std::memcpy(stream->cursor, source + k, static_cast<std::size_t>(run));
            stream->cursor += run;
            stream->remaining -= run;
            k += run;
            continue;
        }
        if (putByte(stream, source[k]) == -1) return -1;
        ++k;
    }
    return n;
}

std::int64_t skipBytes(FontStream* stream, std::int64_t n) {
    if (!stream->skip) return -1;
    return stream->skip(stream, n) == -1 ? -1 : n;
}

int deliverBuffer(FontStream* stream, std::int32_t produced) {
    if (produced <= 0) {
        stream->remaining = 0;
        return -1;
    }
    stream->cursor = stream->buffer + 1;
    stream->remaining = produced - 1;
    return stream->buffer[0];
}

int skipByReading(FontStream* stream, std::int64_t n) {
    while (n > 0) {
        // Whole runs of the buffer are dropped at once; the fill runs when it is empty.
        if (stream->remaining > 0) {
            const std::int32_t run = n < stream->remaining ? static_cast<std::int32_t>(n) : stream->remaining;
            stream->cursor += run;
            stream->remaining -= run;
            n -= run;
            continue;
        }
        if (getByte(stream) < 0) return -1;
        --n;
    }
    return 0;
}

int closeFontStream(FontStream* stream, int closeFile) { return closeStream(stream, closeFile, nullptr); }

int closeFontFile(FontStream* stream) { return closeStream(stream, 1, nullptr); }

int closeFontFile(FontStream* stream, ReadReason* reason) { return closeStream(stream, 1, reason); }
