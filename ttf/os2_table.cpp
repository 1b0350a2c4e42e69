// The OS/2 table, version 4, from the plan: its metrics as hhea states them, its style, and the
// Unicode blocks and Windows code pages its characters cover.
#include "ttf/os2_table.h"

#include <algorithm>
#include <array>
#include <vector>

#include "font/code_page.h"

namespace {

constexpr std::uint16_t Version = 4;
constexpr std::uint16_t SelectionItalic = 1 << 0;
constexpr std::uint16_t SelectionBold = 1 << 5;
constexpr std::uint16_t SelectionRegular = 1 << 6;
constexpr std::uint16_t SelectionUseTypoMetrics = 1 << 7;
constexpr std::uint16_t SelectionOblique = 1 << 9;
constexpr std::uint8_t PanoseLatinText = 2;
constexpr std::uint8_t PanoseMonospaced = 9;

// The blocks of each Unicode range bit.
struct Block {
    std::uint32_t first, last;
    std::uint8_t bit;
};
constexpr Block blocks[] = {
    {0x0000, 0x007F, 0},     {0x0080, 0x00FF, 1},     {0x0100, 0x017F, 2},     {0x0180, 0x024F, 3},
    {0x0250, 0x02AF, 4},     {0x1D00, 0x1DBF, 4},     {0x02B0, 0x02FF, 5},     {0xA700, 0xA71F, 5},
    {0x0300, 0x036F, 6},     {0x1DC0, 0x1DFF, 6},     {0x0370, 0x03FF, 7},     {0x2C80, 0x2CFF, 8},
    {0x0400, 0x052F, 9},     {0x2DE0, 0x2DFF, 9},     {0xA640, 0xA69F, 9},     {0x0530, 0x058F, 10},
    {0x0590, 0x05FF, 11},    {0xA500, 0xA63F, 12},    {0x0600, 0x06FF, 13},    {0x0750, 0x077F, 13},
    {0x07C0, 0x07FF, 14},    {0x0900, 0x097F, 15},    {0x0980, 0x09FF, 16},    {0x0A00, 0x0A7F, 17},
    {0x0A80, 0x0AFF, 18},    {0x0B00, 0x0B7F, 19},    {0x0B80, 0x0BFF, 20},    {0x0C00, 0x0C7F, 21},
    {0x0C80, 0x0CFF, 22},    {0x0D00, 0x0D7F, 23},    {0x0E00, 0x0E7F, 24},    {0x0E80, 0x0EFF, 25},
    {0x10A0, 0x10FF, 26},    {0x2D00, 0x2D2F, 26},    {0x1B00, 0x1B7F, 27},    {0x1100, 0x11FF, 28},
    {0x1E00, 0x1EFF, 29},    {0x2C60, 0x2C7F, 29},    {0xA720, 0xA7FF, 29},    {0x1F00, 0x1FFF, 30},
    {0x2000, 0x206F, 31},    {0x2E00, 0x2E7F, 31},    {0x2070, 0x209F, 32},    {0x20A0, 0x20CF, 33},
    {0x20D0, 0x20FF, 34},    {0x2100, 0x214F, 35},    {0x2150, 0x218F, 36},    {0x2190, 0x21FF, 37},
    {0x27F0, 0x27FF, 37},    {0x2900, 0x297F, 37},    {0x2B00, 0x2BFF, 37},    {0x2200, 0x22FF, 38},
    {0x2A00, 0x2AFF, 38},    {0x27C0, 0x27EF, 38},    {0x2980, 0x29FF, 38},    {0x2300, 0x23FF, 39},
    {0x2400, 0x243F, 40},    {0x2440, 0x245F, 41},    {0x2460, 0x24FF, 42},    {0x2500, 0x257F, 43},
    {0x2580, 0x259F, 44},    {0x25A0, 0x25FF, 45},    {0x2600, 0x26FF, 46},    {0x2700, 0x27BF, 47},
    {0x3000, 0x303F, 48},    {0x3040, 0x309F, 49},    {0x30A0, 0x30FF, 50},    {0x31F0, 0x31FF, 50},
    {0x3100, 0x312F, 51},    {0x31A0, 0x31BF, 51},    {0x3130, 0x318F, 52},    {0xA840, 0xA87F, 53},
    {0x3200, 0x32FF, 54},    {0x3300, 0x33FF, 55},    {0xAC00, 0xD7AF, 56},    {0x10000, 0x10FFFF, 57},
    {0x10900, 0x1091F, 58},  {0x4E00, 0x9FFF, 59},    {0x2E80, 0x2FFF, 59},    {0x3400, 0x4DBF, 59},
    {0x20000, 0x2A6DF, 59},  {0x3190, 0x319F, 59},    {0xE000, 0xF8FF, 60},    {0x31C0, 0x31EF, 61},
    {0xF900, 0xFAFF, 61},    {0x2F800, 0x2FA1F, 61},  {0xFB00, 0xFB4F, 62},    {0xFB50, 0xFDFF, 63},
    {0xFE20, 0xFE2F, 64},    {0xFE10, 0xFE1F, 65},    {0xFE30, 0xFE4F, 65},    {0xFE50, 0xFE6F, 66},
    {0xFE70, 0xFEFF, 67},    {0xFF00, 0xFFEF, 68},    {0xFFF0, 0xFFFF, 69},    {0x0F00, 0x0FFF, 70},
    {0x0700, 0x074F, 71},    {0x0780, 0x07BF, 72},    {0x0D80, 0x0DFF, 73},    {0x1000, 0x109F, 74},
    {0x1200, 0x139F, 75},    {0x2D80, 0x2DDF, 75},    {0x13A0, 0x13FF, 76},    {0x1400, 0x167F, 77},
    {0x1680, 0x169F, 78},    {0x16A0, 0x16FF, 79},    {0x1780, 0x17FF, 80},    {0x19E0, 0x19FF, 80},
    {0x1800, 0x18AF, 81},    {0x2800, 0x28FF, 82},    {0xA000, 0xA4CF, 83},    {0x1700, 0x177F, 84},
    {0x10300, 0x1032F, 85},  {0x10330, 0x1034F, 86},  {0x10400, 0x1044F, 87},  {0x1D000, 0x1D24F, 88},
    {0x1D400, 0x1D7FF, 89},  {0xF0000, 0x10FFFD, 90}, {0xFE00, 0xFE0F, 91},    {0xE0100, 0xE01EF, 91},
    {0xE0000, 0xE007F, 92},  {0x1900, 0x194F, 93},    {0x1950, 0x197F, 94},    {0x1980, 0x19DF, 95},
    {0x1A00, 0x1A1F, 96},    {0x2C00, 0x2C5F, 97},    {0x2D30, 0x2D7F, 98},    {0x4DC0, 0x4DFF, 99},
    {0xA800, 0xA82F, 100},   {0x10000, 0x1013F, 101}, {0x10140, 0x1018F, 102}, {0x10380, 0x1039F, 103},
    {0x103A0, 0x103DF, 104}, {0x10450, 0x1047F, 105}, {0x10480, 0x104AF, 106}, {0x10800, 0x1083F, 107},
    {0x10A00, 0x10A5F, 108}, {0x1D300, 0x1D35F, 109}, {0x12000, 0x1247F, 110}, {0x1D360, 0x1D37F, 111},
    {0x1B80, 0x1BBF, 112},   {0x1C00, 0x1C4F, 113},   {0x1C50, 0x1C7F, 114},   {0xA880, 0xA8DF, 115},
    {0xA900, 0xA92F, 116},   {0xA930, 0xA95F, 117},   {0xAA00, 0xAA5F, 118},   {0x10190, 0x101CF, 119},
    {0x101D0, 0x101FF, 120}, {0x10280, 0x102DF, 121}, {0x10920, 0x1093F, 121}, {0x1F000, 0x1F09F, 122},
};

// The code page bit of each Windows and DOS page the code page tables hold.
struct PageBit {
    int page;
    std::uint8_t bit;  // 0-31 in ulCodePageRange1, 32-63 in ulCodePageRange2
};
constexpr PageBit pageBits[] = {
    {1252, 0},  {1250, 1},  {1251, 2},  {1253, 3},  {1254, 4},  {1255, 5},  {1256, 6},  {1257, 7},
    {1258, 8},  {874, 16},  {869, 48},  {866, 49},  {865, 50},  {864, 51},  {863, 52},  {862, 53},
    {861, 54},  {860, 55},  {857, 56},  {855, 57},  {852, 58},  {775, 59},  {737, 60},  {708, 61},
    {850, 62},  {437, 63},
};
constexpr std::uint8_t BitJapanese = 17, BitSimplifiedChinese = 18, BitKorean = 19, BitTraditionalChinese = 20;
constexpr std::uint8_t BitSymbol = 31;

struct Coverage {
    const std::vector<TtfCharacter>& characters;
    bool has(std::uint32_t c) const {
        auto at = std::lower_bound(characters.begin(), characters.end(), c,
                                   [](const TtfCharacter& a, std::uint32_t b) { return a.code < b; });
        return at != characters.end() && at->code == c;
    }
    std::size_t count(std::uint32_t first, std::uint32_t last) const {
        auto less = [](const TtfCharacter& a, std::uint32_t b) { return a.code < b; };
        auto from = std::lower_bound(characters.begin(), characters.end(), first, less);
        auto to = std::lower_bound(characters.begin(), characters.end(), last + 1, less);
        return static_cast<std::size_t>(to - from);
    }
};

// The marks the Latin, Hebrew, Arabic and Thai pages hold: a font may well draw its script without them.
bool isCombiningMark(std::uint32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0591 && c <= 0x05C7) || (c >= 0x064B && c <= 0x0652) ||
           c == 0x0E31 || (c >= 0x0E34 && c <= 0x0E3A) || (c >= 0x0E47 && c <= 0x0E4E);
}

