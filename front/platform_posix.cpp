// The POSIX binding of the programs: the entry point, the message sinks and file removal. The shell
// has already split the command line into words and expanded its wildcards.
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "front/messages.h"
#include "front/run.h"

namespace {
void writeTo(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}
}  // namespace

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeTo(stderr, captionedLine(format, args));
    va_end(args);
}

void reportNote(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeTo(stderr, captionedLine(format, args));
    va_end(args);
}

void showInformation(const std::string& text) { writeTo(stdout, text); }

void deleteOutputFile(const char* path) { ::unlink(path); }

int main(int argc, char** argv) {
    // An exceeded file-size limit must show as a failed write, not kill the run mid-file.
    signal(SIGXFSZ, SIG_IGN);
    return runConversion(thisProgram, std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc));
}
