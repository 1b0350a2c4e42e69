// Shared by the hardening tests: a small font of our own and running a program in a child process
// under a memory limit.
#pragma once

#include <string>
#include <vector>

// A fixed-width BDF font whose glyphs are smaller than the cell, so a conversion runs every
// optional step (terminal cells, ink metrics) and interns string properties.
extern const char* const CellFontBdf;

struct LimitedRun {
    int exitStatus = -1;   // -1 when the program did not exit normally (killed, crashed)
    std::string err;       // what it wrote to standard error
    long maxResidentKb = 0;
};

// Runs argv (argv[0] a full path) with its address space limited to limitMb megabytes and its run
// cut off after timeoutSeconds. Under AddressSanitizer, which needs a huge address space, the
// limit is handed to the sanitizer's own allocator instead.
LimitedRun runLimited(const std::vector<std::string>& argv, long limitMb, int timeoutSeconds);
