// Option parsing, the one conversion of a run, and the mapping of results to messages.
#include "front/run.h"

#include <cstdio>
#include <cstring>

#include "fon/fon_writer.h"

namespace {
struct Settings {
    int bitOrder, byteOrder, glyphPad, scanUnit;
    const char* outputPath = nullptr;
    const char* inputPath = nullptr;
};

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
        reportError("%s", program.usage);
        return 1;
    }

    Font font;  // all zero: defaultChar 0 unless the input names one
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
    if (status == StatusOk && closed == 0) return 0;
    if (status == StatusFail)
        reportError("Font %s not created:  too large.\r\n(Use PCF format.)", baseName.c_str());
    else if (status == StatusBadFormat)
        reportError("Font %s not created:  too many characters.\r\n(Use PCF format.)", baseName.c_str());
    else
        reportError("Can't output to file %s (reason unknown).", settings.outputPath);
    // A device or pipe given as the output is left alone; only a file we made is removed.
    if (regularFile) deleteOutputFile(settings.outputPath);
    return 1;
}
