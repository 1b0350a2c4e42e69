// Lays out and draws the glyph sheet of a file's faces: a FON file's fonts or a TrueType font's
// strikes, each seen through a SheetSource.
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

// Pangrams, each in letters its pages hold (in Unicode for a TrueType strike, which has them all): Russian and Greek ones for Cyrillic and Greek pages,
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

// A FON file's face: its 256 positions are its codes.
class FonSheetSource final : public SheetSource {
public:
    explicit FonSheetSource(const FonFace& face) : face_(face) {}
    ModelString title() const override { return titleOf(face_); }
    std::uint32_t height() const override { return face_.pixHeight; }
    std::uint32_t tableKey(std::uint32_t position) const override { return position; }
    ModelVector<std::uint32_t> sampleKeys() const override {
        const ModelVector<std::uint8_t> codes = sampleCodes(face_);
        return ModelVector<std::uint32_t>(codes.begin(), codes.end());
    }
    std::uint32_t width(std::uint32_t key) const override {
        const FonCell* cell = drawnCell(face_, key);
        return cell ? cell->width : 0;
    }
    void ink(std::uint32_t key, std::uint32_t width, ByteVector& pixels) const override {
        const FonCell& cell = *face_.cell(key);
        pixels.resize(std::size_t{width} * face_.pixHeight);
        for (std::uint32_t y = 0; y < face_.pixHeight; ++y)
            for (std::uint32_t x = 0; x < width; ++x) pixels[std::size_t{y} * width + x] = face_.pixel(cell, x, y);
    }

private:
    const FonFace& face_;
};

// A TrueType strike: its 256 positions are U+0000 to U+00FF (U+F000 onwards in a symbol font), each
// glyph drawn on a cell of its advance and the strike's line height, its bitmap placed by its
// bearings and cut to the cell.
class TtfSheetSource final : public SheetSource {
public:
    TtfSheetSource(const TtfFile& file, const TtfStrikeInfo& strike) : file_(file), strike_(strike) {}
    ModelString title() const override {
        char fields[48];
        std::snprintf(fields, sizeof fields, "  %u PX  TRUETYPE%s", strike_.ppem, file_.symbol ? "  SYMBOL" : "");
        ModelString title = file_.name;
        title += fields;
        return title;
    }
    std::uint32_t height() const override {
        return static_cast<std::uint32_t>(std::max<std::int32_t>(strike_.ascender - strike_.descender, 0));
    }
    std::uint32_t tableKey(std::uint32_t position) const override { return (file_.symbol ? 0xF000 : 0) + position; }
    ModelVector<std::uint32_t> sampleKeys() const override {
        // A symbol font: the English text in ASCII codes, the font's own, as for a FON face of no
        // known page.
        ModelVector<std::uint32_t> keys, best;
        if (file_.symbol) {
            for (char16_t c : pangrams[std::size(pangrams) - 1]) best.push_back(0xF000 + c);
            return best;
        }
        // Else the pangram the strike lacks fewest glyphs of; first in order on a tie.
        std::size_t bestMissing = 0;
        for (std::u16string_view text : pangrams) {
            keys.assign(text.begin(), text.end());
            const auto missing = static_cast<std::size_t>(
                std::count_if(keys.begin(), keys.end(), [&](std::uint32_t key) { return width(key) == 0; }));
            if (best.empty() || missing < bestMissing) best.swap(keys), bestMissing = missing;
        }
        return best;
    }
    std::uint32_t width(std::uint32_t key) const override {
        TtfBitmap bitmap;
        if (!glyph(key, &bitmap)) return 0;
        return static_cast<std::uint32_t>(std::max(bitmap.advance, 0));
    }
    void ink(std::uint32_t key, std::uint32_t width, ByteVector& pixels) const override {
        pixels.assign(std::size_t{width} * height(), 0);
        TtfBitmap bitmap;
        if (!glyph(key, &bitmap)) return;
        // The box's pixels that fall in the cell, each at its place from the pen and the line's top.
        const std::int64_t top = std::int64_t{strike_.ascender} - bitmap.bearingY;
        for (std::int32_t by = 0; by < bitmap.height; ++by) {
            const std::int64_t y = top + by;
            if (y < 0 || y >= height()) continue;
            for (std::int32_t bx = 0; bx < bitmap.width; ++bx) {
                const std::int64_t x = std::int64_t{bitmap.bearingX} + bx;
                if (x >= 0 && x < width && bitmap.pixel(static_cast<std::uint32_t>(bx), static_cast<std::uint32_t>(by)))
                    pixels[static_cast<std::size_t>(y * width + x)] = 1;
            }
        }
    }

private:
    // The bitmap of the character `key`; a character without a glyph of its own (.notdef) has none.
    bool glyph(std::uint32_t key, TtfBitmap* bitmap) const {
        const std::uint32_t index = file_.glyphOf(key);
        return index != 0 && file_.bitmap(strike_, index, bitmap);
    }
    const TtfFile& file_;
    const TtfStrikeInfo& strike_;
};

