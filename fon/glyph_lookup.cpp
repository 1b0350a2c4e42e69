// Checked access from the writer to a font's glyph store. The writer trusts no pointer of the
// model blindly: a reader fed a hostile file must not be able to make it read outside a block.
#include "fon/glyph_lookup.h"

#include <functional>

namespace {

// Bytes from `at` to the end of [begin, begin + size), or 0 when `at` lies outside. std::less
// gives a total order even for pointers into different blocks.
std::size_t bytesWithin(const std::uint8_t* begin, std::size_t size, const std::uint8_t* at) {
    std::less<const std::uint8_t*> before;
    if (!begin || before(at, begin) || !before(at, begin + size)) return 0;
    return size - static_cast<std::size_t>(at - begin);
}

}  // namespace

std::ptrdiff_t glyphIndex(const BitmapFont& bitmapFont, const Glyph* glyph) {
    const Glyph* begin = bitmapFont.glyphs.data();
    const Glyph* end = begin + bitmapFont.glyphs.size();
    std::less<const Glyph*> before;
    if (!glyph || !begin || before(glyph, begin) || !before(glyph, end)) return -1;
    return glyph - begin;
}

const Glyph* positionGlyph(const Font& font, std::uint32_t position) {
    const BitmapFont* bitmapFont = font.bitmapFont.get();
    if (!bitmapFont || position >= bitmapFont->encoding.size()) return nullptr;
    const Glyph* glyph = bitmapFont->encoding[position];
    return glyphIndex(*bitmapFont, glyph) < 0 ? nullptr : glyph;
}

std::size_t glyphBitmapBytes(const BitmapFont& bitmapFont, const Glyph& glyph) {
    if (!glyph.bitmap) return 0;
    const std::ptrdiff_t index = glyphIndex(bitmapFont, &glyph);
    const auto& owned = bitmapFont.ownedBitmaps;
    if (index >= 0 && static_cast<std::size_t>(index) < owned.size()) {
        if (std::size_t n = bytesWithin(owned[index].data(), owned[index].size(), glyph.bitmap)) return n;
    }
    // Every reader keeps a text font's bitmaps parallel to its glyphs, so no other block is searched.
    return bytesWithin(bitmapFont.bitmapBlock.data(), bitmapFont.bitmapBlock.size(), glyph.bitmap);
}
