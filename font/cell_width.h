// The cell a written face gives each glyph. A Windows raster font has no advance apart from the
// cell width, so the cell is the advance: each character keeps its width, and its ink keeps its
// place on the line where the cell allows. The writer lays its cells out by these rules, and the
// steps before it bound a face's size by them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "font/model.h"

// Whether a face is fixed pitch: every advance of its glyphs the same (FlagFixedAdvance).
[[nodiscard]] inline bool isFixedPitch(const FontInfo& info) { return (info.flags & FlagFixedAdvance) != 0; }

// Cell width W of a glyph: its advance; in a proportional face, its bitmap box when that is wider,
// so no pixel is lost. A fixed-pitch face keeps every cell at the advance, and stays fixed pitch.
// 0 rather than negative for metrics that contradict themselves.
[[nodiscard]] inline std::int32_t cellWidth(const GlyphMetrics& metrics, bool fixedPitch) {
    const std::int32_t w = glyphWidth(metrics);
    const std::int32_t advance = metrics.advance;
    return std::max(fixedPitch || w <= advance ? advance : w, 0);
}

// The cell column where the glyph's ink starts: its left bearing, moved right to the origin when it
// starts left of it, and left to end at the cell's right edge when it passes it, as far as it fits.
[[nodiscard]] inline std::int32_t inkColumn(const GlyphMetrics& metrics, std::int32_t cellWidth) {
    return std::min(std::max<std::int32_t>(metrics.leftBearing, 0), std::max(cellWidth - glyphWidth(metrics), 0));
}
