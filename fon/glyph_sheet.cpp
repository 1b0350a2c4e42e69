// Lays out and draws the glyph sheet of a FON file's faces.
#include "fon/glyph_sheet.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "font/code_page.h"

namespace {

// The label font: 5 x 7 pixels on an advance of 6, each row's bit 4 the leftmost pixel. Letters
// are capitals only; labels are shown in capitals, and any other character as "?".
constexpr std::uint32_t LabelWidth = 5, LabelHeight = 7, LabelAdvance = 6;
struct LabelGlyph {
    char c;
    std::uint8_t rows[LabelHeight];
};
constexpr LabelGlyph labelGlyphs[] = {
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}, {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}}, {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}}, {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}}, {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}}, {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}}, {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}}, {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}}, {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}}, {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}}, {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}}, {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}}, {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}}, {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
};

const LabelGlyph& labelGlyph(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const LabelGlyph& g : labelGlyphs)
        if (g.c == c) return g;
    return labelGlyph('?');
}

// Spacing of a face's block, in pixels.
constexpr std::uint32_t Margin = 4;          // around the picture
constexpr std::uint32_t TitleGap = 4;        // below the title
constexpr std::uint32_t ColumnLabelGap = 2;  // between the column labels and the grid
constexpr std::uint32_t RowLabelWidth = 2 * LabelAdvance + 2;
constexpr std::uint32_t CellInset = 2;       // grid line and one pixel of paper
constexpr std::uint32_t SampleGap = 5;       // between the grid and the sample line
constexpr std::uint32_t FaceGap = 10;        // below a face's block

// Pangrams, each in letters its pages hold: Russian and Greek ones for Cyrillic and Greek pages,
// the English one for all others; the digits after them are in every font's page.
constexpr std::u16string_view pangrams[] = {
    u"В чащах юга жил бы цитрус? Да, но фальшивый экземпляр! 0123456789",
    u"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. 0123456789",
    u"The quick brown fox jumps over the lazy dog. 0123456789",
};

// The Unicode table of the page or encoding an "SNF" resource names ("microsoft-cp1251",
// "iso8859-5"); null for any other.
const UnicodeTable* pageOf(const FonFace& face) {
    const std::string_view name(face.encoding.data(), face.encoding.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos) return nullptr;
    const std::string_view registry = name.substr(0, dash), encoding = name.substr(dash + 1);
    if (const XEncoding* x = findXEncoding(registry, encoding)) return x->unicode;
    const bool windowsPage = equalsIgnoringCase(registry, "microsoft") || equalsIgnoringCase(registry, "ibm");
    if (windowsPage && encoding.size() > 2 && equalsIgnoringCase(encoding.substr(0, 2), "cp"))
        if (const CodePage* page = findCodePage(encoding.substr(2))) return page->unicode;
    return nullptr;
}

// `text` in the bytes of `table`; false when a character is not in it.
bool encodeInto(std::u16string_view text, const UnicodeTable& table, ModelVector<std::uint8_t>& codes) {
    codes.clear();
    for (char16_t c : text) {
        const auto at = std::find(table.begin(), table.end(), static_cast<std::uint16_t>(c));
        if (at == table.end()) return false;
        codes.push_back(static_cast<std::uint8_t>(at - table.begin()));
    }
    return true;
}

ModelString titleOf(const FonFace& face) {
    char fields[96];
    std::snprintf(fields, sizeof fields, "  %u PX  WEIGHT %u%s  CHARSET %u", face.pixHeight, face.weight,
                  face.italic ? "  ITALIC" : "", face.charSet);
    ModelString title = face.faceName;
    title += fields;
    if (!face.encoding.empty()) {
        title += ' ';
        title += face.encoding;
    }
    return title;
}

// The glyph cell of `code`, or null when the position has nothing to draw.
const FonCell* drawnCell(const FonFace& face, std::uint32_t code) {
    const FonCell* cell = face.cell(code);
    return cell && cell->width != 0 ? cell : nullptr;
}

