// The cmap table. The glyphs follow the characters in order, so every run of consecutive characters
// is one segment of consecutive glyphs, given by its delta alone.
#include "ttf/cmap_table.h"

#include <vector>

namespace {

constexpr std::uint32_t LastBmp = 0xFFFF;
constexpr std::size_t Format4HeaderBytes = 16;  // the fixed fields and reservedPad
constexpr std::size_t Format4SegmentBytes = 8;
constexpr std::size_t MaxSubtableBytes = 0xFFFF;  // format 4 states its length in 16 bits
constexpr std::size_t Format12HeaderBytes = 16;
constexpr std::size_t Format12GroupBytes = 12;
constexpr std::size_t EncodingRecordBytes = 8;

// Characters first..last mapped to glyphs glyph..glyph + (last - first).
struct Run {
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t glyph;
};

std::vector<Run> runsOf(const std::vector<TtfCharacter>& characters, std::uint32_t limit) {
    std::vector<Run> runs;
    for (const TtfCharacter& c : characters) {
        if (c.code > limit) break;
        Run* last = runs.empty() ? nullptr : &runs.back();
        if (last && c.code == last->last + 1 && c.glyphIndex == last->glyph + (c.code - last->first))
            last->last = c.code;
        else
            runs.push_back({c.code, c.code, c.glyphIndex});
    }
    return runs;
}

// The BMP's runs, as many as a format 4 subtable holds (it ends with the segment for U+FFFF).
// Sets `complete` to false when some were left out.
void putFormat4(ByteWriter& out, std::vector<Run> runs, bool& complete) {
    const std::size_t maxRuns = (MaxSubtableBytes - Format4HeaderBytes) / Format4SegmentBytes - 1;
    complete = runs.size() <= maxRuns;
    if (!complete) runs.resize(maxRuns);
    runs.push_back({LastBmp, LastBmp, 0});
    const auto segments = static_cast<std::uint32_t>(runs.size());
    std::uint32_t power = 1, log = 0;
    while (power * 2 <= segments) {
        power *= 2;
        ++log;
    }
    out.u16(4);
    out.u16(static_cast<std::uint32_t>(Format4HeaderBytes + Format4SegmentBytes * segments));
    out.u16(0);  // language
    out.u16(segments * 2);
    out.u16(power * 2);
    out.u16(log);
    out.u16(segments * 2 - power * 2);
    for (const Run& run : runs) out.u16(run.last);
    out.u16(0);  // reservedPad
    for (const Run& run : runs) out.u16(run.first);
    for (const Run& run : runs) out.u16((run.glyph - run.first) & 0xFFFF);
    for (std::uint32_t i = 0; i < segments; ++i) out.u16(0);  // idRangeOffset
}

void putFormat12(ByteWriter& out, const std::vector<Run>& runs) {
    const auto groups = static_cast<std::uint32_t>(runs.size());
    out.u16(12);
    out.u16(0);
    out.u32(static_cast<std::uint32_t>(Format12HeaderBytes + Format12GroupBytes * groups));
    out.u32(0);  // language
    out.u32(groups);
    for (const Run& run : runs) {
        out.u32(run.first);
        out.u32(run.last);
        out.u32(run.glyph);
    }
}

}  // namespace

void putCmapTable(ByteWriter& out, const TtfPlan& plan) {
    ByteVector format4;
    ByteWriter format4Out(format4, ByteOrder::BigEndian);
    bool complete = true;
    putFormat4(format4Out, runsOf(plan.characters, LastBmp), complete);
    const bool beyond = !plan.characters.empty() && plan.characters.back().code > LastBmp;
    // A font whose BMP characters pass what format 4 holds gives them all in format 12 too.
    const bool withFormat12 = !plan.symbol && (beyond || !complete);
    const std::uint32_t records = withFormat12 ? 2 : 1;
    const auto format4Offset = static_cast<std::uint32_t>(4 + EncodingRecordBytes * records);
    out.u16(0);  // version
    out.u16(records);
    out.u16(3);
    out.u16(plan.symbol ? 0 : 1);
    out.u32(format4Offset);
    if (withFormat12) {
        out.u16(3);
        out.u16(10);
        out.u32(format4Offset + static_cast<std::uint32_t>(format4.size()));
    }
    out.bytes(format4.data(), format4.size());
    if (withFormat12) putFormat12(out, runsOf(plan.characters, 0x10FFFF));
}
