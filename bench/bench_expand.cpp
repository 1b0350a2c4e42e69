// Expansion speed of the ".Z" and ".gz" filters against `uncompress -c` and `gzip -dc` on the same
// multi-megabyte file, measured in one run; the closing lines give the ratio of their times. Times are CPU seconds (the
// filter's thread, the tool's process), so a busy machine shifts both alike.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "stream/font_stream.h"

extern char** environ;

namespace {

// Real font data: Debian's X11 bitmap fonts expanded and laid end to end, 16 MiB of them.
constexpr const char* CorpusCommand =
    "cat /usr/share/fonts/X11/misc/*.pcf.gz /usr/share/fonts/X11/75dpi/*.pcf.gz "
    "/usr/share/fonts/X11/100dpi/*.pcf.gz | gzip -dc 2>/dev/null | head -c 16777216";

struct Corpus {
    std::string dir;
    std::uintmax_t size = 0;
    std::string path(const std::string& name) const { return dir + "/" + name; }
};

void removeCorpus();

const Corpus& corpus() {
    static Corpus c = [] {
        Corpus made;
        char pattern[] = "/tmp/bench-expand-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        made.dir = pattern;
        std::string plain = made.dir + "/fonts";
        std::string script = std::string(CorpusCommand) + " > '" + plain + "' && compress -c '" + plain + "' > '" +
                             plain + ".Z' && gzip -9 -n -c '" + plain + "' > '" + plain + ".gz'";
        if (std::system(script.c_str()) != 0) {
            std::fprintf(stderr, "cannot build the corpus (gzip, compress and xfonts-* needed)\n");
            std::exit(1);
        }
        made.size = std::filesystem::file_size(plain);
        std::atexit(removeCorpus);
        return made;
    }();
    return c;
}

void removeCorpus() {
    std::error_code ignored;
    std::filesystem::remove_all(corpus().dir, ignored);
}

// Drains a stream the way the PCF reader's bulk reads do.
std::uintmax_t drain(FontStream* stream) {
    static std::uint8_t block[65536];
    std::uintmax_t total = 0;
    for (std::int32_t n; (n = readBytes(stream, block, sizeof block)) > 0;) total += static_cast<std::uintmax_t>(n);
    return total;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

void expandWithFilter(benchmark::State& state, const char* name) {
    const Corpus& c = corpus();
    std::string path = c.path(name);
    for (auto _ : state) {
        double start = threadSeconds();
        FontStream* stream = openFontFile(path.c_str());
        if (!stream) {
            state.SkipWithError("cannot open the compressed corpus");
            return;
        }
        std::uintmax_t total = drain(stream);
        closeFontFile(stream);
        state.SetIterationTime(threadSeconds() - start);
        if (total != c.size) {
            state.SkipWithError("expanded size differs from the corpus");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.size));
}

// Runs the tool with its output thrown away; its time includes starting the process, which is
// small beside expanding 16 MiB.
void expandWithTool(benchmark::State& state, const char* tool, const char* option, const char* name) {
    const Corpus& c = corpus();
    std::string path = c.path(name);
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv = {const_cast<char*>(tool), const_cast<char*>(option), path.data(), nullptr};
        pid_t pid;
        int rc = posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        if (rc != 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the tool failed");
            return;
        }
        state.SetIterationTime(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.size));
}

BENCHMARK_CAPTURE(expandWithFilter, lzw, "fonts.Z")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(expandWithTool, uncompress, "uncompress", "-c", "fonts.Z")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(expandWithFilter, gzip, "fonts.gz")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(expandWithTool, gzip, "gzip", "-dc", "fonts.gz")->Unit(benchmark::kMillisecond)->UseManualTime();

// Prints, after the usual table, each filter's time as a share of its tool's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run& run : runs)
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        ratio("expandWithFilter/lzw", "expandWithTool/uncompress");
        ratio("expandWithFilter/gzip", "expandWithTool/gzip");
    }

private:
    void ratio(const std::string& ours, const std::string& theirs) {
        auto find = [this](const std::string& name) {
            auto median = times_.find(name + "/manual_time_median");
            return median != times_.end() ? median : times_.find(name + "/manual_time");
        };
        auto a = find(ours), b = find(theirs);
        if (a == times_.end() || b == times_.end() || b->second <= 0) return;
        std::printf("%s / %s: %.3f (below 1: the filter is faster)\n", ours.c_str(), theirs.c_str(),
                    a->second / b->second);
    }
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
