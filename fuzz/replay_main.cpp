// Stands in for libFuzzer's driver: runs the fuzz target once on every file named on the command
// line, or on every file of a named folder, so a corpus replays under any compiler and sanitizer.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"

namespace fs = std::filesystem;

namespace {
bool replayFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A heap copy of exactly the input's size, so the sanitizers catch a read one past its end.
    std::vector<std::uint8_t> exact(data.begin(), data.end());
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int k = 1; k < argc; ++k) {
        fs::path arg = argv[k];
        std::error_code error;
        if (!fs::is_directory(arg, error)) {
            if (!replayFile(arg)) return 1;
            ++replayed;
            continue;
        }
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(arg, error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            if (!replayFile(file)) return 1;
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    // An empty corpus means the seeds went missing, not that all is well.
    return replayed > 0 ? 0 : 1;
}
