// Every text the programs can show, each once, named by a MessageId. The words that differ between
// varnel and corvane ({program}, {input}) are filled in from ProgramWords; the run's values (paths,
// names, counts) go through the text's printf conversions when a binding formats it. To add a
// message: a MessageId before MessageCount and its row in messages.cpp.
#pragma once

#include <cstdarg>
#include <string>

// Written before each text on standard error, or the caption of the GUI programs' message box.
inline constexpr const char* MessageCaption = "Compile Fonts";

enum MessageId : int {
    MessageUsage,               // no value
    MessageCantOpenInput,       // input path
    MessageCorruptInput,        // input path, the reader's reason
    MessageCantCreateOutput,    // output path
    MessageFontTooLarge,        // font base name
    MessageTooManyCharacters,   // font base name
    MessageCantOutput,          // output path
    MessageNoMapping,           // input path, encoding (or MessageNoEncoding), code page
    MessageNoEncoding,          // the encoding of a font that names none
    MessageNothingInPage,       // input path, code page
    MessageNoteNoCodePage,      // -v: base name, positions
    MessageNoteCodePage,        // -v: base name, code page, positions, placeholders, missing, ":" or ".", list
    MessageNoteMissing,         // -v: one missing character of the list
    MessageNoteMoreMissing,     // -v: how many more are missing than listed
    MessageNoteWindows30,       // -v: base name, bytes of the font resource
    MessageTooManyFonts,        // the first input past the limit, the limit
    MessageNotCombined,         // two input paths
    MessagePictureTooLarge,     // --preview: the picture's path
    MessagePagesNotCombined,    // two code pages as written after -c, their character set
    MessageFontOfPage,          // an input path and the code page of one of its fonts, naming that font
    MessageFaceNotInPage,       // face name (UTF-8), code page, the character it lacks
    MessageFaceNotAscii,        // face name, the character that is not printable ASCII
    MessageNoteFaceCut,         // -v: face name, its characters, the part Windows keeps
    MessageWhyPreviewIsOutput,  // a usage error's reason: the picture's path
    MessageWhyPreviewIsInput,   // the picture's path
    MessageWhyEmptyValue,       // the option
    MessageWhyScaleAlone,       // no value
    MessageNoteCellPlacement,   // -v: base name, glyphs moved in their cells, glyphs that lost columns
    MessageFamilyTooLarge,      // output path, the limit in MiB
    MessageOutputIsInput,       // output (or picture) path, the input it names
    MessageZeroHeight,          // font name
    MessagePicturePastPixels,   // --preview: the picture's path, its width, its height, the limit in megapixels
    MessageCount
};

struct ProgramWords {
    const char* program;  // "varnel"
    const char* input;    // the input format, "bdf"
};

// The printf format of `id` with the program's words filled in.
std::string messageFormat(MessageId id, const ProgramWords& words);

// printf-style formatting into a string sized to the text: no message is ever cut or overflows.
std::string formatMessage(const char* format, std::va_list args);
// The same, from the values themselves.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// "Compile Fonts: <message>" and a line feed: a message as standard error shows it.
std::string captionedLine(const char* format, std::va_list args);
