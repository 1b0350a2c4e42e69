// Mapping a read font into a Windows code page: which source code stands behind each position,
// the new glyph store, the placeholder, the rewritten encoding properties and the Windows style.
#include "font/code_map.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "font/bitmap.h"
#include "font/bounds.h"
#include "font/cell_width.h"
#include "font/code_page.h"
#include "font/face_limit.h"
#include "font/ink.h"

namespace {
constexpr std::int32_t NoCode = -1;
constexpr int QuestionMark = 0x3F;
// Every glyph's cell in a written face has at least its own rows, and holds as many whole-byte
// columns of its bitmap as its cell width allows: glyphs whose cells pass the largest face can never
// be written, and are refused before a hostile file whose metrics claim huge bitmaps makes the
// copies take gigabytes. The copies hold no more than the reader holds for these glyphs, twice
// at most (an OEM page may show one character at two positions).
constexpr std::int64_t MaxPageCellBytes = MaxFaceBytes;

// The source codes that may stand behind each position of the page, in order of preference: the
// first the font has a glyph for is taken. NoCode where there is none.
using PositionCodes = std::array<std::array<std::int32_t, 2>, 256>;

std::string_view stringProperty(const FontInfo& info, const char* name) {
    std::uint8_t isString = 0;
    const FontProperty* property = findFontProperty(info, name, &isString);
    if (!property || !isString) return {};
    const char* text = atomName(static_cast<Atom>(property->value));
    return text ? std::string_view(text) : std::string_view();
}

ModelString encodingName(const FontInfo& info) {
    std::string_view registry = stringProperty(info, "CHARSET_REGISTRY");
    std::string_view encoding = stringProperty(info, "CHARSET_ENCODING");
    if (registry.empty() && encoding.empty()) return {};
    ModelString name(registry);
    name += '-';
    name += encoding;
    return name;
}

// False when the font's encoding has no table.
bool findSourceCodes(const FontInfo& info, const CodePage& page, PositionCodes& codes) {
    std::string_view registry = stringProperty(info, "CHARSET_REGISTRY");
    std::string_view encoding = stringProperty(info, "CHARSET_ENCODING");
    const bool unicode = isUnicodeEncoding(registry, encoding);
    const XEncoding* source = unicode ? nullptr : findXEncoding(registry, encoding);
    if (!unicode && !source) return false;
    // A Unicode font's codes are the characters; in an 8-bit encoding, the first byte that decodes to
    // the character (the reverse direction of its table).
    auto sourceCode = [&](std::uint16_t character) -> std::int32_t {
        if (character == NoCharacter) return NoCode;
        if (unicode) return character;
        for (int c = 0; c < 256; ++c)
            if ((*source->unicode)[c] == character) return c;
        return NoCode;
    };
    for (int p = 0; p < 256; ++p) {
        // An OEM page shows the IBM PC's graphics at its control positions, as the console draws
        // them, where the font has them; otherwise the control character's own glyph.
        const std::uint16_t graphic = page.oem ? oemGraphicCharacter(p) : NoCharacter;
        codes[p] = {sourceCode(graphic), sourceCode((*page.unicode)[p])};
    }
    return true;
}

// A character a user would miss; the C0 controls and DEL are not.
bool isPrintable(std::uint16_t u) { return u >= 0x20 && u != 0x7F && u != NoCharacter; }

Atom internText(std::string_view text) { return internAtom(text.data(), static_cast<std::int32_t>(text.size()), 1); }

// The XLFD name with its last two fields (registry and encoding) replaced; "" when `name` is no
// XLFD name (it does not begin with a dash or has fewer than 14 fields).
ModelString renamedXlfd(std::string_view name, std::string_view registry, std::string_view encoding) {
    if (name.empty() || name[0] != '-') return {};
    std::size_t dashes = 0, cut = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '-') continue;
        if (++dashes == 13) cut = i;
    }
    if (dashes != 14) return {};
    ModelString renamed(name.substr(0, cut + 1));
    renamed += registry;
    renamed += '-';
    renamed += encoding;
    return renamed;
}

