// Checked access from the writer to a font's glyph store: encoding entries, glyph indexes and the
// bitmap bytes a glyph really owns. Owns nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "font/model.h"

// The glyph at character position `position` of a one-row font (index into the encoding table), or
// null when there is none or the entry does not point into the font's glyphs.
[[nodiscard]] const Glyph* positionGlyph(const Font& font, std::uint32_t position);

// Index of `glyph` in bitmapFont.glyphs, or -1 when it is not one of them.
[[nodiscard]] std::ptrdiff_t glyphIndex(const BitmapFont& bitmapFont, const Glyph* glyph);

// How many bytes from glyph.bitmap onwards belong to the block that holds it (the glyph's own
// bitmap in a text-read font, the shared bitmap block in a binary-read one); 0 when unknown.
[[nodiscard]] std::size_t glyphBitmapBytes(const BitmapFont& bitmapFont, const Glyph& glyph);
