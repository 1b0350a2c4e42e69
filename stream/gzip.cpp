// gzip expansion filter for ".gz" input: owns the inflater, its input buffer and the stream beneath.
#include "stream/gzip.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "font/alloc.h"
#include "stream/zlib_memory.h"

namespace {

// windowBits for inflateInit2: the largest window, and gzip framing only (no zlib or raw data).
constexpr int GzipWindowBits = 16 + MAX_WBITS;
constexpr std::int32_t InputSize = StreamBufferSize;

struct GzipState {
    FontStreamPtr source;
    z_stream inflater;
    gz_header header;
    bool inflaterReady;   // inflateInit2 succeeded, so inflateEnd is owed
    bool memberEnded;     // the last member is complete; more input starts another
    bool broken;          // corrupt data or no memory: the data has ended for good
    bool trailingJunk;    // what broke was bytes after a complete member that start no member
    std::int32_t membersEnded;  // members whose trailer checked out
    std::uint8_t firstAfterMember;  // the first byte after the last complete member, once there is one
    const char* damage;   // what broke the data, once it broke (zlib's own text where it has one)
    std::uint8_t input[InputSize];
};

void destroyState(GzipState* state) {
    if (state->inflaterReady) inflateEnd(&state->inflater);
    state->~GzipState();
    release(state);
}

// Tops up the inflater's input from the source; false when the source has nothing more.
[[nodiscard]] bool refillInput(GzipState* state) {
    if (state->inflater.avail_in != 0) return true;
    const std::int32_t got = readBytes(state->source.get(), state->input, InputSize);
    if (got <= 0) return false;
    state->inflater.next_in = state->input;
    state->inflater.avail_in = static_cast<uInt>(got);
    return true;
}

// After a complete member, the bytes read since start no other member, as gzip tells it: they are
// no gzip header (zlib marks those -1), or, while zlib still waits for the two magic bytes, the
// first is not the magic's. Such bytes are ignored. Bytes that begin with the magic start a member,
// and the data's end or damage before that member is whole is an error, as gzip reports it.
bool startsNoMember(const GzipState* state) {
    if (state->membersEnded == 0) return false;
    return state->header.done == -1 || (state->header.done == 0 && state->firstAfterMember != 0x1F);
}

// Inflates into [out, out + room); returns how many bytes were produced. Stops early at the end
// of the input (truncated or complete data alike) or at corrupt data, which ends the data.
std::int32_t inflateInto(GzipState* state, std::uint8_t* out, std::int32_t room) {
    z_stream& zs = state->inflater;
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(room);
    while (zs.avail_out != 0 && !state->broken) {
        if (!refillInput(state)) break;
        if (state->memberEnded) {
            // Another member follows: expand it as part of the same data. The header is watched
            // again, to tell trailing garbage, which gzip ignores, from a member cut short.
            if (inflateReset(&zs) != Z_OK || inflateGetHeader(&zs, &state->header) != Z_OK) {
                state->broken = true;
                state->damage = "the inflater could not restart";
                break;
            }
            state->memberEnded = false;
            state->firstAfterMember = *zs.next_in;
        }
        const uInt inputBefore = zs.avail_in, roomBefore = zs.avail_out;
        const int result = inflate(&zs, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            state->memberEnded = true;
            ++state->membersEnded;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            // Z_DATA_ERROR (including a failed check of a member's trailer), Z_MEM_ERROR, or a
            // dictionary request that gzip data never makes.
            state->broken = true;
            state->trailingJunk = result == Z_DATA_ERROR && startsNoMember(state);
            // zlib's texts are fixed strings ("incorrect data check"), valid after inflateEnd.
            state->damage = result == Z_MEM_ERROR ? "out of memory" : zs.msg ? zs.msg : "invalid data";
        } else if (zs.avail_in == inputBefore && zs.avail_out == roomBefore) {
            // Input and room were both there, yet nothing moved: give up rather than spin.
            state->broken = true;
            state->damage = "the inflater makes no progress";
        }
    }
    return room - static_cast<std::int32_t>(zs.avail_out);
}

int gzipFill(FontStream* stream) {
    auto* state = static_cast<GzipState*>(stream->context);
    const std::int32_t produced = inflateInto(state, stream->buffer, StreamBufferSize);
    if (state->broken && !state->trailingJunk) stream->damage = state->damage;
    return deliverBuffer(stream, produced);
}

// Skipping decodes the bytes and drops them.
int gzipSkip(FontStream* stream, std::int64_t n) { return skipByReading(stream, n); }

// A reader stops at the end of its font and never sees the check at the end of a member, so a
// member whose damaged data still inflates would pass unnoticed. Closing expands the rest and
// answers whether the data ended cleanly: every member complete with its check, nothing cut off.
[[nodiscard]] bool verifyRest(GzipState* state, std::uint8_t* scratch) {
    while (inflateInto(state, scratch, StreamBufferSize) > 0) {
    }
    if (state->broken) return state->trailingJunk;
    return state->memberEnded || startsNoMember(state);
}

int gzipClose(FontStream* stream, int closeFile) {
    auto* state = static_cast<GzipState*>(stream->context);
    // Without its source (a filter given back at creation) there is nothing to check.
    const bool clean = state->source ? verifyRest(state, stream->buffer) : true;
    if (!clean) stream->damage = state->broken ? state->damage : "the data ends inside a gzip member";
    FontStream* source = state->source.release();
    destroyState(state);
    stream->context = nullptr;
    if (source) closeFontStream(source, closeFile);
    return clean ? 1 : 0;
}

// Reads the first member's header, so that data that is not gzip fails the open rather than the
// first read. Z_BLOCK makes inflate return right after the header, before any data.
[[nodiscard]] bool readHeader(GzipState* state, FontStream* stream) {
    z_stream& zs = state->inflater;
    zs.next_out = stream->buffer;
    zs.avail_out = StreamBufferSize;
    while (state->header.done == 0) {
        if (!refillInput(state)) return false;
        const uInt inputBefore = zs.avail_in;
        const int result = inflate(&zs, Z_BLOCK);
        if (result != Z_OK && result != Z_BUF_ERROR) return false;
        if (state->header.done == 0 && zs.avail_in == inputBefore) return false;
    }
    // Nothing is produced before the first block; should zlib differ, keep what it gave.
    stream->cursor = stream->buffer;
    stream->remaining = static_cast<std::int32_t>(StreamBufferSize - zs.avail_out);
    return state->header.done > 0;
}

}  // namespace

FontStream* pushGzipFilter(FontStream* source) {
    void* block = allocate(sizeof(GzipState));
    if (!block) return nullptr;
    auto* state = new (block) GzipState{};
    useModelAllocator(state->inflater);
    state->inflater.next_in = state->input;
    state->inflater.avail_in = 0;
    state->source.reset(source);

    // The caller keeps the source whenever the filter cannot be made.
    auto fail = [state]() -> FontStream* {
        (void)state->source.release();
        destroyState(state);
        return nullptr;
    };
    if (inflateInit2(&state->inflater, GzipWindowBits) != Z_OK) return fail();
    state->inflaterReady = true;
    if (inflateGetHeader(&state->inflater, &state->header) != Z_OK) return fail();

    FontStream* stream = newFontStream(state, gzipFill, gzipSkip, gzipClose);
    if (!stream) return fail();
    if (!readHeader(state, stream)) {
        // Give the source back first, so that closing the filter leaves it alone.
        (void)state->source.release();
        closeFontStream(stream, 0);
        return nullptr;
    }
    return stream;
}