std::array<std::uint32_t, 4> unicodeRanges(const TtfPlan& plan) {
    std::array<std::uint32_t, 4> ranges{};
    if (plan.symbol) return ranges;
    const Coverage coverage{plan.characters};
    for (const Block& block : blocks)
        if (coverage.count(block.first, block.last) != 0) ranges[block.bit / 32] |= 1u << (block.bit % 32);
    return ranges;
}

// A page counts as covered when the font lacks at most one in sixteen of the characters of its top
// quarter, where each page keeps the letters of its script (or, in the DOS pages, its box drawing and
// mathematics), combining marks aside: a Latin-1 font serves Windows' Western page, not its Turkish
// one, which differs in six letters there. The East Asian pages count kana, hangul and ideographs.
std::array<std::uint32_t, 2> codePageRanges(const TtfPlan& plan) {
    std::array<std::uint32_t, 2> ranges{};
    auto set = [&](std::uint8_t bit) { ranges[bit / 32] |= 1u << (bit % 32); };
    if (plan.symbol) {
        set(BitSymbol);
        return ranges;
    }
    const Coverage coverage{plan.characters};
    for (const PageBit& pageBit : pageBits) {
        const CodePage* page = nullptr;
        for (std::size_t i = 0; i < codePageCount; ++i)
            if (codePages[i].number == pageBit.page) page = &codePages[i];
        if (!page) continue;
        std::size_t defined = 0, present = 0;
        for (int code = 0xC0; code <= 0xFF; ++code) {
            const std::uint16_t c = (*page->unicode)[code];
            if (c == NoCharacter || c < 0x20 || (c >= 0x7F && c <= 0x9F) || isCombiningMark(c)) continue;
            ++defined;
            if (coverage.has(c)) ++present;
        }
        if (defined != 0 && 16 * present >= 15 * defined) set(pageBit.bit);
    }
    const std::size_t ideographs = coverage.count(0x4E00, 0x9FFF);
    if (coverage.count(0x3041, 0x3096) >= 80 && ideographs >= 2000) set(BitJapanese);
    if (coverage.count(0xAC00, 0xD7A3) >= 2000) set(BitKorean);
    if (ideographs >= 6000) set(BitSimplifiedChinese);
    if (ideographs >= 13000) set(BitTraditionalChinese);
    // A font of ASCII letters alone still says it serves Western text.
    if (ranges[0] == 0 && ranges[1] == 0 && coverage.count('A', 'Z') == 26) set(0);
    return ranges;
}

