// The conversion of a read font into a Windows code page: each position of the page takes the
// font's glyph for the character it stands for, gaps take the font's placeholder, and everything
// font-wide is derived again over the glyphs that remain. Runs between reading and writing.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "font/model.h"

enum class CodeMapResult {
    Mapped,
    UnknownEncoding,  // the font names no encoding, or one without a table
    NothingInPage,    // no glyph of the font stands for a character of the page
    SpansRows,        // a symbol font whose codes lie in more than one row
    TooLarge,         // the glyphs of the page hold more than a Windows font resource can
    OutOfMemory,
};

struct CodeMapReport {
    ModelString encoding;             // CHARSET_REGISTRY-CHARSET_ENCODING as the font names it; "" for none
    std::int32_t fromFont = 0;        // positions filled with a glyph of their own
    std::int32_t placeholders = 0;    // positions between those given the placeholder glyph
    ModelVector<std::uint16_t> missing;  // characters of the page the font has no glyph for (controls aside)
};

// One bit per 16-bit source code (row in the high byte); a record of the model, so its 8 KiB come
// through the allocation seam.
struct CodeSet : ModelRecord, std::bitset<65536> {};

// The source codes a mapping would keep, known from the properties alone; null when every glyph is
// kept or nothing can be told yet (no request, symbol fonts, an unknown encoding).
[[nodiscard]] std::unique_ptr<CodeSet> keptSourceCodes(const FontInfo& info, const CodePageRequest& request);

// Replaces the font's glyph store by the page's positions from the first to the last with a glyph,
// sets the Windows style, rewrites the encoding properties and derives the font-wide values again.
// On any result but Mapped the font is left as read (OutOfMemory: possibly without its new properties;
// TooLarge for terminal cells past the largest face: mapped, unpadded).
[[nodiscard]] CodeMapResult mapToCodePage(Font& font, const CodePageRequest& request, CodeMapReport& report);

// dfWeight for an X WEIGHT_NAME (400 for names it does not know).
[[nodiscard]] std::uint16_t weightOfName(std::string_view name);
