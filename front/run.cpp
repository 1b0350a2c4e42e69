// Option parsing, the one conversion of a run, and the mapping of results to messages.
#include "front/run.h"

#include <cstdio>
#include <cstring>

#include "fon/fon_writer.h"
#include "font/code_map.h"
#include "font/code_page.h"

namespace {
struct Settings {
    int bitOrder, byteOrder, glyphPad, scanUnit;
    const char* outputPath = nullptr;
    const char* inputPath = nullptr;
    CodePageRequest codePage;       // -c
    const char* codePageName = nullptr;
    bool verbose = false;           // -v
};

// The writer's refusals, which a code-page conversion can meet before writing too.
constexpr const char* TooLargeMessage = "Font %s not created:  too large.\r\n(Use PCF format.)";
constexpr const char* TooManyCharactersMessage = "Font %s not created:  too many characters.\r\n(Use PCF format.)";

// The second line of the usage message: the options beyond the first line's.
constexpr const char* UsageOptionsLine =
    "       [-c codepage] [-v] where codepage is 1250 to 1258, 874, 437, 737, 775, 850, 852, 855, 857, 860, 861, "
    "862, 863, 865, 866, 869 or symbol";

bool isDelimiter(char c) { return c == ' ' || c == '\t'; }

// Splits the next word off in place, as the standard tokenizer with " \t" would; null at the end.
char* nextWord(char** rest) {
    char* p = *rest;
    while (*p && isDelimiter(*p)) ++p;
    if (!*p) {
        *rest = p;
        return nullptr;
    }
    char* word = p;
    while (*p && !isDelimiter(*p)) ++p;
    if (*p) *p++ = '\0';
    *rest = p;
    return word;
}

// A digit option ("-p4", "-u2"): the digit must be allowed and end the word.
bool digitOption(const char* word, const char* allowed, int* setting) {
    char digit = word[2];
    if (digit == '\0' || word[3] != '\0' || !std::strchr(allowed, digit)) return false;
    *setting = digit - '0';
    return true;
}

// False on a usage error.
bool parseCommandLine(char* commandLine, Settings* settings) {
    char* rest = commandLine;
    while (char* word = nextWord(&rest)) {
        if (word[0] != '-') {
            if (settings->inputPath) return false;
            settings->inputPath = word;
            continue;
        }
        bool alone = word[1] != '\0' && word[2] == '\0';
        switch (word[1]) {
        case 'm':
        case 'l':
            if (!alone) return false;
            settings->bitOrder = word[1] == 'm' ? 1 : 0;
            break;
        case 'M':
        case 'L':
            if (!alone) return false;
            settings->byteOrder = word[1] == 'M' ? 1 : 0;
            break;
        case 't':
        case 'i':
            if (!alone) return false;
            break;
        case 'p':
            if (!digitOption(word, "1248", &settings->glyphPad)) return false;
            break;
        case 'u':
            if (!digitOption(word, "124", &settings->scanUnit)) return false;
            break;
        case 'c': {
            const char* name = word + 2;
            if (*name == '\0' && !(name = nextWord(&rest))) return false;
            settings->codePage = CodePageRequest{};
            if (std::strcmp(name, "symbol") == 0) settings->codePage.symbol = true;
            else if (!(settings->codePage.page = findCodePage(name))) return false;
            settings->codePageName = name;
            break;
        }
        case 'v':
            if (!alone) return false;
            settings->verbose = true;
            break;
        case 'o':
            if (word[2] != '\0') {
                settings->outputPath = word + 2;
            } else {
                char* next = nextWord(&rest);
                if (!next) return false;
                settings->outputPath = next;
            }
            break;
        default:
            return false;
        }
    }
    return settings->inputPath && settings->outputPath;
}

// Maps the font into the requested page; false after reporting why it cannot be.
bool mapIntoCodePage(Font& font, const Settings& settings, CodeMapReport& report) {
    switch (mapToCodePage(font, settings.codePage, report)) {
    case CodeMapResult::Mapped:
        return true;
    case CodeMapResult::UnknownEncoding:
        reportError("Font %s not created:  its encoding, %s, has no mapping to code page %s.", settings.inputPath,
                    report.encoding.empty() ? "none" : report.encoding.c_str(), settings.codePageName);
        return false;
    case CodeMapResult::NothingInPage:
        reportError("Font %s not created:  none of its characters is in code page %s.", settings.inputPath,
                    settings.codePageName);
        return false;
    case CodeMapResult::SpansRows:
        reportError(TooManyCharactersMessage, fontBaseName(settings.outputPath).c_str());
        return false;
    case CodeMapResult::TooLarge:
    case CodeMapResult::OutOfMemory:
        break;
    }
    reportError(TooLargeMessage, fontBaseName(settings.outputPath).c_str());
    return false;
}

// -v: one line per font written. Without -c every encoded position counts as from the font.
void reportSummary(const std::string& baseName, const Settings& settings, const CodeMapReport& report,
                   const Font& font) {
    if (!settings.codePage.active()) {
        std::int32_t positions = 0;
        if (font.bitmapFont)
            for (const Glyph* glyph : font.bitmapFont->encoding) positions += glyph ? 1 : 0;
        reportNote("Font %s: no code page, %d positions from the font.", baseName.c_str(), positions);
        return;
    }
    std::string missing;
    constexpr std::size_t Listed = 10;
    for (std::size_t i = 0; i < report.missing.size() && i < Listed; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, " U+%04X", report.missing[i]);
        missing += text;
    }
    if (report.missing.size() > Listed) missing += " and " + std::to_string(report.missing.size() - Listed) + " more";
    reportNote("Font %s: code page %s, %d positions from the font, %d placeholders, %d characters missing%s%s",
               baseName.c_str(), settings.codePageName, report.fromFont, report.placeholders,
               static_cast<int>(report.missing.size()), missing.empty() ? "." : ":", missing.c_str());
}
}  // namespace

