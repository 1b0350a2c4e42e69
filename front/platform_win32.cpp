// The Win32 binding of the programs: the GUI entry point, the message box sink and file removal.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "front/run.h"

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = formatMessage(format, args);
    va_end(args);
    // No owner window: the programs never open one. 0x30 is MB_ICONWARNING with the OK button.
    MessageBoxA(nullptr, message.c_str(), MessageCaption, 0x30);
}

// A GUI program has standard error only when it was redirected; the note goes there or nowhere.
void reportNote(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeCaptionedLine(format, args);
    va_end(args);
}

// Its result is not examined: a file that cannot be removed has nobody left to report to.
void deleteOutputFile(const char* path) { DeleteFileA(path); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // The run splits the words in place; work on a copy so the process's own command line
    // (GetCommandLineA shares that memory) stays as it was.
    std::string line = commandLine ? commandLine : "";
    return runConversion(thisProgram, line.data());
}
