// Outline tracing alone: the exact contours of the shapes that decide the corner rule, and random
// bitmaps filled exactly by corners only. The limits are checked with FreeType in test_ttf_writer.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ttf/outline.h"

namespace {

using Lines = std::vector<std::string>;  // rows of '#' (set) and '.'
using Contours = std::vector<std::vector<OutlinePoint>>;

// Packs the rows most significant bit first with a spare byte of set bits after each row, which
// the tracer must not take for pixels, and traces them; `counted` receives countOutlinePoints.
bool trace(const Lines& lines, Outline& outline, std::uint64_t* counted = nullptr) {
    const int height = static_cast<int>(lines.size()), width = lines.empty() ? 0 : static_cast<int>(lines[0].size());
    const int stride = (width + 7) / 8 + 1;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 8 * stride; ++x)
            if (x >= width || lines[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
                bytes[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    const BitmapRows rows{bytes.data(), width, height, stride};
    if (counted) *counted = countOutlinePoints(rows);
    return OutlineTracer().trace(rows, outline);
}

Contours contoursOf(const Outline& outline) {
    Contours contours;
    std::size_t begin = 0;
    for (std::uint32_t end : outline.contourEnds) {
        contours.emplace_back(outline.points.begin() + static_cast<std::ptrdiff_t>(begin),
                              outline.points.begin() + static_cast<std::ptrdiff_t>(end) + 1);
        begin = end + 1;
    }
    return contours;
}

// Clockwise as drawn (y grows downwards here); each contour starts at the corner opening its
// topmost, leftmost run of horizontal edges.
TEST(TraceOutline, ShapesGiveExactContours) {
    const std::pair<Lines, Contours> cases[] = {
        {{"...", "..."}, {}},
        {{"###", "#.#", "###"}, {{{0, 0}, {3, 0}, {3, 3}, {0, 3}}, {{2, 1}, {1, 1}, {1, 2}, {2, 2}}}},  // ring: hole anticlockwise
        // Pixels meeting at a corner: contours of their own, sharing that corner.
        {{"#.", ".#"}, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}}},
        {{".#", "#."}, {{{1, 0}, {2, 0}, {2, 1}, {1, 1}}, {{0, 1}, {1, 1}, {1, 2}, {0, 2}}}},
        {{"#.#", ".#.", "#.#"},
         {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{2, 0}, {3, 0}, {3, 1}, {2, 1}}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}},
          {{0, 2}, {1, 2}, {1, 3}, {0, 3}}, {{2, 2}, {3, 2}, {3, 3}, {2, 3}}}},
        // Holes meeting at a corner: one hole, through that corner twice.
        {{"####", "#.##", "##.#", "####"},
         {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{2, 1}, {1, 1}, {1, 2}, {2, 2}, {2, 3}, {3, 3}, {3, 2}, {2, 2}}}},
    };
    for (const auto& [lines, contours] : cases) {
        Outline outline;
        EXPECT_TRUE(trace(lines, outline));
        EXPECT_EQ(contoursOf(outline), contours) << lines[0];
    }
}

// Winding number at the centre of pixel (x, y): the vertical edges right of it, downwards +1.
int windingAt(const Contours& contours, int x, int y) {
    int winding = 0;
    for (const auto& c : contours)
        for (std::size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint a = c[i], b = c[(i + 1) % c.size()];
            if (a.x == b.x && a.x > x && std::min(a.y, b.y) <= y && y < std::max(a.y, b.y)) winding += b.y > a.y ? 1 : -1;
        }
    return winding;
}

TEST(TraceOutline, RandomBitmapsFillExactlyTheirPixels) {
    std::mt19937 random(32);
    for (int round = 0; round < 300; ++round) {
        Lines lines(1 + random() % 9);
        // Every tenth bitmap wider than a 64-pixel word, so runs cross word boundaries.
        const std::size_t width = round % 10 == 9 ? 50 + random() % 100 : 1 + random() % 19;
        for (auto& line : lines)
            while (line.size() < width) line += random() % 100 < 45 ? '#' : '.';
        Outline outline;
        std::uint64_t counted = 0;
        ASSERT_TRUE(trace(lines, outline, &counted));
        ASSERT_EQ(counted, outline.points.size());  // two corners per run of edges: no collinear point
        const Contours contours = contoursOf(outline);
        for (int y = -1; y <= static_cast<int>(lines.size()); ++y)
            for (int x = -1; x <= static_cast<int>(width); ++x) {
                const bool set = y >= 0 && x >= 0 && y < static_cast<int>(lines.size()) && x < static_cast<int>(width) &&
                                 lines[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#';
                ASSERT_EQ(windingAt(contours, x, y), set ? 1 : 0) << "round " << round << " at " << x << "," << y;
            }
    }
}

}  // namespace
