// Fuzz target: the TrueType strike reader on arbitrary bytes; what it accepts is drawn as the
// glyph sheet (every strike's table and sample line, so every lookup of the character map and of
// the strikes' index subtables runs).
#include "fuzz/fuzz_target.h"
#include "fuzz/sheet_target.h"
#include "ttf/ttf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TtfFile file;
    if (readTrueType(ByteVector(data, data + size), &file) != StatusOk) return 0;
    drawSheet(file, 1);
    return 0;
}
