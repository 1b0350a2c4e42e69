// Checked access from the writer to a font's glyph store: encoding entries, glyph indexes and the
// bitmap bytes a glyph really owns. Owns nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "font/model.h"

// The glyph at character position `position` of a one-row font (index into the encoding table), or
// null when there is none or the entry does not point into the font's glyphs.
[[nodiscard]] const Glyph* positionGlyph(const Font& font, std::uint32_t position);
