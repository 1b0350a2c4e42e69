// Micro-benchmarks of the FON writer: building every glyph's cell, and the whole writeFon of a
// loaded font into a stream that only counts bytes. Fonts come from the BDF reader, loaded once.
#include <benchmark/benchmark.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bdf/bdf_reader.h"
#include "bench/micro_support.h"
#include "fon/fnt_resource.h"
#include "fon/fon_writer.h"

namespace {

struct Shape {
    const char* label;
    std::int32_t count, width, height, firstCode;
};
// The typical fonts and the one just under the 65536-byte limit.
constexpr Shape Shapes[] = {
    {"223 glyphs 6x13", 223, 6, 13, 32},
    {"256 glyphs 16x32", 256, 16, 32, 0},
    {"255 glyphs 32x60", 255, 32, 60, 1},
};

const Font& loadedFont(std::size_t which) {
    static std::unique_ptr<Font> fonts[std::size(Shapes)];
    if (!fonts[which]) {
        const Shape& shape = Shapes[which];
        std::string text = bench::makeBdf(shape.count, shape.width, shape.height, shape.firstCode);
        bench::MemorySource source = bench::sourceOf(text);
        FontStream* stream = bench::openMemoryStream(source);
        fonts[which] = std::make_unique<Font>();
        if (readBdfFont(fonts[which].get(), stream, 1, 1, 2, 1, nullptr) != StatusOk) std::abort();
        closeFontStream(stream, 1);
    }
    return *fonts[which];
}

void cellBuilding(benchmark::State& state) {
    const auto which = static_cast<std::size_t>(state.range(0));
    const Font& font = loadedFont(which);
    const BitmapFont& store = *font.bitmapFont;
    std::vector<std::uint8_t> cells(65536);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::size_t at = 0;
        for (const Glyph& glyph : store.glyphs)
            at += putGlyphCell(std::span<std::uint8_t>(cells).subspan(at), font, font.glyphPad, &glyph);
        bytes += static_cast<std::int64_t>(at);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(bytes);
    state.SetLabel(Shapes[which].label);
}
BENCHMARK(cellBuilding)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void fonWriter(benchmark::State& state) {
    const auto which = static_cast<std::size_t>(state.range(0));
    Font& font = const_cast<Font&>(loadedFont(which));
    bench::CountingSink sink;
    for (auto _ : state) {
        FontStream* stream = bench::openSinkStream(sink, "bench");
        if (writeFon(&font, stream, font.glyphPad) != StatusOk) state.SkipWithError("the writer refused the font");
        closeFontStream(stream, 1);
    }
    state.SetBytesProcessed(sink.written);
    state.SetLabel(Shapes[which].label);
}
BENCHMARK(fonWriter)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
