// The body shared by the expansion-filter fuzz targets: stack a filter on the input and drain it
// through reads and skips of varied sizes, then close it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz/memory_stream.h"
#include "stream/font_stream.h"

inline int fuzzExpansionFilter(const std::uint8_t* data, std::size_t size, FontStream* (*pushFilter)(FontStream*)) {
    // Well beyond what a few kilobytes of input can expand to; only a decoder that loops stops here.
    constexpr std::uint64_t OutputCap = 256u << 20;
    MemorySource source{data, size};
    FontStream* file = openMemoryStream(&source);
    if (!file) return 0;
    FontStream* expanded = pushFilter(file);
    if (!expanded) {
        closeFontStream(file, 1);
        return 0;
    }
    // Mixed read sizes and skips cross the filter's buffer boundary at varying points.
    static std::uint8_t sink[10000];
    std::uint64_t total = 0;
    for (std::int32_t round = 0; total < OutputCap; ++round) {
        if (round % 4 == 3) {
            if (skipBytes(expanded, 777) == -1) break;
            total += 777;
            continue;
        }
        std::int32_t want = round % 4 == 0 ? 1 : (round % 4 == 1 ? 8191 : 10000);
        std::int32_t got = readBytes(expanded, sink, want);
        total += static_cast<std::uint64_t>(got);
        if (got < want) break;
    }
    // Reading again after the end must stay at the end.
    (void)getByte(expanded);
    closeFontStream(expanded, 1);
    return 0;
}
