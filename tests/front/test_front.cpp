// The command line and the conversion run: parsing, messages, exit status, output removal.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "font/code_page.h"
#include "front/face_name.h"
#include "front/run.h"
#include "front/truetype_output.h"
#include "tests/support/test_support.h"

// The run's message sink and file removal, captured in-process.
namespace {
std::vector<std::string> messages;
std::vector<std::string> deleted;
std::vector<std::string> shown;  // --help and --version texts
}  // namespace

void showInformation(const std::string& text) { shown.push_back(text); }

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    messages.push_back(formatMessage(format, args));
    va_end(args);
}

void deleteOutputFile(const char* path) { deleted.emplace_back(path); }

void reportNote(const char* format, ...) {
    va_list args;
    va_start(args, format);
    messages.push_back(formatMessage(format, args));
    va_end(args);
}

namespace {
struct ReaderCall {
    int bitOrder, byteOrder, glyphPad, scanUnit;
};
std::vector<ReaderCall> readerCalls;

int failingReader(Font*, FontStream*, int bitOrder, int byteOrder, int glyphPad, int scanUnit, ReadReason* reason) {
    readerCalls.push_back({bitOrder, byteOrder, glyphPad, scanUnit});
    noteReason(reason, "line %d: refused", 1);
    return StatusFail;
}

const Program fakeProgram = {{"fake", "fak"}, failingReader};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages.clear();
        deleted.clear();
        shown.clear();
        readerCalls.clear();
        writeFile(dir.path("in.bdf"), "data");
    }
    // The words of `line` split at blanks and tabs, as a shell would, IN naming the input.
    int run(const std::string& line) {
        std::istringstream split(line);
        std::vector<std::string> words;
        for (std::string word; split >> word;) words.push_back(word == "IN" ? dir.path("in.bdf") : word);
        return runConversion(fakeProgram, words);
    }
    TempDir dir;
};

TEST_F(RunTest, UsageErrors) {
    for (const char* line : {"", " \t  ", "-o out.fon", "IN", "IN -o", "-p3 -o a IN", "-p16 -o a IN", "-p -o a IN",
                             "-u8 -o a IN", "-u3 -o a IN", "-mm -o a IN", "- -o a IN", "-x -o a IN", "-tt -o a IN",
                             "-mx -o a IN", "-Lx -o a IN", "-i2 -o a IN", "-- -o a IN", "--x -o a IN",
                             "--help=1", "--versions", "-help", "-x --help", "-o a IN -c 1253x --version"}) {
        messages.clear();
        EXPECT_EQ(run(line), 1) << line;
        ASSERT_EQ(messages.size(), 1u) << line;
        EXPECT_EQ(messages[0].rfind("usage: fake [-p#] ", 0), 0u) << line;
        EXPECT_NE(messages[0].find(" fon_file fak_file... where "), std::string::npos) << line;
        EXPECT_TRUE(readerCalls.empty()) << line;
        EXPECT_TRUE(shown.empty()) << line;
    }
}

// A usage error that can say what is wrong says it in a line before the usage text; nothing is
// read or written.
TEST_F(RunTest, UsageErrorsThatSayWhy) {
    const std::string in = dir.path("in.bdf");
    const struct {
        std::string line, why;
    } cases[] = {
        {"-o x.fon --preview x.fon IN",
         "--preview x.fon names the output: the picture would replace the font it shows."},
        {"--preview IN -o x.fon IN",
         "--preview " + in + " names an input: the picture would replace a font it is made from."},
        {"--preview= -o x.fon IN", "--preview is given an empty value."},
        {"--face= -o x.fon IN", "--face is given an empty value."},
        {"-o x.fon IN --preview-scale 2", "--preview-scale sizes the picture of --preview, which is not given."},
    };
    for (const auto& c : cases) {
        messages.clear();
        EXPECT_EQ(run(c.line), 1) << c.line;
        ASSERT_EQ(messages.size(), 1u) << c.line;
        EXPECT_EQ(messages[0].substr(0, messages[0].find('\n')), c.why);
        EXPECT_EQ(messages[0].find("\nusage: fake [-p#] "), c.why.size()) << c.line;
        EXPECT_TRUE(readerCalls.empty()) << c.line;
    }
}

