// Small text-read fonts built in memory for the bounds and ink tests.
#pragma once

#include <vector>

#include "font/bitmap.h"
#include "font/model.h"

inline GlyphMetrics metrics(int left, int right, int advance, int ascent, int descent, int attributes = 0) {
    return GlyphMetrics{static_cast<std::int16_t>(left),   static_cast<std::int16_t>(right),
                        static_cast<std::int16_t>(advance), static_cast<std::int16_t>(ascent),
                        static_cast<std::int16_t>(descent), static_cast<std::uint16_t>(attributes)};
}

// A font of the given glyphs with clear bitmaps in the given layout. `encoded` lists the glyphs that
// get codes 0, 1, 2, ... in one row; with `extras` the font has a FontExtras as the text reader's do.
inline void buildFont(Font& font, const std::vector<GlyphMetrics>& glyphs, const std::vector<int>& encoded,
                      bool extras, int glyphPad = 1, int bitOrder = 1, int byteOrder = 1, int scanUnit = 1) {
    font.bitmapFont = std::make_unique<BitmapFont>();
    BitmapFont& store = *font.bitmapFont;
    if (extras) store.extras = std::make_unique<FontExtras>();
    font.glyphPad = static_cast<std::uint8_t>(glyphPad);
    font.bitOrder = static_cast<std::uint8_t>(bitOrder);
    font.byteOrder = static_cast<std::uint8_t>(byteOrder);
    font.scanUnit = static_cast<std::uint8_t>(scanUnit);
    for (const GlyphMetrics& m : glyphs) {
        std::int32_t height = m.ascent + m.descent;
        std::int32_t size = height > 0 ? paddedRowBytes(m.rightBearing - m.leftBearing, glyphPad) * height : 0;
        store.ownedBitmaps.emplace_back(static_cast<std::size_t>(size), std::uint8_t{0});
        store.glyphs.push_back(Glyph{m, nullptr});
    }
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        store.glyphs[i].bitmap = store.ownedBitmaps[i].empty() ? nullptr : store.ownedBitmaps[i].data();
    store.glyphCount = static_cast<std::int32_t>(glyphs.size());
    font.info.firstRow = font.info.lastRow = 0;
    font.info.firstColumn = 0;
    font.info.lastColumn = static_cast<std::uint16_t>(encoded.empty() ? 0 : encoded.size() - 1);
    for (int index : encoded) store.encoding.push_back(&store.glyphs[static_cast<std::size_t>(index)]);
}

// Sets pixel (x, y) of a glyph whose bitmap is in MSB-first, unswapped layout with the font's pad.
inline void setPixelMsb(const Font& font, Glyph& glyph, int x, int y) {
    int rowBytes = paddedRowBytes(glyph.metrics.rightBearing - glyph.metrics.leftBearing, font.glyphPad);
    glyph.bitmap[y * rowBytes + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

// Brings every glyph bitmap from MSB-first, unswapped into the font's layout, as the reader does.
inline void applyLayout(Font& font) {
    for (auto& bitmap : font.bitmapFont->ownedBitmaps) {
        auto n = static_cast<std::int64_t>(bitmap.size());
        if (font.bitOrder == 0) invertBitOrder(bitmap.data(), n);
        if (font.bitOrder != font.byteOrder) {
            if (font.scanUnit == 2) swapTwoBytes(bitmap.data(), n);
            if (font.scanUnit == 4) swapFourBytes(bitmap.data(), n);
        }
    }
}
