// PCF reader: readPcfFont in its fixed table order, the accelerators, the bitmap block with its
// layout conversion, the encodings and the default glyph. Owns the BitmapFont until it passes to
// the Font on success.
#include "pcf/pcf_reader.h"

#include <cstring>
#include <memory>
#include <optional>

#include "font/bitmap.h"
#include "font/code_map.h"
#include "font/face_limit.h"

namespace {
struct BitmapRequest {
    int bitOrder;
    int byteOrder;
    int glyphPad;
    int scanUnit;
};

[[nodiscard]] bool validRequest(const BitmapRequest& want) {
    bool padOk = want.glyphPad == 1 || want.glyphPad == 2 || want.glyphPad == 4 || want.glyphPad == 8;
    bool unitOk = want.scanUnit == 1 || want.scanUnit == 2 || want.scanUnit == 4;
    bool ordersOk = (want.bitOrder == 0 || want.bitOrder == 1) && (want.byteOrder == 0 || want.byteOrder == 1);
    return padOk && unitOk && ordersOk;
}

void swapUnits(ByteVector& block, int unit) {
    auto count = static_cast<std::int64_t>(block.size());
    if (unit == 2) swapTwoBytes(block.data(), count);
    else if (unit == 4) swapFourBytes(block.data(), count);
}

// True when the glyphs' bitmaps follow one another in the block without sharing bytes, as every
// font compiler lays them out; a hostile file may stack or reorder them.
[[nodiscard]] bool laidOutInOrder(const ModelVector<Glyph>& glyphs, const ModelVector<std::uint32_t>& offsets,
                                  int filePad) {
    std::int64_t end = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        std::int64_t bytes = glyphBitmapBytes(glyphs[i].metrics, filePad);
        if (bytes == 0) continue;
        if (offsets[i] < end) return false;
        end = offsets[i] + bytes;
    }
    return true;
}

// Walks the glyphs in order: each gets its new offset (the running total of the re-padded sizes) and
// `lay` lays its rows out at wantPad from its old offset in `source` to the new one in `destination`.
// Glyphs without bytes move nothing (both layers write and count nothing for them).
template <class Lay>
void relayGlyphs(const ModelVector<Glyph>& glyphs, ModelVector<std::uint32_t>& offsets, int filePad, int wantPad,
                 const std::uint8_t* source, std::uint8_t* destination, Lay lay) {
    std::int64_t running = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const GlyphMetrics& m = glyphs[i].metrics;
        std::uint32_t oldOffset = offsets[i];
        offsets[i] = static_cast<std::uint32_t>(running);
        running += lay(source + oldOffset, destination + running, filePad, wantPad, glyphWidth(m), glyphHeight(m));
    }
}

// The bitmap table as read: its format word, each glyph's offset in the block and the block sizes
// for the four pads. The block itself goes into BitmapFont::bitmapBlock in the file's layout.
struct BitmapTable {
    std::uint32_t format = 0;
    ModelVector<std::uint32_t> offsets;
    std::int32_t sizes[4] = {};
};

// The bytes every glyph's bitmap takes re-padded to `wantPad`, into `total`; false after noting
// why the table does not allow them. The size comes from the glyphs themselves, never from the
// size entry the file claims, yet must stay within that entry.
[[nodiscard]] bool repaddedSize(PcfInput& input, const BitmapFont& bitmapFont, const BitmapTable& table, int wantPad,
                                std::int64_t& total) {
    input.part = pcfTableName(PcfBitmaps);
    const std::int32_t claimed = table.sizes[padShift(wantPad) - 3];
    if (claimed < 0) return refuse(input, "a negative block size for pad %d, %d", wantPad, static_cast<int>(claimed));
    total = 0;
    for (const Glyph& glyph : bitmapFont.glyphs) total += glyphBitmapBytes(glyph.metrics, wantPad);
    if (total > claimed)
        return refuse(input, "the bitmaps take %lld bytes at pad %d, more than the %d its size entry gives",
                      static_cast<long long>(total), wantPad, static_cast<int>(claimed));
    // Each re-padded row is at most eight times its old row, so glyphs that do not share bytes
    // stay within this; glyphs stacked on the same bytes must not multiply the memory.
    if (total > 8 * static_cast<std::int64_t>(bitmapFont.bitmapBlock.size()))
        return refuse(input, "the bitmaps take %lld bytes at pad %d, more than eight times the block",
                      static_cast<long long>(total), wantPad);
    return true;
}

