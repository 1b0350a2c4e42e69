// Ink metrics (the box of a glyph's set pixels) and terminal-cell padding of a text-read font.
// Both read bitmaps already in the font's layout (bit order, byte order, pad, scan unit).
#pragma once

#include <cstdint>

#include "font/model.h"

// The ink box of `glyph` into `ink` (advance and attributes copied). A glyph without set pixels
// gives an empty box at its left bearing.
void computeGlyphInk(const Font& font, const Glyph& glyph, GlyphMetrics& ink);
// One ink record per glyph and FlagHasInkMetrics; false (font unchanged) when the array cannot be had.
[[nodiscard]] bool addInkMetrics(Font& font);
// Copies the pixels of `oldGlyph` into `newGlyph`'s bitmap (metrics and block set by the caller,
// the block holding its full size), aligned on origin and baseline; pixels outside are dropped.
void reshapeGlyph(const Font& font, const Glyph& oldGlyph, Glyph& newGlyph);
// Replaces every glyph by a copy in the common cell. False when a cell bitmap cannot be allocated
// (earlier glyphs stay converted), when the cells of the encoded positions can never fit a written
// face (nothing converted, and the font marked exceedsFaceLimit), or when the cells of all glyphs,
// unencoded ones included, would take more than the largest face (nothing converted).
[[nodiscard]] bool padToTerminalCell(Font& font);

// The font-wide values of a font whose glyphs and encoding are in place, in their fixed order:
// bounds, terminal-cell padding (bounds again), flags, ink metrics for uniform fonts that have
// none yet, ink bounds. A cell or ink array that cannot be allocated leaves the font without it;
// cells past the largest face leave it unpadded and marked exceedsFaceLimit.
void deriveFontSummary(Font& font);
