// The FON writer's entries: check each font's shape and build its font resource and "SNF" resource
// in memory, then the font directory of them all, and hand everything to the NE container.
#include "fon/fon_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

#include "fon/byte_reader.h"
#include "fon/byte_writer.h"
#include "fon/fnt_resource.h"
#include "fon/info_resource.h"
#include "fon/ne_module.h"

namespace {

constexpr std::uint32_t LetterX = 88;
constexpr std::uint32_t Space = 32;

std::uint16_t integerPropertyOrZero(const Font& font, const char* name) {
    const std::int32_t value = findIntegerProperty(font, name);
    return value == -1 ? 0 : static_cast<std::uint16_t>(value);
}

// Windows, like every other reader of the format, counts dfDefaultChar from dfFirstChar. A default
// character inside the font's range is written that way, so Windows substitutes the glyph X does;
// any other keeps its low byte as it always was (no default character gives 0xFF). Fonts starting
// at code 0 come out the same either way.
std::uint8_t defaultCharByte(const FontInfo& info) {
    const std::uint32_t row = info.defaultChar >> 8, column = info.defaultChar & 0xFF;
    if (row == info.firstRow && column >= info.firstColumn && column <= info.lastColumn)
        return static_cast<std::uint8_t>(column - info.firstColumn);
    return static_cast<std::uint8_t>(info.defaultChar & 0xFF);
}

// The break character (the space, by which justification widens a line) counts from dfFirstChar
// too; a font whose range holds no space names its first character, 0.
std::uint8_t breakCharByte(const FontInfo& info) {
    return info.firstColumn <= Space && Space <= info.lastColumn ? static_cast<std::uint8_t>(Space - info.firstColumn)
                                                                 : 0;
}

std::string_view faceNameOf(const FontStream* stream) {
    return stream && stream->fontName ? std::string_view(stream->fontName) : std::string_view();
}

// The face name a built font resource holds (from dfFace, offset 105, to its zero byte): each font
// of a family holds it in its own character set, and its directory entry repeats it.
std::string_view heldFaceName(const ByteVector& fnt) {
    const ByteReader reader(fnt);
    std::uint32_t at = 0;
    std::span<const std::uint8_t> name;
    if (!reader.u32(105, &at) || !reader.text(at, reader.size(), &name)) return {};
    return {reinterpret_cast<const char*>(name.data()), name.size()};
}

int buildChecked(const Font& font, std::string_view faceName, int glyphPad, FontResources& resources) {
    if (!font.bitmapFont || glyphPad != font.glyphPad) return StatusFail;
    const FontInfo& info = font.info;
    // One byte of codes per character: a second row, or a column past 255, cannot be expressed.
    if (info.firstRow != info.lastRow || info.firstColumn > 255 || info.lastColumn > 255) return StatusBadFormat;
    // A range ending just before it starts is an empty font; one inverted further has no layout.
    if (std::int32_t{info.lastColumn} + 1 < std::int32_t{info.firstColumn}) return StatusBadFormat;
    // The reader has established the model's invariants; nothing below checks them again.
    assert(checkFontModel(font));

    // Terminal cells found past the largest face were never built: the font cannot be written.
    if (font.exceedsFaceLimit) return StatusFail;
    const bool fixedPitch = isFixedPitch(info);

    FntHeader header;
    if (const char* copyright = findStringProperty(font, "COPYRIGHT")) {
        // Exactly 60 characters leave no room for a terminator, as the field intends.
        std::memcpy(header.dfCopyright, copyright, std::min(std::strlen(copyright), FntCopyrightSize));
    }
    header.dfPoints = integerPropertyOrZero(font, "POINT_SIZE");
    header.dfVertRes = integerPropertyOrZero(font, "RESOLUTION_Y");
    header.dfHorizRes = integerPropertyOrZero(font, "RESOLUTION_X");
    header.dfItalic = font.windowsStyle.italic;
    header.dfWeight = font.windowsStyle.weight;
    header.dfCharSet = font.windowsStyle.charSet;
    const std::int32_t height = cellHeight(info);
    if (height < 0) return StatusFail;
    header.dfPixWidth = (info.flags & FlagUniformMetrics) ? static_cast<std::uint16_t>(info.maxBounds.advance) : 0;
    header.dfPixHeight = static_cast<std::uint16_t>(height);
    // Where the cells put the baseline, not the X font's FONT_ASCENT, which the "SNF" resource keeps:
    // readers of the face draw each cell that many rows above the baseline.
    header.dfAscent = static_cast<std::uint16_t>(cellAscent(info));
    header.dfPitchAndFamily = fixedPitch ? 0x50 : 0x51;
    header.dfAvgWidth = static_cast<std::uint16_t>(info.maxBounds.advance);
    header.dfFirstChar = static_cast<std::uint8_t>(info.firstColumn);
    header.dfLastChar = static_cast<std::uint8_t>(info.lastColumn);
    header.dfDefaultChar = defaultCharByte(info);
    header.dfBreakChar = breakCharByte(info);

    const std::uint32_t positions =
        static_cast<std::uint32_t>(std::int32_t{info.lastColumn} - std::int32_t{info.firstColumn} + 1);
    // One row: the encoding table holds exactly one entry per position.
    const ModelVector<Glyph*>& glyphs = font.bitmapFont->encoding;
    std::int64_t maxWidth = 0;
    std::int64_t widthBytes = 0;
    for (std::uint32_t i = 0; i < positions; ++i) {
        const Glyph* glyph = glyphs[i];
        if (!glyph) continue;
        const std::int32_t width = cellWidth(glyph->metrics, fixedPitch);
        maxWidth = std::max<std::int64_t>(maxWidth, width);
        widthBytes += cellColumns(width);
        if (header.dfFirstChar + i == LetterX) header.dfAvgWidth = static_cast<std::uint16_t>(width);
    }
    widthBytes += cellColumns(static_cast<std::int32_t>(maxWidth));
    // The sentinel's cell is as wide as dfMaxWidth says: a wider glyph has no layout.
    if (maxWidth > 0xFFFF) return StatusFail;
    header.dfMaxWidth = static_cast<std::uint16_t>(maxWidth);
    header.dfWidthBytes = static_cast<std::uint16_t>(widthBytes & 0xFFFF);

    // 64 bits: H x dfWidthBytes can pass 2^32 long before the size check rejects it.
    const FntLayout layout =
        planFntLayout(positions, static_cast<std::int64_t>(faceName.size()), std::int64_t{height} * widthBytes);
    if (layout.size > MaxFaceBytes) return StatusFail;
    header.dfVersion = layout.version;
    if (layout.version == FntVersion3) header.dfFlags = fixedPitch ? Fnt3FixedPitch : Fnt3Proportional;
    header.dfFace = static_cast<std::uint32_t>(layout.face);
    header.dfBitsOffset = static_cast<std::uint32_t>(layout.bitsOffset);
    header.dfSize = static_cast<std::uint32_t>(layout.size);

    ByteVector& fnt = resources.fnt;
    fnt.clear();
    fnt.reserve(header.dfBitsOffset);

    InfoResourcePlan plan;
    if (!planInfoResource(font, plan)) return StatusFail;
    ByteVector& infoResource = resources.info;
    infoResource.clear();
    infoResource.reserve(plan.size);

    ByteWriter out(fnt);
    putFntHeader(out, header);
    std::uint32_t offset = header.dfBitsOffset;
    for (std::uint32_t i = 0; i < positions; ++i) {
        const Glyph* glyph = glyphs[i];
        const std::int32_t width = glyph ? cellWidth(glyph->metrics, fixedPitch) : 0;
        putFntCharEntry(out, layout.version, static_cast<std::uint32_t>(width), offset);
        if (glyph) offset += static_cast<std::uint32_t>(cellColumns(width) * height);
    }
    putFntCharEntry(out, layout.version, header.dfMaxWidth, offset);
    out.bytes(faceName);
    out.u8(0);
    // The cells follow, H rows of every cell's columns and the sentinel's.
    if (fnt.size() != header.dfBitsOffset || header.dfSize - header.dfBitsOffset != height * widthBytes)
        return StatusFail;
    resources.font = &font;
    resources.cellBytes = header.dfSize - header.dfBitsOffset;
    resources.glyphPad = glyphPad;

    ByteWriter infoOut(infoResource);
    buildInfoResource(font, font.bitmapFont.get(), plan, infoOut);
    if (infoResource.size() != plan.size) return StatusFail;
    return StatusOk;
}

// Appends the cells of a face planned by buildChecked to `cells`: each character's in order, then
// the sentinel's.
bool buildCells(const FontResources& resources, ByteVector& cells) {
    const Font& font = *resources.font;
    const FontInfo& info = font.info;
    const bool fixedPitch = isFixedPitch(info);
    const std::size_t height = static_cast<std::size_t>(cellHeight(info));
    const std::uint32_t positions =
        static_cast<std::uint32_t>(std::int32_t{info.lastColumn} - std::int32_t{info.firstColumn} + 1);
    const ModelVector<Glyph*>& glyphs = font.bitmapFont->encoding;
    const std::size_t start = cells.size();
    cells.reserve(start + resources.cellBytes);
    ByteWriter out(cells);
    std::int32_t maxWidth = 0;
    for (std::uint32_t i = 0; i < positions; ++i) {
        const Glyph* glyph = glyphs[i];
        if (!glyph) continue;
        const std::int32_t width = cellWidth(glyph->metrics, fixedPitch);
        maxWidth = std::max(maxWidth, width);
        const std::size_t at = out.size();
        out.zeros(static_cast<std::size_t>(cellColumns(width)) * height);
        (void)putGlyphCell(std::span<std::uint8_t>(cells).subspan(at), font, resources.glyphPad, glyph);
    }
    out.zeros(static_cast<std::size_t>(cellColumns(maxWidth)) * height);
    return cells.size() - start == resources.cellBytes;
}

int writeFamilyChecked(FontStream* stream, std::span<const FontResources> fonts) {
    if (fonts.empty() || fonts.size() > MaxFamilyFonts) return StatusFail;
    std::int64_t total = 0;
    for (const FontResources& font : fonts) {
        if (!font.font) return StatusFail;
        total += resourceBytesOf(font);
    }
    if (total > MaxFamilyBytes) return StatusFail;
    const std::string_view faceName = faceNameOf(stream);
    // Built without a fixed buffer, so no base name is too long for it.
    const ModelString description = "FONTRES 133, 96, 72: " + ModelString(faceName);

    ByteVector directory;
    std::size_t directorySize = 2;
    for (const FontResources& font : fonts)
        directorySize += FontDirectoryEntryFixedSize + heldFaceName(font.fnt).size();
    directory.reserve(directorySize);
    ByteWriter directoryOut(directory);
    directoryOut.u16(static_cast<std::uint32_t>(fonts.size()));
    for (std::size_t k = 0; k < fonts.size(); ++k)
        putFontDirectoryEntry(directoryOut, static_cast<std::uint32_t>(k + 1), fonts[k].fnt,
                              heldFaceName(fonts[k].fnt));

    // One type block holds every font and one every "SNF" resource: loaders look for the fonts of a
    // file in the first block of their type.
    ModelVector<ResourceEntry> resources;
    resources.reserve(1 + 2 * fonts.size());
    resources.push_back({{ResourceTypeFontDirectory, nullptr}, {0, "FONTDIR"}, directory.data(),
                         static_cast<std::uint32_t>(directory.size()), 0x0C50});
    for (std::size_t k = 0; k < fonts.size(); ++k) {
        const FontResources& font = fonts[k];
        resources.push_back({{ResourceTypeFont, nullptr}, {static_cast<std::uint16_t>(k + 1), nullptr}, nullptr,
                             static_cast<std::uint32_t>(fntSizeOf(font)), 0x1C30, k > 0,
                             [&font](ByteVector& bytes) {
                                 bytes = font.fnt;
                                 return buildCells(font, bytes);
                             }});
    }
    for (std::size_t k = 0; k < fonts.size(); ++k)
        resources.push_back({{0, "SNF"}, {static_cast<std::uint16_t>(k + 1), nullptr}, fonts[k].info.data(),
                             static_cast<std::uint32_t>(fonts[k].info.size()), 0x0C30, k > 0});
    return writeNeModule(stream, resources, stream->fontName, description.c_str());
}

}  // namespace

