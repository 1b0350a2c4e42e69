// Bounds, overlap, direction and flags that a text-read font derives from its glyph metrics, and
// the test for padding it into a terminal cell (varnel only).
#pragma once

#include <cstdint>

#include "font/model.h"

// Starting values of a bounds computation: a font without non-empty glyphs keeps them.
constexpr GlyphMetrics MinimumBoundsStart{32767, 32767, 32767, 32767, 32767, 0xFFFF};
constexpr GlyphMetrics MaximumBoundsStart{-32768, -32768, -32768, -32768, -32768, 0x0000};
constexpr std::int16_t MaxOverlapStart = -32768;

// True for metrics with no box and no advance; they count toward left to right and nothing else.
[[nodiscard]] bool isEmptyMetrics(const GlyphMetrics& metrics);

// minBounds, maxBounds, maxOverlap and direction of Font::info over the encoded glyphs, and of
// FontExtras::info over all glyphs when the font has extras. The direction counters run across both
// passes, so Font::info's direction weighs the encoded glyphs twice.
void computeFontBounds(Font& font);
// inkMinBounds and inkMaxBounds of the same records; the plain bounds when there are no ink metrics.
void computeInkBounds(Font& font);
// Sets or clears FlagNonOverlapping, FlagUniformMetrics, FlagTerminalCell, FlagFixedAdvance and
// FlagInkWithinCell from the bounds; no other bit changes.
void computeInfoFlags(FontInfo& info);
// Whether padding every glyph to the common cell would make a terminal font of it.
[[nodiscard]] bool couldBeTerminalCell(const FontInfo& info);
// The WEIGHT given to a font whose WEIGHT is the placeholder -1.
[[nodiscard]] std::int32_t estimateWeight(const Font& font);
