// BDF glyph section (CHARS to ENDFONT): glyph metrics, hex bitmaps converted to the requested layout
// while read, the sparse code directory compacted into the encoding table, the digit and "x"
// statistics. Owns the row directory for the length of the section.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "bdf/bdf_steps.h"
#include "font/bitmap.h"
#include "font/bounds.h"
#include "font/code_map.h"
#include "font/face_limit.h"

namespace {
// Reserved before the data arrives: the glyphs CHARS declares, up to the codes of a two-byte font,
// so that a large font's records are not copied from block to block as it grows. Reserving takes
// address space, not memory: a huge declared count on a short file fails at end of input having
// touched only what arrived, and more glyphs than this grow with the file.
constexpr std::int32_t InitialGlyphRoom = 65536;
constexpr std::int64_t InitialBitmapRoom = 64 * 1024;

constexpr std::int32_t CodeRows = 256;
constexpr std::int32_t CodeColumns = 256;
constexpr std::int32_t NoGlyph = -1;

// Codes met so far: one row of 256 glyph indexes per high byte, made when a code of that row first
// occurs (empty = absent). Indexes, not pointers: the glyph vector still grows.
using RowDirectory = std::array<ModelVector<std::int32_t>, CodeRows>;

constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

constexpr std::uint8_t NotHex = 0xFF;

constexpr std::array<std::uint8_t, 256> makeHexValues() {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        int digit = hexDigit(static_cast<char>(c));
        table[static_cast<std::size_t>(c)] = digit < 0 ? NotHex : static_cast<std::uint8_t>(digit);
    }
    return table;
}
// Every bitmap byte of a text font passes through here: one look-up per digit, built at compile time.
constexpr std::array<std::uint8_t, 256> hexValues = makeHexValues();
static_assert(hexValues['0'] == 0 && hexValues['f'] == 15 && hexValues['F'] == 15 && hexValues['g'] == NotHex);

inline std::uint8_t hexValue(char c) { return hexValues[static_cast<unsigned char>(c)]; }

// The byte of a digit pair; a character that is not a digit adds none (so "G5" is 5).
inline std::uint8_t pairValue(char first, char second) {
    std::uint8_t high = hexValue(first);
    std::uint8_t low = hexValue(second);
    if ((high | low) < 16) return static_cast<std::uint8_t>(high << 4 | low);
    if (high < 16) return high;
    return low < 16 ? low : 0;
}

bool fitsMetric(std::int64_t value) {
    return value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max();
}

std::uint16_t attributesValue(const char* line) {
    const char* p = line + std::strlen("ATTRIBUTES");
    // The character after the keyword is skipped whatever it is, but never the line's end.
    if (*p != '\0') ++p;
    while (*p == ' ' || *p == '\t') ++p;
    std::uint8_t high = hexPairValue(p);
    bool firstPairWhole = p[0] != '\0' && p[1] != '\0';
    std::uint8_t low = firstPairWhole ? hexPairValue(p + 2) : 0;
    return static_cast<std::uint16_t>(high * 256 + low);
}

