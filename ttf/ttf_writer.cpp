// The TrueType writer's entry point: plan, bound the file's size, build every table in memory and
// lay out the container; the file is then written table by table, never copied into one buffer.
// Allocation failures anywhere below surface here once, as OutOfMemory.
#include "ttf/ttf_writer.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <vector>

#include "fon/byte_writer.h"
#include "ttf/bitmap_tables.h"
#include "ttf/cmap_table.h"
#include "ttf/glyph_tables.h"
#include "ttf/name_table.h"
#include "ttf/os2_table.h"
#include "ttf/sfnt.h"

namespace {

// The largest file written: far beyond any real bitmap font (unifont's 57,000 glyphs take a few
// megabytes), and small enough to build in memory; a file asking for more is refused before any
// table is built.
constexpr std::uint64_t MaxTrueTypeBytes = std::uint64_t{256} << 20;

// Per-item allowances of the bound: a strike's glyph (metrics and its index entry), a character
// (format 4 segment and glyph id, format 12 group), a name's character in UTF-16 over both its
// copies, and the fixed tables with the directory.
constexpr std::uint64_t StrikeGlyphBytes = 24, StrikeBytes = 512, CharacterBytes = 24, NameCharacterBytes = 8;
constexpr std::uint64_t FixedBytes = 4096;

// Upper bounds of the file's size and of its glyf table, computed from the glyph bitmaps without
// building anything. Counting stops once past MaxTrueTypeBytes.
struct SizeBound {
    std::uint64_t glyf = 0;
    std::uint64_t file = 0;
};

SizeBound boundFileBytes(const TtfPlan& plan) {
    const TtfStrike& first = plan.strikes.front();
    SizeBound bound;
    for (const Glyph* glyph : first.glyphs) {
        if (!glyph) continue;
        const std::uint64_t points = countOutlinePoints(bitmapRows(GlyphBits(*first.font, glyph)));
        if (points <= MaxGlyphPoints) bound.glyf += glyphEntryBound(points);
        if (bound.glyf > MaxTrueTypeBytes) break;
    }
    bound.file = FixedBytes + std::uint64_t{plan.glyphCount} * 8 + bound.glyf;  // loca, hmtx, glyf
    for (const TtfStrike& strike : plan.strikes) {
        bound.file += StrikeBytes;
        for (const Glyph* glyph : strike.glyphs)
            if (glyph) bound.file += StrikeGlyphBytes + static_cast<std::uint64_t>(glyphBitmapBytes(glyph->metrics, 1));
        if (bound.file > MaxTrueTypeBytes) return bound;
    }
    bound.file += CharacterBytes * plan.characters.size();
    for (const std::string* name : {&plan.familyName, &plan.subfamilyName, &plan.fullName, &plan.postScriptName,
                                    &plan.uniqueName, &plan.version, &plan.copyright})
        bound.file += NameCharacterBytes * name->size();
    return bound;
}

// Builds one table through a big-endian writer.
template <class Put, class... Args>
void build(ByteVector& table, Put put, const Args&... args) {
    ByteWriter out(table, ByteOrder::BigEndian);
    put(out, args...);
}

TtfResult buildFile(std::span<const Font* const> fonts, std::string_view faceName, TtfReport& report,
                    TrueTypeFile& file) {
    TtfPlan plan;
    if (const TtfResult planned = planTrueType(fonts, faceName, plan, report); planned != TtfResult::Written)
        return planned;
    report.glyphs = plan.glyphCount;
    report.strikes = static_cast<std::uint32_t>(plan.strikes.size());
    report.unitsPerEm = plan.unitsPerEm;
    if (plan.strikes.empty() || plan.glyphCount == 0) return TtfResult::GlyphsTooLarge;
    const SizeBound bound = boundFileBytes(plan);
    if (bound.file > MaxTrueTypeBytes) return TtfResult::TooLarge;

    auto& [glyf, loca, hmtx, head, hhea, maxp, post, gasp, prep, os2, cmap, name, eblc, ebdt] = file.tables;
    glyf.reserve(bound.glyf);  // grown once: pages beyond what is written are never touched
    GlyphSummary summary;
    putGlyphTables(glyf, loca, hmtx, plan, summary);
    report.glyphsWithoutOutline = summary.glyphsWithoutOutline;
    build(head, putHeadTable, plan, summary);
    build(hhea, putHheaTable, plan, summary);
    build(maxp, putMaxpTable, plan, summary);
    build(post, putPostTable, plan);
    build(gasp, putGaspTable);
    build(prep, putPrepTable);
    build(os2, putOs2Table, plan);
    build(cmap, putCmapTable, plan);
    build(name, putNameTable, plan);
    if (!putBitmapTables(eblc, ebdt, plan)) return TtfResult::OutOfMemory;

    const SfntTable tables[] = {
        {sfntTag("head"), &head}, {sfntTag("hhea"), &hhea}, {sfntTag("maxp"), &maxp}, {sfntTag("OS/2"), &os2},
        {sfntTag("hmtx"), &hmtx}, {sfntTag("cmap"), &cmap}, {sfntTag("loca"), &loca}, {sfntTag("glyf"), &glyf},
        {sfntTag("name"), &name}, {sfntTag("post"), &post}, {sfntTag("gasp"), &gasp}, {sfntTag("prep"), &prep},
        {sfntTag("EBLC"), &eblc}, {sfntTag("EBDT"), &ebdt},
    };
    // A font whose strikes hold no glyph (all too large for their metrics) has no bitmap tables:
    // a table of no bytes is not a valid one.
    const std::span<const SfntTable> present(tables, std::size(tables) - (ebdt.empty() ? 2 : 0));
    layOutSfnt(present, file.layout);
    if (file.size() > MaxTrueTypeBytes) return TtfResult::TooLarge;  // the bound above missed: still refuse
    if (head.size() >= HeadChecksumAdjustmentOffset + 4) {
        ByteVector field;
        ByteWriter(field, ByteOrder::BigEndian).u32(file.layout.checksumAdjustment);
        std::copy(field.begin(), field.end(), head.begin() + HeadChecksumAdjustmentOffset);
    }
    return TtfResult::Written;
}

}  // namespace