// The glyph area of every cell: the widest glyph, and the height, but at least a label's size.
std::uint32_t areaWidth(const FonFace& face) {
    std::uint32_t widest = LabelWidth + 1;
    for (const FonCell& cell : face.cells) widest = std::max(widest, cell.width);
    return widest;
}
std::uint32_t areaHeight(const FonFace& face) { return std::max(face.pixHeight, LabelHeight); }

class Canvas {
public:
    explicit Canvas(GreyImage& image) : image_(image) {}

    void fill(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h, std::uint8_t grey) {
        for (std::uint32_t row = 0; row < h; ++row) std::fill_n(at(x, y + row), w, grey);
    }
    void label(std::uint32_t x, std::uint32_t y, std::string_view text) {
        for (char c : text) {
            const LabelGlyph& g = labelGlyph(c);
            for (std::uint32_t row = 0; row < LabelHeight; ++row)
                for (std::uint32_t col = 0; col < LabelWidth; ++col)
                    if ((g.rows[row] >> (LabelWidth - 1 - col)) & 1) *at(x + col, y + row) = Ink;
            x += LabelAdvance;
        }
    }
    void glyph(const FonFace& face, const FonCell& cell, std::uint32_t x, std::uint32_t y, std::uint8_t paper) {
        for (std::uint32_t row = 0; row < face.pixHeight; ++row) {
            std::uint8_t* line = at(x, y + row);
            for (std::uint32_t col = 0; col < cell.width; ++col) line[col] = face.pixel(cell, col, row) ? Ink : paper;
        }
    }
    // A position without a glyph: filled, with a diagonal from its top left corner.
    void missing(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
        fill(x, y, w, h, MissingFill);
        for (std::uint32_t k = 0; k < std::min(w, h); ++k) *at(x + k, y + k) = MissingMark;
    }

private:
    std::uint8_t* at(std::uint32_t x, std::uint32_t y) {
        return image_.pixels.data() + std::size_t{y} * image_.width + x;
    }
    GreyImage& image_;
};

std::uint64_t textWidth(std::size_t characters) {
    return characters == 0 ? 0 : characters * std::uint64_t{LabelAdvance} - 1;
}

}  // namespace

ModelVector<std::uint8_t> sampleCodes(const FonFace& face) {
    // Of the texts the page can spell, the one the face lacks fewest glyphs of; first in order on
    // a tie, so a face with the page's letters shows them.
    ModelVector<std::uint8_t> codes, best;
    std::size_t bestMissing = 0;
    if (const UnicodeTable* table = pageOf(face))
        for (std::u16string_view text : pangrams) {
            if (!encodeInto(text, *table, codes)) continue;
            const auto missing = static_cast<std::size_t>(
                std::count_if(codes.begin(), codes.end(), [&](std::uint8_t code) { return !drawnCell(face, code); }));
            if (best.empty() || missing < bestMissing) best.swap(codes), bestMissing = missing;
        }
    if (!best.empty()) return best;
    // No known page: the English text in ASCII codes, the font's own (a symbol font shows its
    // symbols there).
    for (char16_t c : pangrams[std::size(pangrams) - 1]) best.push_back(static_cast<std::uint8_t>(c));
    return best;
}

SheetPoint sheetCell(const SheetFace& face, std::uint32_t code) {
    return {face.table.x + (code % 16) * face.pitchX + CellInset,
            face.table.y + (code / 16 % 16) * face.pitchY + CellInset};
}