// Decodes one row of hex text into `row`, whose `sourceBytes` bytes can hold pixels; the row's
// bytes are zero beforehand, so digits missing from a short line leave zeros.
void decodeRow(const char* line, std::int32_t width, std::int32_t sourceBytes, std::uint8_t* row) {
    // Pair j exists while character 2j is not the line's end; an odd digit count reads as if a 0
    // digit followed.
    for (std::int32_t j = 0; j < sourceBytes && line[0] != '\0'; ++j, line += 2) {
        if (line[1] == '\0') {
            row[j] = pairValue(line[0], '0');
            break;
        }
        row[j] = pairValue(line[0], line[1]);
    }
    // Pixels past the width would otherwise show up as ink and in every later layout.
    if (width % 8 != 0) row[sourceBytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
}

void convertLayout(ByteVector& bitmap, const BitmapLayout& layout) {
    if (bitmap.empty()) return;
    auto count = static_cast<std::int64_t>(bitmap.size());
    if (layout.bitOrder == 0) invertBitOrder(bitmap.data(), count);
    if (layout.bitOrder != layout.byteOrder) {
        if (layout.scanUnit == 2) swapTwoBytes(bitmap.data(), count);
        else if (layout.scanUnit == 4) swapFourBytes(bitmap.data(), count);
    }
}

// What a keyword line's scan of `count` integers that fell short says: a number that did not fit,
// or the line's expected form.
const char* scanFault(int converted, const char* expected) {
    return converted == ScanOverflow ? "a number out of range" : expected;
}

[[nodiscard]] bool readEncoding(const BdfInput& input, const char* line, std::int32_t& code) {
    ScanValues values;
    int count = scanKeywordIntegers(line, "ENCODING", 2, values);
    if (count < 1) return refuseLine(input, line, "%s", scanFault(count, "ENCODING and a code expected"));
    code = values.integers[0];
    if (code < -1 || (count >= 2 && values.integers[1] < -1)) return refuseLine(input, line, "a code below -1");
    if (count >= 2 && code == -1) code = values.integers[1];
    return true;
}

// SWIDTH or DWIDTH: two values, the second 0; `first` receives the first.
[[nodiscard]] bool readWidth(const BdfInput& input, const char* line, const char* keyword, std::int32_t& first) {
    if (!hasPrefix(line, keyword)) return refuseLine(input, line, "%s expected", keyword);
    ScanValues values;
    int count = scanKeywordIntegers(line, keyword, 2, values);
    if (count != 2) return refuseLine(input, line, "%s", scanFault(count, "two values expected"));
    if (values.integers[1] != 0) return refuseLine(input, line, "a second value other than 0");
    first = values.integers[0];
    return true;
}

// Fills the metrics from the BBX line; false when a value leaves 16 bits.
[[nodiscard]] bool readBox(const BdfInput& input, const char* line, GlyphMetrics& metrics, std::int32_t& width,
                           std::int32_t& height, std::int32_t& yOffset) {
    ScanValues values;
    int count = scanKeywordIntegers(line, "BBX", 4, values);
    if (count != 4) return refuseLine(input, line, "%s", scanFault(count, "BBX and four values expected"));
    width = values.integers[0];
    height = values.integers[1];
    std::int64_t xOffset = values.integers[2];
    yOffset = values.integers[3];
    if (width < 0 || height < 0) return refuseLine(input, line, "a negative width or height");
    // The bitmap's size is taken from the stored 16-bit metrics later, so the box itself must fit
    // them too, not only the sums below.
    std::int64_t right = xOffset + width;
    std::int64_t ascent = static_cast<std::int64_t>(yOffset) + height;
    std::int64_t descent = -static_cast<std::int64_t>(yOffset);
    if (!fitsMetric(width) || !fitsMetric(height) || !fitsMetric(xOffset) || !fitsMetric(right) ||
        !fitsMetric(ascent) || !fitsMetric(descent))
        return refuseLine(input, line, "a box past the 16-bit metrics");
    metrics.leftBearing = static_cast<std::int16_t>(xOffset);
    metrics.rightBearing = static_cast<std::int16_t>(right);
    metrics.ascent = static_cast<std::int16_t>(ascent);
    metrics.descent = static_cast<std::int16_t>(descent);
    return true;
}

void noteCode(Font& font, RowDirectory& directory, std::int32_t code, std::int32_t glyphIndex) {
    if (code < 0 || code > 0xFFFF) return;  // unencoded, still stored
    auto row = static_cast<std::uint16_t>(code >> 8);
    auto column = static_cast<std::uint16_t>(code & 0xFF);
    FontInfo& info = font.info;
    info.firstRow = std::min(info.firstRow, row);
    info.lastRow = std::max(info.lastRow, row);
    info.firstColumn = std::min(info.firstColumn, column);
    info.lastColumn = std::max(info.lastColumn, column);
    ModelVector<std::int32_t>& cells = directory[row];
    if (cells.empty()) cells.assign(CodeColumns, NoGlyph);
    cells[column] = glyphIndex;  // a later glyph with the same code takes the cell over
}

void buildEncoding(Font& font, const RowDirectory& directory) {
    FontInfo& info = font.info;
    BitmapFont& store = *font.bitmapFont;
    store.encoding.clear();
    info.flags |= FlagAllCodesPresent;
    // No encoded glyph leaves the ranges at first 256, last 0: a table of no cells.
    if (info.firstRow > info.lastRow || info.firstColumn > info.lastColumn) return;
    std::size_t cells = static_cast<std::size_t>(info.lastRow - info.firstRow + 1) *
                        static_cast<std::size_t>(info.lastColumn - info.firstColumn + 1);
    store.encoding.reserve(cells);
    for (int r = info.firstRow; r <= info.lastRow; ++r) {
        for (int q = info.firstColumn; q <= info.lastColumn; ++q) {
            std::int32_t index = directory[static_cast<std::size_t>(r)].empty()
                                     ? NoGlyph
                                     : directory[static_cast<std::size_t>(r)][static_cast<std::size_t>(q)];
            Glyph* glyph = index == NoGlyph ? nullptr : &store.glyphs[static_cast<std::size_t>(index)];
            if (!glyph) info.flags &= ~FlagAllCodesPresent;
            store.encoding.push_back(glyph);
        }
    }
}

// ENDCHAR where row `row` (from 0) of `height` was due: the end of a glyph of no width, else too early.
[[nodiscard]] bool endsRowsEarly(const BdfInput& input, const char* line, std::int32_t width, std::int32_t row,
                                 std::int32_t height) {
    return width == 0 || refuseLine(input, line, "only %d of the %d rows of the BBX", static_cast<int>(row),
                                    static_cast<int>(height));
}

// The line after a glyph's rows, which must be its ENDCHAR.
[[nodiscard]] bool readEndchar(BdfInput& input, BdfLineBuffer& buffer, std::int32_t height) {
    const char* line = expectBdfLine(input, buffer, "ENDCHAR");
    if (!line) return false;
    return hasPrefix(line, "ENDCHAR") ||
           refuseLine(input, line, "ENDCHAR expected after the %d rows of the BBX", static_cast<int>(height));
}

// The rows and ENDCHAR line of a glyph that will not be kept, held to the rules of readBdfBitmap:
// as many rows as the height says (a zero-width glyph may end them early), then ENDCHAR.
[[nodiscard]] bool skipBdfBitmap(const Glyph& glyph, BdfInput& input) {
    const std::int32_t width = glyphWidth(glyph.metrics);
    const std::int32_t height = glyphHeight(glyph.metrics);
    BdfLineBuffer buffer;
    for (std::int32_t row = 0; row < height; ++row) {
        const char* line = expectBdfLine(input, buffer, "a bitmap row");
        if (!line) return false;
        if (hasPrefix(line, "ENDCHAR")) return endsRowsEarly(input, line, width, row, height);
    }
    return readEndchar(input, buffer, height);
}

// The most bytes the stored bitmaps may take, counted in rows of whole bytes whatever pad is asked
// for: the bytes of the pixels themselves, which every output needs (a face's cells hold at least
// these, an embedded bitmap exactly these). One face's worth per face the run makes of the font:
// one, or one per code page asked for (only the pages' glyphs are stored then). A TrueType output,
// which keeps every glyph of one font, falls under the one face: unifont's 57,000 glyphs take
// 1.8 MB. Past this no output holds the font, so it is refused before the bitmap is built; in the
// widest pad the store can take eight times this.
[[nodiscard]] std::int64_t storedBitmapLimit(const Font& font) {
    return MaxFaceBytes * std::max<std::int64_t>(1, static_cast<std::int64_t>(font.codePages.size()));
}

// Reads one glyph from its STARTCHAR line (current in `buffer`) through ENDCHAR and stores it,
// unless `kept` names the codes to keep and its code is not one of them: such a glyph is checked
// line by line as any other, but neither decoded nor stored.
[[nodiscard]] bool readGlyph(BdfInput& input, Font& font, BdfLoadState& state, const BitmapLayout& layout,
                             RowDirectory& directory, BdfLineBuffer& buffer, const CodeSet* kept) {
    BitmapFont& store = *font.bitmapFont;
    ScanValues values;
    if (scanLine(buffer.data(), "STARTCHAR %s", values) != 1)
        return refuseLine(input, buffer.data(), "STARTCHAR and a glyph name expected");
    // Only a one-character name feeds the statistics; the line buffer is reused below.
    char nameCharacter = values.texts[0].size() == 1 ? values.texts[0][0] : '\0';

    const char* line = expectBdfLine(input, buffer, "ENCODING");
    std::int32_t code = 0;
    if (!line || !readEncoding(input, line, code)) return false;
    const bool keep = !kept || (code >= 0 && code <= 0xFFFF && kept->test(static_cast<std::size_t>(code)));
    if (keep) noteCode(font, directory, code, static_cast<std::int32_t>(store.glyphs.size()));

    std::int32_t width = 0;
    line = expectBdfLine(input, buffer, "SWIDTH");
    if (!line || !readWidth(input, line, "SWIDTH", width)) return false;

    Glyph glyph{};
    line = expectBdfLine(input, buffer, "DWIDTH");
    if (!line || !readWidth(input, line, "DWIDTH", width)) return false;
    if (!fitsMetric(width)) return refuseLine(input, line, "an advance past the 16-bit metrics");
    glyph.metrics.advance = static_cast<std::int16_t>(width);

    std::int32_t height = 0, yOffset = 0;
    line = expectBdfLine(input, buffer, "BBX");
    if (!line || !readBox(input, line, glyph.metrics, width, height, yOffset)) return false;

    line = expectBdfLine(input, buffer, "BITMAP");
    if (!line) return false;
    if (hasPrefix(line, "ATTRIBUTES")) {
        glyph.metrics.attributes = attributesValue(line);
        line = expectBdfLine(input, buffer, "BITMAP");
        if (!line) return false;
    }
    if (!hasPrefix(line, "BITMAP")) return refuseLine(input, line, "BITMAP expected");

    if (nameCharacter >= '0' && nameCharacter <= '9') {
        state.digitAdvanceSum += glyph.metrics.advance;
        ++state.digitGlyphCount;
    } else if (nameCharacter == 'x') {
        state.xGlyphHeight = glyph.metrics.ascent > 0 ? glyph.metrics.ascent : height;
    }

    if (!keep) return skipBdfBitmap(glyph, input);
    state.bitmapBytes += glyphBitmapBytes(glyph.metrics, 1);
    const std::int64_t limit = storedBitmapLimit(font);
    if (state.bitmapBytes > limit)
        return refuseLine(input, line, "the glyphs' bitmaps pass %lld MiB, more than any output holds",
                          static_cast<long long>(limit >> 20));
    ByteVector bitmap;
    if (!readBdfBitmap(glyph, input, layout, bitmap)) return false;
    store.glyphs.push_back(glyph);
    store.ownedBitmaps.push_back(std::move(bitmap));
    return true;
}
}  // namespace

