// The message table and its formatting.
#include "front/messages.h"

#include <cstdio>
#include <string_view>

namespace {
// Indexed by MessageId. "\r\n" is a line break in the message box; the two blanks after a colon
// are as the programs have always shown them.
constexpr const char* messageTable[MessageCount] = {
    "usage: {program} [-p#] [-u#] [-m] [-l] [-M] [-L] [-t] [-i] -o fon_file {input}_file... where # for -p is 1, "
    "2, 4, or 8 and # for -u is 1, 2, or 4\n"
    "       [-c codepage[,codepage...]] [-v] [--face name] [--preview png_file] [--preview-scale n] where codepage "
    "is 1250 to 1258, 874, 437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869 or symbol and n is "
    "1 to 8\n"
    "       {program} --help | --version",
    "can't open {input} source file %s",
    "{input} input, %s, corrupt\r\n(%s)",
    "Can't create file %s",
    "Font %s not created:  too large.\r\n(Use PCF format.)",
    "Font %s not created:  too many characters.\r\n(Its codes pass 255: choose a code page with -c, or write "
    "TrueType with -o NAME.ttf.)",
    "Can't output to file %s (reason unknown).",
    "Font %s not created:  its encoding, %s, has no mapping to code page %s.",
    "none",
    "Font %s not created:  none of its characters is in code page %s.",
    "Font %s: no code page, %d positions from the font.",
    "Font %s: code page %s, %d positions from the font, %d placeholders, %d characters missing%s%s",
    " U+%04X",
    " and %d more",
    "Font %s: written as a Windows 3.0 font (version 0x0300) of %u bytes, past the 65536 of version 0x0200.",
    "Font %s not created:  more than %u fonts in one file.",
    "Fonts %s and %s not combined:  Windows cannot tell them apart (same height, weight, italic and character set).",
    "Picture %s not created:  too large.",
    "Code pages %s and %s not combined:  Windows cannot tell their fonts apart (both have character set %u).",
    "%s (code page %s)",
    "Font name %s not written:  code page %s has no U+%04X.\r\n(Choose another with --face NAME.)",
    "Font name %s not written:  a font of no code page, or of symbol, names itself in printable ASCII, which has "
    "no U+%04X.\r\n(Choose another with --face NAME, or a code page with -c.)",
    "Font name %s has %u characters; Windows keeps the first %u: %s.",
    "--preview %s names the output: the picture would replace the font it shows.",
    "--preview %s names an input: the picture would replace a font it is made from.",
    "%s is given an empty value.",
    "--preview-scale sizes the picture of --preview, which is not given.",
    "Font %s: %d glyphs moved to fit their character cells, %d lost columns past their advance.",
    "File %s not created:  its fonts together take more than the %u MiB one file may hold.",
    "File %s not created:  it is the input %s, which it would overwrite.",
    "Font %s not created:  its height is 0, and no program draws a font without rows.",
    "Picture %s not created:  %u x %u pixels, past the %u megapixels a picture may have (try a smaller "
    "--preview-scale).",
};

void fillWord(std::string& text, std::string_view placeholder, const char* word) {
    for (std::size_t at; (at = text.find(placeholder)) != std::string::npos;)
        text.replace(at, placeholder.size(), word);
}
}  // namespace

std::string messageFormat(MessageId id, const ProgramWords& words) {
    std::string text = id >= 0 && id < MessageCount ? messageTable[id] : "";
    fillWord(text, "{program}", words.program);
    fillWord(text, "{input}", words.input);
    return text;
}

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

std::string formatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = formatMessage(format, args);
    va_end(args);
    return text;
}

std::string captionedLine(const char* format, std::va_list args) {
    return std::string(MessageCaption) + ": " + formatMessage(format, args) + "\n";
}
