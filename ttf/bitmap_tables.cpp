// EBLC and EBDT. Each strike's glyphs are grouped into ranges of glyph indexes, one index subtable
// each (index format 1: a 32-bit offset per glyph, a glyph absent from the strike given no bytes);
// every glyph's image is format 6: its big metrics, then its rows in whole bytes, most significant
// bit first, exactly the font's pixels.
#include "ttf/bitmap_tables.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "fon/byte_writer.h"
#include "font/status.h"

namespace {

constexpr std::uint32_t TableVersion = 0x00020000;
constexpr std::size_t EblcHeaderBytes = 8;
constexpr std::size_t BitmapSizeBytes = 48;
constexpr std::size_t IndexArrayEntryBytes = 8;
constexpr std::size_t IndexSubHeaderBytes = 8;
constexpr std::uint16_t IndexFormatOffsets32 = 1;
constexpr std::uint16_t ImageFormatBigMetricsBytes = 6;
constexpr std::size_t BigMetricsBytes = 8;
constexpr std::int32_t MaxStrikePpem = 255;
constexpr std::uint8_t FlagHorizontalMetrics = 0x01;
// Absent glyphs this many or fewer in a row stay inside one range (four bytes each) rather than
// start another (a range costs an array entry, a header and an offset: twenty bytes).
constexpr std::uint32_t MaxGapInRange = 4;

bool fitsSigned8(std::int32_t v) { return v >= -128 && v <= 127; }
bool fitsUnsigned8(std::int32_t v) { return v >= 0 && v <= 255; }
std::uint32_t signed8(std::int32_t v) { return static_cast<std::uint32_t>(std::clamp(v, -128, 127)) & 0xFF; }

// A glyph the strike can hold: every metric within the 8 bits its field has.
bool fitsStrike(const Glyph* glyph) {
    if (!glyph) return false;
    const GlyphMetrics& m = glyph->metrics;
    return fitsUnsigned8(glyphWidth(m)) && fitsUnsigned8(glyphHeight(m)) && fitsSigned8(m.leftBearing) &&
           fitsSigned8(m.ascent) && fitsUnsigned8(m.advance);
}

struct Range {
    std::uint32_t first, last;
};

std::vector<Range> rangesOf(const TtfStrike& strike) {
    std::vector<Range> ranges;
    for (std::uint32_t g = 0; g < strike.glyphs.size(); ++g) {
        if (!fitsStrike(strike.glyphs[g])) continue;
        if (!ranges.empty() && g - ranges.back().last <= MaxGapInRange + 1) ranges.back().last = g;
        else ranges.push_back({g, g});
    }
    return ranges;
}

// One glyph's image: big metrics (vertical ones centred below the origin), then its rows.
void putImage(ByteWriter& out, const Font& font, const Glyph& glyph, std::int32_t lineHeight) {
    const GlyphMetrics& m = glyph.metrics;
    const std::int32_t width = glyphWidth(m), height = glyphHeight(m);
    out.u8(static_cast<std::uint32_t>(height));
    out.u8(static_cast<std::uint32_t>(width));
    out.u8(signed8(m.leftBearing));
    out.u8(signed8(m.ascent));
    out.u8(static_cast<std::uint32_t>(m.advance));
    out.u8(signed8(-(width / 2)));
    out.u8(0);
    out.u8(static_cast<std::uint32_t>(std::clamp(lineHeight, 0, 255)));
    if (width == 0 || height == 0) return;
    const GlyphBits bits(font, &glyph);
    const std::int32_t rowBytes = (width + 7) / 8;
    if (bits.width() != width) {  // a box without a bitmap: blank rows
        out.zeros(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
        return;
    }
    const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = bits.row(y);
        out.bytes(row, static_cast<std::size_t>(rowBytes - 1));
        out.u8(row[rowBytes - 1] & lastMask);  // without the row's padding
    }
}

// The line metrics of a strike: the font's ascent and descent, the extremes of its glyphs.
void putLineMetrics(ByteWriter& out, const TtfStrike& strike, const std::vector<Range>& ranges) {
    std::int32_t widthMax = 0, minOriginSB = 127, minAdvanceSB = 127, maxBeforeBL = -128, minAfterBL = 127;
    for (const Range& range : ranges) {
        for (std::uint32_t g = range.first; g <= range.last; ++g) {
            const Glyph* glyph = strike.glyphs[g];
            if (!fitsStrike(glyph)) continue;
            const GlyphMetrics& m = glyph->metrics;
            widthMax = std::max(widthMax, glyphWidth(m));
            minOriginSB = std::min<std::int32_t>(minOriginSB, m.leftBearing);
            minAdvanceSB = std::min<std::int32_t>(minAdvanceSB, m.advance - m.rightBearing);
            maxBeforeBL = std::max<std::int32_t>(maxBeforeBL, m.ascent);
            minAfterBL = std::min<std::int32_t>(minAfterBL, -m.descent);
        }
    }
    out.u8(signed8(strike.font->info.fontAscent));
    out.u8(signed8(-strike.font->info.fontDescent));
    out.u8(static_cast<std::uint32_t>(widthMax));
    out.u8(1);  // caret slope: upright
    out.u8(0);
    out.u8(0);  // caret offset
    out.u8(signed8(minOriginSB));
    out.u8(signed8(minAdvanceSB));
    out.u8(signed8(maxBeforeBL));
    out.u8(signed8(minAfterBL));
    out.u16(0);  // padding
}

bool build(ByteVector& eblc, ByteVector& ebdt, const TtfPlan& plan) {
    struct Planned {
        const TtfStrike* strike;
        std::vector<Range> ranges;
    };
    std::vector<Planned> strikes;
    for (const TtfStrike& strike : plan.strikes) {
        if (strike.ppem > MaxStrikePpem || !strike.font) continue;
        std::vector<Range> ranges = rangesOf(strike);
        if (!ranges.empty()) strikes.push_back({&strike, std::move(ranges)});
    }
    eblc.clear();
    ebdt.clear();
    if (strikes.empty()) return true;
    std::stable_sort(strikes.begin(), strikes.end(),
                     [](const Planned& a, const Planned& b) { return a.strike->ppem < b.strike->ppem; });

    std::size_t imageBytes = 4, indexBytes = 0;
    for (const Planned& planned : strikes)
        for (const Range& range : planned.ranges) {
            indexBytes += IndexArrayEntryBytes + IndexSubHeaderBytes + 4 * (std::size_t{range.last - range.first} + 2);
            for (std::uint32_t g = range.first; g <= range.last; ++g)
                if (const Glyph* glyph = planned.strike->glyphs[g]; fitsStrike(glyph))
                    imageBytes += BigMetricsBytes + static_cast<std::size_t>(glyphHeight(glyph->metrics)) *
                                                        static_cast<std::size_t>((glyphWidth(glyph->metrics) + 7) / 8);
        }
    ebdt.reserve(imageBytes);
    ByteWriter data(ebdt, ByteOrder::BigEndian);
    data.u32(TableVersion);
    ByteVector index;  // every strike's index subtable array and subtables, after the size records
    index.reserve(indexBytes);
    ByteWriter indexOut(index, ByteOrder::BigEndian);
    ByteWriter sizes(eblc, ByteOrder::BigEndian);
    sizes.u32(TableVersion);
    sizes.u32(static_cast<std::uint32_t>(strikes.size()));
    const std::size_t indexStart = EblcHeaderBytes + BitmapSizeBytes * strikes.size();
    for (const Planned& planned : strikes) {
        const TtfStrike& strike = *planned.strike;
        const Font& font = *strike.font;
        const std::int32_t lineHeight = std::int32_t{font.info.fontAscent} + font.info.fontDescent;
        const std::size_t arrayStart = index.size();
        const auto count = static_cast<std::uint32_t>(planned.ranges.size());
        // The array first, its offsets known from the ranges' sizes; then each subtable.
        std::size_t subtableOffset = IndexArrayEntryBytes * count;
        for (const Range& range : planned.ranges) {
            indexOut.u16(range.first);
            indexOut.u16(range.last);
            indexOut.u32(static_cast<std::uint32_t>(subtableOffset));
            subtableOffset += IndexSubHeaderBytes + 4 * (range.last - range.first + 2);
        }
        for (const Range& range : planned.ranges) {
            const std::size_t imageStart = ebdt.size();
            if (imageStart > std::numeric_limits<std::uint32_t>::max()) return false;
            indexOut.u16(IndexFormatOffsets32);
            indexOut.u16(ImageFormatBigMetricsBytes);
            indexOut.u32(static_cast<std::uint32_t>(imageStart));
            for (std::uint32_t g = range.first; g <= range.last; ++g) {
                indexOut.u32(static_cast<std::uint32_t>(ebdt.size() - imageStart));
                if (fitsStrike(strike.glyphs[g])) putImage(data, font, *strike.glyphs[g], lineHeight);
            }
            indexOut.u32(static_cast<std::uint32_t>(ebdt.size() - imageStart));
        }
        sizes.u32(static_cast<std::uint32_t>(indexStart + arrayStart));
        sizes.u32(static_cast<std::uint32_t>(index.size() - arrayStart));
        sizes.u32(count);
        sizes.u32(0);  // colorRef
        putLineMetrics(sizes, strike, planned.ranges);  // horizontal
        putLineMetrics(sizes, strike, planned.ranges);  // vertical: the same, as no vertical layout is made
        sizes.u16(planned.ranges.front().first);
        sizes.u16(planned.ranges.back().last);
        sizes.u8(static_cast<std::uint32_t>(strike.ppem));
        sizes.u8(static_cast<std::uint32_t>(strike.ppem));
        sizes.u8(1);  // bit depth
        sizes.u8(FlagHorizontalMetrics);
    }
    if (ebdt.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    eblc.reserve(eblc.size() + index.size());
    eblc.insert(eblc.end(), index.begin(), index.end());
    return true;
}

}  // namespace

bool putBitmapTables(ByteVector& eblc, ByteVector& ebdt, const TtfPlan& plan) {
    const bool built = runGuarded([&] { return build(eblc, ebdt, plan) ? 1 : 0; }, 0) == 1;
    if (!built) {
        eblc.clear();
        ebdt.clear();
    }
    return built;
}
