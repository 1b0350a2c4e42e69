// Sizes and builds the "SNF" information resource. Owns the AtomUse table during one write.
#include "fon/info_resource.h"

#include <cstring>

namespace {

std::uint32_t positionCountOf(const FontInfo& info) {
    // writeFon has rejected ranges inverted by more than one.
    const std::int32_t n = std::int32_t{info.lastColumn} - std::int32_t{info.firstColumn} + 1;
    return n > 0 ? static_cast<std::uint32_t>(n) : 0;
}

// The readers give every glyph an ink record when there are any (checkFontModel).
bool hasInkSection(const Font& font) {
    const BitmapFont* bitmapFont = font.bitmapFont.get();
    return (font.info.flags & FlagHasInkMetrics) && bitmapFont && bitmapFont->inkMetrics;
}

}  // namespace

void putGlyphMetrics(ByteWriter& out, const GlyphMetrics& metrics) {
    out.u16(static_cast<std::uint16_t>(metrics.leftBearing));   // 0
    out.u16(static_cast<std::uint16_t>(metrics.rightBearing));  // 2
    out.u16(static_cast<std::uint16_t>(metrics.advance));       // 4
    out.u16(static_cast<std::uint16_t>(metrics.ascent));        // 6
    out.u16(static_cast<std::uint16_t>(metrics.descent));       // 8
    out.u16(metrics.attributes);                                // 10
}

void putInfoBounds(ByteWriter& out, const GlyphMetrics& bounds) {
    putGlyphMetrics(out, bounds);  // 0
    out.zeros(4);                  // 12
}

void putInfoCharRecord(ByteWriter& out, const GlyphMetrics* metrics) {
    if (!metrics) {
        out.zeros(InfoCharRecordSize);
        return;
    }
    putGlyphMetrics(out, *metrics);  // 0
    out.u32(InfoGlyphPresentBit);    // 12
}

void putInfoProperty(ByteWriter& out, std::uint32_t nameOffset, std::uint32_t value, std::uint8_t isString) {
    out.u32(nameOffset);                                                           // 0
    out.u32(value);                                                                // 4
    out.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<std::int8_t>(isString))));  // 8
}

void putInfoHeader(ByteWriter& out, const InfoHeader& header) {
    out.u16(header.version);                                  // 0
    out.u16(header.allCodesPresent);                          // 2
    out.u16(header.drawDirection);                            // 4
    out.u16(header.nonOverlapping);                           // 6
    out.u16(header.uniformMetrics);                           // 8
    out.u16(header.terminalCell);                             // 10
    out.u32(header.bitFlags);                                 // 12
    out.u16(header.firstColumn);                              // 16
    out.u16(header.lastColumn);                               // 18
    out.u16(header.firstRow);                                 // 20
    out.u16(header.lastRow);                                  // 22
    out.u16(header.propertyCount);                            // 24
    out.u16(header.poolLength);                               // 26
    out.u16(header.defaultChar);                              // 28
    out.u16(static_cast<std::uint16_t>(header.fontDescent));  // 30
    out.u16(static_cast<std::uint16_t>(header.fontAscent));   // 32
    putInfoBounds(out, header.minBounds);                     // 34
    putInfoBounds(out, header.maxBounds);                     // 50
    out.u16(header.depth);                                    // 66
    out.u16(header.glyphSets);                                // 68
    out.u16(header.versionCheck);                             // 70
}

