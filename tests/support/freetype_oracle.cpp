#include "tests/support/freetype_oracle.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_BDF_H
#include FT_WINFONTS_H

namespace {
std::string bdfString(FT_Face face, const char* name) {
    BDF_PropertyRec property;
    if (FT_Get_BDF_Property(face, name, &property) != 0 || property.type != BDF_PROPERTY_TYPE_ATOM ||
        !property.u.atom)
        return {};
    return property.u.atom;
}

void readHeaderFields(FT_Face face, OracleFont& font) {
    const char* encoding = nullptr;
    const char* registry = nullptr;
    if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0) {
        font.encoding = encoding ? encoding : "";
        font.registry = registry ? registry : "";
    }
    font.weightName = bdfString(face, "WEIGHT_NAME");
    font.slant = bdfString(face, "SLANT");
    font.name = bdfString(face, "FONT");
    BDF_PropertyRec property;
    if (FT_Get_BDF_Property(face, "DEFAULT_CHAR", &property) == 0 &&
        (property.type == BDF_PROPERTY_TYPE_INTEGER || property.type == BDF_PROPERTY_TYPE_CARDINAL))
        font.defaultChar = property.type == BDF_PROPERTY_TYPE_INTEGER ? property.u.integer
                                                                       : static_cast<int>(property.u.cardinal);
    FT_WinFNT_HeaderRec header;
    if (FT_Get_WinFNT_Header(face, &header) == 0) {
        font.charSet = header.charset;
        font.weight = header.weight;
        font.italic = header.italic;
        font.firstChar = header.first_char;
        font.lastChar = header.last_char;
        font.winDefaultChar = header.default_char;
    }
}
}  // namespace

OracleFont loadWithFreeType(const std::string& path, long faceIndex) {
    OracleFont font;
    FT_Library library;
    if (FT_Init_FreeType(&library)) {
        font.error = "FT_Init_FreeType failed";
        return font;
    }
    FT_Face face;
    if (FT_Error e = FT_New_Face(library, path.c_str(), faceIndex, &face)) {
        font.error = "FT_New_Face failed: " + std::to_string(e);
        FT_Done_FreeType(library);
        return font;
    }
    font.driver = FT_FACE_DRIVER_NAME(face);
    readHeaderFields(face, font);
    font.faceCount = face->num_faces;
    if (face->num_fixed_sizes > 0) FT_Select_Size(face, 0);
    if (!face->charmap && face->num_charmaps > 0) FT_Set_Charmap(face, face->charmaps[0]);
    font.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    font.descent = static_cast<int>(-(face->size->metrics.descender >> 6));
    font.height = static_cast<int>(face->size->metrics.height >> 6);
    FT_UInt index = 0;
    FT_ULong code = FT_Get_First_Char(face, &index);
    while (index != 0) {
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot slot = face->glyph;
            OracleGlyph g;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = static_cast<int>(slot->bitmap.width);
            g.rows = static_cast<int>(slot->bitmap.rows);
            g.advance = static_cast<int>(slot->advance.x >> 6);
            g.pixels.assign(static_cast<size_t>(g.width) * g.rows, 0);
            for (int y = 0; y < g.rows; ++y) {
                const unsigned char* row = slot->bitmap.buffer + static_cast<long>(y) * slot->bitmap.pitch;
                for (int x = 0; x < g.width; ++x) {
                    bool set = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                                              : row[x] >= 128;
                    g.pixels[static_cast<size_t>(y) * g.width + x] = set ? 1 : 0;
                }
            }
            font.glyphs[static_cast<std::uint32_t>(code)] = std::move(g);
        }
        code = FT_Get_Next_Char(face, code, &index);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return font;
}