// Re-pads the block to `total` bytes (from repaddedSize).
void repadBlock(BitmapFont& bitmapFont, ModelVector<std::uint32_t>& offsets, int filePad, int wantPad,
                std::int64_t total) {
    ModelVector<Glyph>& glyphs = bitmapFont.glyphs;

    // Narrower rows, glyphs in order: every glyph's new bitmap starts at or before its old one and
    // ends before the next glyph's old one, so the rows move down within the block they were read
    // into. This spares a second block of the font's size (and its fresh pages, most of a large
    // font's load time).
    std::uint8_t* block = bitmapFont.bitmapBlock.data();
    if (wantPad < filePad && laidOutInOrder(glyphs, offsets, filePad)) {
        // The inline mover: a call to the general repadBitmap per glyph cost a quarter of a font of
        // many small glyphs (the agreement test pins the two together).
        const int oldShift = padShift(filePad), newShift = padShift(wantPad);
        relayGlyphs(glyphs, offsets, filePad, wantPad, block, block,
                    [oldShift, newShift](const std::uint8_t* source, std::uint8_t* destination, int, int,
                                         std::int32_t width, std::int32_t rows) {
                        return narrowRowsAtShifts(source, destination, oldShift, newShift, width, rows);
                    });
        bitmapFont.bitmapBlock.resize(static_cast<std::size_t>(total));
        return;
    }
    ByteVector repadded(static_cast<std::size_t>(total));
    relayGlyphs(glyphs, offsets, filePad, wantPad, block, repadded.data(), repadBitmap);
    bitmapFont.bitmapBlock = std::move(repadded);
}

[[nodiscard]] bool readBitmapTable(PcfInput& input, const PcfDirectory& directory, BitmapFont& bitmapFont,
                                   BitmapTable& table) {
    ModelVector<Glyph>& glyphs = bitmapFont.glyphs;
    if (!seekTable(input, directory, PcfBitmaps)) return refuseMissingTable(input, directory, PcfBitmaps);
    std::uint32_t& format = table.format;
    if (!readLsbInt32(input, format)) return false;
    if (pcfFormatKind(format) != PcfDefaultFormat) return refuseFormat(input, format);
    std::int32_t count;
    if (!readInt32(input, format, count)) return false;
    if (count < 0 || static_cast<std::size_t>(count) != glyphs.size())
        return refuse(input, "a glyph count of %d for the %d glyphs of the PCF_METRICS table", static_cast<int>(count),
                      static_cast<int>(glyphs.size()));
    ModelVector<std::uint32_t>& offsets = table.offsets;
    reserveDeclared(offsets, count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t offset;
        if (!readInt32(input, format, offset)) return false;
        growAhead(offsets, count);
        offsets.push_back(static_cast<std::uint32_t>(offset));
    }
    for (std::int32_t& size : table.sizes)
        if (!readInt32(input, format, size)) return false;

    int filePad = pcfGlyphPad(format);
    std::int64_t size = table.sizes[pcfGlyphPadIndex(format)];
    if (size < 0) return refuse(input, "a negative block size, %lld", static_cast<long long>(size));
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        // Subtract: offset + bytes could pass the 32-bit range.
        if (offsets[i] > size || glyphBitmapBytes(glyphs[i].metrics, filePad) > size - offsets[i])
            return refuse(input, "glyph %d at offset %u runs past the %lld-byte block", static_cast<int>(i),
                          static_cast<unsigned>(offsets[i]), static_cast<long long>(size));
    }
    return readBlock(input, bitmapFont.bitmapBlock, size);
}

