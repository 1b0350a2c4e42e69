// What the micro-benchmarks share: streams over memory (so a run measures the code, not the disk),
// the benchmark's own BDF text, and its PCF form made by bdftopcf. Owns nothing beyond the values
// it returns.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "stream/font_stream.h"

namespace bench {

// The source of a memory stream: the fill operation hands it out 8192 bytes at a time, as a file's
// reads would.
struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
};

inline int fillFromMemory(FontStream* stream) {
    auto* source = static_cast<MemorySource*>(stream->context);
    std::size_t left = source->size - source->position;
    if (left == 0) {
        stream->remaining = 0;
        return -1;
    }
    std::size_t chunk = left < StreamBufferSize ? left : static_cast<std::size_t>(StreamBufferSize);
    std::memcpy(stream->buffer, source->data + source->position, chunk);
    source->position += chunk;
    stream->cursor = stream->buffer + 1;
    stream->remaining = static_cast<std::int32_t>(chunk) - 1;
    return stream->buffer[0];
}

inline int skipInMemory(FontStream* stream, std::int64_t n) {
    while (n > 0) {
        if (stream->remaining > 0) {
            std::int64_t run = n < stream->remaining ? n : stream->remaining;
            stream->cursor += run;
            stream->remaining -= static_cast<std::int32_t>(run);
            n -= run;
            continue;
        }
        if (getByte(stream) < 0) return -1;
        --n;
    }
    return 0;
}

inline int closeNothing(FontStream*, int) { return 1; }

// A reading stream over `source`, rewound to its start; the caller closes it with closeFontStream.
inline FontStream* openMemoryStream(MemorySource& source) {
    source.position = 0;
    return newFontStream(&source, fillFromMemory, skipInMemory, closeNothing);
}

// A writing stream that counts what it is given and keeps none of it.
struct CountingSink {
    std::int64_t written = 0;
};

inline int flushToCount(int value, FontStream* stream) {
    auto* sink = static_cast<CountingSink*>(stream->context);
    if (value != -1) *stream->cursor++ = static_cast<std::uint8_t>(value);
    sink->written += stream->cursor - stream->buffer;
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    return value;
}

inline int closeSink(FontStream* stream, int) {
    auto* sink = static_cast<CountingSink*>(stream->context);
    sink->written += stream->cursor - stream->buffer;
    return 1;
}

inline FontStream* openSinkStream(CountingSink& sink, const char* fontName) {
    FontStream* stream = newFontStream(&sink, nullptr, nullptr, closeSink);
    if (!stream) return nullptr;
    stream->transfer.flush = flushToCount;
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    stream->fontName = fontName;
    return stream;
}

// A monospaced BDF font of `count` glyphs of width x height with codes firstCode, firstCode + 1,
// ...; the pixels are strokes from a fixed pseudo-random sequence, so the text is the same on
// every run.
inline std::string makeBdf(std::int32_t count, std::int32_t width, std::int32_t height, std::int32_t firstCode) {
    std::uint32_t state = 12345;
    auto next = [&state](std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const std::int32_t descent = height / 5;
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * static_cast<std::size_t>(80 + height * ((width + 7) / 8 * 2 + 1)));
    char line[256];
    std::snprintf(line, sizeof line,
                  "STARTFONT 2.1\nFONT -bench-micro-medium-r-normal--%d-%d0-75-75-c-%d0-iso10646-1\n"
                  "SIZE %d 75 75\nFONTBOUNDINGBOX %d %d 0 %d\nSTARTPROPERTIES 3\nFONT_ASCENT %d\n"
                  "FONT_DESCENT %d\nCOPYRIGHT \"Public domain benchmark data\"\nENDPROPERTIES\nCHARS %d\n",
                  height, height, width, height, width, height, -descent, height - descent, descent, count);
    text += line;
    const std::int32_t digits = (width + 7) / 8 * 2;
    std::string row(static_cast<std::size_t>(digits), '0');
    for (std::int32_t g = 0; g < count; ++g) {
        std::snprintf(line, sizeof line, "STARTCHAR c%04X\nENCODING %d\nSWIDTH 576 0\nDWIDTH %d 0\nBBX %d %d 0 %d\nBITMAP\n",
                      static_cast<unsigned>(firstCode + g), firstCode + g, width, width, height, -descent);
        text += line;
        std::uint32_t column = next(static_cast<std::uint32_t>(width));
        std::uint32_t bar = next(static_cast<std::uint32_t>(height));
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t d = 0; d < digits; ++d) {
                std::uint32_t nibble = 0;
                for (int b = 0; b < 4; ++b) {
                    std::int32_t x = d * 4 + b;
                    bool ink = x < width && (static_cast<std::uint32_t>(x) == column || static_cast<std::uint32_t>(y) == bar);
                    nibble = nibble << 1 | (ink ? 1u : 0u);
                }
                row[static_cast<std::size_t>(d)] = "0123456789ABCDEF"[nibble];
            }
            text += row;
            text += '\n';
        }
        text += "ENDCHAR\n";
    }
    text += "ENDFONT\n";
    return text;
}

// The PCF form of `bdf` from bdftopcf (its default layout: glyph pad 4); empty when that fails.
inline std::string makePcf(const std::string& bdf) {
    char pattern[] = "/tmp/bench-micro-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) return {};
    std::string bdfPath = pattern;
    std::string pcfPath = bdfPath + ".pcf";
    std::FILE* out = fdopen(fd, "wb");
    if (!out) return {};
    std::fwrite(bdf.data(), 1, bdf.size(), out);
    std::fclose(out);
    std::string command = "bdftopcf -o '" + pcfPath + "' '" + bdfPath + "' 2>/dev/null";
    std::string pcf;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(pcfPath, std::ios::binary);
        pcf.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(bdfPath, ignored);
    std::filesystem::remove(pcfPath, ignored);
    return pcf;
}

inline MemorySource sourceOf(const std::string& text) {
    MemorySource source;
    source.data = reinterpret_cast<const std::uint8_t*>(text.data());
    source.size = text.size();
    return source;
}

}  // namespace bench
