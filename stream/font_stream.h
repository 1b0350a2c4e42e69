// Buffered byte streams over files, and the record that filters (LZW, gzip) stack on them.
//
// A FontStream pairs an 8192-byte buffer with replaceable operations. getByte and putByte are
// inline and touch only `cursor` and `remaining`; the operations run once per buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "font/status.h"

constexpr std::int32_t StreamBufferSize = 8192;

struct FontStream;
using FillOp = int (*)(FontStream* stream);                 // next byte 0..255, or -1
using FlushOp = int (*)(int value, FontStream* stream);     // value (or -1 for none), then the stream
using SkipOp = int (*)(FontStream* stream, std::int64_t n); // -1 on failure
// Releases what the context owns; closes the file beneath only when closeFile is nonzero.
// Returns 1, or 0 when buffered output could not be written at close.
using CloseOp = int (*)(FontStream* stream, int closeFile);

struct FontStream {
    std::uint8_t* cursor;
    std::int32_t remaining;
    std::uint8_t buffer[StreamBufferSize];
    union {
        FillOp fill;    // reading streams
        FlushOp flush;  // writing streams
    } transfer;
    SkipOp skip;        // null on writing streams
    CloseOp close;
    void* context;      // file streams: the descriptor (see streamDescriptor); filters: their state
    const char* fontName;  // set by the front end on the output stream; not owned
    // What a decompressing filter found wrong with its data (a fixed text, shown after
    // "compressed data: "); null while the data is sound.
    const char* damage;
};

inline int getByte(FontStream* stream) {
    if (stream->remaining-- != 0) return *stream->cursor++;
    return stream->transfer.fill(stream);
}

inline int putByte(FontStream* stream, int value) {
    if (--stream->remaining != 0) {
        *stream->cursor++ = static_cast<std::uint8_t>(value);
        return value & 0xFF;
    }
    return stream->transfer.flush(value & 0xFF, stream);
}

// Makes the buffer hold at least one byte, for readers that take whole runs from `cursor`; false at
// end of data or on failure. A fill hands out the first byte of its run: that byte is put back.
[[nodiscard]] inline bool fillBuffer(FontStream* stream) {
    if (stream->remaining > 0) return true;
    if (getByte(stream) < 0) return false;
    --stream->cursor;
    ++stream->remaining;
    return true;
}

inline int streamDescriptor(const FontStream* stream) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(stream->context));
}

// Allocates a stream record (through the allocation wrappers); null when that fails.
[[nodiscard]] FontStream* newFontStream(void* context, FillOp fill, SkipOp skip, CloseOp close);
[[nodiscard]] FontStream* openReadStream(int fd);
// Closes fd when the record cannot be allocated.
[[nodiscard]] FontStream* openWriteStream(int fd);
// Opens a font file for reading; names ending in ".Z" are expanded through the LZW filter, names
// ending in ".gz" through the gzip filter.
[[nodiscard]] FontStream* openFontFile(const char* path);
// Creates or truncates the output. When isRegularFile is given it receives whether the new
// descriptor is a regular file (only those are deleted after a failed conversion).
[[nodiscard]] FontStream* createFontFile(const char* path, bool* isRegularFile = nullptr);

[[nodiscard]] std::int32_t readBytes(FontStream* stream, std::uint8_t* destination, std::int32_t n);
[[nodiscard]] std::int32_t writeBytes(FontStream* stream, const std::uint8_t* source, std::int32_t n);
[[nodiscard]] std::int64_t skipBytes(FontStream* stream, std::int64_t n);

// For filter streams. Hands out the `produced` bytes just decoded into the buffer, as a fill
// operation must: the first byte, or -1 (and an empty buffer) when nothing was produced.
int deliverBuffer(FontStream* stream, std::int32_t produced);
// For filter streams: skips by taking the bytes through the stream itself (decoding and dropping
// them). 0, or -1 when the data ends first.
int skipByReading(FontStream* stream, std::int64_t n);

// Runs the close operation and frees the record. Returns 0, or -1 when the final flush of a
// writing stream (or closing its descriptor) failed.
int closeFontStream(FontStream* stream, int closeFile);
int closeFontFile(FontStream* stream);
// closeFontFile for an input whose reading may have been refused: when its filter found the data
// damaged, while it was read or by the checks made at close, that finding replaces the reader's
// reason in `reason`, since the reader saw only its effect (data that ended early).
int closeFontFile(FontStream* stream, ReadReason* reason);

// Owning handle for a stream: closes it (closeFile = 1) when it goes out of scope.
struct FontStreamCloser {
    void operator()(FontStream* stream) const noexcept { closeFontFile(stream); }
};
using FontStreamPtr = std::unique_ptr<FontStream, FontStreamCloser>;
