// Whole conversions through the built programs: output naming, failed writes and what is left behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {
// Runs varnel with a file-size limit in a child process; returns its exit status and stderr.
RunResult runWithFileSizeLimit(const std::vector<std::string>& args, rlim_t limit) {
    int errPipe[2];
    RunResult result;
    if (pipe(errPipe) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(errPipe[1], 2);
        close(errPipe[0]);
        close(errPipe[1]);
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errPipe[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;) result.err.append(buffer, static_cast<size_t>(n));
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(dir.path("in.bdf"), solidBdf(codeRange(32, 126))); }
    RunResult varnel(const std::string& args) {
        return runShell("cd '" + dir.dir() + "' && exec '" + varnelPath() + "' " + args);
    }
    TempDir dir;
};

TEST_F(ConversionTest, OutputNamingForms) {
    RunResult r = varnel("-o a.fon in.bdf");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    std::string reference = readFile(dir.path("a.fon"));
    ASSERT_FALSE(reference.empty());

    ASSERT_EQ(varnel("-ob.fon in.bdf").exitStatus, 0);
    // The base name goes into the file, so compare a same-named output made in another folder.
    ASSERT_EQ(runShell("mkdir -p '" + dir.path("x") + "'").exitStatus, 0);
    ASSERT_EQ(varnel("-t -i -o x/a.fon in.bdf").exitStatus, 0);
    EXPECT_EQ(readFile(dir.path("x/a.fon")), reference);
    ASSERT_EQ(varnel("in.bdf -oc.fon -o x/a.fon").exitStatus, 0);
    EXPECT_FALSE(fileExists(dir.path("c.fon")));
    EXPECT_EQ(readFile(dir.path("x/a.fon")), reference);
    // -o takes the next word whatever it looks like.
    ASSERT_EQ(varnel("-o -x in.bdf").exitStatus, 0);
    EXPECT_TRUE(fileExists(dir.path("-x")));
}

TEST_F(ConversionTest, WriterRefusalsDeleteTheOutputEvenIfItExisted) {
    writeFile(dir.path("rows.bdf"), solidBdf({65, 0x141}));
    writeFile(dir.path("old.fon"), "precious");
    RunResult r = varnel("-o old.fon rows.bdf");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Font old not created:  too many characters.\r\n(Its codes pass 255: choose a code "
                     "page with -c, or write TrueType with -o NAME.ttf.)\n");
    EXPECT_FALSE(fileExists(dir.path("old.fon")));

    writeFile(dir.path("big.bdf"), pastLargestFaceBdf());
    r = varnel("-o big.out.fon big.bdf");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Font big not created:  too large.\r\n(Use PCF format.)\n");
    EXPECT_FALSE(fileExists(dir.path("big.out.fon")));
}

