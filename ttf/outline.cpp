// Outline tracing by walking the pixel edges. An edge lies between a set and a clear pixel and is
// walked with the set one on its right; at each grid corner the walk takes the one edge leaving it,
// or, where two leave (two set pixels meeting only at that corner), turns right, which keeps each
// of the two pixels in a contour of its own. Every contour has a horizontal edge, so scanning the
// horizontal edges line by line finds every contour once.
#include "ttf/outline.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {

enum Direction : std::uint8_t { East = 0, South = 1, West = 2, North = 3 };  // a right turn adds one

// The edge leaving a corner, by the corner's four pixels (top left 8, top right 4, bottom left 2,
// bottom right 1) and the direction the walk arrived in. Only the patterns a walk can meet matter.
constexpr std::array<std::array<Direction, 4>, 16> LeavingEdge = [] {
    std::array<std::array<Direction, 4>, 16> table{};
    for (unsigned pattern = 0; pattern < 16; ++pattern) {
        const bool topLeft = pattern & 8, topRight = pattern & 4, bottomLeft = pattern & 2, bottomRight = pattern & 1;
        for (unsigned arrival = 0; arrival < 4; ++arrival) {
            Direction leave = North;
            if (pattern == 0b1001 || pattern == 0b0110)  // corner-touching pixels: turn right
                leave = static_cast<Direction>((arrival + 1) & 3);
            else if (bottomRight && !topRight)
                leave = East;
            else if (bottomLeft && !bottomRight)
                leave = South;
            else if (topLeft && !bottomLeft)
                leave = West;
            table[pattern][arrival] = leave;
        }
    }
    return table;
}();

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

