#include "tests/support/freetype_oracle.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "tests/support/test_support.h"

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

// The slot's bitmap, one bit or grey (a pixel set from half intensity up); `grey` counts the
// pixels of a grey bitmap that are neither empty nor full.
OracleGlyph slotGlyph(FT_GlyphSlot slot, int* grey) {
    OracleGlyph g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(slot->bitmap.width);
    g.rows = static_cast<int>(slot->bitmap.rows);
    g.advance = static_cast<int>(slot->advance.x >> 6);
    g.pixels.assign(static_cast<size_t>(g.width) * g.rows, 0);
    const bool mono = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* row = slot->bitmap.buffer + static_cast<long>(y) * slot->bitmap.pitch;
        for (int x = 0; x < g.width; ++x) {
            if (!mono && grey && row[x] != 0 && row[x] != 255) ++*grey;
            bool set = mono ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x] >= 128;
            g.pixels[static_cast<size_t>(y) * g.width + x] = set ? 1 : 0;
        }
    }
    return g;
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
    font.defaultChar = bdfInteger(face, "DEFAULT_CHAR");
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

int bdfInteger(FT_Face face, const char* name) {
    BDF_PropertyRec property;
    if (FT_Get_BDF_Property(face, name, &property) != 0) return -1;
    if (property.type == BDF_PROPERTY_TYPE_INTEGER) return property.u.integer;
    return property.type == BDF_PROPERTY_TYPE_CARDINAL ? static_cast<int>(property.u.cardinal) : -1;
}

OracleFont loadWithFreeType(const std::string& path, long faceIndex) {
    OracleFont font;
    const FreeTypeFace opened(path, faceIndex);
    FT_Face face = opened.face();
    if (!face) {
        font.error = opened.error();
        return font;
    }
    font.driver = FT_FACE_DRIVER_NAME(face);
    readHeaderFields(face, font);
    font.faceCount = face->num_faces;
    if (face->num_fixed_sizes > 0) FT_Select_Size(face, 0);
    font.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    font.descent = static_cast<int>(-(face->size->metrics.descender >> 6));
    font.height = static_cast<int>(face->size->metrics.height >> 6);
    for (std::uint32_t code : opened.codes()) {
        FreeTypeFace::Drawing drawn;
        if (opened.draw(code, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO, drawn)) font.glyphs[code] = drawn.glyph;
    }
    return font;
}

OracleGlyph inkOf(const OracleGlyph& glyph) {
    int left = glyph.width, right = -1, top = glyph.rows, bottom = -1;
    for (int y = 0; y < glyph.rows; ++y)
        for (int x = 0; x < glyph.width; ++x)
            if (glyph.pixel(x, y)) left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                                   bottom = std::max(bottom, y);
    OracleGlyph ink;
    ink.advance = glyph.advance;
    if (right < 0) return ink;
    ink.left = glyph.left + left;
    ink.top = glyph.top - top;
    ink.width = right - left + 1;
    ink.rows = bottom - top + 1;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) ink.pixels.push_back(glyph.pixel(x, y) ? 1 : 0);
    return ink;
}

OracleGlyph scaledBy(const OracleGlyph& glyph, int factor) {
    OracleGlyph big;
    big.left = glyph.left * factor;
    big.top = glyph.top * factor;
    big.width = glyph.width * factor;
    big.rows = glyph.rows * factor;
    big.advance = glyph.advance * factor;
    for (int y = 0; y < big.rows; ++y)
        for (int x = 0; x < big.width; ++x) big.pixels.push_back(glyph.pixel(x / factor, y / factor) ? 1 : 0);
    return big;
}

FreeTypeFace::FreeTypeFace(const std::string& path, long faceIndex) {
    if (FT_Init_FreeType(&library_)) {
        library_ = nullptr;
        error_ = "FT_Init_FreeType failed";
        return;
    }
    if (FT_Error e = FT_New_Face(library_, path.c_str(), faceIndex, &face_)) {
        face_ = nullptr;
        error_ = "FT_New_Face failed: " + std::to_string(e);
        return;
    }
    if (!face_->charmap && FT_Select_Charmap(face_, FT_ENCODING_MS_SYMBOL) != 0 && face_->num_charmaps > 0)
        FT_Set_Charmap(face_, face_->charmaps[0]);
}

FreeTypeFace::~FreeTypeFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
}

std::vector<std::uint32_t> FreeTypeFace::codes() const {
    std::vector<std::uint32_t> all;
    if (!face_) return all;
    FT_UInt index = 0;
    for (FT_ULong code = FT_Get_First_Char(face_, &index); index != 0; code = FT_Get_Next_Char(face_, code, &index))
        all.push_back(static_cast<std::uint32_t>(code));
    return all;
}

bool FreeTypeFace::setPixelSize(int ppem) {
    return face_ && FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(ppem)) == 0;
}

bool FreeTypeFace::draw(std::uint32_t code, int loadFlags, Drawing& drawing) const {
    if (!face_) return false;
    const FT_UInt index = FT_Get_Char_Index(face_, code);
    if (index == 0 || FT_Load_Glyph(face_, index, loadFlags & ~FT_LOAD_RENDER) != 0) return false;
    FT_GlyphSlot slot = face_->glyph;
    drawing.embedded = slot->format == FT_GLYPH_FORMAT_BITMAP;
    if (!drawing.embedded &&
        FT_Render_Glyph(slot, static_cast<FT_Render_Mode>(FT_LOAD_TARGET_MODE(loadFlags))) != 0)
        return false;
    drawing.greyPixels = 0;
    drawing.glyph = slotGlyph(slot, &drawing.greyPixels);
    return true;
}

namespace {
std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
}  // namespace

std::string codecOf(const std::string& registry, const std::string& encoding) {
    const std::string name = lower(registry + "-" + encoding);
    if (name == "iso10646-1") return "unicode";
    if (name.rfind("iso8859-", 0) == 0 && name != "iso8859-12") return "iso8859_" + name.substr(8);
    if (name == "koi8-r" || name == "koi8-u") return "koi8_" + name.substr(5);
    if (name.rfind("microsoft-cp125", 0) == 0) return name.substr(10);
    if (name == "ibm-cp437" || name == "ibm-cp850" || name == "ibm-cp866") return name.substr(4);
    if (name == "paratype-pt154") return "ptcp154";
    return name == "iso646.1991-irv" || name == "ascii-0" ? "ascii" : "";
}

std::map<std::string, std::vector<int>> decodeTables() {
    RunResult run = runCommand(
        {"python3", "-c",
         "names = ['cp1250', 'cp1251', 'cp1252', 'cp1253', 'cp1254', 'cp1255', 'cp1256', 'cp1257', 'cp1258',\n"
         "         'cp437', 'cp850', 'cp866', 'koi8_r', 'koi8_u', 'ptcp154', 'ascii']\n"
         "names += ['iso8859_%d' % n for n in range(1, 17) if n != 12]\n"
         "for n in names:\n"
         "    out = []\n"
         "    for b in range(256):\n"
         "        try: t = bytes([b]).decode(n)\n"
         "        except UnicodeDecodeError: t = ''\n"
         "        out.append(str(ord(t)) if len(t) == 1 else '-1')\n"
         "    print(n, ' '.join(out))\n"});
    std::map<std::string, std::vector<int>> tables;
    std::istringstream lines(run.out);
    for (std::string name; lines >> name;) {
        std::vector<int>& table = tables[name];
        table.resize(256);
        for (int& value : table) lines >> value;
    }
    return tables;
}
