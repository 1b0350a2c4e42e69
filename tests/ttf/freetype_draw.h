// FreeType drawing a TrueType font's glyphs, for the writer's tests: which pixels a glyph sets
// (fully: a partly covered pixel is counted as grey instead), and its advance.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <set>
#include <string>
#include <utility>

#include "font/alloc.h"

using Pixel = std::pair<int, int>;  // x, and y of the pixel's top edge, baseline at 0
using PixelSet = std::set<Pixel>;

struct Drawn {
    PixelSet pixels;
    int greyPixels = 0;  // neither clear nor full
    long advance = 0;    // 26.6
    std::string error;
};

// Loads glyph `index` with `flags` and draws it in `mode` (an embedded bitmap as it is).
inline Drawn drawWithFreeType(FT_Face face, unsigned index, FT_Int32 flags, FT_Render_Mode mode) {
    Drawn drawn;
    if (FT_Error e = FT_Load_Glyph(face, index, flags); e != 0) {
        drawn.error = "glyph " + std::to_string(index) + " does not load: error " + std::to_string(e);
        return drawn;
    }
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, mode) != 0) {
        drawn.error = "glyph " + std::to_string(index) + " does not draw";
        return drawn;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    drawn.advance = slot->advance.x;
    for (unsigned j = 0; j < bitmap.rows; ++j)
        for (unsigned i = 0; i < bitmap.width; ++i) {
            const unsigned char* row = bitmap.buffer + static_cast<long>(j) * bitmap.pitch;
            const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
            const int level = mono ? ((row[i / 8] & (0x80 >> (i % 8))) ? 255 : 0) : row[i];
            if (level != 0 && level != 255) ++drawn.greyPixels;
            if (level == 255)
                drawn.pixels.insert({slot->bitmap_left + static_cast<int>(i), slot->bitmap_top - static_cast<int>(j)});
        }
    return drawn;
}

// Every pixel of `pixels` as a 2 x 2 block.
inline PixelSet doubled(const PixelSet& pixels) {
    PixelSet blocks;
    for (const auto& [x, y] : pixels)
        for (int dx = 0; dx < 2; ++dx)
            for (int dy = 0; dy < 2; ++dy) blocks.insert({2 * x + dx, 2 * y - dy});
    return blocks;
}

// A font file opened by FreeType from memory; get() is null when FreeType refuses it.
class FreeTypeFace {
public:
    explicit FreeTypeFace(const ByteVector& file) {
        if (FT_Init_FreeType(&library_)) return;
        if (FT_New_Memory_Face(library_, file.data(), static_cast<FT_Long>(file.size()), 0, &face_)) face_ = nullptr;
    }
    ~FreeTypeFace() {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }
    FreeTypeFace(const FreeTypeFace&) = delete;
    FreeTypeFace& operator=(const FreeTypeFace&) = delete;
    FT_Face get() const { return face_; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};