// Brings the block from the file's layout into the requested one and points every glyph at its bitmap.
[[nodiscard]] bool layOutBitmaps(PcfInput& input, BitmapTable& table, const BitmapRequest& want,
                                 BitmapFont& bitmapFont) {
    ModelVector<Glyph>& glyphs = bitmapFont.glyphs;
    const std::uint32_t format = table.format;
    const int filePad = pcfGlyphPad(format);
    if (pcfBitOrder(format) != want.bitOrder)
        invertBitOrder(bitmapFont.bitmapBlock.data(), static_cast<std::int64_t>(bitmapFont.bitmapBlock.size()));
    // Units are undone in the file's rows and applied in the requested rows. Swapping once,
    // before re-padding, would move a row's pixel bytes into padding (or a neighbouring row)
    // whenever a pad is narrower than the unit, and would keep the file's unit when both sides
    // swap with different units. Where both pads hold whole units the bytes are the same.
    bool fileSame = pcfByteOrder(format) == pcfBitOrder(format);
    bool wantSame = want.byteOrder == want.bitOrder;
    if (!fileSame) swapUnits(bitmapFont.bitmapBlock, pcfScanUnit(format));

    if (filePad != want.glyphPad) {
        std::int64_t total = 0;
        if (!repaddedSize(input, bitmapFont, table, want.glyphPad, total)) return false;
        repadBlock(bitmapFont, table.offsets, filePad, want.glyphPad, total);
    }
    if (!wantSame) swapUnits(bitmapFont.bitmapBlock, want.scanUnit);

    std::uint8_t* block = bitmapFont.bitmapBlock.data();
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        glyphs[i].bitmap = glyphBitmapBytes(glyphs[i].metrics, want.glyphPad) == 0 ? nullptr : block + table.offsets[i];
    return true;
}

// The most bytes a code page's glyphs take in the file's layout before the conversion keeps only
// them: eight times the largest face (rows of 8-byte pads around single bytes of pixels). A page
// claiming more is laid out whole, as without a page, and refused by the mapping unless its cells
// still fit a face (a fixed-pitch face cuts glyphs wider than their advance).
constexpr std::int64_t MaxKeptBitmapBytes = 8 * MaxFaceBytes;

// Copies `count` bytes of the block from `offset` with the file's byte swap undone. The file swaps
// within units counted from the start of the whole block (across glyph boundaries when its pad is
// narrower than its unit), so each byte is fetched from where the unit put it; a partial last unit
// stays as it is, as the whole-block swap leaves it.
void copyUnswapped(const ByteVector& block, std::uint32_t offset, std::uint32_t count, int unit, std::uint8_t* out) {
    const std::uint64_t whole = block.size() - block.size() % static_cast<std::size_t>(unit);
    const std::uint64_t flip = static_cast<std::uint64_t>(unit) - 1;
    for (std::uint64_t at = offset, end = std::uint64_t{offset} + count; at < end; ++at)
        *out++ = block[static_cast<std::size_t>(at < whole ? at ^ flip : at)];
}

