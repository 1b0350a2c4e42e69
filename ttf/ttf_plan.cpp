// The plan of a TrueType font: which characters the fonts hold and in which glyph order, the strike of
// each input, the outline grid, the font-wide metrics, the style and the names.
#include "ttf/ttf_plan.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "font/bitmap.h"
#include "font/code_map.h"
#include "font/code_page.h"
#include "font/status.h"

GlyphBits::GlyphBits(const Font& font, const Glyph* glyph) {
    if (!glyph || !glyph->bitmap) return;
    const std::int32_t width = glyphWidth(glyph->metrics), height = glyphHeight(glyph->metrics);
    const std::int32_t stride = paddedRowBytes(width, font.glyphPad);
    if (width <= 0 || height <= 0 || stride <= 0) return;
    width_ = width;
    height_ = height;
    stride_ = static_cast<std::size_t>(stride);
    rows_ = glyph->bitmap;
    // The readers invert the bits of a least-significant-first layout, then swap the bytes of each
    // scan unit when byte order and bit order differ: undone here on a copy.
    const bool swapped = font.bitOrder != font.byteOrder && (font.scanUnit == 2 || font.scanUnit == 4);
    if (font.bitOrder == 1 && !swapped) return;
    const auto size = static_cast<std::int64_t>(stride_) * height;
    copy_.assign(glyph->bitmap, glyph->bitmap + size);
    if (swapped) {
        if (font.scanUnit == 2) swapTwoBytes(copy_.data(), size);
        else swapFourBytes(copy_.data(), size);
    }
    if (font.bitOrder == 0) invertBitOrder(copy_.data(), size);
    rows_ = copy_.data();
}

