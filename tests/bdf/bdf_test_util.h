// Building small BDF texts and loading them through a real file stream, for the bdf tests.
#pragma once

#include <string>
#include <vector>

#include "bdf/bdf_reader.h"
#include "bdf/bdf_steps.h"
#include "font/model.h"
#include "tests/support/test_support.h"

struct BdfGlyphText {
    std::string name = "A";
    std::string encoding = "65";
    std::string dwidth = "5 0";
    std::string bbx = "5 7 0 0";
    std::vector<std::string> rows = {"20", "50", "88", "F8", "88", "88", "88"};
    std::string extra;  // lines between BBX and BITMAP (ATTRIBUTES)
};

inline std::string bdfGlyph(const BdfGlyphText& g) {
    std::string s = "STARTCHAR " + g.name + "\nENCODING " + g.encoding + "\nSWIDTH 667 0\nDWIDTH " + g.dwidth +
                    "\nBBX " + g.bbx + "\n" + g.extra + "BITMAP\n";
    for (const auto& r : g.rows) s += r + "\n";
    return s + "ENDCHAR\n";
}

inline std::string bdfHeader(const std::string& size = "8 75 75") {
    return "STARTFONT 2.1\nFONT sample8\nSIZE " + size + "\nFONTBOUNDINGBOX 5 7 0 0\n";
}

inline std::string bdfProperties(const std::vector<std::string>& lines) {
    std::string s = "STARTPROPERTIES " + std::to_string(lines.size()) + "\n";
    for (const auto& l : lines) s += l + "\n";
    return s + "ENDPROPERTIES\n";
}

inline const std::vector<std::string> basicProperties = {"FONT_ASCENT 7", "FONT_DESCENT 0"};

inline std::string bdfFont(const std::vector<BdfGlyphText>& glyphs,
                           const std::vector<std::string>& properties = basicProperties,
                           const std::string& size = "8 75 75") {
    std::string s = bdfHeader(size) + bdfProperties(properties) + "CHARS " + std::to_string(glyphs.size()) + "\n";
    for (const auto& g : glyphs) s += bdfGlyph(g);
    return s + "ENDFONT\n";
}

// The file of the smallest kind the reader accepts.
inline std::string smallestBdf() { return bdfFont({BdfGlyphText{}}); }

// Loads `text` through a file stream, as varnel does.
inline int loadBdfText(const std::string& text, Font& font, int bitOrder = 1, int byteOrder = 1, int glyphPad = 1,
                       int scanUnit = 1, ReadReason* reason = nullptr) {
    TempDir dir;
    std::string path = dir.path("font.bdf");
    writeFile(path, text);
    FontStream* stream = openFontFile(path.c_str());
    if (!stream) return -1;
    int status = readBdfFont(&font, stream, bitOrder, byteOrder, glyphPad, scanUnit, reason);
    closeFontFile(stream);
    return status;
}

inline bool loads(const std::string& text) {
    Font font;
    return loadBdfText(text, font) == StatusOk;
}

// Value of the property named `name`, or `missing` when the font has none.
inline std::int32_t propertyValue(const Font& font, const std::string& name, std::int32_t missing = -99999) {
    for (const auto& p : font.info.properties) {
        const char* n = atomName(p.name);
        if (n && name == n) return p.value;
    }
    return missing;
}

inline std::string propertyText(const Font& font, const std::string& name) {
    for (std::size_t i = 0; i < font.info.properties.size(); ++i) {
        const char* n = atomName(font.info.properties[i].name);
        if (n && name == n && font.info.propertyIsString[i])
            return atomName(static_cast<Atom>(font.info.properties[i].value));
    }
    return "<none>";
}

inline std::vector<std::uint8_t> glyphBytes(const Font& font, std::size_t index) {
    const auto& owned = font.bitmapFont->ownedBitmaps[index];
    return std::vector<std::uint8_t>(owned.begin(), owned.end());
}
