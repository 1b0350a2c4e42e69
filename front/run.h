// The run shared by both programs: the command line's request, one conversion, the mapping of
// results to messages. Platform-free; the platform binding hands in the command line's words and
// supplies the sinks and file removal declared at the end.
#pragma once

#include <string>
#include <vector>

#include "font/model.h"
#include "front/messages.h"
#include "front/options.h"
#include "stream/font_stream.h"

// A reader: StatusOk, or StatusFail with `reason` saying where and why.
using FontReader = int (*)(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad,
                           int scanUnit, ReadReason* reason);

// What differs between varnel and corvane: the words of their messages and the reader.
struct Program {
    ProgramWords words;
    FontReader readFont;
};

// Defined by each program (front/varnel.cpp, front/corvane.cpp).
extern const Program thisProgram;

// Creates an output file of the run (the font or its picture); null after reporting why not.
// `regularFile` tells whether it is a file the run may remove again after a failure.
FontStream* createOutput(const Program& program, const char* path, bool* regularFile);

// Expands an input word that the platform's shell leaves as it is (the wildcards of Windows) into
// the paths it names, in order; a word that names nothing comes back alone, as it is.
using InputExpander = std::vector<std::string> (*)(const std::string& word);

// Parses `words` (UTF-8, one per argument, the program's name not among them) and does what they
// ask: one conversion, or the help or version text. Returns the exit status (0 or 1).
int runConversion(const Program& program, const std::vector<std::string>& words, InputExpander expand = nullptr);

// Platform binding. reportError and reportNote show one text, formatted through formatMessage.
void reportError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void deleteOutputFile(const char* path);
// The --help or --version text: standard output, or the message box of a program without one.
void showInformation(const std::string& text);
// A line of information asked for with -v (standard error; never a message box).
void reportNote(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
