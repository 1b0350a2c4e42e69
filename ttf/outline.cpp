// Outline tracing by walking the pixel edges. An edge lies between a set and a clear pixel and is
// walked with the set one on its right; at each grid corner the walk takes the one edge leaving it,
// or, where two leave (two set pixels meeting only at that corner), turns right, which keeps each
// of the two pixels in a contour of its own. Every contour has a horizontal edge, so scanning the
// horizontal edges line by line finds every contour once. Rows and edge lines are 64-bit words:
// a horizontal run is found in one step, a vertical one row by row.
#include "ttf/outline.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {

constexpr std::array<std::uint8_t, 256> BitCounts = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>((i & 1) + (i >> 1 ? table[i >> 1] : 0));
    return table;
}();

// Byte k of row y with the bits past the width cleared; 0 outside the bitmap.
std::uint32_t maskedRowByte(const BitmapRows& rows, std::int32_t y, std::int32_t k) {
    if (y < 0 || y >= rows.height) return 0;
    std::uint32_t byte =
        rows.bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(rows.stride) + static_cast<std::size_t>(k)];
    const std::int32_t bitsLeft = rows.width - 8 * k;
    if (bitsLeft < 8) byte &= 0xFFu << (8 - bitsLeft) & 0xFFu;
    return byte;
}

// Points of the outline of a bitmap given by its masked row bytes (rowByte(y, k), 0 above and below):
// two per run of same-facing horizontal edges.
template <class RowByte>
std::uint64_t countPoints(std::int32_t width, std::int32_t height, RowByte rowByte) {
    const std::int32_t rowBytes = (width + 7) / 8;
    std::uint64_t runs = 0;
    for (std::int32_t y = 0; y <= height; ++y) {
        std::uint32_t westBefore = 0, eastBefore = 0;  // the last pixel's edge of the byte before
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint32_t above = rowByte(y - 1, k), below = rowByte(y, k);
            const std::uint32_t west = above & ~below & 0xFFu, east = below & ~above & 0xFFu;
            runs += BitCounts[west & ~(west >> 1 | westBefore << 7) & 0xFFu];
            runs += BitCounts[east & ~(east >> 1 | eastBefore << 7) & 0xFFu];
            westBefore = west & 1u;
            eastBefore = east & 1u;
        }
    }
    return 2 * runs;
}

}  // namespace

std::uint64_t countOutlinePoints(const BitmapRows& rows) {
    if (!rows.bytes || rows.width <= 0 || rows.height <= 0) return 0;
    return countPoints(rows.width, rows.height,
                       [&](std::int32_t y, std::int32_t k) { return maskedRowByte(rows, y, k); });
}

namespace {
// A row of the tracer's copy: pixel x at bit position x + 1 counted from the most significant bit
// of the row's first word, so that position 0 (pixel -1) and the positions past the width are
// clear, and a pixel and its left neighbour share a word unless x is 63 past a multiple of 64.
constexpr std::size_t positionOf(std::int32_t x) { return static_cast<std::size_t>(x + 1); }
constexpr unsigned bitOf(std::int32_t x) { return static_cast<unsigned>(positionOf(x) & 63u); }
constexpr std::size_t wordOf(std::int32_t x) { return positionOf(x) >> 6; }

// Clears positions [from, to) of a row of words.
void clearPositions(std::uint64_t* words, std::size_t from, std::size_t to) {
    constexpr std::uint64_t All = ~std::uint64_t{0};
    std::size_t k = from >> 6;
    const std::size_t last = (to - 1) >> 6;
    const std::uint64_t head = All >> (from & 63), tail = All << (63 - ((to - 1) & 63));
    if (k == last) {
        words[k] &= ~(head & tail);
        return;
    }
    words[k] &= ~head;
    while (++k < last) words[k] = 0;
    words[last] &= ~tail;
}
}  // namespace