bool OutlineTracer::trace(const BitmapRows& rows, Outline& outline) {
    outline.clear();
    if (!rows.bytes || rows.width <= 0 || rows.height <= 0) return true;

    // The bordered copy in 64-bit words, the leftmost pixel in the most significant bit, so that a
    // whole row of a common glyph is one word: row y of the bitmap is plane row y + 1, its word k
    // plane word k + 1.
    const std::int32_t rowWords = (rows.width + 63) / 64, rowBytes = (rows.width + 7) / 8;
    const std::size_t stride = static_cast<std::size_t>(rowWords) + 2;
    plane_.assign(stride * (static_cast<std::size_t>(rows.height) + 2), 0);
    const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - rows.width % 8) % 8));  // bits past the width
    for (std::int32_t y = 0; y < rows.height; ++y) {
        std::uint64_t* row = plane_.data() + (static_cast<std::size_t>(y) + 1) * stride + 1;
        const std::uint8_t* source = rows.bytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(rows.stride);
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint8_t byte = k + 1 == rowBytes ? source[k] & lastMask : source[k];
            row[k / 8] |= std::uint64_t{byte} << (56 - 8 * (k % 8));
        }
    }
    const std::uint64_t* plane = plane_.data();
    auto rowWord = [&](std::int32_t y, std::int32_t k) {
        return plane[static_cast<std::size_t>(y + 1) * stride + static_cast<std::size_t>(k + 1)];
    };
    // Pixels x - 1 and x of row y as two bits (left one high), from the one or two words holding them.
    auto pixelPair = [&](std::int32_t x, std::int32_t y) {
        const std::size_t bit = static_cast<std::size_t>(x) + 63;  // plane bit of pixel x - 1
        const std::uint64_t* at = plane + static_cast<std::size_t>(y + 1) * stride + (bit >> 6);
        const unsigned shift = bit & 63;
        if (shift != 63) return static_cast<unsigned>(at[0] >> (62 - shift) & 3u);
        return static_cast<unsigned>((at[0] & 1u) << 1 | at[1] >> 63);
    };

    // Horizontal edges face down (east-going, the set pixel below) or up (west-going, set above).
    auto eastEdges = [&](std::int32_t y, std::int32_t k) { return rowWord(y, k) & ~rowWord(y - 1, k); };
    auto westEdges = [&](std::int32_t y, std::int32_t k) { return rowWord(y - 1, k) & ~rowWord(y, k); };
    // The corner ending the run of `edges` that starts at edge x: the first edge x' >= x missing.
    // The clear border word past each row always ends the run.
    auto runEnd = [&](auto edges, std::int32_t x, std::int32_t y) {
        std::int32_t k = x >> 6;
        std::uint64_t missing = ~edges(y, k) & (~std::uint64_t{0} >> (x & 63));
        while (missing == 0) missing = ~edges(y, ++k);
        return 64 * k + std::countl_zero(missing);
    };
    // The corner opening the run of west-going edges that ends with edge x - 1; the clear border
    // word before each row always opens it.
    auto westRunStart = [&](std::int32_t x, std::int32_t y) {
        std::int32_t k = (x - 1) >> 6;
        std::uint64_t missing = ~westEdges(y, k) & (~std::uint64_t{0} << (63 - ((x - 1) & 63)));
        while (missing == 0) missing = ~westEdges(y, --k);
        return 64 * k + 64 - std::countr_zero(missing);
    };

    // Each run of horizontal edges is marked taken at its leftmost edge once a contour walked it.
    const std::size_t width = static_cast<std::size_t>(rows.width);
    const std::size_t edgeCount = (static_cast<std::size_t>(rows.height) + 1) * width;
    taken_.assign((edgeCount + 7) / 8, 0);
    auto take = [&](std::int32_t x, std::int32_t y) {
        const std::size_t edge = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x);
        taken_[edge >> 3] |= static_cast<std::uint8_t>(1u << (edge & 7));
    };
    auto isTaken = [&](std::int32_t x, std::int32_t y) {
        const std::size_t edge = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x);
        return (taken_[edge >> 3] >> (edge & 7) & 1u) != 0;
    };

    // Walks the contour that leaves corner `start` heading `first` along a horizontal run, corner
    // to corner: horizontal runs in one jump, vertical runs row by row without a turn looked up (a
    // corner a vertical run passes straight through has no horizontal edge, so it is never
    // `start`). False once the glyph has more points or contours than allowed.
    auto walk = [&](OutlinePoint start, Direction first) {
        outline.points.push_back(start);
        OutlinePoint at = start;
        Direction next = first;
        for (;;) {
            if (next == East) {
                take(at.x, at.y);
                at.x = runEnd(eastEdges, at.x, at.y);
            } else if (next == West) {
                at.x = westRunStart(at.x, at.y);
                take(at.x, at.y);
            } else if (next == South) {
                // Down while the pixel left of the edge stays set and the one right of it clear.
                do ++at.y;
                while (pixelPair(at.x, at.y) == 0b10);
            } else {
                // Up while the pixel right of the edge stays set and the one left of it clear.
                do --at.y;
                while (pixelPair(at.x, at.y - 1) == 0b01);
            }
            const Direction heading = next;
            next = LeavingEdge[pixelPair(at.x, at.y - 1) << 2 | pixelPair(at.x, at.y)][heading];
            if (at == start && next == first) break;
            if (next != heading) {
                outline.points.push_back(at);
                if (outline.points.size() > MaxGlyphPoints) return false;
            }
        }
        outline.contourEnds.push_back(static_cast<std::uint32_t>(outline.points.size() - 1));
        return outline.contourEnds.size() <= MaxGlyphContours;
    };

    for (std::int32_t y = 0; y <= rows.height; ++y) {
        std::uint64_t eastBefore = 0, westBefore = 0;  // the last edge of the word before
        for (std::int32_t k = 0; k < rowWords; ++k) {
            const std::uint64_t east = eastEdges(y, k), west = westEdges(y, k);
            const std::uint64_t eastStarts = east & ~(east >> 1 | eastBefore << 63);
            const std::uint64_t westStarts = west & ~(west >> 1 | westBefore << 63);
            eastBefore = east & 1u;
            westBefore = west & 1u;
            for (std::uint64_t starts = eastStarts | westStarts; starts != 0;) {  // leftmost first
                const int bit = std::countl_zero(starts);
                const std::uint64_t mask = std::uint64_t{1} << 63 >> bit;
                starts &= ~mask;
                const std::int32_t x = 64 * k + bit;
                if (isTaken(x, y)) continue;
                const bool walked = (eastStarts & mask) != 0 ? walk({x, y}, East)
                                                             : walk({runEnd(westEdges, x, y), y}, West);
                if (!walked) {
                    outline.clear();
                    return false;
                }
            }
        }
    }
    return true;
}
