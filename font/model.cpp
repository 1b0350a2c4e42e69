// Glyph access through the encoding table, and the release operations of the two kinds of font.
#include "font/model.h"

#include <cstdint>
#include <cstring>
#include <functional>

const Glyph MissingGlyph{};

namespace {
// Appends the glyph for one encoding index (already made relative and compared without sign),
// falling back to the default glyph; nothing when neither exists.
void putGlyph(const BitmapFont& store, std::uint32_t index, std::uint32_t limit, Glyph** out, std::int32_t* written) {
    Glyph* glyph = index < limit ? store.encoding[index] : nullptr;
    if (!glyph) glyph = store.defaultGlyph;
    if (glyph) out[(*written)++] = glyph;
}
}  // namespace

int getGlyphs(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind, std::int32_t* outCount,
              Glyph** outGlyphs) {
    const FontInfo& info = font->info;
    const BitmapFont& store = *font->bitmapFont;
    std::int32_t written = 0;
    // Ranges may be empty (first above last); unsigned arithmetic then yields no valid index.
    std::uint32_t numColumns = static_cast<std::uint32_t>(info.lastColumn - info.firstColumn + 1);
    std::uint32_t numRows = static_cast<std::uint32_t>(info.lastRow - info.firstRow + 1);
    if (info.lastColumn < info.firstColumn) numColumns = 0;
    if (info.lastRow < info.firstRow) numRows = 0;
    std::uint32_t cells = static_cast<std::uint32_t>(store.encoding.size());
    std::uint32_t rowLimit = numColumns < cells ? numColumns : cells;

    switch (codeKind) {
    case CodesSingleByte:
    case CodesSingleByteMatrix:
        if (info.firstRow > 0) break;
        for (std::int32_t k = 0; k < count; ++k)
            putGlyph(store, codes[k] - static_cast<std::uint32_t>(info.firstColumn), rowLimit, outGlyphs, &written);
        break;
    case CodesDoubleByteLinear:
        for (std::int32_t k = 0; k < count; ++k) {
            std::uint32_t code = static_cast<std::uint32_t>(codes[2 * k]) * 256 + codes[2 * k + 1];
            putGlyph(store, code - info.firstColumn, rowLimit, outGlyphs, &written);
        }
        break;
    case CodesDoubleByteMatrix:
        for (std::int32_t k = 0; k < count; ++k) {
            std::uint32_t r = codes[2 * k] - static_cast<std::uint32_t>(info.firstRow);
            std::uint32_t q = codes[2 * k + 1] - static_cast<std::uint32_t>(info.firstColumn);
            bool inside = r < numRows && q < numColumns && static_cast<std::uint64_t>(r) * numColumns + q < cells;
            putGlyph(store, inside ? r * numColumns + q : cells, cells, outGlyphs, &written);
        }
        break;
    default:
        break;
    }
    // With every code present and a default glyph, each code yields exactly one pointer; the loop
    // above already behaves so, since a present code never falls through to "nothing".
    *outCount = written;
    return StatusOk;
}

int getMetrics(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind, std::int32_t* outCount,
               GlyphMetrics** outMetrics) {
    BitmapFont& store = *font->bitmapFont;
    ModelVector<Glyph*> glyphs;
    if (runGuarded([&] { glyphs.resize(static_cast<std::size_t>(count > 0 ? count : 0)); return StatusOk; }) !=
        StatusOk)
        return StatusFail;
    Glyph* savedDefault = store.defaultGlyph;
    // A missing code must give zero metrics, not the default glyph's.
    store.defaultGlyph = const_cast<Glyph*>(&MissingGlyph);
    int status = getGlyphs(font, count, codes, codeKind, outCount, glyphs.data());
    if (status == StatusOk) {
        for (std::int32_t k = 0; k < *outCount; ++k) {
            Glyph* glyph = glyphs[static_cast<std::size_t>(k)];
            outMetrics[k] = &glyph->metrics;
            if (glyph == &MissingGlyph || !store.inkMetrics) continue;
            std::ptrdiff_t index = glyph - store.glyphs.data();
            outMetrics[k] = &(*store.inkMetrics)[static_cast<std::size_t>(index)];
        }
    }
    store.defaultGlyph = savedDefault;
    return status;
}

namespace {
template <class Vector>
void releaseVector(Vector& v) {
    Vector().swap(v);
}
}  // namespace

void releaseTextFontContents(Font* font) {
    if (BitmapFont* store = font->bitmapFont.get()) {
        store->inkMetrics.reset();
        releaseVector(store->encoding);
        store->defaultGlyph = nullptr;
        releaseVector(store->ownedBitmaps);
        releaseVector(store->glyphs);
        store->extras.reset();
    }
    releaseVector(font->info.properties);
    releaseVector(font->info.propertyIsString);
    font->bitmapFont.reset();
}

void releaseTextFont(Font* font) { releaseTextFontContents(font); }