std::uint8_t hexPairValue(const char* text) {
    if (text[0] == '\0') return 0;
    return text[1] == '\0' ? pairValue('0', text[0]) : pairValue(text[0], text[1]);
}

bool readBdfBitmap(const Glyph& glyph, BdfInput& input, const BitmapLayout& layout, ByteVector& bitmap) {
    ByteVector().swap(bitmap);
    const GlyphMetrics& m = glyph.metrics;
    std::int32_t width = glyphWidth(m);
    std::int32_t height = glyphHeight(m);
    std::int32_t rowBytes = paddedRowBytes(width, layout.glyphPad);
    std::int32_t sourceBytes = (width + 7) / 8;
    std::int64_t size = static_cast<std::int64_t>(height) * rowBytes;
    // Zeroed at once up to a modest first block; past it the bitmap grows only with rows that have
    // arrived: the size is what the metrics claim, not what the file has shown yet.
    if (size > 0) bitmap.resize(static_cast<std::size_t>(std::min(size, InitialBitmapRoom)));
    std::int64_t filled = 0;

    BdfLineBuffer buffer;
    bool terminated = false;
    for (std::int32_t row = 0; row < height; ++row) {
        const char* line = expectBdfLine(input, buffer, "a bitmap row");
        if (!line) return false;
        // ENDCHAR before the last row ends a glyph of no width (its rows are skipped, no bytes
        // stored); any other would be left short of its size.
        if (hasPrefix(line, "ENDCHAR")) {
            if (!endsRowsEarly(input, line, width, row, height)) return false;
            terminated = true;
            break;
        }
        if (width == 0) continue;
        if (rowBytes > static_cast<std::int64_t>(bitmap.size()) - filled)
            bitmap.resize(static_cast<std::size_t>(std::min(size, 2 * (filled + rowBytes))));
        decodeRow(line, width, sourceBytes, bitmap.data() + filled);
        filled += rowBytes;
    }
    if (!terminated && !readEndchar(input, buffer, height)) return false;
    if (filled != size) return refuseLine(input, nullptr, "a bitmap short of its rows");
    convertLayout(bitmap, layout);
    return true;
}

