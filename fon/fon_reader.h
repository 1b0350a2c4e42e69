// Reads a FON file back: the NE module's resource table, the font directory, each Windows raster
// font it lists (versions 0x0200 and 0x0300) and, from the "SNF" resource of the same name, the
// character set the font was made in. Every field is bounds-checked: any bytes give a status,
// never a crash, and the work and memory stay in proportion to the file.
#pragma once

#include <cstdint>
#include <span>

#include "font/alloc.h"
#include "font/status.h"

// One character position of a face: its cell width W and where its column-major cell of
// ceil(W / 8) x height bytes starts in the face's resource (checked to lie inside it).
struct FonCell {
    std::uint32_t width = 0;
    std::uint32_t offset = 0;
};

// One Windows raster font of the file, with the header fields a reader of the picture needs.
struct FonFace {
    std::uint32_t version = 0;  // 0x0200 or 0x0300
    std::uint32_t points = 0, vertRes = 0, horizRes = 0, ascent = 0;
    std::uint32_t italic = 0, weight = 0, charSet = 0;
    std::uint32_t pixWidth = 0, pixHeight = 0, avgWidth = 0, maxWidth = 0;
    std::uint32_t firstChar = 0, lastChar = 0, defaultChar = 0, breakChar = 0;
    ModelString faceName;
    // CHARSET_REGISTRY-CHARSET_ENCODING from the "SNF" resource, "" without one.
    ModelString encoding;
    ModelVector<FonCell> cells;  // firstChar..lastChar; none when lastChar < firstChar
    std::span<const std::uint8_t> resource;  // the font resource's dfSize bytes, in the file's bytes

    // The cell of `code`, or null outside firstChar..lastChar.
    const FonCell* cell(std::uint32_t code) const {
        return code >= firstChar && code - firstChar < cells.size() ? &cells[code - firstChar] : nullptr;
    }
    // Pixel (x, y) of a cell, x < width and y < pixHeight.
    bool pixel(const FonCell& c, std::uint32_t x, std::uint32_t y) const {
        const std::uint8_t byte = resource[c.offset + (x / 8) * std::size_t{pixHeight} + y];
        return (byte >> (7 - x % 8)) & 1;
    }
};

// The faces point into the file's bytes, which the record owns: it moves but is never copied. Faces
// are found through the directory, one per font resource, so what a file can make the reader hold
// stays in proportion to its size however its tables point.
struct FonFile {
    ByteVector bytes;
    ModelVector<FonFace> faces;  // in the order of the font directory

    FonFile() = default;
    FonFile(FonFile&&) = default;
    FonFile& operator=(FonFile&&) = default;
    FonFile(const FonFile&) = delete;
    FonFile& operator=(const FonFile&) = delete;
};

// Reads a whole FON file held in `bytes`, which `out` takes over. StatusOk; StatusBadFormat for
// bytes that are not a FON file this reader understands (a truncated or inconsistent one, or one
// of more than MaxFamilyFonts fonts, included); StatusFail when memory runs out.
[[nodiscard]] int readFon(ByteVector bytes, FonFile* out);
// Reads the file at `path` as it is (no expansion, whatever its name) and then as readFon does;
// StatusFail also when it cannot be opened or read.
[[nodiscard]] int readFonFile(const char* path, FonFile* out);
