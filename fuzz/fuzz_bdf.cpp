// Fuzz target: the BDF reader on arbitrary text.
#include "bdf/bdf_reader.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource source{data, size};
    FontStreamPtr stream(openMemoryStream(&source));
    if (!stream) return 0;
    Font font;
    ReadReason reason;
    (void)readBdfFont(&font, stream.get(), 1, 1, 2, 1, &reason);
    return 0;
}
