// Look-ups of the generated code page and encoding tables.
#include "font/code_page.h"

#include <cctype>

namespace {
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

const CodePage* findCodePage(std::string_view number) {
    if (number.empty() || number.size() > 5) return nullptr;
    int value = 0;
    for (char c : number) {
        if (c < '0' || c > '9') return nullptr;
        value = value * 10 + (c - '0');
    }
    // "01252" is not a page name.
    if (number[0] == '0') return nullptr;
    for (std::size_t i = 0; i < codePageCount; ++i)
        if (codePages[i].number == value) return &codePages[i];
    return nullptr;
}

const XEncoding* findXEncoding(std::string_view registry, std::string_view encoding) {
    for (std::size_t i = 0; i < xEncodingCount; ++i) {
        std::string_view name = xEncodings[i].name;
        // The name is registry, '-', encoding; a registry may itself hold full stops, not dashes.
        std::size_t dash = name.find('-');
        if (equalsIgnoringCase(name.substr(0, dash), registry) && equalsIgnoringCase(name.substr(dash + 1), encoding))
            return &xEncodings[i];
    }
    return nullptr;
}

bool isUnicodeEncoding(std::string_view registry, std::string_view encoding) {
    return equalsIgnoringCase(registry, "iso10646") && encoding == "1";
}
