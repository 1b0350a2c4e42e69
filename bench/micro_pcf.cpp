// Micro-benchmarks of PCF bitmap conversion (bit reversal, unit swaps, re-padding) on a block the
// size of a large font's, and of a whole PCF load from memory.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/micro_support.h"
#include "font/bitmap.h"
#include "pcf/pcf_reader.h"

namespace {

constexpr std::int64_t BlockBytes = 4 << 20;

std::vector<std::uint8_t> patternBlock() {
    std::vector<std::uint8_t> block(static_cast<std::size_t>(BlockBytes));
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
    return block;
}

void bitReversal(benchmark::State& state) {
    std::vector<std::uint8_t> block = patternBlock();
    for (auto _ : state) {
        invertBitOrder(block.data(), BlockBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * BlockBytes);
}
BENCHMARK(bitReversal)->Unit(benchmark::kMicrosecond);

void unitSwap(benchmark::State& state) {
    std::vector<std::uint8_t> block = patternBlock();
    for (auto _ : state) {
        if (state.range(0) == 2) swapTwoBytes(block.data(), BlockBytes);
        else swapFourBytes(block.data(), BlockBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * BlockBytes);
}
BENCHMARK(unitSwap)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

// Glyph rows from pad 4 (bdftopcf's default) to pad 2 (the programs' default) and from pad 1 to 8;
// the argument is the glyph width, so narrow rows weigh per-row costs and wide rows per-byte ones.
void repadding(benchmark::State& state) {
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto oldPad = static_cast<std::int32_t>(state.range(1));
    const auto newPad = static_cast<std::int32_t>(state.range(2));
    const std::int32_t oldRow = paddedRowBytes(width, oldPad);
    const std::int32_t newRow = paddedRowBytes(width, newPad);
    const auto rows = static_cast<std::int32_t>(BlockBytes / oldRow);
    std::vector<std::uint8_t> source = patternBlock();
    std::vector<std::uint8_t> destination(static_cast<std::size_t>(rows) * static_cast<std::size_t>(newRow));
    for (auto _ : state) {
        benchmark::DoNotOptimize(repadBitmap(source.data(), destination.data(), oldPad, newPad, width, rows));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * rows * static_cast<std::int64_t>(oldRow));
}
BENCHMARK(repadding)
    ->Args({16, 4, 2})
    ->Args({6, 1, 8})
    ->Args({256, 4, 2})
    ->Args({32, 4, 4})
    ->Unit(benchmark::kMicrosecond);

// readPcfFont of bdftopcf's form of a font, asked for the programs' default layout (pad 2, so
// every row is re-padded); the argument picks the font.
void wholePcfLoad(benchmark::State& state) {
    static const std::string small = bench::makePcf(bench::makeBdf(223, 6, 13, 32));
    static const std::string many = bench::makePcf(bench::makeBdf(57000, 16, 16, 0));
    const std::string& data = state.range(0) == 0 ? small : many;
    if (data.empty()) {
        state.SkipWithError("bdftopcf (xfonts-utils) is needed to make the PCF font");
        return;
    }
    bench::MemorySource source = bench::sourceOf(data);
    for (auto _ : state) {
        FontStream* stream = bench::openMemoryStream(source);
        Font font;
        if (readPcfFont(&font, stream, 1, 1, 2, 1, nullptr) != StatusOk) state.SkipWithError("the font did not load");
        closeFontStream(stream, 1);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.SetLabel(state.range(0) == 0 ? "223 glyphs 6x13" : "57000 glyphs 16x16");
}
BENCHMARK(wholePcfLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