std::string formatMessage(const char* format, std::va_list args) {
    std::va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    std::string message;
    if (length > 0) {
        message.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(message.data(), message.size(), format, again);
        message.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return message;
}

void defaultBitmapFormat(int* bitOrder, int* byteOrder, int* glyphPad, int* scanUnit) {
    *bitOrder = 1;
    *byteOrder = 1;
    *glyphPad = 2;
    *scanUnit = 1;
}

std::string fontBaseName(const char* outputPath) {
    const char* name = outputPath;
    if (const char* backslash = std::strrchr(name, '\\')) name = backslash + 1;
    if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
    std::string base = name;
    std::size_t stop = base.find('.');
    if (stop != std::string::npos) base.erase(stop);
    return base;
}

int runConversion(const Program& program, char* commandLine) {
    Settings settings;
    defaultBitmapFormat(&settings.bitOrder, &settings.byteOrder, &settings.glyphPad, &settings.scanUnit);
    if (!parseCommandLine(commandLine, &settings)) {
        reportError("%s\n%s", program.usage, UsageOptionsLine);
        return 1;
    }

    Font font;  // all zero: defaultChar 0 unless the input names one
    font.codePage = settings.codePage;
    {
        FontStreamPtr input(openFontFile(settings.inputPath));
        if (!input) {
            reportError(program.cantOpenMessage, settings.inputPath);
            return 1;
        }
        int status = program.readFont(&font, input.get(), settings.bitOrder, settings.byteOrder, settings.glyphPad,
                                      settings.scanUnit);
        // Closing a compressed input checks what the reader did not need (a gzip member's check):
        // damage found there makes the font as corrupt as damage the reader saw.
        if (status != StatusOk || closeFontFile(input.release()) != 0) {
            reportError(program.corruptMessage, settings.inputPath);
            return 1;
        }
    }

    CodeMapReport report;
    if (settings.codePage.active() && !mapIntoCodePage(font, settings, report)) return 1;

    bool regularFile = false;
    FontStream* output = createFontFile(settings.outputPath, &regularFile);
    if (!output) {
        reportError("Can't create file %s", settings.outputPath);
        // regularFile is set only when the file was created and the stream record then could not
        // be allocated: that empty file is ours to remove.
        if (regularFile) deleteOutputFile(settings.outputPath);
        return 1;
    }
    // The base name lives as long as the run; the stream only points at it.
    std::string baseName = fontBaseName(settings.outputPath);
    output->fontName = baseName.c_str();

    int status = writeFon(&font, output, settings.glyphPad);
    int closed = closeFontFile(output);
    if (status == StatusOk && closed == 0) {
        if (settings.verbose) reportSummary(baseName, settings, report, font);
        return 0;
    }
    if (status == StatusFail)
        reportError(TooLargeMessage, baseName.c_str());
    else if (status == StatusBadFormat)
        reportError(TooManyCharactersMessage, baseName.c_str());
    else
        reportError("Can't output to file %s (reason unknown).", settings.outputPath);
    // A device or pipe given as the output is left alone; only a file we made is removed.
    if (regularFile) deleteOutputFile(settings.outputPath);
    return 1;
}
