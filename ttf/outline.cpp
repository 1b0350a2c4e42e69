// Outline tracing by walking the pixel edges. An edge lies between a set and a clear pixel and is
// walked with the set one on its right; at each grid corner the walk takes the one edge leaving it,
// or, where two leave (two set pixels meeting only at that corner), turns right, which keeps each
// of the two pixels in a contour of its own. Every contour has a horizontal edge, so scanning the
// horizontal edges line by line finds every contour once.
#include "ttf/outline.h"

#include <algorithm>
#include <bit>

namespace {

enum Direction : int { East = 0, South = 1, West = 2, North = 3 };  // a right turn adds one
constexpr std::int32_t StepX[4] = {1, 0, -1, 0};
constexpr std::int32_t StepY[4] = {0, 1, 0, -1};

class Grid {
public:
    explicit Grid(const BitmapRows& rows) : rows_(rows) {}

    bool pixel(std::int32_t x, std::int32_t y) const {
        if (x < 0 || y < 0 || x >= rows_.width || y >= rows_.height) return false;
        const std::uint8_t byte = rows_.bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(rows_.stride) +
                                              static_cast<std::size_t>(x >> 3)];
        return (byte & (0x80u >> (x & 7))) != 0;
    }

    // Byte k of row y with the bits past the width cleared; 0 outside the bitmap.
    std::uint32_t rowByte(std::int32_t y, std::int32_t k) const {
        if (y < 0 || y >= rows_.height) return 0;
        std::uint32_t byte =
            rows_.bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(rows_.stride) + static_cast<std::size_t>(k)];
        const std::int32_t bitsLeft = rows_.width - 8 * k;
        if (bitsLeft < 8) byte &= 0xFFu << (8 - bitsLeft) & 0xFFu;
        return byte;
    }

    // The edge leaving corner (x, y) for a walk that arrived heading `arrival`.
    Direction leave(std::int32_t x, std::int32_t y, Direction arrival) const {
        const bool topLeft = pixel(x - 1, y - 1), topRight = pixel(x, y - 1);
        const bool bottomLeft = pixel(x - 1, y), bottomRight = pixel(x, y);
        if (topLeft == bottomRight && topRight == bottomLeft && topLeft != topRight)
            return static_cast<Direction>((arrival + 1) & 3);  // corner-touching pixels: turn right
        if (bottomRight && !topRight) return East;
        if (bottomLeft && !bottomRight) return South;
        if (topLeft && !bottomLeft) return West;
        return North;
    }

private:
    const BitmapRows& rows_;
};

}  // namespace

std::uint64_t countOutlinePoints(const BitmapRows& rows) {
    if (!rows.bytes || rows.width <= 0 || rows.height <= 0) return 0;
    const Grid grid(rows);
    const std::int32_t rowBytes = (rows.width + 7) / 8;
    std::uint64_t runs = 0;
    for (std::int32_t y = 0; y <= rows.height; ++y) {
        std::uint32_t westBefore = 0, eastBefore = 0;  // the last pixel's edge of the byte before
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint32_t above = grid.rowByte(y - 1, k), below = grid.rowByte(y, k);
            const std::uint32_t west = above & ~below & 0xFFu, east = below & ~above & 0xFFu;
            runs += static_cast<unsigned>(std::popcount(west & ~(west >> 1 | westBefore << 7)));
            runs += static_cast<unsigned>(std::popcount(east & ~(east >> 1 | eastBefore << 7)));
            westBefore = west & 1u;
            eastBefore = east & 1u;
        }
    }
    return 2 * runs;
}

bool OutlineTracer::trace(const BitmapRows& rows, Outline& outline) {
    outline.clear();
    if (!rows.bytes || rows.width <= 0 || rows.height <= 0) return true;
    const Grid grid(rows);
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

    // Walks the contour through horizontal edge (x, y) in its direction; false past the limits.
    auto walk = [&](std::int32_t x, std::int32_t y, Direction first) {
        const std::size_t begin = outline.points.size();
        const OutlinePoint start{first == East ? x : x + 1, y};
        take(x, y);
        Direction heading = first;
        OutlinePoint at{start.x + StepX[first], start.y};
        for (;;) {
            const Direction next = grid.leave(at.x, at.y, heading);
            if (at == start && next == first) break;
            if (next != heading) {
                outline.points.push_back(at);
                if (outline.points.size() > MaxGlyphPoints) return false;
            }
            if (next == East) take(at.x, at.y);
            if (next == West) take(at.x - 1, at.y);
            heading = next;
            at.x += StepX[next];
            at.y += StepY[next];
        }
        if (heading != first) {  // the start is a corner: it opens the contour
            outline.points.push_back(start);
            if (outline.points.size() > MaxGlyphPoints) return false;
            std::rotate(outline.points.begin() + static_cast<std::ptrdiff_t>(begin), outline.points.end() - 1,
                        outline.points.end());
        }
        outline.contourEnds.push_back(static_cast<std::uint32_t>(outline.points.size() - 1));
        return outline.contourEnds.size() <= MaxGlyphContours;
    };

    const std::int32_t rowBytes = (rows.width + 7) / 8;
    for (std::int32_t y = 0; y <= rows.height; ++y) {
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const std::uint32_t below = grid.rowByte(y, k);
            std::uint32_t edges = grid.rowByte(y - 1, k) ^ below;
            while (edges != 0) {
                const int bit = std::countl_zero(static_cast<std::uint8_t>(edges));  // leftmost first
                edges &= ~(0x80u >> bit);
                const std::int32_t x = 8 * k + bit;
                if (isTaken(x, y)) continue;
                if (!walk(x, y, (below & (0x80u >> bit)) != 0 ? East : West)) {
                    outline.clear();
                    return false;
                }
            }
        }
    }
    return true;
}
