// The conversion run shared by both programs: option parsing, one conversion, the mapping of
// results to messages. Platform-free; the platform binding supplies reportError and
// deleteOutputFile and hands the command line in.
#pragma once

#include <string>

#include "font/model.h"
#include "front/messages.h"
#include "stream/font_stream.h"

using FontReader = int (*)(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad,
                           int scanUnit);

// What differs between varnel and corvane: the words of their messages and the reader.
struct Program {
    ProgramWords words;
    FontReader readFont;
};

// Defined by each program (front/varnel.cpp, front/corvane.cpp).
extern const Program thisProgram;

void defaultBitmapFormat(int* bitOrder, int* byteOrder, int* glyphPad, int* scanUnit);

// The base name of an output path: after the last backslash, then after the last slash, cut at
// the first full stop.
std::string fontBaseName(const char* outputPath);

// Parses `commandLine` (split in place) and runs one conversion. Returns the exit status (0 or 1).
int runConversion(const Program& program, char* commandLine);

// Platform binding. reportError and reportNote show one text, formatted through formatMessage.
void reportError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void deleteOutputFile(const char* path);
// A line of information asked for with -v (standard error; never a message box).
void reportNote(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
