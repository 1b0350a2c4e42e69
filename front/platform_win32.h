// What both Windows programs (the console varnel.exe and the GUI varnelw.exe, and corvane's two)
// share: the command line as UTF-8 words, the expansion of wildcards that Windows shells leave to
// each program, and text written to a standard stream.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The words of the process's command line after the program's name, by the standard quoting rules
// ("..." groups, \" is a quote), each converted to UTF-8.
std::vector<std::string> commandLineWords();

// An input word with * or ? in its last part becomes the files it matches (folders are not
// taken), in name order as Windows compares names (ordinal, without case); a word without them, or
// matching no file, comes back alone.
std::vector<std::string> expandWildcards(const std::string& word);

// Writes UTF-8 text to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE: a console shows it as Unicode,
// anything else (a file, a pipe) gets the bytes as they are. Nothing when there is no such handle,
// as in a GUI program whose streams were not redirected.
void writeStandard(DWORD handle, const std::string& text);

// The entry points' common part: the run over the command line's words with wildcards expanded.
int runWindowsProgram();
