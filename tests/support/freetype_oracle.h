// FreeType as an independent reader of BDF, PCF and FON files: what a real client would see.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where a written face must put a source glyph of width w: a cell as wide as its advance (in a
// proportional face, its box when wider) and its ink from its left bearing, as far as the cell allows.
struct Placement {
    int width, column;
};
inline Placement placementOf(int w, int left, int advance, bool fixedPitch) {
    const int width = std::max(fixedPitch || w <= advance ? advance : w, 0);
    return {width, std::min(std::max(left, 0), std::max(width - w, 0))};
}

struct OracleGlyph {
    int left = 0;     // bitmap_left: origin to the leftmost column
    int top = 0;      // bitmap_top: baseline to the top row
    int width = 0;    // columns
    int rows = 0;
    int advance = 0;  // whole pixels
    std::vector<std::uint8_t> pixels;  // rows x width, 1 = set, top row first

    bool pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] != 0; }
    bool operator==(const OracleGlyph&) const = default;
};

struct OracleFont {
    std::string error;  // empty when FreeType opened the file
    std::string driver; // "bdf", "pcf", "winfonts", ...
    long faceCount = 0; // faces in the file
    int ascent = 0;     // size metrics of the first strike, in whole pixels
    int descent = 0;
    int height = 0;
    std::map<std::uint32_t, OracleGlyph> glyphs;  // by character code of the font's charmap
    // BDF and PCF: the charset and string properties FreeType reports ("" when absent).
    std::string registry, encoding, weightName, slant, name;  // name: the FONT property
    int defaultChar = -1;  // the integer DEFAULT_CHAR property, -1 when absent
    // Windows fonts: the header fields FreeType reports (-1 when not a Windows font).
    int charSet = -1, weight = -1, italic = -1, firstChar = -1, lastChar = -1, winDefaultChar = -1;
};

// Opens the file with FreeType, selects its first strike and loads every character of its charmap.
// A FON file holding several fonts shows each as a face of its own, numbered from 0.
OracleFont loadWithFreeType(const std::string& path, long faceIndex = 0);
