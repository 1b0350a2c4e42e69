// The steps of a BDF load (line reading, header, properties, glyphs) and the working record they
// share; readBdfFont runs them in order. Declared here so the tests can drive each step alone.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "font/model.h"
#include "stream/font_stream.h"

// One line: at most 1023 characters and a terminating NUL.
constexpr int BdfLineSize = 1024;
using BdfLineBuffer = std::array<char, BdfLineSize>;

// The input of a load: the stream, the line reading stands at, and where a refusal says why.
struct BdfInput {
    FontStream* stream = nullptr;
    ReadReason* reason = nullptr;  // null: refusals say nothing
    std::int64_t lineNumber = 0;   // the file line of the line last delivered (from 1)
    std::int64_t linesEnded = 0;   // lines consumed so far, delivered or skipped
};

// No entry remembered (the property index of a BdfLoadState).
constexpr std::int32_t NoProperty = -1;

// Working record of one load. The remembered properties are indexes into Font::info.properties,
// not pointers: the property vector grows as lines arrive.
struct BdfLoadState {
    ModelString fontLineText;  // the FONT line after its keyword
    float pointSize = 0;
    std::int32_t xResolution = 0;
    std::int32_t yResolution = 0;
    // 64 bits: thousands of glyphs named "5" must not overflow the sum.
    std::int64_t digitGlyphCount = 0;
    std::int64_t digitAdvanceSum = 0;
    std::int32_t xGlyphHeight = 0;  // 0 = no glyph named "x"
    std::int64_t bitmapBytes = 0;   // the stored glyph bitmaps so far, in rows of whole bytes
    std::int32_t fontProperty = NoProperty;
    std::int32_t pointSizeProperty = NoProperty;
    std::int32_t resolutionXProperty = NoProperty;
    std::int32_t resolutionYProperty = NoProperty;
    std::int32_t resolutionProperty = NoProperty;
    std::int32_t xHeightProperty = NoProperty;
    std::int32_t weightProperty = NoProperty;
    std::int32_t quadWidthProperty = NoProperty;
    bool ascentSeen = false;
    bool descentSeen = false;
    bool defaultCharSeen = false;
};

// The next line that is neither empty nor a COMMENT line, NUL-terminated in `buffer`; null at end
// of input. A last line without a line feed is read as if it had one.
[[nodiscard]] const char* readBdfLine(BdfInput& input, BdfLineBuffer& buffer);
// readBdfLine, noting at end of input that the file ended where `expected` should have stood.
[[nodiscard]] const char* expectBdfLine(BdfInput& input, BdfLineBuffer& buffer, const char* expected);
// Notes why the line last delivered is refused, "line N: <its text>: <why>" (without its text when
// `line` is null), and returns false.
[[nodiscard]] bool refuseLine(const BdfInput& input, const char* line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// True when `line` begins with `keyword` in its first column. Inline: every line of a font meets
// it at least once, and a keyword is decided by its first character on almost all of them.
[[nodiscard]] inline bool hasPrefix(const char* line, std::string_view keyword) {
    // The line's NUL differs from every keyword character, so the loop never reads past it.
    for (std::size_t i = 0; i < keyword.size(); ++i)
        if (line[i] != keyword[i]) return false;
    return true;
}

// What a scan converted: %d values fill `integers`, %f fills `real`, %s and %[^\n] fill `texts`
// (views into the scanned line), each in the order of the format.
struct ScanValues {
    std::array<std::int32_t, 4> integers{};
    float real = 0;
    std::array<std::string_view, 3> texts{};
};
// A number in a scanned line does not fit its type; the whole line is refused.
constexpr int ScanOverflow = -2;

// Matches `line` against `format` with the conventions of formatted input: a blank skips any white
// space, other literals match exactly, %d, %f, %s and %[^\n] convert. Returns the number of values
// converted before the first mismatch, -1 when the line ended before the first conversion, or
// ScanOverflow. Only these four conversions are understood.
[[nodiscard]] int scanLine(const char* line, const char* format, ScanValues& values);

// scanLine(line, "<keyword> %d %d ...", values) with `count` conversions, without interpreting a
// format: the glyph lines (ENCODING, SWIDTH, DWIDTH, BBX) are matched once per glyph.
[[nodiscard]] int scanKeywordIntegers(const char* line, std::string_view keyword, int count, ScanValues& values);

// True for a sign or digit followed only by digits (a lone sign passes).
[[nodiscard]] bool isIntegerText(std::string_view text);
// Decimal value of text that passed isIntegerText; false when it does not fit 32 bits.
[[nodiscard]] bool integerTextValue(std::string_view text, std::int32_t& value);

// Atom of a property's text value; `text` begins one character after the property name. 0 on failure.
[[nodiscard]] Atom parseStringValue(const char* text);
// Applies the special-name table to the property just read; true when it is not to be stored.
[[nodiscard]] bool noteSpecialProperty(Font& font, const FontProperty& entry, bool isString,
                                       std::int32_t entryIndex, BdfLoadState& state);

[[nodiscard]] bool readBdfHeader(BdfInput& input, BdfLoadState& state);
[[nodiscard]] bool readBdfProperties(BdfInput& input, Font& font, BdfLoadState& state);

// Byte value of up to two hex digits at `text`; other characters add no digit, NUL ends the pair.
[[nodiscard]] std::uint8_t hexPairValue(const char* text);

struct BitmapLayout {
    int bitOrder;
    int byteOrder;
    int glyphPad;
    int scanUnit;
};

// Reads the hex rows and the ENDCHAR line of a glyph whose metrics are set, into `bitmap`
// (cleared first, left empty on failure or when the bitmap has no bytes).
[[nodiscard]] bool readBdfBitmap(const Glyph& glyph, BdfInput& input, const BitmapLayout& layout,
                                 ByteVector& bitmap);
// Reads CHARS to ENDFONT: glyphs, bitmaps, encoding table, statistics.
[[nodiscard]] bool readBdfGlyphs(BdfInput& input, Font& font, BdfLoadState& state, const BitmapLayout& layout);
