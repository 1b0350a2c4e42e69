// Fuzz target: the LZW expansion filter, drained through reads and skips.
#include "fuzz/filter_target.h"
#include "fuzz/fuzz_target.h"
#include "stream/lzw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzExpansionFilter(data, size, pushLzwFilter);
}
