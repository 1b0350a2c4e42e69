// Outline tracing on small drawings: the exact contours of the shapes whose corners decide the rule,
// and, over many random bitmaps, that the contours fill exactly the set pixels.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ttf/outline.h"

void PrintTo(const OutlinePoint& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

namespace {

// A drawing as rows of '#' (set) and '.' (clear), packed most significant bit first.
struct Drawing {
    std::vector<std::uint8_t> bytes;
    BitmapRows rows;
    explicit Drawing(const std::vector<std::string>& lines) {
        rows.height = static_cast<std::int32_t>(lines.size());
        rows.width = lines.empty() ? 0 : static_cast<std::int32_t>(lines[0].size());
        rows.stride = (rows.width + 7) / 8 + 1;  // a spare byte of set bits: never read as pixels
        bytes.assign(static_cast<std::size_t>(rows.stride * rows.height), 0);
        for (std::int32_t y = 0; y < rows.height; ++y) {
            for (std::int32_t k = rows.width; k < 8 * rows.stride; ++k)
                bytes[static_cast<std::size_t>(y * rows.stride + k / 8)] |= static_cast<std::uint8_t>(0x80 >> (k % 8));
            for (std::int32_t x = 0; x < rows.width; ++x)
                if (lines[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
                    bytes[static_cast<std::size_t>(y * rows.stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        rows.bytes = bytes.data();
    }
    bool pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= rows.width || y >= rows.height) return false;
        return (bytes[static_cast<std::size_t>(y * rows.stride + x / 8)] & (0x80 >> (x % 8))) != 0;
    }
};

using Contour = std::vector<OutlinePoint>;

std::vector<Contour> contoursOf(const Outline& outline) {
    std::vector<Contour> contours;
    std::size_t begin = 0;
    for (std::uint32_t end : outline.contourEnds) {
        contours.emplace_back(outline.points.begin() + static_cast<std::ptrdiff_t>(begin),
                              outline.points.begin() + static_cast<std::ptrdiff_t>(end) + 1);
        begin = end + 1;
    }
    return contours;
}

struct ShapeCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<Contour> contours;
};

class TraceShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(TraceShape, GivesExactContours) {
    const ShapeCase& c = GetParam();
    Drawing drawing(c.lines);
    OutlineTracer tracer;
    Outline outline;
    ASSERT_TRUE(tracer.trace(drawing.rows, outline));
    EXPECT_EQ(contoursOf(outline), c.contours);
}

// Clockwise as drawn (down is +y here): outer contours go right along their top edge; each
// contour starts at the corner that opens its topmost, leftmost run of horizontal edges.
INSTANTIATE_TEST_SUITE_P(
    Shapes, TraceShape,
    ::testing::Values(
        ShapeCase{"Empty", {"...", "..."}, {}},
        ShapeCase{"NoPixels", {}, {}},
        ShapeCase{"OnePixel", {"#"}, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}},
        ShapeCase{"BarHasNoMiddlePoints", {".###."}, {{{1, 0}, {4, 0}, {4, 1}, {1, 1}}}},
        ShapeCase{"RingHoleAnticlockwise",
                  {"###", "#.#", "###"},
                  {{{0, 0}, {3, 0}, {3, 3}, {0, 3}}, {{2, 1}, {1, 1}, {1, 2}, {2, 2}}}},
        ShapeCase{"CornerTouchFalling", {"#.", ".#"}, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}}},
        ShapeCase{"CornerTouchRising", {".#", "#."}, {{{1, 0}, {2, 0}, {2, 1}, {1, 1}}, {{0, 1}, {1, 1}, {1, 2}, {0, 2}}}},
        ShapeCase{"Checkerboard",
                  {"#.#", ".#.", "#.#"},
                  {{{0, 0}, {1, 0}, {1, 1}, {0, 1}},
                   {{2, 0}, {3, 0}, {3, 1}, {2, 1}},
                   {{1, 1}, {2, 1}, {2, 2}, {1, 2}},
                   {{0, 2}, {1, 2}, {1, 3}, {0, 3}},
                   {{2, 2}, {3, 2}, {3, 3}, {2, 3}}}},
        // Holes meeting at a corner are one hole; the pixels around it stay one contour.
        ShapeCase{"HoleWithACorner",
                  {"####", "#..#", "#.##", "####"},
                  {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{3, 1}, {1, 1}, {1, 3}, {2, 3}, {2, 2}, {3, 2}}}},
        ShapeCase{"HolesTouchingAtACorner",
                  {"####", "#.##", "##.#", "####"},
                  {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{2, 1}, {1, 1}, {1, 2}, {2, 2}, {2, 3}, {3, 3}, {3, 2}, {2, 2}}}},
        ShapeCase{"WideRowsPastOneByte",
                  {"##########", "#........#", "##########"},
                  {{{0, 0}, {10, 0}, {10, 3}, {0, 3}}, {{9, 1}, {1, 1}, {1, 2}, {9, 2}}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Winding number at the centre of pixel (x, y): the vertical edges right of it, down counting +1.
int windingAt(const Outline& outline, int x, int y) {
    int winding = 0;
    std::size_t begin = 0;
    for (std::uint32_t end : outline.contourEnds) {
        for (std::size_t i = begin; i <= end; ++i) {
            const OutlinePoint a = outline.points[i];
            const OutlinePoint b = outline.points[i == end ? begin : i + 1];
            if (a.x == b.x && a.x > x && std::min(a.y, b.y) <= y && y < std::max(a.y, b.y)) winding += b.y > a.y ? 1 : -1;
        }
        begin = end + 1;
    }
    return winding;
}

TEST(TraceOutline, RandomBitmapsFillExactlyTheirPixelsWithCornersOnly) {
    std::mt19937 random(32);
    OutlineTracer tracer;
    Outline outline;
    for (int round = 0; round < 300; ++round) {
        const int width = 1 + static_cast<int>(random() % 19), height = 1 + static_cast<int>(random() % 9);
        std::vector<std::string> lines(static_cast<std::size_t>(height));
        for (auto& line : lines)
            for (int x = 0; x < width; ++x) line += random() % 100 < 45 ? '#' : '.';
        Drawing drawing(lines);
        ASSERT_TRUE(tracer.trace(drawing.rows, outline));
        ASSERT_EQ(countOutlinePoints(drawing.rows), outline.points.size());
        for (int y = -1; y <= height; ++y)
            for (int x = -1; x <= width; ++x)
                ASSERT_EQ(windingAt(outline, x, y), drawing.pixel(x, y) ? 1 : 0) << "round " << round << " at " << x << "," << y;
        std::size_t begin = 0;
        for (std::uint32_t end : outline.contourEnds) {
            const std::size_t n = end + 1 - begin;
            ASSERT_TRUE(n >= 4 && n % 2 == 0);
            for (std::size_t i = 0; i < n; ++i) {  // edges alternate horizontal and vertical: no collinear point
                const OutlinePoint a = outline.points[begin + i], b = outline.points[begin + (i + 1) % n];
                const OutlinePoint c = outline.points[begin + (i + 2) % n];
                ASSERT_TRUE((a.y == b.y && a.x != b.x && b.x == c.x && b.y != c.y) ||
                            (a.x == b.x && a.y != b.y && b.y == c.y && b.x != c.x))
                    << "round " << round;
            }
            begin = end + 1;
        }
    }
}

// A comb of n teeth: 4n points in one contour; a row of n lone pixels: n contours.
std::vector<std::string> comb(int teeth) {
    return {std::string(static_cast<std::size_t>(2 * teeth - 1), '#'), [&] {
                std::string line;
                for (int x = 0; x < 2 * teeth - 1; ++x) line += x % 2 == 0 ? '#' : '.';
                return line;
            }()};
}
std::vector<std::string> lonePixels(int count) { return {comb(count)[1]}; }

TEST(TraceOutline, StopsAtTheGlyphLimits) {
    struct Case {
        std::vector<std::string> lines;
        bool traced;
        std::size_t points, contours;
    };
    const Case cases[] = {
        {comb(8189), true, MaxGlyphPoints, 1},
        {comb(8190), false, 0, 0},
        {lonePixels(4094), true, 4 * 4094, MaxGlyphContours},
        {lonePixels(4095), false, 0, 0},
    };
    OutlineTracer tracer;
    Outline outline;
    for (const Case& c : cases) {
        Drawing drawing(c.lines);
        EXPECT_EQ(tracer.trace(drawing.rows, outline), c.traced) << c.lines[0].size();
        EXPECT_EQ(outline.points.size(), c.points);
        EXPECT_EQ(outline.contourEnds.size(), c.contours);
    }
}

}  // namespace
