// Our FON reader against FreeType's reading of the same file, for every test that has a FON file
// at hand: every face, every position's presence, cell width and pixels.
#pragma once

#include <string>

#include "fon/fon_reader.h"
#include "tests/support/freetype_oracle.h"

// "" when both read the file alike; otherwise the first difference. `firstFace`: FreeType's reading
// of face 0 when the caller has it already.
inline std::string readerDisagreement(const std::string& path, const OracleFont* firstFace = nullptr) {
    FonFile file;
    if (const int status = readFonFile(path.c_str(), &file); status != StatusOk)
        return "FON reader: status " + std::to_string(status);
    for (std::size_t k = 0; k < file.faces.size(); ++k) {
        const OracleFont seen = k == 0 && firstFace ? *firstFace : loadWithFreeType(path, static_cast<long>(k));
        if (!seen.error.empty() || seen.faceCount != static_cast<long>(file.faces.size()))
            return "FreeType: " + seen.error + " " + std::to_string(seen.faceCount) + " faces";
        const FonFace& face = file.faces[k];
        for (std::uint32_t code = 0; code < 256; ++code) {
            const std::string where = "face " + std::to_string(k) + " code " + std::to_string(code) + ": ";
            const FonCell* cell = face.cell(code);
            const auto glyph = seen.glyphs.find(code);
            // FreeType leaves out a position of width 0, which has nothing to draw.
            if (cell && cell->width == 0 && glyph == seen.glyphs.end()) continue;
            if (!cell != (glyph == seen.glyphs.end())) return where + "in one reading only";
            if (!cell) continue;
            const OracleGlyph& g = glyph->second;
            if (g.width != static_cast<int>(cell->width) || (cell->width && g.rows != static_cast<int>(face.pixHeight)))
                return where + "cell " + std::to_string(cell->width) + " wide, FreeType " + std::to_string(g.width) +
                       "x" + std::to_string(g.rows);
            for (int y = 0; y < g.rows && cell->width; ++y)
                for (int x = 0; x < g.width; ++x)
                    if (g.pixel(x, y) != face.pixel(*cell, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)))
                        return where + "pixel " + std::to_string(x) + "," + std::to_string(y);
        }
    }
    return {};
}