int buildFontResources(const Font& font, std::string_view faceName, int glyphPad, FontResources* out) {
    if (!out) return StatusFail;
    return runGuarded([&] { return buildChecked(font, faceName, glyphPad, *out); });
}

std::int64_t fntSizeOf(const FontResources& font) {
    return static_cast<std::int64_t>(font.fnt.size()) + font.cellBytes;
}

std::int64_t resourceBytesOf(const FontResources& font) {
    return fntSizeOf(font) + static_cast<std::int64_t>(font.info.size());
}

std::uint16_t fntVersionOf(const FontResources& font) {
    return font.fnt.size() < 2 ? 0 : static_cast<std::uint16_t>(font.fnt[0] | font.fnt[1] << 8);
}

bool sameWindowsSelection(const FontResources& a, const FontResources& b) {
    // dfItalic (80), dfWeight (83, 2 bytes), dfCharSet (85), dfPixHeight (88, 2 bytes).
    constexpr std::size_t fields[] = {80, 83, 84, 85, 88, 89};
    if (a.fnt.size() < FntHeaderSize || b.fnt.size() < FntHeaderSize) return false;
    for (std::size_t at : fields)
        if (a.fnt[at] != b.fnt[at]) return false;
    return true;
}

int writeFonFamily(FontStream* stream, std::span<const FontResources> fonts) {
    if (!stream) return StatusFail;
    return runGuarded([&] { return writeFamilyChecked(stream, fonts); });
}

int writeFon(Font* font, FontStream* stream, int glyphPad) {
    if (!font || !stream) return StatusFail;
    return runGuarded([&] {
        FontResources resources;
        const int status = buildChecked(*font, faceNameOf(stream), glyphPad, resources);
        if (status != StatusOk) return status;
        return writeFamilyChecked(stream, std::span<const FontResources>(&resources, 1));
    });
}
