// The in-memory font that a reader fills and the FON writer reads.
//
// Ownership: a Font owns its properties and its BitmapFont; the BitmapFont owns the glyph array,
// the ink metrics, the encoding table, the extras and the bitmaps. A text-read font keeps one
// bitmap block per glyph (ownedBitmaps); a binary-read font keeps all bitmaps in bitmapBlock and
// the glyphs point into it. Glyph::bitmap and the encoding entries are views into those owners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "font/alloc.h"
#include "font/atom.h"
#include "font/bitmap.h"
#include "font/status.h"

struct GlyphMetrics {
    std::int16_t leftBearing;
    std::int16_t rightBearing;
    std::int16_t advance;
    std::int16_t ascent;
    std::int16_t descent;
    std::uint16_t attributes;
};

// Bitmap width (rightBearing - leftBearing) and height (ascent + descent) in pixels, widened to
// 32 bits; either may be negative in a font that lies.
inline std::int32_t glyphWidth(const GlyphMetrics& m) { return std::int32_t{m.rightBearing} - m.leftBearing; }
inline std::int32_t glyphHeight(const GlyphMetrics& m) { return std::int32_t{m.ascent} + m.descent; }
// Bytes of the bitmap of a glyph with these metrics at `pad`: 0 when the width or height is not
// positive (no bitmap at all, not a huge unsigned one).
[[nodiscard]] inline std::int64_t glyphBitmapBytes(const GlyphMetrics& m, std::int32_t pad) {
    std::int32_t width = glyphWidth(m);
    std::int32_t rows = glyphHeight(m);
    if (width <= 0 || rows <= 0) return 0;
    return static_cast<std::int64_t>(rows) * paddedRowBytes(width, pad);
}

struct Glyph {
    GlyphMetrics metrics;
    std::uint8_t* bitmap;  // null when the bitmap has no bytes
};

struct FontProperty {
    Atom name;
    std::int32_t value;  // an Atom for a string property
};

constexpr std::uint32_t FlagNonOverlapping = 0x001;
constexpr std::uint32_t FlagTerminalCell = 0x002;
constexpr std::uint32_t FlagUniformMetrics = 0x004;
constexpr std::uint32_t FlagFixedAdvance = 0x008;
constexpr std::uint32_t FlagInkWithinCell = 0x010;
constexpr std::uint32_t FlagHasInkMetrics = 0x020;
constexpr std::uint32_t FlagAllCodesPresent = 0x040;
constexpr std::uint32_t DirectionMask = 0x180;
constexpr std::uint32_t FlagAlwaysSet = 0x200;
constexpr std::uint32_t FlagAlwaysClear = 0x400;
constexpr int DirectionShift = 7;
constexpr std::uint32_t DirectionLeftToRight = 0;
constexpr std::uint32_t DirectionRightToLeft = 1;

// Stores a two-bit direction in the flag word (bit 0x080 for right to left).
inline void setDirection(std::uint32_t& flags, std::uint32_t direction) {
    flags = (flags & ~DirectionMask) | ((direction << DirectionShift) & DirectionMask);
}

struct FontInfo {
    std::uint16_t firstColumn = 0;
    std::uint16_t lastColumn = 0;
    std::uint16_t firstRow = 0;
    std::uint16_t lastRow = 0;
    std::uint16_t defaultChar = 0;  // row in the high byte; 0xFFFF = none
    std::uint32_t flags = 0;
    std::int16_t maxOverlap = 0;
    GlyphMetrics maxBounds{};
    GlyphMetrics minBounds{};
    GlyphMetrics inkMaxBounds{};
    GlyphMetrics inkMinBounds{};
    std::int16_t fontAscent = 0;
    std::int16_t fontDescent = 0;
    // The property count is properties.size(); propertyIsString runs parallel to it
    // (nonzero: that property's value is a string atom).
    ModelVector<FontProperty> properties;
    ByteVector propertyIsString;

    std::int32_t propertyCount() const { return static_cast<std::int32_t>(properties.size()); }
};

// Second header kept by the text reader, describing all glyphs, encoded or not.
struct FontExtras : ModelRecord {
    FontInfo info;
};

struct BitmapFont : ModelRecord {
    std::uint32_t sourceTag = 0;  // 0x70636601 from the PCF reader
    std::int32_t glyphCount = 0;
    std::int32_t tableCount = 0;
    ModelVector<Glyph> glyphs;
    // One ink record per glyph, at the glyph's index; absent when the font has none.
    std::optional<ModelVector<GlyphMetrics>> inkMetrics;
    ByteVector bitmapBlock;                    // binary reader: every bitmap, glyphs point into it
    std::vector<ByteVector, ModelAllocator<ByteVector>> ownedBitmaps;  // text reader: one per glyph
    // numRows x numColumns entries, row-major; null = no glyph has that code.
    ModelVector<Glyph*> encoding;
    Glyph* defaultGlyph = nullptr;
    std::unique_ptr<FontExtras> extras;  // text reader only
};

