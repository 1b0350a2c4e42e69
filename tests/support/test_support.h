// Helpers shared by the tests: temporary folders, files, and running programs as a user would.
#pragma once

#include <cstdint>
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
// both outputs. A timeout in seconds kills the process.
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
// Expands a .gz file into `destination` with gzip; false on failure.
bool gunzipFile(const std::string& source, const std::string& destination);
// A BDF font of our own making with one glyph per code, each `width` x `height` pixels with every
// row fully inked, ascent `height`, descent 0.
std::string solidBdf(const std::vector<int>& codes, int width = 5, int height = 7);
// The codes first to last.
std::vector<int> codeRange(int first, int last);
// Converts a PCF file to BDF with pcf2bdf; false on failure.
bool pcfToBdf(const std::string& pcf, const std::string& bdf);
