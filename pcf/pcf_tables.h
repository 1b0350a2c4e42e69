// PCF container layer: the position counter, the integer readers that honour a table's format
// word, the table directory, and the metrics and properties tables. Owns nothing beyond the
// vectors it fills for its caller.
#pragma once

#include <cstdint>

#include "font/model.h"
#include "stream/font_stream.h"

constexpr std::uint32_t PcfMagic = 0x70636601;  // the bytes 01 'f' 'c' 'p'

enum PcfTableType : std::uint32_t {
    PcfProperties = 1,
    PcfAccelerators = 2,
    PcfMetrics = 4,
    PcfBitmaps = 8,
    PcfInkMetrics = 16,
    PcfBdfEncodings = 32,
    PcfSwidths = 64,
    PcfGlyphNames = 128,
    PcfBdfAccelerators = 256,
};

// Format kinds live in bits 8-31; bits 6 and 7 are ignored.
constexpr std::uint32_t PcfFormatMask = 0xFFFFFF00;
constexpr std::uint32_t PcfDefaultFormat = 0;
// The one variant kind: compressed metric records, or accelerators followed by ink bounds.
constexpr std::uint32_t PcfCompressedMetrics = 0x100;
constexpr std::uint32_t PcfAccelWithInkBounds = 0x100;

[[nodiscard]] constexpr std::uint32_t pcfFormatKind(std::uint32_t format) { return format & PcfFormatMask; }
[[nodiscard]] constexpr int pcfGlyphPadIndex(std::uint32_t format) { return static_cast<int>(format & 3); }
[[nodiscard]] constexpr int pcfGlyphPad(std::uint32_t format) { return 1 << (format & 3); }
constexpr std::uint32_t PcfByteOrderBit = 4;
[[nodiscard]] constexpr int pcfByteOrder(std::uint32_t format) { return (format >> 2) & 1; }
[[nodiscard]] constexpr int pcfBitOrder(std::uint32_t format) { return (format >> 3) & 1; }
[[nodiscard]] constexpr int pcfScanUnit(std::uint32_t format) { return 1 << ((format >> 4) & 3); }

// The input and the position counter: bytes consumed from the start of the file. Table offsets
// are compared with it, since the stream (possibly LZW-expanded) cannot tell its own position.
struct PcfInput {
    FontStream* stream = nullptr;
    std::int64_t position = 0;
    ReadReason* reason = nullptr;  // null: refusals say nothing
    const char* part = "file header";  // what is being read, for the refusals: a table's name
};

// The table's name as the format calls it ("PCF_METRICS table").
[[nodiscard]] const char* pcfTableName(std::uint32_t type);
// Notes why the read is refused, "<the part being read>: <why>", and returns false.
[[nodiscard]] bool refuse(const PcfInput& input, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Every reader below fails on end of data rather than inventing bytes: a value assembled from a
// missing byte would be all ones and could pass as a plausible count or metric.
[[nodiscard]] bool readByte(PcfInput& input, std::uint8_t& value);
[[nodiscard]] bool readLsbInt32(PcfInput& input, std::uint32_t& value);
[[nodiscard]] bool readInt32(PcfInput& input, std::uint32_t format, std::int32_t& value);
// 0..65535, not sign-extended: a caller storing it into a 16-bit field gets the signed reading.
[[nodiscard]] bool readInt16(PcfInput& input, std::uint32_t format, std::int32_t& value);
[[nodiscard]] bool skipInput(PcfInput& input, std::int64_t count);
// Replaces `block` with `size` bytes of input. The block grows as data arrives, so a size the
// file merely claims never turns into memory the input cannot fill.
[[nodiscard]] bool readBlock(PcfInput& input, ByteVector& block, std::int64_t size);

struct PcfTable {
    std::uint32_t type;
    std::uint32_t format;  // unused: the copy at the start of the table governs
    std::uint32_t size;    // unused
    std::int32_t offset;
};
using PcfDirectory = ModelVector<PcfTable>;

// Resets the position, checks the magic and reads the entries. A count of 0 or less gives an
// empty directory.
[[nodiscard]] bool readTableDirectory(PcfInput& input, PcfDirectory& directory);
[[nodiscard]] bool hasTable(const PcfDirectory& directory, std::uint32_t type);
// Moves forwards to the first entry of `type`, which becomes the part being read. Fails when it
// is not listed, lies behind the position, or cannot be skipped to; notes nothing, since an
// optional table may be missing.
[[nodiscard]] bool seekTable(PcfInput& input, const PcfDirectory& directory, std::uint32_t type,
                             std::uint32_t* format = nullptr, std::uint32_t* size = nullptr);
// After seekTable failed for a table the read needs: notes which of the three reasons holds; false.
[[nodiscard]] bool refuseMissingTable(const PcfInput& input, const PcfDirectory& directory, std::uint32_t type);
// Notes a format word whose kind the table does not take; false.
[[nodiscard]] bool refuseFormat(const PcfInput& input, std::uint32_t format);

[[nodiscard]] bool readFullMetric(PcfInput& input, std::uint32_t format, GlyphMetrics& metrics);
[[nodiscard]] bool readCompressedMetric(PcfInput& input, GlyphMetrics& metrics);

// Type 4 fills glyph metrics (Glyph records; bitmaps come later), type 16 ink metrics (GlyphMetrics).
// `found` is false (and the result true) when seekTable cannot reach the table; false on a wrong
// kind or short data.
template <class Record>
[[nodiscard]] bool readMetricsTable(PcfInput& input, const PcfDirectory& directory, std::uint32_t type,
                                    ModelVector<Record>& records, bool& found);

// Fills info.properties and info.propertyIsString; the first invalid record ends the list.
[[nodiscard]] bool readProperties(PcfInput& input, const PcfDirectory& directory, FontInfo& info);

// Growth cap for vectors sized from a count in the file: room for this many records is made up
// front, the rest only as records actually arrive.
constexpr std::int64_t PcfReserveCap = 4096;
template <class Vector>
void reserveDeclared(Vector& vector, std::int64_t declared) {
    vector.reserve(static_cast<std::size_t>(declared < PcfReserveCap ? (declared > 0 ? declared : 0) : PcfReserveCap));
}

// Called before appending to a vector sized from a declared count: when it is full, makes room
// for up to eight times what has arrived, never past the declared count. Room not yet written
// costs address space rather than memory, while every move to a bigger block copies (and faults
// in) everything so far; growing by doubling made those copies a large share of a big font's load.
constexpr std::int64_t PcfGrowthFactor = 8;
template <class Vector>
void growAhead(Vector& vector, std::int64_t declared) {
    if (vector.size() < vector.capacity()) return;
    std::int64_t room = PcfGrowthFactor * static_cast<std::int64_t>(vector.capacity() > 0 ? vector.capacity() : 1);
    if (room > declared) room = declared;
    if (room > static_cast<std::int64_t>(vector.size())) vector.reserve(static_cast<std::size_t>(room));
}
