/* The FreeType side of the whole-process comparison: opens a font file and loads every glyph's
 * bitmap, the least a program that reads the font with FreeType has to do. Owns nothing beyond
 * one run. Usage: ft_load FILE   (exit status 0 when every glyph loaded) */
#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdio.h>

int main(int argc, char** argv) {
    FT_Library library;
    FT_Face face;
    FT_Long i;
    int failed = 0;
    unsigned long pixelRows = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: ft_load FILE\n");
        return 2;
    }
    if (FT_Init_FreeType(&library) != 0) return 1;
    if (FT_New_Face(library, argv[1], 0, &face) != 0) {
        fprintf(stderr, "ft_load: FreeType cannot open %s\n", argv[1]);
        return 1;
    }
    /* A bitmap font has its strikes as sizes; the first one is the font's own. */
    if (face->num_fixed_sizes > 0 && FT_Select_Size(face, 0) != 0) return 1;
    for (i = 0; i < face->num_glyphs; ++i) {
        if (FT_Load_Glyph(face, (FT_UInt)i, FT_LOAD_DEFAULT) != 0) ++failed;
        else pixelRows += face->glyph->bitmap.rows;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (failed) fprintf(stderr, "ft_load: %d glyphs failed to load\n", failed);
    /* Printed so the loads cannot be mistaken for idle work. */
    printf("%lu glyphs, %lu bitmap rows\n", (unsigned long)i, pixelRows);
    return failed ? 1 : 0;
}
