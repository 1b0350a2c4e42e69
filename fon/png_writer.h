// PNG output of a grey picture: 8-bit greyscale, no interlace, each row unfiltered, compressed
// with zlib's deflate at its default level; the chunk framing and CRCs are written here.
#pragma once

#include <cstdint>

#include "fon/glyph_sheet.h"
#include "stream/font_stream.h"

// The most pixels a written picture may have once enlarged: 100 megapixels, a sheet of the largest
// real faces at several times their size, compressed in seconds.
constexpr std::uint64_t MaxPngMegapixels = 100;
constexpr std::uint64_t MaxPngPixels = MaxPngMegapixels * 1000000;
constexpr int MaxPngScale = 8;

// Whether `image` enlarged `scale` times fits MaxPngPixels and the format's 31-bit dimensions.
[[nodiscard]] bool pngDescribable(const GreyImage& image, int scale);

// Writes `image` to `stream` with every pixel enlarged to scale x scale (1 to MaxPngScale).
// StatusOk; StatusFail when the picture is not describable or compression fails (memory), before
// or while writing; -1 as soon as a write fails. Never closes the stream.
[[nodiscard]] int writePng(FontStream* stream, const GreyImage& image, int scale);
