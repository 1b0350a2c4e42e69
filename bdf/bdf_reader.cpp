// readBdfFont: runs the header, property and glyph steps, then finishes the font (default glyph,
// layout, bounds, terminal cells, flags, ink metrics, placeholder properties) in a fixed order.
#include "bdf/bdf_reader.h"

#include "bdf/bdf_steps.h"
#include "font/bounds.h"
#include "font/ink.h"

namespace {
constexpr std::int32_t Placeholder = -1;

// A placeholder applies to an appended entry and to a file entry whose value is -1 alike.
bool isPlaceholder(const Font& font, std::int32_t index) {
    return index != NoProperty && font.info.properties[static_cast<std::size_t>(index)].value == Placeholder;
}

void resolvePlaceholders(Font& font, const BdfLoadState& state) {
    auto& properties = font.info.properties;
    const FontInfo& info = font.info;
    if (isPlaceholder(font, state.xHeightProperty)) {
        properties[static_cast<std::size_t>(state.xHeightProperty)].value =
            state.xGlyphHeight != 0 ? state.xGlyphHeight : info.inkMinBounds.ascent;
    }
    if (isPlaceholder(font, state.quadWidthProperty)) {
        // The average of 16-bit advances fits 32 bits even when their sum would not.
        std::int64_t width = state.digitGlyphCount != 0
                                 ? state.digitAdvanceSum / state.digitGlyphCount
                                 : (info.inkMaxBounds.advance + info.inkMinBounds.advance) / 2;
        properties[static_cast<std::size_t>(state.quadWidthProperty)].value = static_cast<std::int32_t>(width);
    }
    if (isPlaceholder(font, state.weightProperty))
        properties[static_cast<std::size_t>(state.weightProperty)].value = estimateWeight(font);
}

void finishFont(Font& font, const BdfLoadState& state, const BitmapLayout& layout) {
    BitmapFont& store = *font.bitmapFont;
    if (state.defaultCharSeen)
        store.defaultGlyph = encodedGlyph(font, font.info.defaultChar >> 8, font.info.defaultChar & 0xFF);
    font.bitOrder = static_cast<std::uint8_t>(layout.bitOrder);
    font.byteOrder = static_cast<std::uint8_t>(layout.byteOrder);
    font.glyphPad = static_cast<std::uint8_t>(layout.glyphPad);
    font.scanUnit = static_cast<std::uint8_t>(layout.scanUnit);
    font.info.flags = (font.info.flags & ~FlagAlwaysClear) | FlagAlwaysSet;

    deriveFontSummary(font);
    resolvePlaceholders(font, state);

    font.getGlyphs = getGlyphs;
    font.getMetrics = getMetrics;
    font.releaseFont = releaseTextFont;
    font.releaseGlyphs = nullptr;
}

bool loadFont(Font& font, BdfInput& input, const BitmapLayout& layout) {
    BdfLoadState state;
    if (!readBdfHeader(input, state)) return false;
    font.bitmapFont = std::make_unique<BitmapFont>();
    font.bitmapFont->extras = std::make_unique<FontExtras>();
    if (!readBdfProperties(input, font, state)) return false;
    if (!readBdfGlyphs(input, font, state, layout)) return false;
    finishFont(font, state, layout);
    return checkFontModel(font) || refuseLine(input, nullptr, "the glyphs read make no consistent font");
}
}  // namespace

int readBdfFont(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad, int scanUnit,
                ReadReason* reason) {
    font->bitmapFont.reset();
    const BitmapLayout layout{bitOrder, byteOrder, glyphPad, scanUnit};
    BdfInput input{stream, reason};
    // Storage that could not be had throws past the step that wanted it, which noted nothing.
    constexpr int OutOfMemory = -1;
    int status = runGuarded([&] { return loadFont(*font, input, layout) ? StatusOk : StatusFail; }, OutOfMemory);
    if (status == StatusOk) return StatusOk;
    if (status == OutOfMemory) (void)refuseLine(input, nullptr, "out of memory");
    releaseTextFontContents(font);
    return StatusFail;
}
