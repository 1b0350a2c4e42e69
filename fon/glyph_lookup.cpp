// Checked access from the writer to a font's glyph store. The writer trusts no pointer of the
// model blindly: a reader fed a hostile file must not be able to make it read outside a block.
#include "fon/glyph_lookup.h"

const Glyph* positionGlyph(const Font& font, std::uint32_t position) {
    const BitmapFont* bitmapFont = font.bitmapFont.get();
    if (!bitmapFont || position >= bitmapFont->encoding.size()) return nullptr;
    const Glyph* glyph = bitmapFont->encoding[position];
    return glyphIndex(*bitmapFont, glyph) < 0 ? nullptr : glyph;
}
