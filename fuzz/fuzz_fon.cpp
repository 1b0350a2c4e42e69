// Fuzz target: the FON reader on arbitrary bytes; what it accepts is laid out and drawn as the
// glyph sheet, and a small picture written as PNG to a stream that drops the bytes, enlarged as the
// input's last byte says.
#include "fon/fon_reader.h"
#include "fon/png_writer.h"
#include "fon/glyph_sheet.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FonFile file;
    if (readFon(ByteVector(data, data + size), &file) != StatusOk) return 0;
    // Filling and compressing pixels costs the same whatever the file says; large pictures only
    // slow the search through the reader.
    GlyphSheetLayout layout;
    if (!layoutGlyphSheet(file, &layout) || std::uint64_t{layout.width} * layout.height > (1u << 22)) return 0;
    GreyImage image;
    if (drawGlyphSheet(file, &image) != StatusOk) return 0;
    const int scale = 1 + data[size - 1] % MaxPngScale;
    if (std::uint64_t{image.width} * image.height * scale * scale > (1u << 16)) return 0;
    std::uint64_t written = 0;
    FontStreamPtr output(openDiscardStream(&written));
    if (output) (void)writePng(output.get(), image, scale);
    return 0;
}