// For a conversion into a code page: drops the glyphs no kept code reaches, with their ink
// metrics and bitmap bytes, so that only the page's glyphs are laid out. The checks the whole
// layout would make are made first, over every glyph. False only for a file the whole layout
// would refuse; when the kept glyphs would take too much, nothing is dropped.
[[nodiscard]] bool keepOnly(PcfInput& input, const CodeSet& kept, const FontInfo& info, const BitmapRequest& want,
                            BitmapFont& bitmapFont, BitmapTable& table) {
    ModelVector<Glyph>& glyphs = bitmapFont.glyphs;
    const int filePad = pcfGlyphPad(table.format);
    std::int64_t total = 0;
    if (filePad != want.glyphPad && !repaddedSize(input, bitmapFont, table, want.glyphPad, total)) return false;

    const std::size_t columns = static_cast<std::size_t>(info.lastColumn - info.firstColumn + 1);
    ModelVector<std::int32_t> newIndex(glyphs.size(), -1);
    std::int64_t keptBytes = 0;
    std::int32_t keptCount = 0;
    for (std::size_t e = 0; e < bitmapFont.encoding.size(); ++e) {
        const std::uint32_t code = (info.firstRow + static_cast<std::uint32_t>(e / columns)) << 8 |
                                   (info.firstColumn + static_cast<std::uint32_t>(e % columns));
        const Glyph* glyph = bitmapFont.encoding[e];
        if (!glyph || code > 0xFFFF || !kept.test(code)) continue;
        const auto index = static_cast<std::size_t>(glyph - glyphs.data());
        if (newIndex[index] >= 0) continue;
        newIndex[index] = 0;
        keptBytes += glyphBitmapBytes(glyph->metrics, filePad);
        ++keptCount;
    }
    if (keptBytes > MaxKeptBitmapBytes) return true;

    // Kept glyphs stay in file order; their bytes follow one another in a block of their own.
    ModelVector<Glyph> keptGlyphs;
    keptGlyphs.reserve(static_cast<std::size_t>(keptCount));
    ModelVector<std::uint32_t> keptOffsets;
    keptOffsets.reserve(static_cast<std::size_t>(keptCount));
    ByteVector keptBlock(static_cast<std::size_t>(keptBytes));
    std::optional<ModelVector<GlyphMetrics>> keptInk;
    if (bitmapFont.inkMetrics) keptInk.emplace();
    // Packed at new offsets, the glyphs no longer sit where the file's units do: their swap is undone
    // while they are copied, and the format then says the block is in the file's bit order alone.
    const int unit = pcfScanUnit(table.format);
    const bool swapped = pcfByteOrder(table.format) != pcfBitOrder(table.format) && (unit == 2 || unit == 4);
    std::uint32_t at = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (newIndex[i] < 0) continue;
        newIndex[i] = static_cast<std::int32_t>(keptGlyphs.size());
        keptGlyphs.push_back(glyphs[i]);
        keptOffsets.push_back(at);
        if (keptInk) keptInk->push_back((*bitmapFont.inkMetrics)[i]);
        const auto bytes = static_cast<std::uint32_t>(glyphBitmapBytes(glyphs[i].metrics, filePad));
        if (swapped)
            copyUnswapped(bitmapFont.bitmapBlock, table.offsets[i], bytes, unit, keptBlock.data() + at);
        else if (bytes > 0)
            std::memcpy(keptBlock.data() + at, bitmapFont.bitmapBlock.data() + table.offsets[i], bytes);
        at += bytes;
    }
    if (swapped) table.format ^= PcfByteOrderBit;
    // Codes outside the page lose their glyphs: the encoding then says which remain.
    for (std::size_t e = 0; e < bitmapFont.encoding.size(); ++e) {
        Glyph*& entry = bitmapFont.encoding[e];
        if (!entry) continue;
        const std::int32_t index = newIndex[static_cast<std::size_t>(entry - glyphs.data())];
        const std::uint32_t code = (info.firstRow + static_cast<std::uint32_t>(e / columns)) << 8 |
                                   (info.firstColumn + static_cast<std::uint32_t>(e % columns));
        entry = index >= 0 && code <= 0xFFFF && kept.test(code) ? &keptGlyphs[static_cast<std::size_t>(index)] : nullptr;
    }
    glyphs = std::move(keptGlyphs);
    table.offsets = std::move(keptOffsets);
    bitmapFont.bitmapBlock = std::move(keptBlock);
    if (keptInk) bitmapFont.inkMetrics = std::move(keptInk);
    return true;
}

