// Fuzz target: the FON reader on arbitrary bytes; what it accepts is drawn as the glyph sheet,
// enlarged as the input's last byte says.
#include "fon/fon_reader.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/sheet_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FonFile file;
    if (readFon(ByteVector(data, data + size), &file) != StatusOk) return 0;
    drawSheet(file, 1 + data[size - 1] % MaxPngScale);
    return 0;
}