// New string values for the encoding properties, interned ahead so that a failure changes nothing.
struct PropertyRewrite {
    const char* name;
    Atom value;
};

// At most three rewrites: a fixed array, nothing to allocate.
struct PropertyRewrites {
    std::array<PropertyRewrite, 3> entries{};
    std::size_t count = 0;
    void push_back(const PropertyRewrite& rewrite) { entries[count++] = rewrite; }
    const PropertyRewrite* begin() const { return entries.data(); }
    const PropertyRewrite* end() const { return entries.data() + count; }
};

bool planPropertyRewrites(const FontInfo& info, const CodePage& page, PropertyRewrites& rewrites) {
    const std::string_view registry = page.oem ? "ibm" : "microsoft";
    char encodingText[16];
    const int length = std::snprintf(encodingText, sizeof encodingText, "cp%d", static_cast<int>(page.number));
    const std::string_view encoding(encodingText, static_cast<std::size_t>(length));
    Atom registryAtom = internText(registry);
    Atom encodingAtom = internText(encoding);
    if (!registryAtom || !encodingAtom) return false;
    rewrites.push_back({"CHARSET_REGISTRY", registryAtom});
    rewrites.push_back({"CHARSET_ENCODING", encodingAtom});
    const ModelString name = renamedXlfd(stringProperty(info, "FONT"), registry, encoding);
    if (!name.empty()) {
        Atom nameAtom = internText(name);
        if (!nameAtom) return false;
        rewrites.push_back({"FONT", nameAtom});
    }
    return true;
}

void applyPropertyRewrites(FontInfo& info, const PropertyRewrites& rewrites) {
    for (const PropertyRewrite& rewrite : rewrites) {
        std::uint8_t isString = 0;
        auto* property = const_cast<FontProperty*>(findFontProperty(info, rewrite.name, &isString));
        if (property && isString) property->value = static_cast<std::int32_t>(rewrite.value);
    }
}

WindowsStyle styleOf(const FontInfo& info, std::uint8_t charSet) {
    WindowsStyle style;
    style.charSet = charSet;
    style.weight = weightOfName(stringProperty(info, "WEIGHT_NAME"));
    std::string_view slant = stringProperty(info, "SLANT");
    style.italic = equalsIgnoringCase(slant, "I") || equalsIgnoringCase(slant, "O") ? 1 : 0;
    return style;
}

// The bitmap bytes of `glyph` in the font's layout (the reader's checkFontModel vouches for them).
ByteVector copyBitmap(const Font& font, const Glyph& glyph) {
    const auto size = static_cast<std::size_t>(glyphBitmapBytes(glyph.metrics, font.glyphPad));
    return size ? ByteVector(glyph.bitmap, glyph.bitmap + size) : ByteVector();
}

// Builds the store of positions first..last; every gap points at the glyph of `placeholder`.
std::unique_ptr<BitmapFont> buildStore(const Font& font, const std::array<const Glyph*, 256>& own, int first, int last,
                                       int placeholder, CodeMapReport& report) {
    const BitmapFont& source = *font.bitmapFont;
    auto store = std::make_unique<BitmapFont>();  // a ModelRecord: through the seam
    std::array<std::int32_t, 256> index{};
    if (source.inkMetrics) store->inkMetrics.emplace();
    for (int p = first; p <= last; ++p) {
        if (!own[p]) continue;
        index[p] = static_cast<std::int32_t>(store->glyphs.size());
        store->glyphs.push_back(Glyph{own[p]->metrics, nullptr});
        store->ownedBitmaps.push_back(copyBitmap(font, *own[p]));
        if (store->inkMetrics) store->inkMetrics->push_back((*source.inkMetrics)[own[p] - source.glyphs.data()]);
    }
    for (std::size_t i = 0; i < store->glyphs.size(); ++i)
        store->glyphs[i].bitmap = store->ownedBitmaps[i].empty() ? nullptr : store->ownedBitmaps[i].data();
    store->glyphCount = static_cast<std::int32_t>(store->glyphs.size());
    Glyph* placeholderGlyph = &store->glyphs[static_cast<std::size_t>(index[placeholder])];
    store->encoding.reserve(static_cast<std::size_t>(last - first + 1));
    for (int p = first; p <= last; ++p) {
        if (own[p]) {
            store->encoding.push_back(&store->glyphs[static_cast<std::size_t>(index[p])]);
        } else {
            store->encoding.push_back(placeholderGlyph);
            ++report.placeholders;
        }
    }
    store->defaultGlyph = placeholderGlyph;
    return store;
}