// --help and --version answer wherever they stand, unless a usage error comes first or -o takes
// them as its file; nothing is opened.
TEST_F(RunTest, HelpAndVersion) {
    const char* help = "usage: fake [-p#] ";
    const struct {
        const char* line;
        const char* starts;
    } cases[] = {{"--help", help}, {"-p4 --help -x", help}, {"-o a IN --help --version", help},
                 {"--version --help", "fake "}, {"--version", "fake "}};
    for (const auto& c : cases) {
        shown.clear();
        EXPECT_EQ(run(c.line), 0) << c.line;
        ASSERT_EQ(shown.size(), 1u) << c.line;
        EXPECT_EQ(shown[0].rfind(c.starts, 0), 0u) << c.line;
        EXPECT_TRUE(messages.empty() && readerCalls.empty()) << c.line;
    }
    EXPECT_EQ(run("-o --help IN"), 1);
    EXPECT_EQ(readerCalls.size(), 1u);
}

TEST_F(RunTest, OptionsReachTheReader) {
    struct Case {
        const char* line;
        ReaderCall expected;
    } cases[] = {
        {"-o a IN", {1, 1, 2, 1}},
        {"IN -oa", {1, 1, 2, 1}},
        {"-l -L -p8 -u4 -o a IN", {0, 0, 8, 4}},
        {"-p1 -p8 -u2 -l -m -o a IN", {1, 1, 8, 2}},
        {"-t -i\t-M -o a IN", {1, 1, 2, 1}},
        {"-p4 IN -o a", {1, 1, 4, 1}},
    };
    for (const auto& c : cases) {
        readerCalls.clear();
        messages.clear();
        EXPECT_EQ(run(c.line), 1);
        ASSERT_EQ(readerCalls.size(), 1u) << c.line;
        const auto& got = readerCalls[0];
        EXPECT_EQ(got.bitOrder, c.expected.bitOrder) << c.line;
        EXPECT_EQ(got.byteOrder, c.expected.byteOrder) << c.line;
        EXPECT_EQ(got.glyphPad, c.expected.glyphPad) << c.line;
        EXPECT_EQ(got.scanUnit, c.expected.scanUnit) << c.line;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "fak input, " + dir.path("in.bdf") + ", corrupt\r\n(line 1: refused)");
    }
}

TEST_F(RunTest, ReaderFailureCreatesNoOutputAndLeavesAnExistingOneAlone) {
    writeFile(dir.path("old.fon"), "precious");
    EXPECT_EQ(run("-o " + dir.path("old.fon") + " IN"), 1);
    EXPECT_EQ(readFile(dir.path("old.fon")), "precious");
    EXPECT_EQ(run("-o " + dir.path("new.fon") + " IN"), 1);
    EXPECT_FALSE(fileExists(dir.path("new.fon")));
    EXPECT_TRUE(deleted.empty());
}

TEST_F(RunTest, MissingInput) {
    std::string missing = dir.path("missing.bdf");
    EXPECT_EQ(run("-o a " + missing), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "can't open fak source file " + missing);
    EXPECT_TRUE(readerCalls.empty());
}

TEST(TrueTypeOutput, ChosenByTheNamesEndInAnyCase) {
    for (const char* name : {"a.ttf", "A.TTF", "dir.fon/x.Ttf", ".ttf"}) EXPECT_TRUE(isTrueTypeOutput(name)) << name;
    for (const char* name : {"a.fon", "a.ttf.fon", "ttf", "a.ttf ", "a.otf", ""}) EXPECT_FALSE(isTrueTypeOutput(name)) << name;
}

TEST(FontBaseName, TakesTheNameAfterBothSeparatorsUpToTheFirstStop) {
    EXPECT_EQ(fontBaseName("C:\\fonts\\my.font.fon"), "my");
    EXPECT_EQ(fontBaseName("out/cour10.fon"), "cour10");
    EXPECT_EQ(fontBaseName("a/b.c\\d"), "d");
    EXPECT_EQ(fontBaseName("fonts\\.fon"), "");
    EXPECT_EQ(fontBaseName("dir\\sub.d\\font.old.fon"), "font");
    EXPECT_EQ(fontBaseName("font"), "font");
    // A drive letter goes where paths have them; elsewhere a colon is part of a file name.
    for (bool drives : {true, false}) EXPECT_EQ(fontBaseName("Z:drive.fon", drives), drives ? "drive" : "Z:drive");
    EXPECT_EQ(fontBaseName("c:\\f\\a:b.fon", true) + fontBaseName("1:x.fon", true), "a:b1:x");
}