void releaseBinaryFont(Font* font) {
    if (BitmapFont* store = font->bitmapFont.get()) {
        store->inkMetrics.reset();
        releaseVector(store->encoding);
        store->defaultGlyph = nullptr;
        releaseVector(store->bitmapBlock);
        releaseVector(store->glyphs);
    }
    releaseVector(font->info.propertyIsString);
    releaseVector(font->info.properties);
    font->bitmapFont.reset();
}

Glyph* encodedGlyph(const FontInfo& info, const BitmapFont& store, unsigned row, unsigned column) {
    if (row < info.firstRow || row > info.lastRow || column < info.firstColumn || column > info.lastColumn)
        return nullptr;
    std::size_t numColumns = static_cast<std::size_t>(info.lastColumn - info.firstColumn + 1);
    std::size_t index = (row - info.firstRow) * numColumns + (column - info.firstColumn);
    return index < store.encoding.size() ? store.encoding[index] : nullptr;
}

Glyph* encodedGlyph(const Font& font, unsigned row, unsigned column) {
    return font.bitmapFont ? encodedGlyph(font.info, *font.bitmapFont, row, column) : nullptr;
}

namespace {
// Bytes from `at` to the end of [begin, begin + size), or 0 when `at` lies outside. As integers,
// one unsigned compare: an address before `begin` wraps past any size. (checkFontModel asks once
// for every glyph and cell, so the test stays this small.)
std::size_t bytesWithin(const std::uint8_t* begin, std::size_t size, const std::uint8_t* at) {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(at) - reinterpret_cast<std::uintptr_t>(begin);
    if (!begin || offset >= size) return 0;
    return size - offset;
}

}  // namespace

std::ptrdiff_t glyphIndex(const BitmapFont& bitmapFont, const Glyph* glyph) {
    const Glyph* begin = bitmapFont.glyphs.data();
    const Glyph* end = begin + bitmapFont.glyphs.size();
    std::less<const Glyph*> before;
    if (!glyph || !begin || before(glyph, begin) || !before(glyph, end)) return -1;
    return glyph - begin;
}

const FontProperty* findFontProperty(const FontInfo& info, const char* name, std::uint8_t* isString) {
    const Atom atom = internAtom(name, static_cast<std::int32_t>(std::strlen(name)), 0);
    if (atom == 0) return nullptr;
    for (std::size_t i = 0; i < info.properties.size(); ++i) {
        if (info.properties[i].name != atom) continue;
        *isString = info.propertyIsString[i];
        return &info.properties[i];
    }
    return nullptr;
}

bool checkFontModel(const Font& font) {
    const BitmapFont* store = font.bitmapFont.get();
    if (!store) return false;
    const FontInfo& info = font.info;
    const std::size_t glyphCount = store->glyphs.size();
    if (store->glyphCount < 0 || static_cast<std::size_t>(store->glyphCount) != glyphCount) return false;
    if (info.propertyIsString.size() != info.properties.size()) return false;

    std::size_t cells = 0;
    if (info.firstRow <= info.lastRow && info.firstColumn <= info.lastColumn)
        cells = static_cast<std::size_t>(info.lastRow - info.firstRow + 1) *
                static_cast<std::size_t>(info.lastColumn - info.firstColumn + 1);
    if (store->encoding.size() != cells) return false;
    // Each pointer into the glyph array (what glyphIndex accepts), tested as one unsigned compare.
    const auto glyphsBegin = reinterpret_cast<std::uintptr_t>(store->glyphs.data());
    const std::uintptr_t glyphsSpan = glyphCount * sizeof(Glyph);
    for (const Glyph* glyph : store->encoding)
        if (glyph && reinterpret_cast<std::uintptr_t>(glyph) - glyphsBegin >= glyphsSpan) return false;
    if (store->defaultGlyph && glyphIndex(*store, store->defaultGlyph) < 0) return false;
    if (store->inkMetrics && store->inkMetrics->size() != glyphCount) return false;

    const bool textRead = !store->ownedBitmaps.empty();
    if (textRead && store->ownedBitmaps.size() != glyphCount) return false;
    // Every glyph's bytes lie within its owner: its own vector, or the one block of a binary read.
    // A pad that is not 1, 2, 4 or 8 gives every glyph no bytes (glyphBitmapBytes' rule).
    const int shift = padShift(font.glyphPad);
    if (shift < 0) return true;
    const std::uint8_t* ownerData = store->bitmapBlock.data();
    std::size_t ownerSize = store->bitmapBlock.size();
    const Glyph* glyphs = store->glyphs.data();
    for (std::size_t i = 0; i < glyphCount; ++i) {
        const Glyph& glyph = glyphs[i];
        const std::int32_t rows = glyphHeight(glyph.metrics);
        if (rows <= 0) continue;
        const auto bytes =
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(rowBytesAtShift(glyphWidth(glyph.metrics), shift));
        if (bytes == 0) continue;
        if (textRead) {
            ownerData = store->ownedBitmaps[i].data();
            ownerSize = store->ownedBitmaps[i].size();
        }
        if (bytesWithin(ownerData, ownerSize, glyph.bitmap) < bytes) return false;
    }
    return true;
}
