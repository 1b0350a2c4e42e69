// The Windows console binding (varnel.exe, corvane.exe): the programs as cmd.exe, PowerShell and
// build scripts use them, like the POSIX ones: messages on standard error, the exit status to the
// caller, which waits for it.
#include <cstdarg>
#include <string>

#include "front/messages.h"
#include "front/platform_win32.h"
#include "front/run.h"

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeStandard(STD_ERROR_HANDLE, captionedLine(format, args));
    va_end(args);
}

void showInformation(const std::string& text) { writeStandard(STD_OUTPUT_HANDLE, text); }

// The words come from the process's command line, as for the GUI program.
extern "C" int wmain(int, wchar_t**) { return runWindowsProgram(); }
