// The POSIX binding of the programs: the entry point, the message sink and file removal.
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "front/run.h"

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string message = "Compile Fonts: ";
    if (length > 0) {
        std::size_t start = message.size();
        // Sized exactly to the formatted text, so no path is ever cut or overflows.
        message.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(message.data() + start, static_cast<std::size_t>(length) + 1, format, again);
        message.resize(start + static_cast<std::size_t>(length));
    }
    va_end(again);
    message += '\n';
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
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
