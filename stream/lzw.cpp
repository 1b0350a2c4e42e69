// LZW expansion filter for ".Z" input: owns the decoder state, its tables and the stream beneath.
#include "stream/lzw.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "font/alloc.h"

namespace {

constexpr int MagicFirst = 0x1F;
constexpr int MagicSecond = 0x9D;
constexpr int FlagMaxBitsMask = 0x1F;
constexpr int FlagBlockMode = 0x80;
constexpr int MinMaxBits = 12;
constexpr int MaxMaxBits = 16;
constexpr int InitialCodeWidth = 9;
constexpr int InitialMaxCode = (1 << InitialCodeWidth) - 1;
constexpr int ClearCode = 256;
constexpr int FirstFreeBlockMode = 257;
constexpr int FirstFreePlain = 256;
constexpr int LiteralCodes = 256;
constexpr std::size_t ChunkSize = MaxMaxBits;  // a group of eight codes is codeWidth bytes
// Two spare bytes past the largest group: a code is loaded as three bytes and masked, and the
// last code of a full 16-byte group starts in byte 14.
constexpr std::size_t ChunkPadding = 2;
constexpr std::size_t StackSize = 8192;
// readCode results besides a code: the source has nothing more for now, or the data is broken.
constexpr std::int32_t NoCode = -1;
constexpr std::int32_t BrokenCode = -2;

// What ends the data early, as the filter's damage.
constexpr const char* CodePastTable = "a code past the decoder's table";
constexpr const char* StringPastStack = "a string longer than the decoder's stack";
constexpr const char* LoneByte = "a lone byte after the last code";
constexpr const char* FirstCodeNoByte = "a first code that is no byte";

// Entries of the prefix table by maxBits 12..16 (each above 1 << maxBits; only codeLimit are used).
constexpr std::int32_t HashSizes[] = {5003, 9001, 18013, 35023, 69001};

struct LzwState {
    FontStreamPtr source;
    // The stack grows down from its end: each string is pushed last byte first, so the pending
    // bytes [stackTop, end) already lie in output order and leave in whole runs.
    std::uint8_t* stackTop;
    std::int32_t previousCode;  // -1 once the data has ended for good (or never began)
    std::uint8_t lastByte;
    std::int32_t blockMode;
    std::int32_t maxBits;
    std::int32_t maxCode;
    std::int32_t codeLimit;
    std::int32_t nextFree;
    std::int32_t clearPending;
    std::int32_t codeWidth;
    std::int32_t bitOffset;
    std::int32_t bitLimit;
    std::uint8_t chunk[ChunkSize + ChunkPadding];
    std::uint8_t stack[StackSize];
    std::uint8_t* suffixes;
    std::uint16_t* prefixes;
};

// The tables follow the fixed part in the same block; keep the prefix table 16-bit aligned.
constexpr std::size_t SuffixOffset = (sizeof(LzwState) + alignof(std::uint16_t) - 1) & ~(alignof(std::uint16_t) - 1);

void destroyState(LzwState* state) {
    state->~LzwState();
    release(state);
}

// Next code from the source; NoCode when the source is exhausted, BrokenCode when only a lone
// trailing byte remained. Codes come in groups of codeWidth bytes; the unread rest of a group is
// abandoned when the width changes or a clear code arrived, because the compressor pads its output
// to the group boundary at those points.
inline std::int32_t readCode(LzwState* state) {
    if (state->clearPending != 0 || state->bitOffset >= state->bitLimit || state->nextFree > state->maxCode) {
        if (state->nextFree > state->maxCode) {
            ++state->codeWidth;
            // codeLimit, not codeLimit - 1: once the table is full the width never grows again.
            state->maxCode = state->codeWidth == state->maxBits ? state->codeLimit : (1 << state->codeWidth) - 1;
        }
        if (state->clearPending != 0) {
            state->codeWidth = InitialCodeWidth;
            state->maxCode = InitialMaxCode;
            state->clearPending = 0;
        }
        FontStream* source = state->source.get();
        std::int32_t count = 0;
        while (count < state->codeWidth) {
            int value = getByte(source);
            if (value < 0) break;
            state->chunk[count++] = static_cast<std::uint8_t>(value);
        }
        if (count == 0) return NoCode;
        state->bitOffset = 0;
        state->bitLimit = count * 8 - state->codeWidth + 1;
        // A lone trailing byte holds no whole code; decoding it would mix in the previous group.
        if (state->bitLimit <= 0) return BrokenCode;
    }
    const std::uint8_t* p = state->chunk + (state->bitOffset >> 3);
    std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                         static_cast<std::uint32_t>(p[2]) << 16;
    std::int32_t code = static_cast<std::int32_t>((bits >> (state->bitOffset & 7)) & ((1u << state->codeWidth) - 1));
    state->bitOffset += state->codeWidth;
    return code;
}

int lzwFill(FontStream* stream) {
    auto* state = static_cast<LzwState*>(stream->context);
    std::uint8_t* out = stream->buffer;
    std::uint8_t* const outEnd = stream->buffer + StreamBufferSize;
    std::uint8_t* const stackBase = state->stack;
    std::uint8_t* const stackEnd = state->stack + StackSize;
    const std::uint8_t* const suffixes = state->suffixes;
    const std::uint16_t* const prefixes = state->prefixes;
    std::uint8_t* top = state->stackTop;
    std::int32_t previousCode = state->previousCode;
    std::uint8_t lastByte = state->lastByte;

    // Data the compressor never writes (a code beyond the table, a string longer than the stack)
    // ends the data for good instead of reading undefined entries or overrunning the stack.
    auto endOfData = [&](const char* damage) {
        top = stackEnd;
        previousCode = -1;
        stream->damage = damage;
    };

    while (out < outEnd) {
        // Pending bytes first, most recently pushed first (they lie in output order).
        std::size_t pending = static_cast<std::size_t>(stackEnd - top);
        const std::size_t room = static_cast<std::size_t>(outEnd - out);
        if (pending > room) pending = room;
        // Strings are mostly a few bytes long: word moves beat a library call for those.
        std::size_t k = 0;
        for (; pending - k >= 8; k += 8) std::memcpy(out + k, top + k, 8);
        for (; k < pending; ++k) out[k] = top[k];
        out += pending;
        top += pending;
        if (out == outEnd || previousCode < 0) break;

        std::int32_t read = readCode(state);
        if (read < 0) {
            if (read == BrokenCode) endOfData(LoneByte);
            break;
        }
        if (read == ClearCode && state->blockMode != 0) {
            for (std::int32_t v = 0; v < LiteralCodes; ++v) state->prefixes[v] = 0;
            state->clearPending = 1;
            state->nextFree = FirstFreePlain;
            read = readCode(state);
            if (read < 0) {
                if (read == BrokenCode) endOfData(LoneByte);
                break;
            }
        }
        // Unsigned from here: table indexes need no sign extension on the hot walk.
        const auto nextFree = static_cast<std::uint32_t>(state->nextFree);
        const auto incoming = static_cast<std::uint32_t>(read);
        std::uint32_t code = incoming;
        if (code >= nextFree) {
            // previousCode is a code here: the data has begun and not ended.
            if (code > nextFree) {
                endOfData(CodePastTable);
                break;
            }
            // The string that repeats its own first byte: the previous string and that byte.
            *--top = lastByte;
            code = static_cast<std::uint32_t>(previousCode);
        }
        // Only entries below nextFree are defined; after a clear code the walk could otherwise
        // follow entries left over from the previous table. One branch tests both limits.
        while (code >= LiteralCodes) {
            if ((code >= nextFree) | (top == stackBase)) break;
            *--top = suffixes[code];
            code = prefixes[code];
        }
        if (code >= LiteralCodes || top == stackBase) {
            endOfData(top == stackBase ? StringPastStack : CodePastTable);
            break;
        }
        lastByte = suffixes[code];
        *--top = lastByte;
        if (static_cast<std::int32_t>(nextFree) < state->codeLimit) {
            state->prefixes[nextFree] = static_cast<std::uint16_t>(previousCode);
            state->suffixes[nextFree] = lastByte;
            state->nextFree = static_cast<std::int32_t>(nextFree) + 1;
        }
        previousCode = static_cast<std::int32_t>(incoming);
    }

    state->stackTop = top;
    state->previousCode = previousCode;
    state->lastByte = lastByte;

    const auto produced = static_cast<std::int32_t>(out - stream->buffer);
    return deliverBuffer(stream, produced);
}

// Skipping decodes the bytes and drops them.
int lzwSkip(FontStream* stream, std::int64_t n) { return skipByReading(stream, n); }

int lzwClose(FontStream* stream, int closeFile) {
    auto* state = static_cast<LzwState*>(stream->context);
    FontStream* source = state->source.release();
    destroyState(state);
    stream->context = nullptr;
    closeFontStream(source, closeFile);
    return 1;
}

}  // namespace