// The face name in the font's character set, or the first character that keeps it out.
TEST(FaceName, IsWrittenInTheFontsCharacterSet) {
    const struct {
        const char *name, *page;  // page null: none
        const char* bytes;
        std::uint32_t refused;
    } cases[] = {
        {"Fixed Sys-12", nullptr, "Fixed Sys-12", 0}, {"выход", "1251", "\xE2\xFB\xF5\xEE\xE4", 0},
        {"Café", "1252", "Caf\xE9", 0}, {"Café", "850", "Caf\x82", 0},
        {"выход", nullptr, "", 0x432}, {"выход", "1252", "", 0x432}, {"Café", "symbol", "", 0xE9},
        {"a\tb", nullptr, "", 9}, {"a\u0085", "1252", "", 0x85},
        {"\x01", "437", "", 1},            // a graphic in the console, a control in a name
        {"\uFFFF", "1252", "", 0xFFFF},    // what the tables hold for an undefined byte
        {"Caf\xE9", "1252", "", 0xFFFD},  // Latin-1, not UTF-8
        {"\xC3", "1252", "", 0xFFFD}, {"\xED\xA0\x80", "1252", "", 0xFFFD},  // cut short; a surrogate
    };
    for (const auto& c : cases) {
        CodePageRequest request;
        request.symbol = c.page && std::string(c.page) == "symbol";
        request.page = c.page && !request.symbol ? findCodePage(c.page) : nullptr;
        std::string bytes;
        const FaceNameBytes result = encodeFaceName(c.name, request, bytes);
        EXPECT_EQ(result.ok ? bytes : "", c.bytes) << c.name;
        EXPECT_EQ(result.ok ? 0u : result.refused, c.refused) << c.name;
    }
}

TEST(DefaultBitmapFormat, IsMsbFirstPadTwoUnitOne) {
    int a = 0, b = 0, c = 0, d = 0;
    defaultBitmapFormat(&a, &b, &c, &d);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(d, 1);
}

// The built programs, run as a user would: exact text on standard error, nothing on standard output.
TEST(Programs, UsageAndOpenMessages) {
    const std::string optionsLine =
        "       [-c codepage[,codepage...]] [-v] [--face name] [--preview png_file] [--preview-scale n] where "
        "codepage is 1250 to 1258, 874, 437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869 or "
        "symbol and n is 1 to 8\n";
    const auto usage = [&](const std::string& program, const char* input) {
        return "Compile Fonts: usage: " + program + " [-p#] [-u#] [-m] [-l] [-M] [-L] [-t] [-i] -o fon_file " +
               input + "_file... where # for -p is 1, 2, 4, or 8 and # for -u is 1, 2, or 4\n" + optionsLine +
               "       " + program + " --help | --version\n";
    };
    const std::string varnelUsage = usage("varnel", "bdf"), corvaneUsage = usage("corvane", "pcf");
    RunResult r = runCommand({varnelPath()});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, varnelUsage);
    EXPECT_EQ(r.out, "");
    r = runCommand({corvanePath(), "-p3", "-o", "x.fon", "x.pcf"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, corvaneUsage);

    TempDir dir;
    r = runCommand({varnelPath(), "-o", dir.path("a.fon"), dir.path("none.bdf")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: can't open bdf source file " + dir.path("none.bdf") + "\n");
    r = runCommand({corvanePath(), "-o", dir.path("a.fon"), dir.path("none.pcf")});
    EXPECT_EQ(r.err, "Compile Fonts: can't open pcf source file " + dir.path("none.pcf") + "\n");

    // A directory opens, and the read then fails as corrupt.
    r = runCommand({varnelPath(), "-o", dir.path("a.fon"), dir.dir()});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Compile Fonts: bdf input, " + dir.dir() + ", corrupt\r\n(the file is empty: STARTFONT 2.1 expected)\n");
    r = runCommand({corvanePath(), "-o", dir.path("a.fon"), dir.dir()});
    EXPECT_EQ(r.err, "Compile Fonts: pcf input, " + dir.dir() + ", corrupt\r\n(file header: the file ends at byte 0)\n");
    EXPECT_FALSE(fileExists(dir.path("a.fon")));

    // Messages are never cut, however long the path.
    std::string longName = dir.path(std::string(300, 'n') + ".bdf");
    r = runCommand({varnelPath(), "-o", dir.path("a.fon"), longName});
    EXPECT_EQ(r.err, "Compile Fonts: can't open bdf source file " + longName + "\n");
}

// A font of height 0 has no rows for any reader to draw: refused, as a font and in a code page,
// and no file is left.
TEST(Programs, AFontWithoutRowsIsRefused) {
    TempDir dir;
    writeFile(dir.path("flat.bdf"), solidBdf(codeRange(65, 70), 5, 0));
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-csymbol"}}) {
        std::vector<std::string> argv{varnelPath(), "-o", dir.path("flat.fon"), dir.path("flat.bdf")};
        argv.insert(argv.begin() + 1, options.begin(), options.end());
        RunResult r = runCommand(argv);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err, "Compile Fonts: Font flat not created:  its height is 0, and no program draws a font without "
                         "rows.\n");
        EXPECT_FALSE(fileExists(dir.path("flat.fon")));
    }
}

