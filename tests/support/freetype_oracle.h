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

struct FT_LibraryRec_;
struct FT_FaceRec_;

// A BDF or PCF face's integer property (INTEGER or CARDINAL), -1 when absent.
int bdfInteger(FT_FaceRec_* face, const char* name);

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

// The set pixels of a glyph alone: the drawing cropped to its ink, left and top moved with it (an
// empty drawing becomes 0 x 0 at the origin). Two drawings of one character agree in shape and in
// place relative to pen and baseline when their inks are equal.
OracleGlyph inkOf(const OracleGlyph& glyph);
// The drawing at `factor` times the size: every pixel a factor x factor block, bearings and advance
// multiplied.
OracleGlyph scaledBy(const OracleGlyph& glyph, int factor);

// One face kept open to be drawn many ways: at any pixel size, with any FreeType load flags, by
// the character codes of its charmap (Unicode when the font has one, else Microsoft symbol, else
// its first).
class FreeTypeFace {
public:
    explicit FreeTypeFace(const std::string& path, long faceIndex = 0);
    ~FreeTypeFace();
    FreeTypeFace(const FreeTypeFace&) = delete;
    FreeTypeFace& operator=(const FreeTypeFace&) = delete;

    const std::string& error() const { return error_; }
    FT_FaceRec_* face() const { return face_; }
    // Every code of the charmap, ascending.
    std::vector<std::uint32_t> codes() const;
    bool setPixelSize(int ppem);
    struct Drawing {
        OracleGlyph glyph;   // a pixel is set from half intensity up
        int greyPixels = 0;  // pixels of a grey rendering neither empty nor full
        bool embedded = false;  // drawn from an embedded bitmap rather than an outline
    };
    // Loads the character with `loadFlags` and renders an outline in the flags' target mode (grey
    // for FT_LOAD_TARGET_NORMAL and _LIGHT, one bit for _MONO); false when FreeType refused.
    bool draw(std::uint32_t code, int loadFlags, Drawing& drawing) const;

private:
    FT_LibraryRec_* library_ = nullptr;
    FT_FaceRec_* face_ = nullptr;
    std::string error_;
};

// Python's codec of an X encoding: "unicode" for ISO10646-1, "" when the encoding has no table.
std::string codecOf(const std::string& registry, const std::string& encoding);
// What each byte stands for in every codec codecOf names (-1: undefined), from one run of Python.
std::map<std::string, std::vector<int>> decodeTables();