[[nodiscard]] bool readEncodings(PcfInput& input, const PcfDirectory& directory, FontInfo& info,
                                 BitmapFont& bitmapFont) {
    if (!seekTable(input, directory, PcfBdfEncodings)) return refuseMissingTable(input, directory, PcfBdfEncodings);
    std::uint32_t format;
    if (!readLsbInt32(input, format)) return false;
    if (pcfFormatKind(format) != PcfDefaultFormat) return refuseFormat(input, format);
    std::int32_t firstColumn, lastColumn, firstRow, lastRow, defaultChar;
    if (!readInt16(input, format, firstColumn) || !readInt16(input, format, lastColumn) ||
        !readInt16(input, format, firstRow) || !readInt16(input, format, lastRow) ||
        !readInt16(input, format, defaultChar))
        return false;
    info.firstColumn = static_cast<std::uint16_t>(firstColumn);
    info.lastColumn = static_cast<std::uint16_t>(lastColumn);
    info.firstRow = static_cast<std::uint16_t>(firstRow);
    info.lastRow = static_cast<std::uint16_t>(lastRow);
    info.defaultChar = static_cast<std::uint16_t>(defaultChar);
    // Everything after the reader assumes first <= last.
    if (lastColumn < firstColumn)
        return refuse(input, "last column %d before first column %d", static_cast<int>(lastColumn),
                      static_cast<int>(firstColumn));
    if (lastRow < firstRow)
        return refuse(input, "last row %d before first row %d", static_cast<int>(lastRow), static_cast<int>(firstRow));

    std::int64_t entries = static_cast<std::int64_t>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    ModelVector<Glyph*>& encoding = bitmapFont.encoding;
    encoding.clear();
    reserveDeclared(encoding, entries);
    info.flags |= FlagAllCodesPresent;
    const auto glyphCount = static_cast<std::int32_t>(bitmapFont.glyphs.size());
    for (std::int64_t i = 0; i < entries; ++i) {
        std::int32_t index;
        if (!readInt16(input, format, index)) return false;
        growAhead(encoding, entries);
        if (index == 0xFFFF) {
            info.flags &= ~FlagAllCodesPresent;
            encoding.push_back(nullptr);
            continue;
        }
        if (index >= glyphCount)
            return refuse(input, "entry %lld names glyph %d of %d", static_cast<long long>(i), static_cast<int>(index),
                          static_cast<int>(glyphCount));
        encoding.push_back(&bitmapFont.glyphs[static_cast<std::size_t>(index)]);
    }
    return true;
}

Glyph* findDefaultGlyph(const FontInfo& info, const BitmapFont& bitmapFont) {
    if (info.defaultChar == 0xFFFF) return nullptr;
    return encodedGlyph(info, bitmapFont, info.defaultChar >> 8, info.defaultChar & 0xFF);
}

[[nodiscard]] bool readWholeFont(Font* font, PcfInput& input, const BitmapRequest& want) {
    FontInfo& info = font->info;
    PcfDirectory directory;
    if (!readTableDirectory(input, directory)) return false;
    if (!readProperties(input, directory, info)) return false;

    bool bdfAccelerators = hasTable(directory, PcfBdfAccelerators);
    if (!bdfAccelerators && !readAccelerators(input, directory, PcfAccelerators, info)) return false;

    auto bitmapFont = std::make_unique<BitmapFont>();
    bool found = false;
    if (!readMetricsTable(input, directory, PcfMetrics, bitmapFont->glyphs, found)) return false;
    if (!found) return refuseMissingTable(input, directory, PcfMetrics);
    // A conversion into code pages needs the bitmaps of the pages' glyphs only; which those are,
    // the encodings say, and they come after the bitmaps.
    const std::unique_ptr<CodeSet> kept = keptSourceCodes(info, font->codePages);
    BitmapTable bitmapTable;
    if (!readBitmapTable(input, directory, *bitmapFont, bitmapTable)) return false;
    if (!kept && !layOutBitmaps(input, bitmapTable, want, *bitmapFont)) return false;

    ModelVector<GlyphMetrics> inkMetrics;
    // Ink metrics are optional: a table that cannot be reached leaves the font without them.
    if (!readMetricsTable(input, directory, PcfInkMetrics, inkMetrics, found)) return false;
    if (found) {
        if (inkMetrics.size() != bitmapFont->glyphs.size())
            return refuse(input, "%d records for the %d glyphs of the PCF_METRICS table",
                          static_cast<int>(inkMetrics.size()), static_cast<int>(bitmapFont->glyphs.size()));
        bitmapFont->inkMetrics = std::move(inkMetrics);
    }

    if (!readEncodings(input, directory, info, *bitmapFont)) return false;
    if (kept) {
        if (!keepOnly(input, *kept, info, want, *bitmapFont, bitmapTable)) return false;
        if (!layOutBitmaps(input, bitmapTable, want, *bitmapFont)) return false;
        // Every glyph left has a code, and FlagAllCodesPresent must say whether every code has one.
        info.flags |= FlagAllCodesPresent;
        for (const Glyph* entry : bitmapFont->encoding)
            if (!entry) info.flags &= ~FlagAllCodesPresent;
    }
    // Listed BDF-style accelerators replace the plain ones and come last in the file.
    if (bdfAccelerators && !readAccelerators(input, directory, PcfBdfAccelerators, info)) return false;

    bitmapFont->sourceTag = PcfMagic;
    bitmapFont->glyphCount = static_cast<std::int32_t>(bitmapFont->glyphs.size());
    bitmapFont->tableCount = static_cast<std::int32_t>(directory.size());
    bitmapFont->defaultGlyph = findDefaultGlyph(info, *bitmapFont);

    font->bitOrder = static_cast<std::uint8_t>(want.bitOrder);
    font->byteOrder = static_cast<std::uint8_t>(want.byteOrder);
    font->glyphPad = static_cast<std::uint8_t>(want.glyphPad);
    font->scanUnit = static_cast<std::uint8_t>(want.scanUnit);
    font->getGlyphs = getGlyphs;
    font->getMetrics = getMetrics;
    font->releaseFont = releaseBinaryFont;
    font->releaseGlyphs = nullptr;
    font->bitmapFont = std::move(bitmapFont);
    if (checkFontModel(*font)) return true;
    font->bitmapFont.reset();
    input.part = "font";
    return refuse(input, "its tables make no consistent font");
}
}  // namespace

