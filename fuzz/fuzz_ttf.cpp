// Fuzz target: the TrueType strike reader on arbitrary bytes; what it accepts is laid out and drawn
// as the glyph sheet (every strike's table and sample line, so every lookup of the character map
// and of the strikes' index subtables runs), and a small picture written as PNG to a stream that
// drops the bytes.
#include "fon/glyph_sheet.h"
#include "fon/png_writer.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_stream.h"
#include "ttf/ttf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TtfFile file;
    if (readTrueType(ByteVector(data, data + size), &file) != StatusOk) return 0;
    // Filling and compressing pixels costs the same whatever the file says; large pictures only
    // slow the search through the reader.
    GlyphSheetLayout layout;
    if (!layoutGlyphSheet(file, &layout) || std::uint64_t{layout.width} * layout.height > (1u << 22)) return 0;
    GreyImage image;
    if (drawGlyphSheet(file, &image) != StatusOk) return 0;
    if (std::uint64_t{image.width} * image.height > (1u << 16)) return 0;
    std::uint64_t written = 0;
    FontStreamPtr output(openDiscardStream(&written));
    if (output) (void)writePng(output.get(), image, 1);
    return 0;
}
