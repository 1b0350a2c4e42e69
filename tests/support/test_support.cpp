#include "tests/support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = std::string(TEST_BINARY_DIR) + "/tmp-XXXXXX";
    fs::create_directories(TEST_BINARY_DIR);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

RunResult runCommand(const std::vector<std::string>& argv, const std::string& input, int timeoutSeconds) {
    RunResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) || pipe(outPipe) || pipe(errPipe)) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A process group of its own, so the timeout ends what the child started too (a shell's or a
    // script's programs), which would otherwise keep the pipes open and this loop waiting.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid;
    int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        result.err = std::string("cannot start ") + argv[0] + ": " + strerror(rc);
        return result;
    }
    // Feed the input and drain both outputs without blocking on any one of them.
    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    int inFd = inPipe[1];
    // Non-blocking, so a child that writes much before reading all its input cannot deadlock us.
    fcntl(inFd, F_SETFL, fcntl(inFd, F_GETFL) | O_NONBLOCK);
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool outOpen = true, errOpen = true, killed = false;
    while (outOpen || errOpen || inFd >= 0) {
        std::vector<pollfd> fds;
        if (outOpen) fds.push_back({outPipe[0], POLLIN, 0});
        if (errOpen) fds.push_back({errPipe[0], POLLIN, 0});
        if (inFd >= 0) fds.push_back({inFd, POLLOUT, 0});
        int ready = poll(fds.data(), fds.size(), 200);
        const auto now = std::chrono::steady_clock::now();
        if (now > deadline && !killed) {
            kill(-pid, SIGKILL);
            killed = true;
        }
        // A process that left the group still holds the pipes: what it may say is not waited for.
        if (killed && now > deadline + std::chrono::seconds(5)) break;
        if (ready <= 0) continue;
        for (auto& p : fds) {
            if (!p.revents) continue;
            if (p.fd == inFd) {
                ssize_t n = write(inFd, input.data() + written, input.size() - written);
                if (n > 0) written += static_cast<size_t>(n);
                if ((n < 0 && errno != EAGAIN) || written == input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            char buffer[65536];
            ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n <= 0) {
                if (p.fd == outPipe[0]) outOpen = false;
                else errOpen = false;
                continue;
            }
            (p.fd == outPipe[0] ? result.out : result.err).append(buffer, static_cast<size_t>(n));
        }
    }
    if (inFd >= 0) close(inFd);
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

RunResult runShell(const std::string& commandLine, int timeoutSeconds) {
    return runCommand({"/bin/sh", "-c", commandLine}, "", timeoutSeconds);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool fileExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string varnelPath() { return VARNEL_PATH; }
std::string corvanePath() { return CORVANE_PATH; }
std::string samplesDir() { return SAMPLES_DIR; }

std::string findTool(const std::string& name) {
    const char* path = getenv("PATH");
    std::string all = path ? path : "/usr/bin:/bin";
    all += ":/usr/sbin:/sbin";
    std::stringstream parts(all);
    std::string dir;
    while (std::getline(parts, dir, ':')) {
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

std::string missingFromSystem(std::initializer_list<std::string> needs) {
    // Programs by the package that brings them; fonts by the folder they install into.
    static const std::pair<const char*, const char*> toolPackages[] = {
        {"bdftopcf", "xfonts-utils"}, {"pcf2bdf", "pcf2bdf"}, {"compress", "ncompress"}, {"gzip", "gzip"},
        {"ots-sanitize", "opentype-sanitizer"}};
    static const std::pair<const char*, const char*> fontPackages[] = {{"/misc/ter-", "xfonts-terminus"},
                                                                       {"/misc/unifont", "xfonts-unifont"},
                                                                       {"/misc", "xfonts-base"},
                                                                       {"/75dpi", "xfonts-75dpi"},
                                                                       {"/100dpi", "xfonts-100dpi"}};
    std::string missing, packages;
    for (const std::string& need : needs) {
        bool isFont = need.front() == '/';
        if (isFont ? fileExists(need) : !findTool(need).empty()) continue;
        std::string package = "?";
        if (isFont) {
            for (const auto& [part, name] : fontPackages)
                if (need.find(part) != std::string::npos) {
                    package = name;
                    break;
                }
        } else {
            package = need;
            for (const auto& [tool, name] : toolPackages)
                if (need == tool) package = name;
        }
        missing += (missing.empty() ? "" : ", ") + need;
        if (packages.find(package) == std::string::npos) packages += " " + package;
    }
    if (missing.empty()) return "";
    return "not installed: " + missing + " (apt-get install" + packages + ")";
}

bool runningInCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

std::vector<std::string> realFontFiles(const std::vector<std::string>& folders) {
    std::vector<std::string> files;
    for (const auto& folder : folders) {
        fs::path dir = fs::path("/usr/share/fonts/X11") / folder;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            std::string name = entry.path().string();
            if (name.size() > 7 && name.compare(name.size() - 7, 7, ".pcf.gz") == 0) files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::size_t corpusStride() {
#if defined(CORPUS_SAMPLED)
    const char* corpus = std::getenv("COMPILE_FONTS_CORPUS");
    if (!corpus || std::string(corpus) != "full") return 10;
#endif
    return 1;
}

bool gunzipFile(const std::string& source, const std::string& destination) {
    RunResult r = runCommand({"gzip", "-dc", source});
    if (r.exitStatus != 0) return false;
    writeFile(destination, r.out);
    return true;
}

bool pcfToBdf(const std::string& pcf, const std::string& bdf) {
    RunResult r = runCommand({"pcf2bdf", "-o", bdf, pcf});
    return r.exitStatus == 0 && fileExists(bdf);
}

std::string solidBdf(const std::vector<int>& codes, int width, int height, const std::vector<std::string>& properties) {
    std::string rowHex;
    int bytes = (width + 7) / 8;
    for (int b = 0; b < bytes; ++b) rowHex += "FF";
    std::string s = "STARTFONT 2.1\nFONT test\nSIZE 8 75 75\nFONTBOUNDINGBOX " + std::to_string(width) + " " +
                    std::to_string(height) + " 0 0\nSTARTPROPERTIES " + std::to_string(2 + properties.size()) +
                    "\nFONT_ASCENT " + std::to_string(height) + "\nFONT_DESCENT 0\n";
    for (const std::string& property : properties) s += property + "\n";
    s += "ENDPROPERTIES\nCHARS " + std::to_string(codes.size()) + "\n";
    for (int code : codes) {
        s += "STARTCHAR c" + std::to_string(code) + "\nENCODING " + std::to_string(code) +
             "\nSWIDTH 500 0\nDWIDTH " + std::to_string(width) + " 0\nBBX " + std::to_string(width) + " " +
             std::to_string(height) + " 0 0\nBITMAP\n";
        for (int r = 0; r < height; ++r) s += rowHex + "\n";
        s += "ENDCHAR\n";
    }
    return s + "ENDFONT\n";
}

std::string pastLargestFaceBdf() {
    std::string s = "STARTFONT 2.1\nFONT wide\nSIZE 8 75 75\nFONTBOUNDINGBOX 1 2100 0 0\nSTARTPROPERTIES 2\n"
                    "FONT_ASCENT 2100\nFONT_DESCENT 0\nENDPROPERTIES\nCHARS 2\n"
                    "STARTCHAR dot\nENCODING 65\nSWIDTH 500 0\nDWIDTH 32760 0\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\n"
                    "STARTCHAR bar\nENCODING 66\nSWIDTH 500 0\nDWIDTH 1 0\nBBX 1 2100 0 0\nBITMAP\n";
    for (int row = 0; row < 2100; ++row) s += "80\n";
    return s + "ENDCHAR\nENDFONT\n";
}

std::string generatedFont(const std::string& dir, const std::string& name, bool pcf) {
    const std::string bdf = dir + "/" + name + ".bdf";
    if (runCommand({"python3", samplesDir() + "/../bench/gen_fonts.py", dir, name}).exitStatus != 0) return "";
    if (pcf && runCommand({"bdftopcf", "-o", dir + "/" + name + ".pcf", bdf}).exitStatus != 0) return "";
    return bdf;
}

std::vector<int> codeRange(int first, int last) {
    std::vector<int> v;
    for (int c = first; c <= last; ++c) v.push_back(c);
    return v;
}