bool readAccelerators(PcfInput& input, const PcfDirectory& directory, std::uint32_t type, FontInfo& info) {
    if (!seekTable(input, directory, type)) return refuseMissingTable(input, directory, type);
    std::uint32_t format;
    if (!readLsbInt32(input, format)) return false;
    std::uint32_t kind = pcfFormatKind(format);
    if (kind != PcfDefaultFormat && kind != PcfAccelWithInkBounds) return refuseFormat(input, format);

    std::uint8_t flagBytes[8];
    for (std::uint8_t& byte : flagBytes)
        if (!readByte(input, byte)) return false;
    // Flag bytes 0 to 5 in file order; byte 6 is the direction, byte 7 padding.
    constexpr std::uint32_t flagOfByte[6] = {FlagNonOverlapping, FlagUniformMetrics, FlagTerminalCell,
                                             FlagFixedAdvance,   FlagInkWithinCell,  FlagHasInkMetrics};
    for (int i = 0; i < 6; ++i) {
        if (flagBytes[i] & 1) info.flags |= flagOfByte[i];
        else info.flags &= ~flagOfByte[i];
    }
    setDirection(info.flags, flagBytes[6] & 3u);
    info.flags &= ~FlagAlwaysClear;
    info.flags |= FlagAlwaysSet;

    std::int32_t ascent, descent, overlap;
    if (!readInt32(input, format, ascent) || !readInt32(input, format, descent) || !readInt32(input, format, overlap))
        return false;
    // The 32-bit values keep their low 16 bits.
    info.fontAscent = static_cast<std::int16_t>(ascent);
    info.fontDescent = static_cast<std::int16_t>(descent);
    info.maxOverlap = static_cast<std::int16_t>(overlap);
    if (!readFullMetric(input, format, info.minBounds) || !readFullMetric(input, format, info.maxBounds)) return false;
    if (kind == PcfAccelWithInkBounds) {
        if (!readFullMetric(input, format, info.inkMinBounds) || !readFullMetric(input, format, info.inkMaxBounds))
            return false;
    } else {
        info.inkMinBounds = info.minBounds;
        info.inkMaxBounds = info.maxBounds;
    }
    return true;
}

int readPcfFont(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad, int scanUnit,
                ReadReason* reason) {
    if (!font || !stream) return StatusFail;
    BitmapRequest want{bitOrder, byteOrder, glyphPad, scanUnit};
    font->info.properties.clear();
    font->info.propertyIsString.clear();
    PcfInput input;
    input.stream = stream;
    input.reason = reason;
    if (!validRequest(want)) {
        noteReason(reason, "a bitmap layout the programs never ask for");
    } else {
        // Storage that could not be had throws past the step that wanted it, which noted nothing.
        constexpr int OutOfMemory = -1;
        int status = runGuarded([&] { return readWholeFont(font, input, want) ? StatusOk : StatusFail; }, OutOfMemory);
        if (status == StatusOk) return StatusOk;
        if (status == OutOfMemory) (void)refuse(input, "out of memory");
    }
    // Give the property arrays' memory back, not just their contents.
    ModelVector<FontProperty>().swap(font->info.properties);
    ByteVector().swap(font->info.propertyIsString);
    return StatusFail;
}
