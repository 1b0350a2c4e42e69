// Micro-benchmarks of the BDF reader's hot paths over text in memory: line reading, hex-row
// decoding into a glyph bitmap, and a whole load. Bytes per second are of BDF text.
#include <benchmark/benchmark.h>

#include <string>

#include "bdf/bdf_reader.h"
#include "bdf/bdf_steps.h"
#include "bench/micro_support.h"

namespace {

// The many-row font of the whole-process benchmark: 57,000 glyphs of 16 x 16, about 9 MB.
const std::string& manyRowText() {
    static const std::string text = bench::makeBdf(57000, 16, 16, 0);
    return text;
}

void lineReading(benchmark::State& state) {
    const std::string& text = manyRowText();
    bench::MemorySource source = bench::sourceOf(text);
    BdfLineBuffer buffer;
    std::int64_t lines = 0;
    for (auto _ : state) {
        BdfInput input{bench::openMemoryStream(source)};
        while (readBdfLine(input, buffer)) ++lines;
        closeFontStream(input.stream, 1);
    }
    benchmark::DoNotOptimize(lines);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(lineReading)->Unit(benchmark::kMillisecond);

// One glyph's rows and its ENDCHAR line, repeated: width is the argument, 64 rows each.
void hexRows(benchmark::State& state) {
    const auto width = static_cast<std::int32_t>(state.range(0));
    const std::int32_t rows = 64;
    std::string glyph;
    for (std::int32_t y = 0; y < rows; ++y) {
        for (std::int32_t d = 0; d < (width + 7) / 8 * 2; ++d) glyph += "0123456789abcdef"[(y * 7 + d) % 16];
        glyph += '\n';
    }
    glyph += "ENDCHAR\n";
    std::string text;
    const int repeats = 4096;
    for (int k = 0; k < repeats; ++k) text += glyph;
    bench::MemorySource source = bench::sourceOf(text);
    Glyph shape{};
    shape.metrics.rightBearing = static_cast<std::int16_t>(width);
    shape.metrics.ascent = static_cast<std::int16_t>(rows);
    const BitmapLayout layout{1, 1, 2, 1};
    ByteVector bitmap;
    for (auto _ : state) {
        BdfInput input{bench::openMemoryStream(source)};
        for (int k = 0; k < repeats; ++k)
            if (!readBdfBitmap(shape, input, layout, bitmap)) state.SkipWithError("a row did not decode");
        closeFontStream(input.stream, 1);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(hexRows)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

// readBdfFont from STARTFONT to the finished font: the argument picks the font.
void wholeBdfLoad(benchmark::State& state) {
    static const std::string small = bench::makeBdf(223, 6, 13, 32);
    const std::string& text = state.range(0) == 0 ? small : manyRowText();
    bench::MemorySource source = bench::sourceOf(text);
    for (auto _ : state) {
        FontStream* stream = bench::openMemoryStream(source);
        Font font;
        if (readBdfFont(&font, stream, 1, 1, 2, 1, nullptr) != StatusOk) state.SkipWithError("the font did not load");
        closeFontStream(stream, 1);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetLabel(state.range(0) == 0 ? "223 glyphs 6x13" : "57000 glyphs 16x16");
}
BENCHMARK(wholeBdfLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
