// Choosing the face name and writing it in a font's character set.
#include "front/face_name.h"

#include <cstring>

#include "font/code_page.h"
#include "front/options.h"
#include "front/run.h"

namespace {
constexpr std::uint32_t Replacement = 0xFFFD;

// The character at `at` of UTF-8 `text`, moving `at` past it; Replacement (and one byte) for a
// sequence that is not UTF-8: overlong, a surrogate, past U+10FFFF or cut short.
std::uint32_t nextCharacter(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(at);
    const int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                       : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    ++at;
    if (length == 1) return lead;
    // subtract: at + length - 1 can pass the end
    if (length == 0 || static_cast<std::size_t>(length - 1) > text.size() - at) return Replacement;
    std::uint32_t character = lead & (0x7Fu >> length);
    for (int k = 0; k < length - 1; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return Replacement;
        character = character << 6 | (byte(at + k) & 0x3F);
    }
    constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (character < smallest[length] || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return Replacement;
    at += static_cast<std::size_t>(length - 1);
    return character;
}

// The byte of `character` in `page`, or -1. Controls have none: a name is text to show. Nor has
// U+FFFF, which marks the bytes a table leaves undefined.
int byteInPage(std::uint32_t character, const CodePage* page) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0) || character == NoCharacter) return -1;
    if (!page) return character < 0x7F ? static_cast<int>(character) : -1;
    for (int code = 0x20; code < 256; ++code)
        if ((*page->unicode)[static_cast<std::size_t>(code)] == character) return code;
    return -1;
}
}  // namespace

std::string fontBaseName(const char* outputPath, bool driveLetters) {
    const char* name = outputPath;
    if (const char* backslash = std::strrchr(name, '\\')) name = backslash + 1;
    if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
    // "Z:drive.fon" is drive.fon in the current folder of drive Z.
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (driveLetters && name == outputPath && letter(name[0]) && name[1] == ':') name += 2;
    std::string base = name;
    std::size_t stop = base.find('.');
    if (stop != std::string::npos) base.erase(stop);
    return base;
}

std::string chooseFaceName(const std::optional<std::string>& faceOption, const char* outputPath) {
    return faceOption ? *faceOption : fontBaseName(outputPath);
}

FaceNameBytes encodeFaceName(std::string_view name, const CodePageRequest& request, std::string& bytes) {
    bytes.clear();
    for (std::size_t at = 0; at < name.size();) {
        const std::uint32_t character = nextCharacter(name, at);
        const int code = byteInPage(character, request.page);
        if (code < 0) return {false, character};
        bytes.push_back(static_cast<char>(code));
    }
    return {};
}

bool faceNamesOfPages(const Program& program, const Settings& settings, const std::string& faceName,
                      std::vector<std::string>& bytes) {
    const std::size_t pages = settings.codePages.empty() ? 1 : settings.codePages.size();
    bytes.assign(pages, {});
    for (std::size_t j = 0; j < pages; ++j) {
        const CodePageRequest request = settings.codePages.empty() ? CodePageRequest{} : settings.codePages[j];
        const FaceNameBytes result = encodeFaceName(faceName, request, bytes[j]);
        if (result.ok) continue;
        const auto character = static_cast<unsigned>(result.refused);
        if (request.page)
            reportError(messageFormat(MessageFaceNotInPage, program.words).c_str(), faceName.c_str(),
                        settings.codePageNames[j].c_str(), character);
        else
            reportError(messageFormat(MessageFaceNotAscii, program.words).c_str(), faceName.c_str(), character);
        return false;
    }
    return true;
}

std::string faceNameNote(const Program& program, const std::string& faceName) {
    // Counted in characters: every name written holds one byte for each.
    std::size_t characters = 0, kept = 0;
    for (std::size_t at = 0; at < faceName.size(); ++characters) {
        nextCharacter(faceName, at);
        if (characters + 1 == WindowsFaceNameLength) kept = at;
    }
    if (characters <= WindowsFaceNameLength) return {};
    return formatText(messageFormat(MessageNoteFaceCut, program.words).c_str(), faceName.c_str(),
                             static_cast<unsigned>(characters), static_cast<unsigned>(WindowsFaceNameLength),
                             faceName.substr(0, kept).c_str());
}