bool planInfoResource(const Font& font, InfoResourcePlan& plan) {
    const FontInfo& info = font.info;
    const std::size_t propertyCount = info.properties.size();
    if (propertyCount > 0xFFFF) return false;

    Atom atomCount = 0;
    while (atomName(atomCount + 1)) ++atomCount;
    plan.atomUse.assign(std::size_t{atomCount} + 1, AtomUse{});

    // An atom the table does not know has no text to pool; only a broken model (or an index
    // entry lost to memory exhaustion) gets here.
    auto markUsed = [&](std::uint32_t atom) {
        if (atom == 0 || atom > atomCount) return false;
        plan.atomUse[atom].used = 1;
        return true;
    };
    for (std::size_t i = 0; i < propertyCount; ++i) {
        const FontProperty& property = info.properties[i];
        if (!markUsed(property.name)) return false;
        if (info.propertyIsString[i] && !markUsed(static_cast<std::uint32_t>(property.value))) return false;
    }

    std::uint64_t poolTotal = 0;
    for (Atom k = 1; k <= atomCount; ++k) {
        AtomUse& use = plan.atomUse[k];
        if (!use.used) continue;
        use.text = atomName(k);
        poolTotal += std::strlen(use.text) + 1;
    }
    poolTotal += poolTotal & 1;
    if (poolTotal > InfoMaxPoolLength) return false;

    plan.positionCount = positionCountOf(info);
    plan.header = InfoHeader{};
    plan.header.poolLength = static_cast<std::uint16_t>(poolTotal);
    std::uint64_t size = InfoHeaderSize + InfoCharRecordSize * std::uint64_t{plan.positionCount} +
                         InfoPropertySize * std::uint64_t{propertyCount} + poolTotal;
    if (hasInkSection(font)) {
        plan.header.bitFlags |= InfoInkSectionBit;
        size += InfoCharRecordSize * (std::uint64_t{plan.positionCount} + 2);
    }
    plan.size = static_cast<std::uint32_t>(size);
    return true;
}

void buildInfoResource(const Font& font, const BitmapFont* bitmapFont, InfoResourcePlan& plan, ByteWriter& out) {
    const FontInfo& info = font.info;
    InfoHeader& header = plan.header;
    header.allCodesPresent = (info.flags & FlagAllCodesPresent) ? 1 : 0;
    header.drawDirection = static_cast<std::uint16_t>((info.flags & DirectionMask) >> DirectionShift);
    header.nonOverlapping = (info.flags & FlagNonOverlapping) ? 1 : 0;
    header.uniformMetrics = (info.flags & FlagUniformMetrics) ? 1 : 0;
    header.terminalCell = (info.flags & FlagTerminalCell) ? 1 : 0;
    if (info.flags & FlagFixedAdvance) header.bitFlags |= 1u << 1;
    if (info.flags & FlagInkWithinCell) header.bitFlags |= 1u << 2;
    header.firstColumn = info.firstColumn;
    header.lastColumn = info.lastColumn;
    // The resource describes one row, so it is always called row 0.
    header.firstRow = 0;
    header.lastRow = 0;
    header.propertyCount = static_cast<std::uint16_t>(info.properties.size());
    header.defaultChar = info.defaultChar;
    header.fontDescent = info.fontDescent;
    header.fontAscent = info.fontAscent;
    header.minBounds = info.minBounds;
    header.maxBounds = info.maxBounds;
    putInfoHeader(out, header);

    for (std::uint32_t i = 0; i < plan.positionCount; ++i) {
        const Glyph* glyph = font.bitmapFont->encoding[i];
        putInfoCharRecord(out, glyph ? &glyph->metrics : nullptr);
    }

    std::uint32_t poolOffset = 0;
    for (AtomUse& use : plan.atomUse) {
        if (!use.used) continue;
        use.offset = poolOffset;
        poolOffset += static_cast<std::uint32_t>(std::strlen(use.text) + 1);
    }

    for (std::size_t i = 0; i < info.properties.size(); ++i) {
        const FontProperty& property = info.properties[i];
        const std::uint8_t isString = info.propertyIsString[i];
        // planInfoResource has checked that every atom here has a record.
        const std::uint32_t value = isString ? plan.atomUse[static_cast<std::uint32_t>(property.value)].offset
                                             : static_cast<std::uint32_t>(property.value);
        putInfoProperty(out, plan.atomUse[property.name].offset, value, isString);
    }

    for (const AtomUse& use : plan.atomUse) {
        if (!use.used) continue;
        out.bytes(use.text);
        out.u8(0);
    }
    if (poolOffset & 1) out.u8(0);

    if (!(header.bitFlags & InfoInkSectionBit) || !bitmapFont) return;
    putInfoCharRecord(out, &info.inkMinBounds);
    putInfoCharRecord(out, &info.inkMaxBounds);
    for (std::uint32_t i = 0; i < plan.positionCount; ++i) {
        const Glyph* glyph = bitmapFont->encoding[i];
        putInfoCharRecord(out, glyph ? &(*bitmapFont->inkMetrics)[glyph - bitmapFont->glyphs.data()] : nullptr);
    }
}
