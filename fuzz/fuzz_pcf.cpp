// Fuzz target: the PCF reader on arbitrary bytes.
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_stream.h"
#include "pcf/pcf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource source{data, size};
    FontStreamPtr stream(openMemoryStream(&source));
    if (!stream) return 0;
    Font font;
    ReadReason reason;
    (void)readPcfFont(&font, stream.get(), 1, 1, 2, 1, &reason);
    return 0;
}
