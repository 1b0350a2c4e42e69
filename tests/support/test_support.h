// Helpers shared by the tests: temporary folders, files, and running programs as a user would.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// A fresh folder under the build tree, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

struct RunResult {
    int exitStatus = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs argv[0] (searched in PATH when it has no slash) with the given standard input, capturing
// both outputs. A timeout in seconds kills the process and those it started.
RunResult runCommand(const std::vector<std::string>& argv, const std::string& input = "", int timeoutSeconds = 300);
// Runs a shell command line with /bin/sh -c.
RunResult runShell(const std::string& commandLine, int timeoutSeconds = 300);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
bool fileExists(const std::string& path);

std::string varnelPath();
std::string corvanePath();
std::string samplesDir();
// Full path of a program in PATH, or "" when it is not installed.
std::string findTool(const std::string& name);

// The real fonts of Debian's xfonts packages under /usr/share/fonts/X11/<folder> (*.pcf.gz),
// sorted by name; folders such as "misc", "75dpi", "100dpi".
std::vector<std::string> realFontFiles(const std::vector<std::string>& folders);
// The step through those fonts for the tests that walk them: 1, or 10 in the sanitizer build,
// where every tenth font reaches every reader path at a tenth of the cost (COMPILE_FONTS_CORPUS=full
// in the environment, as make check-full sets it, takes every font there too).
std::size_t corpusStride();
// Expands a .gz file into `destination` with gzip; false on failure.
bool gunzipFile(const std::string& source, const std::string& destination);
// A BDF font of our own making with one glyph per code, each `width` x `height` pixels with every
// row fully inked, ascent `height`, descent 0, and any further property lines given.
std::string solidBdf(const std::vector<int>& codes, int width = 5, int height = 7,
                     const std::vector<std::string>& properties = {});
// The codes first to last.
std::vector<int> codeRange(int first, int last);

// Little-endian integers in a file's bytes; reading or writing past the end throws, which fails
// the test instead of reading what is not there.
inline std::uint32_t le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes.at(at)) | std::uint32_t{static_cast<std::uint8_t>(bytes.at(at + 1))} << 8;
}
inline std::uint32_t le32(const std::string& bytes, std::size_t at) { return le16(bytes, at) | le16(bytes, at + 2) << 16; }
inline void put16(std::string& bytes, std::size_t at, std::uint32_t value) {
    bytes.at(at) = static_cast<char>(value & 0xFF);
    bytes.at(at + 1) = static_cast<char>(value >> 8 & 0xFF);
}
inline void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}
// A BDF font of a few kilobytes whose face passes the largest the writer writes: a dot advancing
// 32760 pixels beside a bar 2100 rows tall, so the dot's cell and the sentinel's take 8.6 MB each.
std::string pastLargestFaceBdf();
// A font of bench/gen_fonts.py by its name there ("big64x64"), written as <dir>/<name>.bdf, and
// with `pcf` also through bdftopcf as <dir>/<name>.pcf; the BDF's path, or "" when that failed.
std::string generatedFont(const std::string& dir, const std::string& name, bool pcf = false);
// Converts a PCF file to BDF with pcf2bdf; false on failure.
bool pcfToBdf(const std::string& pcf, const std::string& bdf);

// One font of each Debian font package the tests read, to name in REQUIRE_INSTALLED.
inline const std::string XfontsBase = "/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz";
inline const std::string Xfonts75dpi = "/usr/share/fonts/X11/75dpi/courR12-ISO8859-1.pcf.gz";
inline const std::string Xfonts100dpi = "/usr/share/fonts/X11/100dpi/courR12-ISO8859-1.pcf.gz";
inline const std::string XfontsTerminus = "/usr/share/fonts/X11/misc/ter-u12b_iso-8859-1.pcf.gz";
inline const std::string XfontsUnifont = "/usr/share/fonts/X11/misc/unifont.pcf.gz";

// What a test needs from the system: programs by name ("bdftopcf") and fonts or font folders by
// path under /usr/share/fonts/X11. "" when all are there; otherwise what is missing and the Debian
// package that installs it.
std::string missingFromSystem(std::initializer_list<std::string> needs);
// CI=true: a run there must not pass by skipping what it could not find.
bool runningInCi();

// Skips the test when something it needs is not installed, naming the package; in CI the test
// fails instead.
#define REQUIRE_INSTALLED(...)                                                              \
    do {                                                                                    \
        if (std::string missing_ = missingFromSystem({__VA_ARGS__}); !missing_.empty()) {   \
            if (runningInCi()) FAIL() << missing_ << " (required in CI)";                   \
            GTEST_SKIP() << missing_;                                                       \
        }                                                                                   \
    } while (false)