CodeMapResult mapFont(const Font& font, const CodePageRequest& request, Font& page, CodeMapReport& report) {
    const FontInfo& info = font.info;
    if (!font.bitmapFont) return CodeMapResult::NothingInPage;
    const BitmapFont& source = *font.bitmapFont;
    PositionCodes codes;
    if (request.symbol) {
        // A font without encoded glyphs has its ranges inverted: nothing is in any page.
        if (info.firstRow > info.lastRow) return CodeMapResult::NothingInPage;
        if (info.firstRow != info.lastRow) return CodeMapResult::SpansRows;
        for (int p = 0; p < 256; ++p) codes[p] = {info.firstRow << 8 | p, NoCode};
    } else if (!findSourceCodes(info, *request.page, codes)) {
        return CodeMapResult::UnknownEncoding;
    }

    std::array<const Glyph*, 256> own{};
    std::array<std::int32_t, 256> taken{};  // the source code of each position's own glyph
    int first = -1, last = -1;
    for (int p = 0; p < 256; ++p) {
        for (std::int32_t code : codes[p]) {
            if (own[p] || code == NoCode) continue;
            own[p] = encodedGlyph(font, static_cast<unsigned>(code) >> 8, code & 0xFF);
            taken[p] = code;
        }
        if (own[p]) {
            if (first < 0) first = p;
            last = p;
            ++report.fromFont;
        } else if (request.page && isPrintable((*request.page->unicode)[p])) {
            report.missing.push_back((*request.page->unicode)[p]);
        }
    }
    // A glyph without pixels, box or advance (an empty NUL, say) is no character to write: a page of
    // only such glyphs holds nothing, and the writer could not give it a cell.
    if (first < 0 || std::none_of(own.begin(), own.end(), [](const Glyph* g) { return g && !isEmptyMetrics(g->metrics); }))
        return CodeMapResult::NothingInPage;
    // The page is fixed pitch when its own glyphs advance alike, as its derived flags will say.
    std::int32_t minAdvance = 32767, maxAdvance = -32768;
    for (const Glyph* glyph : own) {
        if (!glyph || isEmptyMetrics(glyph->metrics)) continue;
        minAdvance = std::min<std::int32_t>(minAdvance, glyph->metrics.advance);
        maxAdvance = std::max<std::int32_t>(maxAdvance, glyph->metrics.advance);
    }
    std::int64_t cellBytes = 0;
    for (const Glyph* glyph : own) {
        if (!glyph) continue;
        const std::int64_t width = std::min(glyphWidth(glyph->metrics), cellWidth(glyph->metrics, minAdvance == maxAdvance));
        const std::int64_t height = glyphHeight(glyph->metrics);
        if (width > 0 && height > 0) cellBytes += height * ((width + 7) / 8);
    }
    if (cellBytes > MaxPageCellBytes) return CodeMapResult::TooLarge;

    // The placeholder: the font's own default character when the page holds it, else "?", else
    // the first glyph written.
    int placeholder = -1;
    if (source.defaultGlyph) {
        for (int p = first; p <= last && placeholder < 0; ++p)
            if (own[p] && taken[p] == info.defaultChar) placeholder = p;
    }
    if (placeholder < 0 && own[QuestionMark]) placeholder = QuestionMark;
    if (placeholder < 0) placeholder = first;

    PropertyRewrites rewrites;
    if (request.page && !planPropertyRewrites(info, *request.page, rewrites)) return CodeMapResult::OutOfMemory;

    // The page's font: the read font's header, layout and operations with a store of its own; its
    // bounds and flags, the fixed pitch that shapes its cells among them, are those of its glyphs.
    page.info = info;
    page.bitOrder = font.bitOrder;
    page.byteOrder = font.byteOrder;
    page.glyphPad = font.glyphPad;
    page.scanUnit = font.scanUnit;
    page.getGlyphs = font.getGlyphs;
    page.getMetrics = font.getMetrics;
    page.releaseFont = font.releaseFont;
    page.releaseGlyphs = font.releaseGlyphs;
    page.windowsStyle = styleOf(info, request.page ? request.page->charSet : SymbolCharSet);
    page.bitmapFont = buildStore(font, own, first, last, placeholder, report);

    FontInfo& pageInfo = page.info;
    applyPropertyRewrites(pageInfo, rewrites);
    pageInfo.firstColumn = static_cast<std::uint16_t>(first);
    pageInfo.lastColumn = static_cast<std::uint16_t>(last);
    pageInfo.firstRow = pageInfo.lastRow = 0;
    pageInfo.defaultChar = static_cast<std::uint16_t>(placeholder);
    // Every position holds a glyph now, its own or the placeholder.
    pageInfo.flags |= FlagAllCodesPresent | FlagAlwaysSet;
    pageInfo.flags &= ~FlagAlwaysClear;
    if (page.bitmapFont->inkMetrics) pageInfo.flags |= FlagHasInkMetrics;
    else pageInfo.flags &= ~FlagHasInkMetrics;
    // Nothing below allocates beyond what the derivation tolerates losing.
    deriveFontSummary(page);
    if (page.exceedsFaceLimit) return CodeMapResult::TooLarge;
    return CodeMapResult::Mapped;
}
}  // namespace