enum CodeKind : int {
    CodesSingleByte = 0,
    CodesSingleByteMatrix = 1,
    CodesDoubleByteLinear = 2,
    CodesDoubleByteMatrix = 3,
};

struct CodePage;  // font/code_page.h

// A conversion into a Windows code page, asked for before the font is read (the -c option): the
// readers may leave the bitmaps of glyphs no requested page keeps undecoded. Inactive by default.
struct CodePageRequest {
    const CodePage* page = nullptr;
    bool symbol = false;  // the font's own codes, in one row
    bool active() const { return page != nullptr || symbol; }
};

// What the Windows font header says about the character set and the style. The defaults are those
// of a font written as read; a code-page conversion sets all three.
struct WindowsStyle {
    std::uint8_t charSet = 44;
    std::uint16_t weight = 400;
    std::uint8_t italic = 0;
};

struct Font;
using GetGlyphsOp = int (*)(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind,
                            std::int32_t* outCount, Glyph** outGlyphs);
using GetMetricsOp = int (*)(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind,
                             std::int32_t* outCount, GlyphMetrics** outMetrics);
using ReleaseFontOp = void (*)(Font* font);

struct Font {
    FontInfo info;
    std::uint8_t bitOrder = 0;
    std::uint8_t byteOrder = 0;
    std::uint8_t glyphPad = 0;
    std::uint8_t scanUnit = 0;
    GetGlyphsOp getGlyphs = nullptr;
    GetMetricsOp getMetrics = nullptr;
    ReleaseFontOp releaseFont = nullptr;  // frees what the font owns; the record stays its owner's
    void (*releaseGlyphs)(Font*) = nullptr;  // always null
    std::unique_ptr<BitmapFont> bitmapFont;
    // The pages the run makes of this font, one read serving them all: set by the front end before
    // reading (a view of its list); readers only consult it. Empty without -c.
    std::span<const CodePageRequest> codePages;
    WindowsStyle windowsStyle;
    // Set by a step that found the font's terminal cells past the largest face and did not build
    // them: the writer refuses the font as too large.
    bool exceedsFaceLimit = false;
};

// The glyph store's access operations, installed by both readers.
int getGlyphs(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind,
              std::int32_t* outCount, Glyph** outGlyphs);
int getMetrics(Font* font, std::int32_t count, const std::uint8_t* codes, int codeKind,
               std::int32_t* outCount, GlyphMetrics** outMetrics);
// The shared glyph with all-zero metrics that getMetrics gives for a code without a glyph.
extern const Glyph MissingGlyph;

// Release of a text-read font's contents in the documented order (ink metrics, encoding, glyph
// bitmaps, glyphs, extras, properties, the BitmapFont); leaves the Font record in place. Also the
// text reader's failure path.
void releaseTextFontContents(Font* font);
// releaseFont of a text-read font: the contents above. Neither release frees the record itself,
// which its owner may keep anywhere (the run keeps it on the stack).
void releaseTextFont(Font* font);
// releaseFont of a binary-read font: ink metrics, encoding, bitmap block, glyphs, property flags,
// properties, the BitmapFont; the record stays in place.
void releaseBinaryFont(Font* font);

// The invariants every reader establishes before it returns StatusOk, and that the writer relies
// on without checking again: a string flag per property; glyphCount glyphs; one encoding entry per
// code of the ranges, each null or one of the glyphs (so is the default glyph); one ink record per
// glyph when there are any; every bitmap holds its rows at the font's pad inside the block that owns
// it (the glyph's own in a text-read font, the shared one in a binary-read font). Not the bounds:
// PCF accelerators stand as the file gives them, and the writer cuts glyphs to the cell they make.
[[nodiscard]] bool checkFontModel(const Font& font);

// The encoding-table entry of a code given as row and column, or null outside the ranges.
Glyph* encodedGlyph(const FontInfo& info, const BitmapFont& store, unsigned row, unsigned column);
Glyph* encodedGlyph(const Font& font, unsigned row, unsigned column);

// Index of `glyph` in bitmapFont.glyphs, or -1 when it is not one of them.
[[nodiscard]] std::ptrdiff_t glyphIndex(const BitmapFont& bitmapFont, const Glyph* glyph);

// The first property of that name (never creating its atom), or null; `isString` receives its
// string flag.
[[nodiscard]] const FontProperty* findFontProperty(const FontInfo& info, const char* name, std::uint8_t* isString);
