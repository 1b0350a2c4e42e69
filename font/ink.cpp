// Ink metrics and terminal-cell padding of a text-read font.
#include "font/ink.h"

#include <algorithm>
#include <cstring>

#include "font/bitmap.h"
#include "font/bounds.h"
#include "font/face_limit.h"

namespace {
// Pixel access to one glyph bitmap in the font's layout. Bitmaps may be byte-swapped within scan
// units, so the byte holding pixels 8k..8k+7 of a row is looked up through the swap rather than
// taken at offset k; reading the raw offset would measure (and move) the wrong pixels.
class BitmapView {
public:
    BitmapView(const Font& font, const Glyph& glyph)
        : bytes_(glyph.bitmap),
          width_(glyphWidth(glyph.metrics)),
          height_(glyphHeight(glyph.metrics)),
          rowBytes_(paddedRowBytes(width_, font.glyphPad)),
          leastBitFirst_(font.bitOrder == 0) {
        std::int64_t size = height_ > 0 ? static_cast<std::int64_t>(height_) * rowBytes_ : 0;
        int unit = font.scanUnit;
        if (font.bitOrder != font.byteOrder && (unit == 2 || unit == 4)) {
            swapMask_ = unit - 1;
            swapLimit_ = size - size % unit;  // a partial last unit is never swapped
        }
    }

    bool empty() const { return !bytes_ || width_ <= 0 || height_ <= 0 || rowBytes_ <= 0; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t dataBytes() const { return (width_ + 7) / 8; }

    std::uint8_t byteAt(std::int32_t row, std::int32_t k) const { return bytes_[physical(row, k)]; }
    // The bit of pixel x within its byte.
    std::uint8_t mask(std::int32_t x) const {
        return static_cast<std::uint8_t>(leastBitFirst_ ? 0x01 << (x % 8) : 0x80 >> (x % 8));
    }
    bool pixel(std::int32_t row, std::int32_t x) const { return (byteAt(row, x / 8) & mask(x)) != 0; }
    void setPixel(std::int32_t row, std::int32_t x) { bytes_[physical(row, x / 8)] |= mask(x); }

private:
    std::int64_t physical(std::int32_t row, std::int32_t k) const {
        std::int64_t offset = static_cast<std::int64_t>(row) * rowBytes_ + k;
        return offset < swapLimit_ ? offset ^ swapMask_ : offset;
    }

    std::uint8_t* bytes_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t rowBytes_;
    bool leastBitFirst_;
    std::int64_t swapMask_ = 0;
    std::int64_t swapLimit_ = 0;
};

bool rowHasInk(const BitmapView& view, std::int32_t row) {
    for (std::int32_t k = 0; k < view.dataBytes(); ++k)
        if (view.byteAt(row, k) != 0) return true;
    return false;
}

std::uint8_t columnBits(const BitmapView& view, std::int32_t k) {
    std::uint8_t bits = 0;
    for (std::int32_t row = 0; row < view.height(); ++row) bits |= view.byteAt(row, k);
    return bits;
}

// Pixels of byte column k that belong to the glyph: the last column may be partial.
std::int32_t consideredPixels(const BitmapView& view, std::int32_t k) {
    return k == view.dataBytes() - 1 ? view.width() - 8 * k : 8;
}

// Offset of the leftmost (or rightmost) set pixel from the bitmap's left edge, or -1.
std::int32_t leftInk(const BitmapView& view) {
    for (std::int32_t k = 0; k < view.dataBytes(); ++k) {
        std::uint8_t bits = columnBits(view, k);
        if (bits == 0) continue;
        for (std::int32_t p = 0; p < consideredPixels(view, k); ++p)
            if (bits & view.mask(p)) return 8 * k + p;
    }
    return -1;
}

std::int32_t rightInk(const BitmapView& view) {
    for (std::int32_t k = view.dataBytes() - 1; k >= 0; --k) {
        std::uint8_t bits = columnBits(view, k);
        if (bits == 0) continue;
        for (std::int32_t p = consideredPixels(view, k) - 1; p >= 0; --p)
            if (bits & view.mask(p)) return 8 * k + p;
    }
    return -1;
}
}  // namespace

void computeGlyphInk(const Font& font, const Glyph& glyph, GlyphMetrics& ink) {
    const GlyphMetrics& m = glyph.metrics;
    ink.advance = m.advance;
    ink.attributes = m.attributes;
    ink.leftBearing = ink.rightBearing = m.leftBearing;
    ink.ascent = ink.descent = 0;
    BitmapView view(font, glyph);
    if (view.empty()) return;

    std::int32_t top = 0;
    while (top < view.height() && !rowHasInk(view, top)) ++top;
    if (top == view.height()) return;  // blank
    std::int32_t bottom = view.height() - 1;
    while (!rowHasInk(view, bottom)) --bottom;
    ink.ascent = static_cast<std::int16_t>(m.ascent - top);
    ink.descent = static_cast<std::int16_t>(bottom + 1 - m.ascent);

    // Rows with ink but no set pixel inside the width keep both bearings at the left edge.
    std::int32_t left = leftInk(view);
    if (left < 0) return;
    ink.leftBearing = static_cast<std::int16_t>(m.leftBearing + left);
    ink.rightBearing = static_cast<std::int16_t>(m.leftBearing + rightInk(view) + 1);
}

bool addInkMetrics(Font& font) {
    BitmapFont& store = *font.bitmapFont;
    ModelVector<GlyphMetrics> ink;
    std::size_t count = std::min(static_cast<std::size_t>(std::max(store.glyphCount, 0)), store.glyphs.size());
    if (runGuarded([&] { ink.resize(count); return StatusOk; }) != StatusOk) return false;
    for (std::size_t i = 0; i < count; ++i) computeGlyphInk(font, store.glyphs[i], ink[i]);
    store.inkMetrics = std::move(ink);
    font.info.flags |= FlagHasInkMetrics;
    return true;
}

void reshapeGlyph(const Font& font, const Glyph& oldGlyph, Glyph& newGlyph) {
    const GlyphMetrics& o = oldGlyph.metrics;
    const GlyphMetrics& n = newGlyph.metrics;
    BitmapView source(font, oldGlyph);
    BitmapView target(font, newGlyph);
    if (target.empty()) return;
    std::memset(newGlyph.bitmap, 0,
                static_cast<std::size_t>(target.height()) * static_cast<std::size_t>(paddedRowBytes(target.width(), font.glyphPad)));
    if (source.empty()) return;

    std::int32_t top = std::min(n.ascent, o.ascent);
    std::int32_t bottom = std::min(n.descent, o.descent);
    std::int32_t rows = top + bottom;
    std::int32_t x0 = std::max(n.leftBearing, o.leftBearing);
    std::int32_t x1 = std::min(n.rightBearing, o.rightBearing);
    std::int32_t oldRow = o.ascent - top;
    std::int32_t newRow = n.ascent - top;
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t x = x0; x < x1; ++x)
            if (source.pixel(oldRow + r, x - o.leftBearing)) target.setPixel(newRow + r, x - n.leftBearing);
    }
}

