// What the TrueType writer makes of the fonts it is given before any table is written: the glyph
// list in glyph-index order, the characters mapped to it, one strike per input size, the outline
// grid and the names. Every table builder reads only this plan and the fonts it points to; the
// plan owns nothing of the fonts, which stay their reader's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "font/alloc.h"
#include "font/model.h"

// One embedded bitmap strike: one input font at its pixel size.
struct TtfStrike {
    const Font* font = nullptr;
    std::int32_t ppem = 0;
    // This font's glyph of each glyph index; null where it has no such character (and for an empty
    // .notdef). Same length as TtfPlan::glyphCount.
    std::vector<const Glyph*> glyphs;
};

// One cmap entry.
struct TtfCharacter {
    std::uint32_t code = 0;  // Unicode scalar value; U+F000 + the font's code in a symbol font
    std::uint32_t glyphIndex = 0;
};

struct TtfPlan {
    // Glyph 0 is .notdef: the first font's default glyph when it has one, else empty.
    std::uint32_t glyphCount = 0;
    // Ascending by code, each code once; control characters never appear.
    std::vector<TtfCharacter> characters;
    bool symbol = false;  // a cmap of platform 3, encoding 0 (characters at U+F000 + code)

    // In input order; strikes[0] gives the outlines and every font-wide metric.
    std::vector<TtfStrike> strikes;
    // The outline grid: one pixel of strikes[0] is unitsPerPixel font units (a power of two), and
    // unitsPerEm = strikes[0].ppem * unitsPerPixel.
    std::int32_t unitsPerPixel = 1;
    std::int32_t unitsPerEm = 0;

    // Font-wide metrics in font units, from strikes[0] (pixels x unitsPerPixel), shared by head,
    // hhea and OS/2 so that they cannot disagree.
    std::int32_t ascender = 0;   // FONT_ASCENT (hhea ascender, sTypoAscender)
    std::int32_t descender = 0;  // -FONT_DESCENT (hhea descender, sTypoDescender)
    // Cover every glyph's ink, every strike's bitmaps scaled to the grid, and ascender (descender).
    std::int32_t winAscent = 0;
    std::int32_t winDescent = 0;  // positive
    std::int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // over every glyph's ink (head)
    std::int32_t advanceWidthMax = 0;
    std::int32_t averageWidth = 0;  // OS/2 xAvgCharWidth: mean of the non-zero advances

    // Style, from the first font's properties.
    std::uint16_t weightClass = 400;  // OS/2 usWeightClass
    bool bold = false;
    bool italic = false;     // SLANT "I" or "O"
    bool fixedPitch = false;  // every glyph of non-zero advance has the same advance
    bool oblique = false;     // SLANT "O"
    std::uint16_t widthClass = 5;  // OS/2 usWidthClass, from SETWIDTH_NAME
    // Tops of "x" and "H" in font units (their ink, else X_HEIGHT and CAP_HEIGHT), 0 when unknown.
    std::int32_t xHeight = 0;
    std::int32_t capHeight = 0;

    // Names (UTF-8 here; the name table stores UTF-16BE).
    std::string familyName;     // the face name the run chose (--face, else the output's base name);
                                // FAMILY_NAME when it gives none
    std::string subfamilyName;  // "Regular", "Bold", "Italic", "Bold Italic"
    std::string fullName;
    std::string postScriptName;  // only the characters PostScript names allow
    std::string uniqueName;
    std::string version;  // "Version 1.000"
    std::string copyright;  // the COPYRIGHT property, else empty
};

// Why a set of fonts makes no TrueType font; the writer's caller turns each into a message.
enum class TtfResult {
    Written,
    TooManyGlyphs,       // more than 65535 glyphs (refusal names the count)
    StylesDiffer,        // two inputs of different family, weight, slant or setwidth
    SameSize,            // two inputs of the same pixel size
    GlyphsTooLarge,      // no outline grid holds the glyphs within TrueType's 16-bit coordinates
    TooLarge,            // the file would pass the writer's size bound
    OutOfMemory,
    WriteFailed,
};

// What the run reports: in refusals, which inputs (indexes into the fonts given) clashed; after
// writing, what -v says.
struct TtfReport {
    std::size_t first = 0;   // StylesDiffer, SameSize: the two inputs
    std::size_t second = 0;
    std::uint32_t glyphs = 0;
    std::uint32_t strikes = 0;
    std::int32_t unitsPerEm = 0;
    std::uint32_t glyphsWithoutOutline = 0;  // outlines past TrueType's limits, kept as bitmaps only
};

// A glyph's bitmap as rows of pixels, whatever bit order, byte order, scan unit and row pad the
// font holds it in: a view of the font's own rows when they are already most significant bit
// first, else a copy brought into that order.
class GlyphBits {
public:
    GlyphBits(const Font& font, const Glyph* glyph);
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Row y's bytes, leftmost pixel in the high bit of the first byte; the bits past the width are
    // the row's padding, as the font holds it.
    const std::uint8_t* row(std::int32_t y) const { return rows_ + static_cast<std::size_t>(y) * stride_; }
    bool pixel(std::int32_t x, std::int32_t y) const { return (row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
    std::size_t stride() const { return stride_; }  // bytes from one row to the next

private:
    ByteVector copy_;
    const std::uint8_t* rows_ = nullptr;
    std::size_t stride_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

// Fills `plan` from the fonts (one per input, in input order) and the face name the run chose.
[[nodiscard]] TtfResult planTrueType(std::span<const Font* const> fonts, std::string_view faceName, TtfPlan& plan,
                                     TtfReport& report);