namespace {

constexpr std::uint32_t SymbolBase = 0xF000;
constexpr std::uint32_t PrivatePlaneBase = 0xF0000;
constexpr std::int32_t PreferredUnitsPerEm = 2048;
constexpr std::int32_t MinUnitsPerEm = 16;
constexpr std::int32_t MaxUnitsPerEm = 16384;
constexpr std::int64_t MaxCoordinate = std::numeric_limits<std::int16_t>::max();

std::string_view stringOf(const Font& font, const char* name) {
    std::uint8_t isString = 0;
    const FontProperty* property = findFontProperty(font.info, name, &isString);
    if (!property || !isString) return {};
    const char* text = atomName(static_cast<Atom>(property->value));
    return text ? std::string_view(text) : std::string_view();
}

std::int32_t integerOf(const Font& font, const char* name, std::int32_t otherwise) {
    std::uint8_t isString = 0;
    const FontProperty* property = findFontProperty(font.info, name, &isString);
    return property && !isString ? property->value : otherwise;
}

bool isControl(std::uint32_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }
// No control character is mapped, nor what a cmap cannot give: surrogates and the two noncharacters
// that end the BMP.
bool isMappable(std::uint32_t u) {
    return !isControl(u) && !(u >= 0xD800 && u <= 0xDFFF) && u != 0xFFFE && u != 0xFFFF;
}

struct Mapped {
    std::uint32_t character;
    const Glyph* glyph;
    bool operator<(const Mapped& other) const { return character < other.character; }
};

// Every encoded glyph of `font` with its character, ascending, each character once (the lowest code
// keeps it). `symbol` tells whether the characters sit at U+F000 + code.
std::vector<Mapped> mapCharacters(const Font& font, bool& symbol) {
    const FontInfo& info = font.info;
    std::vector<Mapped> mapped;
    symbol = false;
    if (!font.bitmapFont || info.firstRow > info.lastRow || info.firstColumn > info.lastColumn) return mapped;
    const std::string_view registry = stringOf(font, "CHARSET_REGISTRY");
    const std::string_view encoding = stringOf(font, "CHARSET_ENCODING");
    const bool unicode = isUnicodeEncoding(registry, encoding);
    const XEncoding* table = unicode ? nullptr : findXEncoding(registry, encoding);
    // A font of an unknown encoding keeps its own codes: a symbol font when they are bytes, else in
    // the private use plane 15, which holds every 16-bit code.
    const bool ownCodes = !unicode && !table;
    symbol = ownCodes && info.lastRow == 0;
    mapped.reserve(font.bitmapFont->glyphs.size());
    for (unsigned row = info.firstRow; row <= info.lastRow; ++row) {
        for (unsigned column = info.firstColumn; column <= info.lastColumn; ++column) {
            const Glyph* glyph = encodedGlyph(font, row, column);
            if (!glyph) continue;
            const std::uint32_t code = row << 8 | column;
            std::uint32_t character = code;
            if (table) {
                if (code > 0xFF || (*table->unicode)[code] == NoCharacter) continue;
                character = (*table->unicode)[code];
            } else if (ownCodes) {
                character = (symbol ? SymbolBase : PrivatePlaneBase) + code;
            }
            if (!ownCodes && !isMappable(character)) continue;
            mapped.push_back({character, glyph});
        }
    }
    if (!std::is_sorted(mapped.begin(), mapped.end())) std::stable_sort(mapped.begin(), mapped.end());
    mapped.erase(std::unique(mapped.begin(), mapped.end(),
                             [](const Mapped& a, const Mapped& b) { return a.character == b.character; }),
                 mapped.end());
    return mapped;
}

std::int32_t pixelSize(const Font& font) {
    const std::int32_t pixelSize = integerOf(font, "PIXEL_SIZE", 0);
    if (pixelSize > 0) return pixelSize;
    const std::int32_t fontHeight = std::int32_t{font.info.fontAscent} + font.info.fontDescent;
    if (fontHeight > 0) return fontHeight;
    return std::max<std::int32_t>(std::int32_t{font.info.maxBounds.ascent} + font.info.maxBounds.descent, 1);
}

bool sameStyle(const Font& a, const Font& b) {
    for (const char* name : {"FAMILY_NAME", "WEIGHT_NAME", "SLANT", "SETWIDTH_NAME"})
        if (!equalsIgnoringCase(stringOf(a, name), stringOf(b, name))) return false;
    return true;
}

std::uint16_t widthClassOf(std::string_view setwidth) {
    std::string name;
    for (char c : setwidth)
        if (c != ' ' && c != '-') name += c;
    struct Width {
        const char* name;
        std::uint16_t value;
    };
    static constexpr Width widths[] = {
        {"UltraCondensed", 1}, {"ExtraCondensed", 2}, {"Condensed", 3}, {"Narrow", 3},   {"SemiCondensed", 4},
        {"Normal", 5},         {"Medium", 5},         {"SemiExpanded", 6}, {"Expanded", 7}, {"Wide", 7},
        {"DoubleWide", 8},     {"ExtraExpanded", 8},  {"UltraExpanded", 9},
    };
    for (const Width& width : widths)
        if (equalsIgnoringCase(name, width.name)) return width.value;
    return 5;
}

// Ink box of a glyph in pixels relative to its origin (y up), empty when no pixel is set.
struct Ink {
    bool any = false;
    std::int32_t left = 0, right = 0, bottom = 0, top = 0;
};

Ink inkOf(const Font& font, const Glyph* glyph) {
    Ink ink;
    const GlyphBits bits(font, glyph);
    std::int32_t minX = bits.width(), maxX = -1, minY = bits.height(), maxY = -1;
    const std::int32_t rowBytes = (bits.width() + 7) / 8;
    const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - bits.width() % 8) % 8));
    for (std::int32_t y = 0; y < bits.height(); ++y) {
        const std::uint8_t* row = bits.row(y);
        for (std::int32_t k = 0; k < rowBytes; ++k) {
            const auto byte = static_cast<std::uint8_t>(k + 1 == rowBytes ? row[k] & lastMask : row[k]);
            if (byte == 0) continue;
            minY = std::min(minY, y);
            maxY = y;
            minX = std::min(minX, 8 * k + std::countl_zero(byte));
            maxX = std::max(maxX, 8 * k + 7 - std::countr_zero(byte));
        }
    }
    if (maxY < 0) return ink;
    const GlyphMetrics& m = glyph->metrics;
    ink = {true, m.leftBearing + minX, m.leftBearing + maxX + 1, m.ascent - maxY - 1, m.ascent - minY};
    return ink;
}

std::int32_t advanceOf(const Glyph* glyph) { return glyph ? std::max<std::int32_t>(glyph->metrics.advance, 0) : 0; }

// The grid: the largest power of two that keeps unitsPerEm at most 2048 and every coordinate within
// 16 bits, but never so small that unitsPerEm falls below 16. 0 when no grid holds the glyphs.
std::int32_t chooseUnitsPerPixel(std::int32_t ppem, std::int64_t largestPixels) {
    if (ppem > MaxUnitsPerEm) return 0;
    std::int32_t smallest = 1;
    while (ppem * smallest < MinUnitsPerEm) smallest *= 2;
    std::int32_t units = smallest;
    while (ppem * units * 2 <= PreferredUnitsPerEm) units *= 2;
    while (units > smallest && largestPixels * units > MaxCoordinate) units /= 2;
    return largestPixels * units > MaxCoordinate ? 0 : units;
}

