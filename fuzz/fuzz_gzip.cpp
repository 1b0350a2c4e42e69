// Fuzz target: the gzip expansion filter, drained through reads and skips, then checked at close.
#include "fuzz/filter_target.h"
#include "fuzz/fuzz_target.h"
#include "stream/gzip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzExpansionFilter(data, size, pushGzipFilter);
}