bool layoutGlyphSheet(const FonFile& file, GlyphSheetLayout* layout) {
    GlyphSheetLayout l;
    // 64 bits throughout: a hostile face's cells may be tens of thousands of pixels wide.
    std::uint64_t width = 0, top = Margin;
    for (const FonFace& face : file.faces) {
        const std::uint64_t areaW = areaWidth(face), areaH = areaHeight(face);
        const std::uint64_t pitchX = areaW + 3, pitchY = areaH + 3;
        std::uint64_t sampleWidth = 0;
        for (std::uint8_t code : sampleCodes(face)) {
            const FonCell* cell = drawnCell(face, code);
            sampleWidth += cell ? cell->width : areaW;
        }
        const std::uint64_t tableX = Margin + RowLabelWidth;
        const std::uint64_t tableY = top + LabelHeight + TitleGap + LabelHeight + ColumnLabelGap;
        const std::uint64_t sampleY = tableY + 16 * pitchY + 1 + SampleGap;
        const std::uint64_t bottom = sampleY + std::max<std::uint64_t>(face.pixHeight, 1) + FaceGap;
        const std::uint64_t right = std::max({tableX + 16 * pitchX + 1, Margin + textWidth(titleOf(face).size()),
                                              Margin + sampleWidth});
        // Checked per face, so that no sum below can wrap.
        if ((right + Margin) * bottom > MaxSheetPixels) return false;
        width = std::max(width, right + Margin);
        SheetFace f;
        f.title = {Margin, static_cast<std::uint32_t>(top)};
        f.table = {static_cast<std::uint32_t>(tableX), static_cast<std::uint32_t>(tableY)};
        f.pitchX = static_cast<std::uint32_t>(pitchX);
        f.pitchY = static_cast<std::uint32_t>(pitchY);
        f.sample = {Margin, static_cast<std::uint32_t>(sampleY)};
        f.bottom = static_cast<std::uint32_t>(bottom);
        l.faces.push_back(f);
        top = bottom;
    }
    const std::uint64_t height = top - FaceGap + Margin;
    if (file.faces.empty() || width * height > MaxSheetPixels) return false;
    l.width = static_cast<std::uint32_t>(width);
    l.height = static_cast<std::uint32_t>(height);
    *layout = std::move(l);
    return true;
}

int drawGlyphSheet(const FonFile& file, GreyImage* image) {
    if (!image) return StatusFail;
    return runGuarded([&] {
        GlyphSheetLayout layout;
        if (!layoutGlyphSheet(file, &layout)) return static_cast<int>(StatusFail);
        GreyImage picture;
        picture.width = layout.width;
        picture.height = layout.height;
        picture.pixels.assign(std::size_t{layout.width} * layout.height, Paper);
        Canvas canvas(picture);
        for (std::size_t k = 0; k < file.faces.size(); ++k) {
            const FonFace& face = file.faces[k];
            const SheetFace& at = layout.faces[k];
            const std::uint32_t areaW = areaWidth(face), areaH = areaHeight(face);
            const ModelString title = titleOf(face);
            canvas.label(at.title.x, at.title.y, std::string_view(title.data(), title.size()));

            static constexpr char hex[] = "0123456789ABCDEF";
            for (std::uint32_t n = 0; n < 16; ++n) {
                const char column[] = {hex[n], '\0'}, row[] = {hex[n], '0', '\0'};
                canvas.label(at.table.x + n * at.pitchX + CellInset + (areaW - LabelWidth) / 2,
                             at.table.y - ColumnLabelGap - LabelHeight, column);
                canvas.label(Margin, at.table.y + n * at.pitchY + CellInset + (areaH - LabelHeight) / 2, row);
            }
            for (std::uint32_t n = 0; n <= 16; ++n) {
                canvas.fill(at.table.x + n * at.pitchX, at.table.y, 1, 16 * at.pitchY + 1, GridLine);
                canvas.fill(at.table.x, at.table.y + n * at.pitchY, 16 * at.pitchX + 1, 1, GridLine);
            }
            for (std::uint32_t code = 0; code < 256; ++code) {
                const SheetPoint p = sheetCell(at, code);
                if (const FonCell* cell = drawnCell(face, code)) canvas.glyph(face, *cell, p.x, p.y, CellPaper);
                else canvas.missing(p.x, p.y, areaW, areaH);
            }

            std::uint32_t x = at.sample.x;
            for (std::uint8_t code : sampleCodes(face)) {
                if (const FonCell* cell = drawnCell(face, code)) {
                    canvas.glyph(face, *cell, x, at.sample.y, Paper);
                    x += cell->width;
                } else {
                    canvas.missing(x, at.sample.y, areaW, std::max<std::uint32_t>(face.pixHeight, 1));
                    x += areaW;
                }
            }
        }
        *image = std::move(picture);
        return static_cast<int>(StatusOk);
    });
}