FontStream* pushLzwFilter(FontStream* source) {
    if (getByte(source) != MagicFirst || getByte(source) != MagicSecond) return nullptr;
    int flags = getByte(source);
    if (flags < 0) return nullptr;
    const std::int32_t maxBits = flags & FlagMaxBitsMask;
    if (maxBits < MinMaxBits || maxBits > MaxMaxBits) return nullptr;

    const std::int32_t codeLimit = 1 << maxBits;
    const std::int32_t hashSize = HashSizes[maxBits - MinMaxBits];
    const std::size_t prefixOffset = SuffixOffset + static_cast<std::size_t>(codeLimit);
    const std::size_t blockSize = prefixOffset + static_cast<std::size_t>(hashSize) * sizeof(std::uint16_t);
    void* block = allocate(blockSize);
    if (!block) return nullptr;
    // Zeroed, so even an entry the decoder never defined holds a harmless value.
    std::memset(block, 0, blockSize);
    auto* state = new (block) LzwState{};
    auto* base = static_cast<std::uint8_t*>(block);
    state->suffixes = base + SuffixOffset;
    state->prefixes = reinterpret_cast<std::uint16_t*>(base + prefixOffset);

    state->source.reset(source);
    state->maxBits = maxBits;
    state->blockMode = flags & FlagBlockMode;
    state->codeLimit = codeLimit;
    state->codeWidth = InitialCodeWidth;
    state->maxCode = InitialMaxCode;
    for (std::int32_t v = LiteralCodes - 1; v >= 0; --v) {
        state->prefixes[v] = 0;
        state->suffixes[v] = static_cast<std::uint8_t>(v);
    }
    state->nextFree = state->blockMode != 0 ? FirstFreeBlockMode : FirstFreePlain;
    state->clearPending = 0;
    state->bitOffset = 0;
    state->bitLimit = 0;
    state->stackTop = state->stack + StackSize;

    const std::int32_t first = readCode(state);
    // The first code has no table to refer to: anything but a literal cannot be decoded.
    if (first < 0 || first >= LiteralCodes) {
        state->previousCode = -1;
    } else {
        state->previousCode = first;
        state->lastByte = static_cast<std::uint8_t>(first);
        *--state->stackTop = state->lastByte;
    }

    FontStream* stream = newFontStream(state, lzwFill, lzwSkip, lzwClose);
    if (!stream) {
        // The caller keeps the source when the filter cannot be made.
        (void)state->source.release();
        destroyState(state);
        return nullptr;
    }
    if (first == BrokenCode) stream->damage = LoneByte;
    else if (first >= LiteralCodes) stream->damage = FirstCodeNoByte;
    return stream;
}
