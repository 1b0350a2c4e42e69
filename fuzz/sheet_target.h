// The end of the fuzz targets of the file readers: what a reader accepts is laid out and drawn as
// the glyph sheet, and a small picture written as PNG to a stream that drops the bytes.
#pragma once

#include <cstdint>

#include "fon/glyph_sheet.h"
#include "fon/png_writer.h"
#include "fuzz/memory_stream.h"

template <class File>
void drawSheet(const File& file, int scale) {
    // Filling and compressing pixels costs the same whatever the file says; large pictures only
    // slow the search through the reader.
    GlyphSheetLayout layout;
    if (!layoutGlyphSheet(file, &layout) || std::uint64_t{layout.width} * layout.height > (1u << 22)) return;
    GreyImage image;
    if (drawGlyphSheet(file, &image) != StatusOk) return;
    if (std::uint64_t{image.width} * image.height * scale * scale > (1u << 16)) return;
    std::uint64_t written = 0;
    FontStreamPtr output(openDiscardStream(&written));
    if (output) (void)writePng(output.get(), image, scale);
}
