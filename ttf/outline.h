// Outline tracing: the set pixels of one bitmap as closed contours along the pixel edges, the way a
// TrueType glyph stores them. A pure function of the bits: no font, no file, so one tracer serves
// every glyph and the shapes can be checked alone.
#pragma once

#include <cstdint>
#include <vector>

// One bitmap as the tracer reads it: `height` rows of `width` pixels, the leftmost pixel in the most
// significant bit, each row `stride` bytes after the one before. Bits past `width` are ignored.
struct BitmapRows {
    const std::uint8_t* bytes = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
};

// A corner of the pixel grid: x pixels from the bitmap's left edge, y pixels down from its top edge.
struct OutlinePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const OutlinePoint&) const = default;
};

// Closed contours, all points on the curve, every point a corner (no two consecutive edges
// collinear). Seen as drawn (top row on top) each contour keeps the filled area on its right:
// outer contours run clockwise, holes anticlockwise and as contours of their own, which is
// TrueType's direction once y is turned upwards. Contours never cross or overlap; they may touch
// at a corner, where the rule is that pixels meeting only at a corner belong to different contours
// (and the holes on either side of such a corner to one).
struct Outline {
    std::vector<OutlinePoint> points;
    std::vector<std::uint32_t> contourEnds;  // index in `points` of each contour's last point
    void clear() {
        points.clear();
        contourEnds.clear();
    }
};

// The most points and contours of one glyph. TrueType itself allows 65535 points and 32767 contours,
// but FreeType (and every program drawing through it) refuses a glyph of more than 32756 points or
// 4094 contours (measured with FreeType 2.13: one more point pair or contour and it fails to load);
// a glyph past these is better left to its bitmap than written and refused.
constexpr std::uint32_t MaxGlyphPoints = 32756;
constexpr std::uint32_t MaxGlyphContours = 4094;

// The number of points trace() gives for `rows`, counted without tracing (each corner ends one run
// of same-facing horizontal edges): the writer's size bound and its glyph limit come from it.
[[nodiscard]] std::uint64_t countOutlinePoints(const BitmapRows& rows);

// Reused between glyphs, so tracing a font allocates only while its largest glyph grows the buffers.
class OutlineTracer {
public:
    // Traces `rows` into `outline` (cleared first). False, leaving the outline empty, when the
    // contours would pass MaxGlyphPoints or MaxGlyphContours; tracing stops as soon as they do.
    [[nodiscard]] bool trace(const BitmapRows& rows, Outline& outline);

private:
    // The bitmap again in 64-bit words with clear pixels around it, so the walk reads any
    // corner's four pixels without bounds checks.
    std::vector<std::uint64_t> plane_;
    // The horizontal edges of each grid line, east-going then west-going, cleared as walked.
    std::vector<std::uint64_t> edges_;
    // The points of the glyph being traced, room for the most allowed and two more.
    std::vector<OutlinePoint> points_;
};