std::uint8_t panoseWeight(std::uint16_t weightClass) {
    // 100 Thin .. 900 Black onto PANOSE's Very Light (2) .. Black (10).
    return static_cast<std::uint8_t>(std::clamp<int>(weightClass / 100 + 1, 2, 10));
}

}  // namespace

void putOs2Table(ByteWriter& out, const TtfPlan& plan) {
    const std::int32_t em = plan.unitsPerEm, u = plan.unitsPerPixel;
    auto scaled = [&](std::int32_t thousandths) { return static_cast<std::uint32_t>((em * thousandths + 500) / 1000); };
    out.u16(Version);
    out.u16(static_cast<std::uint32_t>(plan.averageWidth));
    out.u16(plan.weightClass);
    out.u16(plan.widthClass);
    out.u16(0);  // fsType: installable
    out.u16(scaled(650));  // subscript x size
    out.u16(scaled(600));  // subscript y size
    out.u16(0);
    out.u16(scaled(75));   // subscript y offset (downwards)
    out.u16(scaled(650));  // superscript x size
    out.u16(scaled(600));  // superscript y size
    out.u16(0);
    out.u16(scaled(350));  // superscript y offset
    // The strikeout: one pixel, on the row at half the x-height (a third of the ascent without one).
    const std::int32_t strikeRow = plan.xHeight > 0 ? plan.xHeight / u / 2 : std::max(plan.ascender / u / 3, 0);
    out.u16(static_cast<std::uint32_t>(u));
    out.u16(static_cast<std::uint32_t>((strikeRow + 1) * u));
    out.u16(0);  // sFamilyClass
    const std::uint8_t panose[10] = {PanoseLatinText, 0, panoseWeight(plan.weightClass),
                                     plan.fixedPitch ? PanoseMonospaced : std::uint8_t{0}, 0, 0, 0, 0, 0, 0};
    out.bytes(panose, sizeof panose);
    for (std::uint32_t range : unicodeRanges(plan)) out.u32(range);
    out.bytes("NONE");  // achVendID
    std::uint32_t selection = SelectionUseTypoMetrics;
    if (plan.italic) selection |= SelectionItalic;
    if (plan.oblique) selection |= SelectionOblique;
    if (plan.bold) selection |= SelectionBold;
    if (!plan.italic && !plan.bold) selection |= SelectionRegular;
    out.u16(selection);
    const bool none = plan.characters.empty();
    out.u16(none ? 0 : std::min<std::uint32_t>(plan.characters.front().code, 0xFFFF));  // usFirstCharIndex
    out.u16(none ? 0 : std::min<std::uint32_t>(plan.characters.back().code, 0xFFFF));   // usLastCharIndex
    out.u16(static_cast<std::uint32_t>(plan.ascender));
    out.u16(static_cast<std::uint32_t>(plan.descender));
    out.u16(0);  // sTypoLineGap
    out.u16(static_cast<std::uint32_t>(plan.winAscent));
    out.u16(static_cast<std::uint32_t>(plan.winDescent));
    for (std::uint32_t range : codePageRanges(plan)) out.u32(range);
    out.u16(static_cast<std::uint32_t>(plan.xHeight));
    out.u16(static_cast<std::uint32_t>(plan.capHeight));
    out.u16(0);     // usDefaultChar: glyph 0, the font's default character
    out.u16(0x20);  // usBreakChar
    out.u16(0);     // usMaxContext: no substitution or positioning
}
