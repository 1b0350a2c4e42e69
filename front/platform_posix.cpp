// The POSIX binding of the programs: the entry point, the message sink and file removal.
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "front/messages.h"
#include "front/run.h"

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeCaptionedLine(format, args);
    va_end(args);
}

void reportNote(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeCaptionedLine(format, args);
    va_end(args);
}

void deleteOutputFile(const char* path) { ::unlink(path); }

int main(int argc, char** argv) {
    // An exceeded file-size limit must show as a failed write, not kill the run mid-file.
    signal(SIGXFSZ, SIG_IGN);
    std::string commandLine;
    for (int k = 1; k < argc; ++k) {
        if (k > 1) commandLine += ' ';
        commandLine += argv[k];
    }
    return runConversion(thisProgram, commandLine.data());
}
