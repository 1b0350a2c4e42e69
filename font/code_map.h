// The conversion of a read font into a Windows code page: each position of the page takes the
// font's glyph for the character it stands for, gaps take the font's placeholder, and everything
// font-wide is derived again over the glyphs that remain. Runs between reading and writing.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <span>
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

// The source codes the mappings into `requests` would keep together, known from the properties
// alone; null when every glyph is kept or nothing can be told yet (no request, symbol fonts, an
// unknown encoding).
[[nodiscard]] std::unique_ptr<CodeSet> keptSourceCodes(const FontInfo& info,
                                                       std::span<const CodePageRequest> requests);

// Makes `page` the font of one code page of `font`: the page's positions from the first to the
// last with a glyph, the Windows style, the encoding properties rewritten and the font-wide values
// derived again. `font` is only read, so one read font gives every page of a list; `page` starts
// empty and holds its own copies. On any result but Mapped `page` is not to be written (TooLarge
// also for terminal cells past the largest face). A request for no page maps nothing
// (NothingInPage).
[[nodiscard]] CodeMapResult mapToCodePage(const Font& font, const CodePageRequest& request, Font& page,
                                          CodeMapReport& report);

// dfWeight for an X WEIGHT_NAME (400 for names it does not know).
[[nodiscard]] std::uint16_t weightOfName(std::string_view name);