bool padToTerminalCell(Font& font) {
    BitmapFont& store = *font.bitmapFont;
    if (store.ownedBitmaps.size() != store.glyphs.size()) return false;  // only text-read fonts own per-glyph bitmaps
    GlyphMetrics cell{};
    cell.leftBearing = 0;
    cell.rightBearing = cell.advance = font.info.minBounds.advance;
    cell.ascent = font.info.fontAscent;
    cell.descent = font.info.fontDescent;
    std::int32_t height = cell.ascent + cell.descent;
    // A face holds the cell of each encoded position as whole-byte columns of every row. Cells that
    // no face can hold are not built (a tiny file can declare cells of hundreds of megabytes), and
    // the font is refused.
    const auto positions = std::count_if(store.encoding.begin(), store.encoding.end(), [](const Glyph* g) { return g; });
    const std::int64_t faceCellBytes = height > 0 ? (std::max<std::int64_t>(cell.rightBearing, 0) + 7) / 8 * height : 0;
    if (cellsNeverFit(positions, faceCellBytes)) {
        font.exceedsFaceLimit = true;
        return false;
    }
    // Glyphs no code reaches get cells too, though no face shows them: all cells together stay
    // within one face (at most eight times that in the widest pad), or a few unencoded glyphs in a
    // file of a few kilobytes would make it build and scan hundreds of megabytes. Such a font stays
    // unpadded.
    std::size_t count = std::min(static_cast<std::size_t>(std::max(store.glyphCount, 0)), store.glyphs.size());
    if (cellsPassFace(static_cast<std::int64_t>(count), faceCellBytes)) return false;
    std::int64_t cellBytes = height > 0 ? static_cast<std::int64_t>(paddedRowBytes(cell.rightBearing, font.glyphPad)) * height : 0;

    for (std::size_t i = 0; i < count; ++i) {
        ByteVector bitmap;
        if (runGuarded([&] { bitmap.resize(static_cast<std::size_t>(cellBytes)); return StatusOk; }) != StatusOk)
            return false;
        Glyph glyph{cell, bitmap.empty() ? nullptr : bitmap.data()};
        glyph.metrics.attributes = store.glyphs[i].metrics.attributes;
        reshapeGlyph(font, store.glyphs[i], glyph);
        store.ownedBitmaps[i] = std::move(bitmap);
        glyph.bitmap = store.ownedBitmaps[i].empty() ? nullptr : store.ownedBitmaps[i].data();
        store.glyphs[i] = glyph;
    }
    return true;
}

void deriveFontSummary(Font& font) {
    computeFontBounds(font);
    if (couldBeTerminalCell(font.info)) {
        // When a cell cannot be allocated the font goes on as padding left it; the bounds are
        // recomputed over that mixture.
        static_cast<void>(padToTerminalCell(font));
        computeFontBounds(font);
    }
    computeInfoFlags(font.info);
    // Without memory for ink metrics the font simply has none.
    if ((font.info.flags & FlagUniformMetrics) && !font.bitmapFont->inkMetrics) static_cast<void>(addInkMetrics(font));
    computeInkBounds(font);
}