bool readBdfGlyphs(BdfInput& input, Font& font, BdfLoadState& state, const BitmapLayout& layout) {
    BitmapFont& store = *font.bitmapFont;
    FontInfo& info = font.info;
    store.glyphs.clear();
    store.ownedBitmaps.clear();
    RowDirectory directory;

    BdfLineBuffer buffer;
    ScanValues values;
    const char* line = expectBdfLine(input, buffer, "CHARS");
    if (!line) return false;
    int converted = scanLine(line, "CHARS %d", values);
    if (converted != 1) return refuseLine(input, line, "%s", scanFault(converted, "CHARS and a glyph count expected"));
    std::int32_t count = values.integers[0];
    if (count < 1) return refuseLine(input, line, "at least one glyph expected");
    std::size_t room = static_cast<std::size_t>(std::min(count, InitialGlyphRoom));
    store.glyphs.reserve(room);
    store.ownedBitmaps.reserve(room);

    info.firstColumn = info.firstRow = CodeRows;
    info.lastColumn = info.lastRow = 0;
    // A conversion into code pages needs only the glyphs of their characters.
    const std::unique_ptr<CodeSet> kept = keptSourceCodes(info, font.codePages);
    std::int32_t stored = 0;
    line = expectBdfLine(input, buffer, "STARTCHAR");
    if (!line) return false;
    while (stored < count) {
        if (!hasPrefix(line, "STARTCHAR")) break;
        if (!readGlyph(input, font, state, layout, directory, buffer, kept.get())) return false;
        ++stored;
        line = expectBdfLine(input, buffer, stored < count ? "STARTCHAR" : "ENDFONT");
        if (!line) return false;
    }
    if (stored != count) {
        if (hasPrefix(line, "ENDFONT"))
            return refuseLine(input, line, "only %d of the %d glyphs declared", static_cast<int>(stored),
                              static_cast<int>(count));
        return refuseLine(input, line, "STARTCHAR expected");
    }
    store.glyphCount = static_cast<std::int32_t>(store.glyphs.size());
    // A glyph beyond the declared count lands here and fails.
    if (!hasPrefix(line, "ENDFONT")) {
        if (hasPrefix(line, "STARTCHAR"))
            return refuseLine(input, line, "more glyphs than the %d declared", static_cast<int>(count));
        return refuseLine(input, line, "ENDFONT expected");
    }

    // The glyph vectors are final: the bitmap views and the encoding table can point into them.
    for (std::size_t i = 0; i < store.glyphs.size(); ++i)
        store.glyphs[i].bitmap = store.ownedBitmaps[i].empty() ? nullptr : store.ownedBitmaps[i].data();
    buildEncoding(font, directory);
    return true;
}