// The two texts asked for go to standard output with status 0; a path with blanks is one word.
TEST(Programs, HelpVersionAndPathsWithBlanks) {
    for (const auto& [path, name] : {std::pair{varnelPath(), "varnel"}, std::pair{corvanePath(), "corvane"}}) {
        RunResult r = runCommand({path, "--version"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, std::string(name) + " " PROJECT_VERSION "\n");
        EXPECT_EQ(r.err, "");
        r = runCommand({path, "--help"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: ") + name + " [-p#]", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
        // Below the usage lines, which stay as the programs have always shown them, every line
        // fits a terminal of 80 columns.
        std::istringstream lines(r.out.substr(r.out.find("\n\n")));
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
    }
    TempDir dir;
    ASSERT_EQ(runShell("mkdir '" + dir.path("my fonts") + "'").exitStatus, 0);
    writeFile(dir.path("my fonts/a b.bdf"), solidBdf(codeRange(32, 126)));
    RunResult r = runCommand({varnelPath(), "-o", dir.path("my fonts/c d.fon"), dir.path("my fonts/a b.bdf")});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(readFile(dir.path("my fonts/c d.fon")).find("FONTRES 133, 96, 72: c d"), std::string::npos);
}
// A .ttf output through both programs and their inputs: a family of sizes, -v, the preview, and
// the refusals, which name both inputs and leave an existing file as it was.
TEST(Programs, TrueTypeOutput) {
    TempDir dir;
    writeFile(dir.path("a7.bdf"), solidBdf(codeRange(32, 126), 5, 7, {"WEIGHT_NAME \"Medium\""}));
    writeFile(dir.path("a9.bdf"), solidBdf(codeRange(32, 126), 5, 9, {"WEIGHT_NAME \"Medium\""}));
    writeFile(dir.path("b9.bdf"), solidBdf(codeRange(32, 126), 5, 9, {"WEIGHT_NAME \"Bold\""}));
    ASSERT_EQ(runCommand({"bdftopcf", "-o", dir.path("a9.pcf"), dir.path("a9.bdf")}).exitStatus, 0);
    ASSERT_EQ(runShell("gzip -c '" + dir.path("a9.pcf") + "' > '" + dir.path("a9.pcf.gz") + "'").exitStatus, 0);
    const std::string old = dir.path("old.tTf"), a7 = dir.path("a7.bdf"), a9 = dir.path("a9.bdf"), b9 = dir.path("b9.bdf");
    const struct {
        std::vector<std::string> args;
        int exitStatus;
        std::string err;  // what standard error starts with
    } cases[] = {
        {{varnelPath(), "-v", "-o", dir.path("one.TTF"), a7}, 0, "Compile Fonts: Font one: TrueType, "},
        {{varnelPath(), "-o", dir.path("two.ttf"), "--preview", dir.path("two.png"), a9, a7}, 0, ""},
        {{corvanePath(), "-o", dir.path("pcf.ttf"), dir.path("a9.pcf.gz")}, 0, ""},
        {{varnelPath(), "-o", old, a7, a7}, 1, "Compile Fonts: Fonts " + a7 + " and " + a7 + " not combined:  a TrueType "
                                               "font holds one strike per pixel size"},
        {{varnelPath(), "-o", old, a7, b9}, 1, "Compile Fonts: Fonts " + a7 + " and " + b9 + " not combined:  a TrueType "
                                               "font holds the sizes of one style"},
        // Refused before any input is read: the missing one goes unnoticed.
        {{corvanePath(), "-csymbol,1252", "-o", old, dir.path("none.pcf")}, 1,
         "Compile Fonts: Font " + old + " not created:  -c does not apply to a TrueType font"},
    };
    for (const auto& c : cases) {
        writeFile(old, "precious");
        const RunResult r = runCommand(c.args);
        EXPECT_EQ(r.exitStatus, c.exitStatus) << c.args[3] << r.err;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(readFile(old), "precious");
    }
    EXPECT_EQ(readFile(dir.path("one.TTF")).substr(0, 4), std::string("\0\1\0\0", 4));
    EXPECT_EQ(readFile(dir.path("two.png")).substr(1, 3), "PNG");
    EXPECT_TRUE(fileExists(dir.path("pcf.ttf")));
}
}  // namespace
