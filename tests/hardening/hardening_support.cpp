// A small font of our own and a child-process runner with an address-space limit.
#include "tests/hardening/hardening_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/test_support.h"

const char* const CellFontBdf = R"(STARTFONT 2.1
COMMENT fixed-width font, glyphs smaller than the 6x9 cell
FONT -hard-cell-medium-r-normal--9-90-75-75-c-60-iso8859-1
SIZE 9 75 75
FONTBOUNDINGBOX 6 9 0 -2
STARTPROPERTIES 5
FONT_ASCENT 7
FONT_DESCENT 2
COPYRIGHT "Made for the hardening tests"
SPACING "C"
DEFAULT_CHAR 63
ENDPROPERTIES
CHARS 5
STARTCHAR question
ENCODING 63
SWIDTH 667 0
DWIDTH 6 0
BBX 4 7 1 0
BITMAP
60
90
10
20
40
00
40
ENDCHAR
STARTCHAR A
ENCODING 65
SWIDTH 667 0
DWIDTH 6 0
BBX 5 7 0 0
BITMAP
20
50
88
F8
88
88
88
ENDCHAR
STARTCHAR g
ENCODING 103
SWIDTH 667 0
DWIDTH 6 0
BBX 4 7 1 -2
BITMAP
70
90
90
70
10
90
60
ENDCHAR
STARTCHAR bar
ENCODING 124
SWIDTH 667 0
DWIDTH 6 0
BBX 1 9 2 -2
BITMAP
80
80
80
80
80
80
80
80
80
ENDCHAR
STARTCHAR block
ENCODING 127
SWIDTH 667 0
DWIDTH 6 0
BBX 6 9 0 -2
BITMAP
FC
FC
FC
FC
FC
FC
FC
FC
FC
ENDCHAR
ENDFONT
)";

LimitedRun runLimited(const std::vector<std::string>& argv, long limitMb, int timeoutSeconds) {
    LimitedRun result;
    TempDir dir;
    std::string errPath = dir.path("stderr");
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
#if defined(HARDENING_UNDER_ASAN)
    // The sanitizer reserves terabytes of shadow memory, so an address-space limit would stop it
    // from starting; its allocator enforces the limit instead (an oversized request returns null).
    std::string asanOptions = "allocator_may_return_null=1:max_allocation_size_mb=" + std::to_string(limitMb) +
                              ":hard_rss_limit_mb=" + std::to_string(limitMb * 2);
    if (const char* inherited = std::getenv("ASAN_OPTIONS")) asanOptions = std::string(inherited) + ":" + asanOptions;
#endif
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int null = ::open("/dev/null", O_RDWR);
        if (err < 0 || null < 0) _exit(127);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err, 2);
#if defined(HARDENING_UNDER_ASAN)
        setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
#else
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(limitMb) << 20;
        setrlimit(RLIMIT_AS, &limit);
#endif
        execv(args[0], args.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    struct rusage usage {};
    for (;;) {
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return result;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = readFile(errPath);
    result.maxResidentKb = usage.ru_maxrss;
    return result;
}