bool OutlineTracer::trace(const BitmapRows& rows, Outline& outline) {
    outline.clear();
    if (!rows.bytes || rows.width <= 0 || rows.height <= 0) return true;
    constexpr std::uint64_t All = ~std::uint64_t{0};
    const std::int32_t width = rows.width, height = rows.height;

    // The pixels as rows of words (see positionOf), with a clear row above and below: row y at
    // plane[y * stride], y from -1 to height.
    const std::size_t stride = (static_cast<std::size_t>(width) + 2 + 63) / 64;
    const std::size_t lines = static_cast<std::size_t>(height) + 1;
    plane_.assign(stride * (lines + 1), 0);
    std::uint64_t* const plane = plane_.data() + stride;
    const std::int32_t rowBytes = (width + 7) / 8;
    const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));  // bits past the width
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint64_t* row = plane + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* source = rows.bytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(rows.stride);
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint64_t byte = (k + 1 == rowBytes ? source[k] & lastMask : source[k]);
            const std::size_t at = positionOf(8 * k);
            row[at >> 6] |= byte << 56 >> (at & 63);
            if ((at & 63) > 56 && (at >> 6) + 1 < stride) row[(at >> 6) + 1] |= byte << (120 - (at & 63));
        }
    }

    // The horizontal edges of each grid line y (0 to height), at the position of the pixel right
    // of the corner they start from: east-going where the pixel below is set and the one above
    // clear, west-going the other way round. A contour clears each run it walks, so the runs left
    // on a line are those no contour has taken.
    edges_.resize(2 * stride * lines);
    std::uint64_t* const east = edges_.data();
    std::uint64_t* const west = east + stride * lines;
    for (std::size_t k = 0; k < stride * lines; ++k) {
        const std::uint64_t above = plane[k - stride], below = plane[k];
        east[k] = below & ~above;
        west[k] = above & ~below;
    }

    auto pixel = [plane, stride](std::int32_t x, std::int32_t y) {
        return (plane[static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride) +
                      static_cast<std::ptrdiff_t>(wordOf(x))] >>
                (63 - bitOf(x))) & 1u;
    };

    // Room for two more points is made before each pair is added, doubling up to the most a
    // glyph may have and two more.
    OutlinePoint* points = points_.data();
    std::size_t count = 0;
    auto makeRoom = [&] {
        if (count + 2 <= points_.size()) return;
        points_.resize(std::min<std::size_t>(std::max<std::size_t>(2 * points_.size(), 256), MaxGlyphPoints + 2));
        points = points_.data();
    };

    // Walks the contour that leaves corner (x0, y0) along a horizontal run, east or west, and back.
    // Every corner of a contour is a point: horizontal and vertical runs alternate, and at the end
    // of one run the next leaves in the one direction that keeps the set pixels on the right
    // (where two set pixels meet only at the corner, the walk turns right). False once the glyph
    // has more points or contours than allowed.
    auto walk = [&](std::int32_t x0, std::int32_t y0, bool firstEast) {
        makeRoom();
        points[count++] = {x0, y0};
        if (count > MaxGlyphPoints) return false;
        std::int32_t x = x0, y = y0;
        bool goEast = firstEast;
        for (;;) {
            makeRoom();
            bool goSouth;
            if (goEast) {
                std::uint64_t* line = east + static_cast<std::size_t>(y) * stride;
                const std::size_t from = positionOf(x);
                std::size_t k = from >> 6;
                std::uint64_t missing = ~line[k] & (All >> (from & 63));
                while (missing == 0) missing = ~line[++k];
                const std::size_t to = 64 * k + static_cast<std::size_t>(std::countl_zero(missing));
                clearPositions(line, from, to);
                x = static_cast<std::int32_t>(to) - 1;
                goSouth = pixel(x, y) == 0;
            } else {
                std::uint64_t* line = west + static_cast<std::size_t>(y) * stride;
                const std::size_t to = positionOf(x);  // one past the run's last edge, x - 1
                std::size_t k = (to - 1) >> 6;
                std::uint64_t missing = ~line[k] & (All << (63 - ((to - 1) & 63)));
                while (missing == 0) missing = ~line[--k];
                const std::size_t from = 64 * k + 64 - static_cast<std::size_t>(std::countr_zero(missing));
                clearPositions(line, from, to);
                x = static_cast<std::int32_t>(from) - 1;
                goSouth = pixel(x - 1, y - 1) != 0;
            }
            points[count++] = {x, y};

            // Down while the pixel left of the edge is set and the one right of it clear; up
            // while the other way round, one row above the corner.
            const std::size_t a = wordOf(x - 1), b = wordOf(x);
            const unsigned leftShift = 63 - bitOf(x - 1), rightShift = 63 - bitOf(x);
            const std::uint64_t* row = plane + static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride);
            if (goSouth) {
                do {
                    row += stride;
                    ++y;
                } while ((row[a] >> leftShift & 1u) != 0 && (row[b] >> rightShift & 1u) == 0);
                goEast = (row[a] >> leftShift & 1u) != 0;
            } else {
                row -= stride;
                do {
                    row -= stride;
                    --y;
                } while ((row[a] >> leftShift & 1u) == 0 && (row[b] >> rightShift & 1u) != 0);
                goEast = (row[b] >> rightShift & 1u) == 0;
            }
            if (x == x0 && y == y0 && goEast == firstEast) break;
            points[count++] = {x, y};
            if (count > MaxGlyphPoints) return false;
        }
        outline.contourEnds.push_back(static_cast<std::uint32_t>(count - 1));
        return count <= MaxGlyphPoints && outline.contourEnds.size() <= MaxGlyphContours;
    };

    // Every contour has a horizontal run; the leftmost run start not yet taken on the topmost line
    // opens the next contour: at its left end for an east-going run, at its right end for a
    // west-going one. Runs starting in earlier words of a line have all been taken by then, so a
    // word's own bits tell where its runs start.
    for (std::size_t y = 0; y < lines; ++y) {
        std::uint64_t* eastLine = east + y * stride;
        std::uint64_t* westLine = west + y * stride;
        for (std::size_t k = 0; k < stride; ++k) {
            while ((eastLine[k] | westLine[k]) != 0) {
                const std::uint64_t eastStarts = eastLine[k] & ~(eastLine[k] >> 1);
                const std::uint64_t westStarts = westLine[k] & ~(westLine[k] >> 1);
                const auto bit = static_cast<std::size_t>(std::countl_zero(eastStarts | westStarts));
                const auto x = static_cast<std::int32_t>(64 * k + bit) - 1;
                bool walked;
                if ((eastStarts << bit) >> 63 != 0) {
                    walked = walk(x, static_cast<std::int32_t>(y), true);
                } else {
                    std::size_t j = k;
                    std::uint64_t missing = ~westLine[j] & (All >> bit);
                    while (missing == 0) missing = ~westLine[++j];
                    walked = walk(static_cast<std::int32_t>(64 * j + static_cast<std::size_t>(std::countl_zero(missing))) - 1,
                                  static_cast<std::int32_t>(y), false);
                }
                if (!walked) {
                    outline.clear();
                    return false;
                }
            }
        }
    }
    outline.points.assign(points, points + count);
    return true;
}
