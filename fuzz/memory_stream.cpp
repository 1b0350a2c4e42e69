// In-memory reading and discarding streams for the fuzz targets.
#include "fuzz/memory_stream.h"

#include <cstring>

namespace {
MemorySource* sourceOf(FontStream* stream) { return static_cast<MemorySource*>(stream->context); }

int memoryFill(FontStream* stream) {
    MemorySource* source = sourceOf(stream);
    std::size_t left = source->size - source->position;
    std::size_t chunk = static_cast<std::size_t>(source->fillSize);
    if (chunk > left) chunk = left;
    if (chunk == 0) {
        stream->remaining = 0;
        return -1;
    }
    // Copied into the stream's own buffer so the readers can never reach past it into the input.
    std::memcpy(stream->buffer, source->data + source->position, chunk);
    source->position += chunk;
    stream->cursor = stream->buffer + 1;
    stream->remaining = static_cast<std::int32_t>(chunk - 1);
    return stream->buffer[0];
}

// Behaves as a seekable file: skipping past the end succeeds and the next read finds no data.
int memorySkip(FontStream* stream, std::int64_t n) {
    if (n < 0) return -1;
    if (n <= stream->remaining) {
        stream->cursor += n;
        stream->remaining -= static_cast<std::int32_t>(n);
        return 0;
    }
    MemorySource* source = sourceOf(stream);
    std::uint64_t need = static_cast<std::uint64_t>(n - (stream->remaining > 0 ? stream->remaining : 0));
    std::size_t left = source->size - source->position;
    source->position += need < left ? static_cast<std::size_t>(need) : left;
    stream->remaining = 0;
    return 0;
}

int memoryClose(FontStream*, int) { return 1; }

int discardFlush(int value, FontStream* stream) {
    if (value != -1) *stream->cursor++ = static_cast<std::uint8_t>(value);
    *static_cast<std::uint64_t*>(stream->context) += static_cast<std::uint64_t>(stream->cursor - stream->buffer);
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    return value;
}

int discardClose(FontStream* stream, int) {
    discardFlush(-1, stream);
    return 1;
}
}  // namespace

FontStream* openMemoryStream(MemorySource* source) {
    if (source->fillSize < 1 || source->fillSize > StreamBufferSize) source->fillSize = StreamBufferSize;
    return newFontStream(source, memoryFill, memorySkip, memoryClose);
}

FontStream* openDiscardStream(std::uint64_t* written) { return newWriteStream(written, discardFlush, discardClose); }