std::unique_ptr<CodeSet> keptSourceCodes(const FontInfo& info, std::span<const CodePageRequest> requests) {
    if (requests.empty()) return nullptr;
    auto kept = std::make_unique<CodeSet>();
    for (const CodePageRequest& request : requests) {
        PositionCodes codes;
        if (!request.page || !findSourceCodes(info, *request.page, codes)) return nullptr;
        for (const auto& candidates : codes)
            for (std::int32_t code : candidates)
                if (code != NoCode) kept->set(static_cast<std::size_t>(code));
    }
    return kept;
}

CodeMapResult mapToCodePage(const Font& font, const CodePageRequest& request, Font& page, CodeMapReport& report) {
    report = CodeMapReport{};
    if (!request.active()) return CodeMapResult::NothingInPage;
    return runGuarded(
        [&] {
            report.encoding = encodingName(font.info);
            return mapFont(font, request, page, report);
        },
        CodeMapResult::OutOfMemory);
}

std::uint16_t weightOfName(std::string_view name) {
    struct Weight {
        const char* name;
        std::uint16_t value;
    };
    static constexpr Weight weights[] = {
        {"Thin", 100},     {"ExtraLight", 200}, {"Light", 300},     {"Medium", 400},   {"Regular", 400},
        {"Normal", 400},   {"Book", 400},       {"DemiBold", 600},  {"SemiBold", 600}, {"Bold", 700},
        {"ExtraBold", 800}, {"Black", 900},     {"Heavy", 900},
    };
    for (const Weight& weight : weights)
        if (equalsIgnoringCase(name, weight.name)) return weight.value;
    return 400;
}