std::string postScriptNameOf(std::string_view family, std::string_view subfamily) {
    std::string name;
    auto append = [&](std::string_view text) {
        for (char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (u > 32 && u < 127 && !std::strchr("[](){}<>/%", c) && name.size() < 63) name += c;
        }
    };
    append(family);
    if (name.empty()) name = "Untitled";
    if (name.size() < 62) {
        name += '-';
        append(subfamily);
    }
    return name;
}

TtfResult buildPlan(std::span<const Font* const> fonts, std::string_view faceName, TtfPlan& plan, TtfReport& report) {
    if (fonts.empty() || !fonts[0] || !fonts[0]->bitmapFont) return TtfResult::WriteFailed;
    const Font& first = *fonts[0];
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        if (!fonts[i] || !fonts[i]->bitmapFont) return TtfResult::WriteFailed;
        for (std::size_t j = 0; j < i; ++j) {
            report.first = j;
            report.second = i;
            if (!sameStyle(*fonts[j], *fonts[i])) return TtfResult::StylesDiffer;
            if (pixelSize(*fonts[j]) == pixelSize(*fonts[i])) return TtfResult::SameSize;
        }
    }
    report.first = report.second = 0;

    const std::vector<Mapped> characters = mapCharacters(first, plan.symbol);
    if (characters.size() + 1 > 65535) {
        report.glyphs = static_cast<std::uint32_t>(characters.size() + 1);
        return TtfResult::TooManyGlyphs;
    }
    plan.glyphCount = static_cast<std::uint32_t>(characters.size() + 1);
    plan.characters.clear();
    plan.characters.reserve(characters.size());
    for (std::size_t i = 0; i < characters.size(); ++i)
        plan.characters.push_back({characters[i].character, static_cast<std::uint32_t>(i + 1)});

    plan.strikes.clear();
    for (const Font* font : fonts) {
        TtfStrike strike;
        strike.font = font;
        strike.ppem = pixelSize(*font);
        strike.glyphs.reserve(plan.glyphCount);
        strike.glyphs.push_back(font->bitmapFont->defaultGlyph);
        if (font == &first) {
            for (const Mapped& m : characters) strike.glyphs.push_back(m.glyph);
        } else {
            bool symbol = false;
            const std::vector<Mapped> own = mapCharacters(*font, symbol);
            for (const Mapped& m : characters) {
                auto at = std::lower_bound(own.begin(), own.end(), Mapped{m.character, nullptr});
                strike.glyphs.push_back(at != own.end() && at->character == m.character ? at->glyph : nullptr);
            }
        }
        plan.strikes.push_back(std::move(strike));
    }

    // Ink and the largest magnitude any coordinate or advance reaches, in pixels.
    const std::vector<const Glyph*>& glyphs = plan.strikes[0].glyphs;
    std::vector<Ink> inks;
    inks.reserve(glyphs.size());
    std::int64_t largest =
        std::max(std::abs(std::int32_t{first.info.fontAscent}), std::abs(std::int32_t{first.info.fontDescent}));
    for (const Glyph* glyph : glyphs) {
        inks.push_back(inkOf(first, glyph));
        const Ink& ink = inks.back();
        largest = std::max<std::int64_t>(largest, advanceOf(glyph));
        if (ink.any)
            for (std::int32_t v : {ink.left, ink.right, ink.bottom, ink.top})
                largest = std::max<std::int64_t>(largest, std::abs(v));
    }
    const std::int32_t ppem = plan.strikes[0].ppem;
    const std::int32_t u = chooseUnitsPerPixel(ppem, largest);
    if (u == 0) return TtfResult::GlyphsTooLarge;
    plan.unitsPerPixel = u;
    plan.unitsPerEm = ppem * u;

    plan.ascender = first.info.fontAscent * u;
    plan.descender = -first.info.fontDescent * u;
    bool anyInk = false;
    std::int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::int64_t advanceSum = 0, advanceCount = 0;
    std::int32_t commonAdvance = -1;
    plan.fixedPitch = true;
    plan.advanceWidthMax = 0;
    for (std::size_t g = 0; g < glyphs.size(); ++g) {
        const Ink& ink = inks[g];
        if (ink.any) {
            xMin = anyInk ? std::min(xMin, ink.left) : ink.left;
            xMax = anyInk ? std::max(xMax, ink.right) : ink.right;
            yMin = anyInk ? std::min(yMin, ink.bottom) : ink.bottom;
            yMax = anyInk ? std::max(yMax, ink.top) : ink.top;
            anyInk = true;
        }
        const std::int32_t advance = advanceOf(glyphs[g]);
        plan.advanceWidthMax = std::max(plan.advanceWidthMax, advance * u);
        if (advance == 0) continue;
        advanceSum += advance;
        ++advanceCount;
        if (commonAdvance >= 0 && advance != commonAdvance) plan.fixedPitch = false;
        commonAdvance = advance;
    }
    plan.xMin = xMin * u;
    plan.yMin = yMin * u;
    plan.xMax = xMax * u;
    plan.yMax = yMax * u;
    plan.winAscent = std::max({plan.ascender, plan.yMax, 0});
    plan.winDescent = std::max({-plan.descender, -plan.yMin, 0});
    // The other strikes' bitmaps, scaled to the grid, stay inside the clipping lines too.
    for (std::size_t s = 1; s < plan.strikes.size(); ++s) {
        const TtfStrike& strike = plan.strikes[s];
        std::int64_t above = 0, below = 0;
        for (const Glyph* glyph : strike.glyphs) {
            if (!glyph || glyphWidth(glyph->metrics) <= 0 || glyphHeight(glyph->metrics) <= 0) continue;
            above = std::max<std::int64_t>(above, glyph->metrics.ascent);
            below = std::max<std::int64_t>(below, glyph->metrics.descent);
        }
        auto scaled = [&](std::int64_t pixels) {
            const std::int64_t units = (pixels * plan.unitsPerEm + strike.ppem - 1) / strike.ppem;
            return static_cast<std::int32_t>(std::min<std::int64_t>(units, 0xFFFF));
        };
        plan.winAscent = std::max(plan.winAscent, scaled(above));
        plan.winDescent = std::max(plan.winDescent, scaled(below));
    }
    plan.averageWidth =
        advanceCount ? static_cast<std::int32_t>((advanceSum * u + advanceCount / 2) / advanceCount) : 0;

    auto inkTop = [&](std::uint32_t character, const char* property) {
        auto at = std::lower_bound(characters.begin(), characters.end(), Mapped{character, nullptr});
        if (!plan.symbol && at != characters.end() && at->character == character) {
            const Ink& ink = inks[static_cast<std::size_t>(at - characters.begin()) + 1];
            if (ink.any) return ink.top * u;
        }
        return std::max(integerOf(first, property, 0), 0) * u;
    };
    plan.xHeight = inkTop('x', "X_HEIGHT");
    plan.capHeight = inkTop('H', "CAP_HEIGHT");

    plan.weightClass = weightOfName(stringOf(first, "WEIGHT_NAME"));
    plan.bold = plan.weightClass >= 600;
    const std::string_view slant = stringOf(first, "SLANT");
    plan.oblique = equalsIgnoringCase(slant, "O");
    plan.italic = plan.oblique || equalsIgnoringCase(slant, "I");
    plan.widthClass = widthClassOf(stringOf(first, "SETWIDTH_NAME"));

    // The run always names the face; a caller that does not gets the font's own family name.
    plan.familyName = faceName.empty() ? stringOf(first, "FAMILY_NAME") : faceName;
    if (plan.familyName.empty()) plan.familyName = "Untitled";
    plan.subfamilyName = plan.bold ? (plan.italic ? "Bold Italic" : "Bold") : (plan.italic ? "Italic" : "Regular");
    plan.fullName = plan.familyName;
    if (plan.bold || plan.italic) plan.fullName += " " + plan.subfamilyName;
    plan.postScriptName = postScriptNameOf(plan.familyName, plan.subfamilyName);
    plan.version = "Version 1.000";
    plan.uniqueName = plan.fullName;
    if (const std::string_view xlfd = stringOf(first, "FONT"); !xlfd.empty()) {
        plan.uniqueName += "; ";
        plan.uniqueName += xlfd;
    }
    plan.copyright = stringOf(first, "COPYRIGHT");

    report.glyphs = plan.glyphCount;
    report.strikes = static_cast<std::uint32_t>(plan.strikes.size());
    report.unitsPerEm = plan.unitsPerEm;
    return TtfResult::Written;
}

}  // namespace

TtfResult planTrueType(std::span<const Font* const> fonts, std::string_view faceName, TtfPlan& plan,
                       TtfReport& report) {
    return runGuarded([&] { return buildPlan(fonts, faceName, plan, report); }, TtfResult::OutOfMemory);
}