// The glyph area of every cell: the widest glyph of the table, and the height, but at least a
// label's size.
std::uint32_t areaWidth(const SheetSource& face) {
    std::uint32_t widest = LabelWidth + 1;
    for (std::uint32_t position = 0; position < 256; ++position)
        widest = std::max(widest, face.width(face.tableKey(position)));
    return widest;
}
std::uint32_t areaHeight(const SheetSource& face) { return std::max(face.height(), LabelHeight); }

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
    void glyph(const SheetSource& face, std::uint32_t key, std::uint32_t width, std::uint32_t x, std::uint32_t y,
               std::uint8_t paper) {
        face.ink(key, width, ink_);
        for (std::uint32_t row = 0; row < face.height(); ++row) {
            std::uint8_t* line = at(x, y + row);
            for (std::uint32_t col = 0; col < width; ++col) line[col] = ink_[std::size_t{row} * width + col] ? Ink : paper;
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
    ByteVector ink_;  // the glyph being drawn, reused from one to the next
};

std::uint64_t textWidth(std::size_t characters) {
    return characters == 0 ? 0 : characters * std::uint64_t{LabelAdvance} - 1;
}

// The sources of a file's faces, and the pointers the sheet takes.
template <class Source>
struct Sources {
    ModelVector<Source> sources;
    ModelVector<const SheetSource*> faces;
    void add(Source source) { sources.push_back(std::move(source)); }
    std::span<const SheetSource* const> view() {
        faces.clear();
        for (const Source& source : sources) faces.push_back(&source);
        return faces;
    }
};

Sources<FonSheetSource> sourcesOf(const FonFile& file) {
    Sources<FonSheetSource> s;
    for (const FonFace& face : file.faces) s.add(FonSheetSource(face));
    return s;
}

Sources<TtfSheetSource> sourcesOf(const TtfFile& file) {
    Sources<TtfSheetSource> s;
    for (const TtfStrikeInfo& strike : file.strikes) s.add(TtfSheetSource(file, strike));
    return s;
}

// A whole file's sheet, through its faces' sources.
template <class File>
bool layoutFile(const File& file, GlyphSheetLayout* layout) {
    return runGuarded([&] {
        auto sources = sourcesOf(file);
        return layoutGlyphSheet(sources.view(), layout);
    }, false);
}

template <class File>
int drawFile(const File& file, GreyImage* image) {
    return runGuarded([&] {
        auto sources = sourcesOf(file);
        return drawGlyphSheet(sources.view(), image);
    });
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

bool layoutGlyphSheet(std::span<const SheetSource* const> faces, GlyphSheetLayout* layout) {
    GlyphSheetLayout l;
    // 64 bits throughout: a hostile face's cells may be tens of thousands of pixels wide.
    std::uint64_t width = 0, top = Margin;
    for (const SheetSource* face : faces) {
        const std::uint64_t areaW = areaWidth(*face), areaH = areaHeight(*face);
        const std::uint64_t pitchX = areaW + 3, pitchY = areaH + 3;
        std::uint64_t sampleWidth = 0;
        for (std::uint32_t key : face->sampleKeys()) {
            const std::uint32_t w = face->width(key);
            sampleWidth += w != 0 ? w : areaW;
        }
        const std::uint64_t tableX = Margin + RowLabelWidth;
        const std::uint64_t tableY = top + LabelHeight + TitleGap + LabelHeight + ColumnLabelGap;
        const std::uint64_t sampleY = tableY + 16 * pitchY + 1 + SampleGap;
        const std::uint64_t bottom = sampleY + std::max<std::uint64_t>(face->height(), 1) + FaceGap;
        const std::uint64_t right = std::max({tableX + 16 * pitchX + 1, Margin + textWidth(face->title().size()),
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
    if (faces.empty() || width * height > MaxSheetPixels) return false;
    l.width = static_cast<std::uint32_t>(width);
    l.height = static_cast<std::uint32_t>(height);
    *layout = std::move(l);
    return true;
}

int drawGlyphSheet(std::span<const SheetSource* const> faces, GreyImage* image) {
    if (!image) return StatusFail;
    return runGuarded([&] {
        GlyphSheetLayout layout;
        if (!layoutGlyphSheet(faces, &layout)) return static_cast<int>(StatusFail);
        GreyImage picture;
        picture.width = layout.width;
        picture.height = layout.height;
        picture.pixels.assign(std::size_t{layout.width} * layout.height, Paper);
        Canvas canvas(picture);
        for (std::size_t k = 0; k < faces.size(); ++k) {
            const SheetSource& face = *faces[k];
            const SheetFace& at = layout.faces[k];
            const std::uint32_t areaW = areaWidth(face), areaH = areaHeight(face);
            const ModelString title = face.title();
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
            for (std::uint32_t position = 0; position < 256; ++position) {
                const SheetPoint p = sheetCell(at, position);
                const std::uint32_t key = face.tableKey(position);
                if (const std::uint32_t w = face.width(key)) canvas.glyph(face, key, w, p.x, p.y, CellPaper);
                else canvas.missing(p.x, p.y, areaW, areaH);
            }

            std::uint32_t x = at.sample.x;
            for (std::uint32_t key : face.sampleKeys()) {
                if (const std::uint32_t w = face.width(key)) {
                    canvas.glyph(face, key, w, x, at.sample.y, Paper);
                    x += w;
                } else {
                    canvas.missing(x, at.sample.y, areaW, std::max<std::uint32_t>(face.height(), 1));
                    x += areaW;
                }
            }
        }
        *image = std::move(picture);
        return static_cast<int>(StatusOk);
    });
}

bool layoutGlyphSheet(const FonFile& file, GlyphSheetLayout* layout) { return layoutFile(file, layout); }
int drawGlyphSheet(const FonFile& file, GreyImage* image) { return drawFile(file, image); }
bool layoutGlyphSheet(const TtfFile& file, GlyphSheetLayout* layout) { return layoutFile(file, layout); }
int drawGlyphSheet(const TtfFile& file, GreyImage* image) { return drawFile(file, image); }