// The face name (the output's base name, or --face) is written in each font's character set: in
// the font resource, its directory entry and the module's name and description; a name a font
// cannot hold is refused before anything is written; -v tells when Windows keeps only 31 characters.
TEST_F(ConversionTest, FaceNamesInTheFontsCharacterSet) {
    writeFile(dir.path("u.bdf"),
              solidBdf(codeRange(0x410, 0x44F), 5, 7, {"CHARSET_REGISTRY \"ISO10646\"", "CHARSET_ENCODING \"1\""}));
    const std::string n30(30, 'n'), refused = "Compile Fonts: Font name выход not written:  ";
    const struct {
        std::string args, err, nameBytes;  // no nameBytes: refused, no output
    } cases[] = {
        {"-c 1251 -o выход.fon u.bdf", "", "\xE2\xFB\xF5\xEE\xE4"},
        {"--face 'Fixed Sys' -o выход.fon in.bdf", "", "Fixed Sys"},
        {"-o выход.fon in.bdf",
         refused + "a font of no code page, or of symbol, names itself in printable ASCII, which has no U+0432.\r\n"
                   "(Choose another with --face NAME, or a code page with -c.)\n",
         ""},
        {"-c 1251,1252 --face выход -o выход.fon u.bdf",
         refused + "code page 1252 has no U+0432.\r\n(Choose another with --face NAME.)\n", ""},
        {"-v -c 1251 --face ы" + n30 + "n -o выход.fon u.bdf",
         "Compile Fonts: Font name ы" + n30 + "n has 32 characters; Windows keeps the first 31: ы" + n30 + ".\n",
         "\xFB" + n30 + "n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path("выход.fon"));
        RunResult r = varnel(c.args);
        EXPECT_EQ(r.exitStatus, c.nameBytes.empty() ? 1 : 0) << c.args;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
        const std::string fon = fileExists(dir.path("выход.fon")) ? readFile(dir.path("выход.fon")) : "";
        std::size_t held = 0;
        for (std::size_t at = 0; !c.nameBytes.empty() && (at = fon.find(c.nameBytes, at)) != std::string::npos; ++at)
            ++held;
        EXPECT_EQ(held, c.nameBytes.empty() ? 0u : 4u) << c.args;
        EXPECT_EQ(fon.empty(), c.nameBytes.empty()) << c.args;
    }
}

TEST_F(ConversionTest, AFailedFinalFlushIsReportedAndTheOutputRemoved) {
    writeFile(dir.path("in.bdf"), solidBdf(codeRange(32, 126), 24, 32));
    ASSERT_EQ(varnel("-o full.fon in.bdf").exitStatus, 0);
    auto size = static_cast<rlim_t>(readFile(dir.path("full.fon")).size());
    ASSERT_GT(size, 8192u + 16) << "the font must need more than one buffer";
    // The first block fits; the final flush at close does not.
    RunResult r = runWithFileSizeLimit({varnelPath(), "-o", dir.path("cut.fon"), dir.path("in.bdf")}, size - 8);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: Can't output to file " + dir.path("cut.fon") + " (reason unknown).\n");
    EXPECT_FALSE(fileExists(dir.path("cut.fon")));
    // A limit below the first block fails in the middle of writing.
    r = runWithFileSizeLimit({varnelPath(), "-o", dir.path("cut2.fon"), dir.path("in.bdf")}, 100);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_FALSE(fileExists(dir.path("cut2.fon")));
}

// Neither the font nor its picture ever takes the place of an input, however its name is spelled:
// such a run is refused before anything is written, the input kept as it was. A picture that is
// the font just written is refused once the font is written, which stays.
TEST_F(ConversionTest, NoOutputOrPictureTakesTheInputsOrTheFontsPlace) {
    ASSERT_EQ(varnel("-o f.fon in.bdf").exitStatus, 0);
    const std::string font = readFile(dir.path("f.fon")), input = readFile(dir.path("in.bdf"));
    ASSERT_EQ(runShell("cd '" + dir.dir() + "' && mkdir x && ln -s f.fon link.fon && ln in.bdf hard.bdf && "
                       "ln -s in.bdf soft.bdf && cp in.bdf other.bdf").exitStatus, 0);
    const std::string asInput = "Compile Fonts: File %s not created:  it is the input %s, which it would overwrite.\n";
    auto message = [&](const std::string& path, const std::string& in) {
        std::string text = asInput;
        text.replace(text.find("%s"), 2, path);
        return text.replace(text.find("%s"), 2, in);
    };
    struct Case {
        std::string arguments, message;
        bool fontWritten;
    } cases[] = {
        {"-o in.bdf in.bdf", message("in.bdf", "in.bdf"), false},
        {"-o ./x/../in.bdf in.bdf", message("./x/../in.bdf", "in.bdf"), false},
        {"-o hard.bdf other.bdf in.bdf", message("hard.bdf", "in.bdf"), false},
        {"-o soft.bdf in.bdf", message("soft.bdf", "in.bdf"), false},
        {"--preview ./in.bdf -o f.fon in.bdf", message("./in.bdf", "in.bdf"), false},
        {"--preview hard.bdf -o f.fon in.bdf", message("hard.bdf", "in.bdf"), false},
        {"--preview ./f.fon -o f.fon in.bdf", "Compile Fonts: Can't create file ./f.fon\n", true},
        {"--preview x/../f.fon -o f.fon in.bdf", "Compile Fonts: Can't create file x/../f.fon\n", true},
        {"--preview link.fon -o f.fon in.bdf", "Compile Fonts: Can't create file link.fon\n", true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.path("f.fon"));
        RunResult r = varnel(c.arguments);
        EXPECT_EQ(r.exitStatus, 1) << c.arguments;
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(fileExists(dir.path("f.fon")), c.fontWritten) << c.arguments;
        if (c.fontWritten) {
            EXPECT_EQ(readFile(dir.path("f.fon")), font) << c.arguments;
        }
        EXPECT_EQ(readFile(dir.path("in.bdf")), input) << c.arguments;
    }
}

TEST_F(ConversionTest, ANonRegularOutputIsNeverDeleted) {
    writeFile(dir.path("rows.bdf"), solidBdf({65, 0x141}));
    ASSERT_EQ(mkfifo(dir.path("pipe").c_str(), 0600), 0);
    RunResult r = varnel("-o pipe rows.bdf");
    EXPECT_EQ(r.exitStatus, 1);
    struct stat st;
    ASSERT_EQ(lstat(dir.path("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
}  // namespace

namespace {
// gzip's trailer holds a check of the member's data; a reader that stops at ENDFONT never gets
// there, so the conversion checks it when it closes the input.
TEST(CompressedConversion, DamageAReaderNeverReachesIsStillCorrupt) {
    TempDir dir;
    writeFile(dir.path("f.bdf"), solidBdf(codeRange(32, 126)));
    ASSERT_EQ(runShell("cd '" + dir.dir() + "' && gzip -9 -k f.bdf").exitStatus, 0);
    std::string packed = readFile(dir.path("f.bdf.gz"));
    ASSERT_GT(packed.size(), 8u);
    auto convert = [&](const std::string& name, const std::string& data) {
        writeFile(dir.path(name), data);
        return runCommand({varnelPath(), "-o", dir.path("out.fon"), dir.path(name)});
    };
    EXPECT_EQ(convert("whole.bdf.gz", packed).exitStatus, 0);
    EXPECT_EQ(convert("junk.bdf.gz", packed + "trailing junk").exitStatus, 0);
    EXPECT_EQ(convert("nul.bdf.gz", packed + '\0').exitStatus, 0);  // one padding byte
    EXPECT_EQ(convert("two.bdf.gz", packed + packed).exitStatus, 0);

    std::string badCheck = packed;
    badCheck[badCheck.size() - 8] ^= 0x55;  // the CRC of the member's data
    RunResult r = convert("crc.bdf.gz", badCheck);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: bdf input, " + dir.path("crc.bdf.gz") +
                         ", corrupt\r\n(compressed data: incorrect data check)\n");
    EXPECT_EQ(convert("cut.bdf.gz", packed.substr(0, packed.size() - 4)).exitStatus, 1);
    EXPECT_EQ(convert("badsecond.bdf.gz", packed + badCheck).exitStatus, 1);
}
}  // namespace
