// Windows code pages and 8-bit X encodings as 256-entry Unicode tables (generated into
// font/code_page_tables.cpp by font/gen_code_pages.py), and their look-up by name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Encoding and property names compare without regard to case.
[[nodiscard]] bool equalsIgnoringCase(std::string_view a, std::string_view b);

// A byte the table does not define.
constexpr std::uint16_t NoCharacter = 0xFFFF;
// dfCharSet of a font whose codes are its own (symbol fonts).
constexpr std::uint8_t SymbolCharSet = 2;

// The Unicode character of each byte, NoCharacter where the byte has none.
using UnicodeTable = std::array<std::uint16_t, 256>;

struct CodePage {
    int number;               // 1252, 437, ...
    std::uint8_t charSet;     // the FNT header's dfCharSet
    bool oem;                 // an OEM (DOS) page rather than an ANSI one
    const UnicodeTable* unicode;
};

struct XEncoding {
    const char* name;  // CHARSET_REGISTRY-CHARSET_ENCODING in lower case
    const UnicodeTable* unicode;  // shared with the code page of the same codec
};

extern const CodePage codePages[];
extern const std::size_t codePageCount;
extern const XEncoding xEncodings[];
extern const std::size_t xEncodingCount;

// The page named by its number ("1252", "437"); null for anything else.
[[nodiscard]] const CodePage* findCodePage(std::string_view number);
// The 8-bit X encoding of that registry and encoding, compared without case; null when unknown.
[[nodiscard]] const XEncoding* findXEncoding(std::string_view registry, std::string_view encoding);
// The IBM PC graphic character that an OEM page shows at control position `position` (1 to 31, 127)
// where the console and DOS programs draw one; NoCharacter at every other position.
[[nodiscard]] std::uint16_t oemGraphicCharacter(int position);
// ISO10646-1 (any case): codes are Unicode characters themselves.
[[nodiscard]] bool isUnicodeEncoding(std::string_view registry, std::string_view encoding);