TtfResult buildTrueType(std::span<const Font* const> fonts, std::string_view faceName, TtfReport& report,
                        TrueTypeFile& file) {
    try {
        return buildFile(fonts, faceName, report, file);
    } catch (const std::bad_alloc&) {
        return TtfResult::OutOfMemory;
    } catch (const std::length_error&) {
        return TtfResult::OutOfMemory;
    }
}

bool writeTrueTypeFile(FontStream* output, const TrueTypeFile& file) {
    // In pieces, as writeBytes counts in 32 bits.
    auto put = [&](const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t at = 0; at < count;) {
            const auto run = static_cast<std::int32_t>(std::min<std::size_t>(count - at, std::size_t{1} << 20));
            if (writeBytes(output, bytes + at, run) != run) return false;
            at += static_cast<std::size_t>(run);
        }
        return true;
    };
    constexpr std::uint8_t Padding[3] = {0, 0, 0};
    if (!put(file.layout.directory.data(), file.layout.directory.size())) return false;
    for (const SfntTable& table : file.layout.order)
        if (!put(table.data->data(), table.data->size()) || !put(Padding, (4 - table.data->size() % 4) % 4))
            return false;
    return true;
}

TtfResult writeTrueType(FontStream* output, std::span<const Font* const> fonts, std::string_view faceName,
                        TtfReport& report) {
    TrueTypeFile file;
    const TtfResult result = buildTrueType(fonts, faceName, report, file);
    if (result != TtfResult::Written) return result;
    return writeTrueTypeFile(output, file) ? TtfResult::Written : TtfResult::WriteFailed;
}
