// Failure injection over whole conversions: every allocation, file write, read, seek, open and
// close of a conversion fails in turn, and each run must either succeed where the design allows
// a quiet loss or end with its one message, exit status 1 and no output file.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bdf/bdf_reader.h"
#include "fon/fon_writer.h"
#include "front/run.h"
#include "pcf/pcf_reader.h"
#include "stream/file_calls.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/freetype_oracle.h"
#include "tests/support/test_support.h"

// The run's message sink and file removal, captured in-process.
namespace {
std::vector<std::string> messages;
// Calls of the standard allocator while a conversion runs: each is an allocation the seam misses.
bool countingStandardAllocations = false;
long standardAllocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (countingStandardAllocations) ++standardAllocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// GCC cannot see that these free what the operator new above took from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

void reportError(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    messages.emplace_back(buffer);
}

void deleteOutputFile(const char* path) { std::remove(path); }

void reportNote(const char*, ...) {}

void showInformation(const std::string&) {}

namespace {
const Program bdfProgram = {{"varnel", "bdf"}, readBdfFont};
const Program pcfProgram = {{"corvane", "pcf"}, readPcfFont};

// Which file call fails, and at which of its calls (1-based) from the start of a run.
enum class Call { None, OpenRead, Create, Read, Write, ShortWrite, Seek, CloseOutput };
Call failingCall = Call::None;
long failingAt = 0;
long callCount[8] = {};

bool failsNow(Call call) {
    long n = ++callCount[static_cast<int>(call)];
    return failingCall == call && n == failingAt;
}
// ShortWrite counts with Write: it is the same call failing differently.
bool writeFailsNow(Call* how) {
    long n = ++callCount[static_cast<int>(Call::Write)];
    *how = failingCall;
    return (failingCall == Call::Write || failingCall == Call::ShortWrite) && n == failingAt;
}

int seamOpenRead(const char* path) { return failsNow(Call::OpenRead) ? -1 : platformFileCalls.openRead(path); }
int seamCreate(const char* path) { return failsNow(Call::Create) ? -1 : platformFileCalls.create(path); }
std::int64_t seamRead(int fd, void* buffer, std::size_t n) {
    return failsNow(Call::Read) ? -1 : platformFileCalls.read(fd, buffer, n);
}
std::int64_t seamWrite(int fd, const void* buffer, std::size_t n) {
    Call how;
    if (!writeFailsNow(&how)) return platformFileCalls.write(fd, buffer, n);
    if (how == Call::Write || n < 2) return -1;
    // A disk that fills up part way: half the bytes arrive.
    return platformFileCalls.write(fd, buffer, n / 2);
}
int seamSeek(int fd, std::int64_t n) { return failsNow(Call::Seek) ? -1 : platformFileCalls.seekForward(fd, n); }
int outputDescriptor = -1;
int seamClose(int fd) {
    bool output = fd == outputDescriptor;
    int closed = platformFileCalls.close(fd);
    if (output && failsNow(Call::CloseOutput)) return -1;
    return closed;
}
int seamCreateTracked(const char* path) {
    int fd = seamCreate(path);
    outputDescriptor = fd;
    return fd;
}

struct Outcome {
    int exitStatus = -1;
    std::vector<std::string> messages;
    bool outputExists = false;
    std::string output;
    long allocations = 0;
    long calls[8] = {};
};

class FailureInjection : public ::testing::Test {
protected:
    void SetUp() override {
        fileCalls = platformFileCalls;
        fileCalls.openRead = seamOpenRead;
        fileCalls.create = seamCreateTracked;
        fileCalls.read = seamRead;
        fileCalls.write = seamWrite;
        fileCalls.seekForward = seamSeek;
        fileCalls.close = seamClose;
        writeFile(dir.path("cell.bdf"), CellFontBdf);
        REQUIRE_INSTALLED("bdftopcf");
        RunResult made = runCommand({"bdftopcf", "-o", dir.path("cell.pcf"), dir.path("cell.bdf")});
        ASSERT_EQ(made.exitStatus, 0) << made.err;
    }
    void TearDown() override {
        fileCalls = platformFileCalls;
        failAllocationAt(0);
    }

    // One conversion with the given failure armed. The atom table starts empty each time, so the
    // atoms' own allocations are part of every run.
    Outcome run(const Program& program, const std::string& input, long failAllocation, Call call = Call::None,
                long callAt = 0) {
        resetAtomTableForTesting();
        messages.clear();
        for (long& c : callCount) c = 0;
        failingCall = call;
        failingAt = callAt;
        outputDescriptor = -1;
        std::string output = dir.path("out.fon");
        std::remove(output.c_str());
        std::vector<std::string> words = {"-o", output};
        std::istringstream split(input);  // the input's words, as a shell would split them
        for (std::string word; split >> word;) words.push_back(word);
        failAllocationAt(failAllocation);
        Outcome outcome;
        outcome.exitStatus = runConversion(program, words);
        outcome.allocations = allocationCount();
        failAllocationAt(0);
        failingCall = Call::None;
        for (int k = 0; k < 8; ++k) outcome.calls[k] = callCount[k];
        outcome.messages = messages;
        outcome.outputExists = fileExists(output);
        if (outcome.outputExists) outcome.output = readFile(output);
        return outcome;
    }

    // Allocation counts at the end of each step of a conversion, taken by running the same steps
    // the front end runs: open the input, read, create the output, write.
    struct Steps {
        long open = 0, read = 0, create = 0, write = 0, standardAllocations = 0;
    };
    Steps measureSteps(FontReader reader, const std::string& input) {
        resetAtomTableForTesting();
        Steps steps;
        failAllocationAt(0);
        FontStream* in = openFontFile(input.c_str());
        steps.open = allocationCount();
        EXPECT_NE(in, nullptr);
        if (!in) return steps;
        Font font;
        int bitOrder, byteOrder, glyphPad, scanUnit;
        defaultBitmapFormat(&bitOrder, &byteOrder, &glyphPad, &scanUnit);
        standardAllocations = 0;
        countingStandardAllocations = true;  // the reader and the writer, not the front end around them
        EXPECT_EQ(reader(&font, in, bitOrder, byteOrder, glyphPad, scanUnit, nullptr), StatusOk);
        countingStandardAllocations = false;
        steps.read = allocationCount();
        closeFontFile(in);
        FontStream* out = createFontFile(dir.path("steps.fon").c_str());
        steps.create = allocationCount();
        EXPECT_NE(out, nullptr);
        if (!out) return steps;
        out->fontName = "out";
        countingStandardAllocations = true;
        EXPECT_EQ(writeFon(&font, out, glyphPad), StatusOk);
        countingStandardAllocations = false;
        steps.standardAllocations = standardAllocations;
        closeFontFile(out);
        steps.write = allocationCount();
        return steps;
    }

    void expectRefused(const Outcome& outcome, const std::string& message, const std::string& context) {
        EXPECT_EQ(outcome.exitStatus, 1) << context;
        ASSERT_EQ(outcome.messages.size(), 1u) << context;
        const std::size_t reason = message.find("(%s)");  // a refused input's reason, whatever failed
        const std::string& got = outcome.messages[0];
        if (reason == std::string::npos) EXPECT_EQ(got, message) << context;
        else EXPECT_TRUE(got.starts_with(message.substr(0, reason + 1)) && got.ends_with(")") &&
                         got.size() > reason + 2) << got;
        EXPECT_FALSE(outcome.outputExists) << context << ": a failed conversion left its output behind";
    }

    // A run that succeeded although something failed: the file must still be a font that a
    // client opens, showing every character exactly as the complete conversion does.
    void expectUsable(const Outcome& outcome, const Outcome& baseline, const std::string& context) {
        EXPECT_TRUE(outcome.messages.empty()) << context;
        ASSERT_TRUE(outcome.outputExists) << context;
        OracleFont font = loadWithFreeType(dir.path("out.fon"));
        ASSERT_EQ(font.error, "") << context;
        writeFile(dir.path("baseline.fon"), baseline.output);
        OracleFont expected = loadWithFreeType(dir.path("baseline.fon"));
        ASSERT_EQ(font.glyphs.size(), expected.glyphs.size()) << context;
        for (const auto& [code, glyph] : expected.glyphs) {
            auto shown = font.glyphs.find(code);
            ASSERT_NE(shown, font.glyphs.end()) << context << ": code " << code;
            EXPECT_EQ(shown->second.pixels, glyph.pixels) << context << ": code " << code;
        }
    }

    // Where two outputs first and last differ, for the report of what a quiet failure costs.
    static std::string difference(const std::string& got, const std::string& expected) {
        if (got == expected) return "identical output";
        std::size_t first = 0;
        while (first < got.size() && first < expected.size() && got[first] == expected[first]) ++first;
        std::size_t a = got.size(), b = expected.size();
        while (a > first && b > first && got[a - 1] == expected[b - 1]) --a, --b;
        return "output of " + std::to_string(got.size()) + " bytes (complete: " + std::to_string(expected.size()) +
               ") differs in bytes " + std::to_string(first) + ".." + std::to_string(a);
    }

    // Fails every allocation of a conversion in turn.
    void everyAllocation(const Program& program, FontReader reader, const std::string& input, const char* kind) {
        Steps steps = measureSteps(reader, input);
        Outcome baseline = run(program, input, 0);
        ASSERT_EQ(baseline.exitStatus, 0);
        ASSERT_TRUE(baseline.outputExists);
        ASSERT_EQ(baseline.allocations, steps.write) << "the front end allocates differently from its steps";
        EXPECT_EQ(steps.standardAllocations, 0) << kind << ": allocations that bypass the seam";

        int refused = 0, quiet = 0;
        for (long n = 1; n <= steps.write; ++n) {
            Outcome outcome = run(program, input, n);
            std::string context = std::string(kind) + ": allocation " + std::to_string(n);
            if (n <= steps.open) {
                expectRefused(outcome, withPath(program, MessageCantOpenInput, input), context);
                ++refused;
            } else if (n <= steps.read) {
                bool quietAtomLoss = outcome.messages.size() == 1 &&
                                     outcome.messages[0].find("too large") != std::string::npos;
                if (quietAtomLoss) {
                    // An atom created without its index entry is no failure for the reader, but
                    // the writer cannot name it and gives up before writing: still no output.
                    EXPECT_EQ(outcome.exitStatus, 1) << context;
                    EXPECT_FALSE(outcome.outputExists) << context;
                    std::printf("  %s: allocation %ld of the read fails quietly; the writer then refuses\n", kind, n);
                    ++quiet;
                } else if (outcome.exitStatus == 0) {
                    // The reader may go on without ink metrics, terminal cells or an atom's index.
                    expectUsable(outcome, baseline, context);
                    std::printf("  %s: allocation %ld of the read fails quietly: %s\n", kind, n,
                                difference(outcome.output, baseline.output).c_str());
                    ++quiet;
                } else {
                    expectRefused(outcome, withPath(program, MessageCorruptInput, input), context);
                    ++refused;
                }
            } else if (n <= steps.create) {
                expectRefused(outcome, "Can't create file " + dir.path("out.fon"), context);
                ++refused;
            } else {
                expectRefused(outcome, "Font out not created:  too large.\r\n(Use PCF format.)", context);
                ++refused;
            }
        }
        std::printf("%s: %ld allocations (open %ld, read %ld, create %ld, write %ld): %d refused, %d quiet\n", kind,
                    steps.write, steps.open, steps.read - steps.open, steps.create - steps.read,
                    steps.write - steps.create, refused, quiet);
    }

    // Fails every call of one kind in turn; each failure must be refused with `message`, or, when
    // `mayPass` is set (a read or seek whose loss the reader cannot see), may also pass unharmed.
    void everyCall(const Program& program, const std::string& input, Call call, const std::string& message,
                   bool mayPass, const char* kind) {
        Outcome baseline = run(program, input, 0);
        ASSERT_EQ(baseline.exitStatus, 0);
        long count = baseline.calls[static_cast<int>(call == Call::ShortWrite ? Call::Write : call)];
        if (call == Call::CloseOutput) count = 1;
        ASSERT_GT(count, 0) << kind;
        for (long n = 1; n <= count; ++n) {
            Outcome outcome = run(program, input, 0, call, n);
            std::string context = std::string(kind) + " " + std::to_string(n) + " of " + std::to_string(count);
            if (mayPass && outcome.exitStatus == 0) {
                EXPECT_EQ(outcome.output, baseline.output) << context;
                continue;
            }
            expectRefused(outcome, message, context);
        }
        std::printf("%s: %ld calls failed in turn\n", kind, count);
    }

    // Fails every allocation of the run of `line` in turn: each run ends with exit status 1, one
    // message and no output, or succeeds and `passed` checks it against the complete run.
    template <class Passed>
    void everyAllocationOfLine(const Program& program, const std::string& line, const char* kind, Passed passed) {
        const Outcome baseline = run(program, line, 0);
        ASSERT_EQ(baseline.exitStatus, 0) << kind;
        ASSERT_TRUE(baseline.outputExists) << kind;
        int refused = 0;
        for (long n = 1; n <= baseline.allocations; ++n) {
            const Outcome outcome = run(program, line, n);
            const std::string context = std::string(kind) + ": allocation " + std::to_string(n);
            if (outcome.exitStatus == 0) {
                passed(outcome, baseline, context);
                continue;
            }
            EXPECT_EQ(outcome.exitStatus, 1) << context;
            EXPECT_EQ(outcome.messages.size(), 1u) << context;
            EXPECT_FALSE(outcome.outputExists) << context;
            ++refused;
        }
        std::printf("%s: %ld allocations, %d refused\n", kind, baseline.allocations, refused);
        EXPECT_GT(refused, 0) << kind;
    }

    // A message of the program naming a path.
    static std::string withPath(const Program& program, MessageId id, const std::string& path) {
        std::string text = messageFormat(id, program.words);
        return text.replace(text.find("%s"), 2, path);
    }

    TempDir dir;
};

TEST_F(FailureInjection, EveryAllocationOfABdfConversion) {
    everyAllocation(bdfProgram, readBdfFont, dir.path("cell.bdf"), "BDF");
}

TEST_F(FailureInjection, EveryAllocationOfAPcfConversion) {
    everyAllocation(pcfProgram, readPcfFont, dir.path("cell.pcf"), "PCF");
}

TEST_F(FailureInjection, EveryAllocationOfACompressedConversion) {
    RunResult packed = runShell("compress -c < " + dir.path("cell.pcf") + " > " + dir.path("cell.pcf.Z"));
    ASSERT_TRUE(packed.exitStatus == 0 || packed.exitStatus == 2) << packed.err;
    everyAllocation(pcfProgram, readPcfFont, dir.path("cell.pcf.Z"), "PCF.Z");
}

// A font large enough that its input takes several reads and skips and its output several writes.
class FailureInjectionLarge : public FailureInjection {
protected:
    void SetUp() override {
        FailureInjection::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string source = "/usr/share/fonts/X11/75dpi/courR24-ISO8859-1.pcf.gz";
        REQUIRE_INSTALLED(source, "pcf2bdf");
        ASSERT_TRUE(gunzipFile(source, dir.path("large.pcf")));
        ASSERT_TRUE(pcfToBdf(dir.path("large.pcf"), dir.path("large.bdf")));
    }
};

TEST_F(FailureInjectionLarge, EveryWrite) {
    std::string cantOutput = "Can't output to file " + dir.path("out.fon") + " (reason unknown).";
    everyCall(bdfProgram, dir.path("large.bdf"), Call::Write, cantOutput, false, "BDF write");
    everyCall(pcfProgram, dir.path("large.pcf"), Call::ShortWrite, cantOutput, false, "PCF short write");
    everyCall(bdfProgram, dir.path("cell.bdf"), Call::Write, cantOutput, false, "small BDF write");
    everyCall(pcfProgram, dir.path("large.pcf"), Call::CloseOutput, cantOutput, false, "PCF output close");
}

TEST_F(FailureInjectionLarge, EveryReadAndSeek) {
    // A failed read looks like the end of the data, which a reader either notices or (when it was
    // the read that would have found the end) never needs.
    everyCall(bdfProgram, dir.path("large.bdf"), Call::Read, withPath(bdfProgram, MessageCorruptInput, dir.path("large.bdf")), true,
              "BDF read");
    everyCall(pcfProgram, dir.path("large.pcf"), Call::Read, withPath(pcfProgram, MessageCorruptInput, dir.path("large.pcf")), true,
              "PCF read");
    everyCall(pcfProgram, dir.path("large.pcf"), Call::Seek, withPath(pcfProgram, MessageCorruptInput, dir.path("large.pcf")), true,
              "PCF seek");
}

// A family of two: each allocation failing in turn ends the run with one message and no output,
// or leaves a file with both faces.
TEST_F(FailureInjection, EveryAllocationOfAFamily) {
    writeFile(dir.path("tall.bdf"), solidBdf(codeRange(32, 126), 5, 31));
    const std::string inputs = dir.path("cell.bdf") + " " + dir.path("tall.bdf");
    everyAllocationOfLine(bdfProgram, inputs, "family", [&](const Outcome& outcome, const Outcome&,
                                                             const std::string& context) {
        EXPECT_TRUE(outcome.messages.empty()) << context;
        EXPECT_EQ(loadWithFreeType(dir.path("out.fon"), 1).faceCount, 2) << context;
    });
}

// A conversion into code page 1252: the mapping's allocations come through the seam as the rest
// do, and each failing one ends with one message and no output (or, in the reader, a quiet loss).
TEST_F(FailureInjection, EveryAllocationOfACodePageConversion) {
    std::string latin1 = CellFontBdf;
    latin1.replace(latin1.find("STARTPROPERTIES 5"), 17,
                   "STARTPROPERTIES 7\nCHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"1\"");
    writeFile(dir.path("latin1.bdf"), latin1);
    RunResult made = runCommand({"bdftopcf", "-o", dir.path("latin1.pcf"), dir.path("latin1.bdf")});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    const std::string input = "-c1252 " + dir.path("latin1.pcf");
    // The mapping adds no allocation that bypasses the seam: the whole run calls the standard
    // allocator (the front end's own text) as often as a run without a page does, but for the page
    // list that the command line's parse keeps.
    auto standardCalls = [&](const std::string& line) {
        Settings settings;
        std::vector<std::string> words;
        std::istringstream split(line);
        for (std::string word; split >> word;) words.push_back(word);
        standardAllocations = 0;
        countingStandardAllocations = true;
        (void)parseCommandLine(words, settings);
        const long parse = standardAllocations;
        const Outcome outcome = run(pcfProgram, line, 0);
        countingStandardAllocations = false;
        EXPECT_EQ(outcome.exitStatus, 0) << line;
        return standardAllocations - 2 * parse;
    };
    EXPECT_EQ(standardCalls(input), standardCalls(dir.path("latin1.pcf")));
    everyAllocationOfLine(pcfProgram, input, "-c1252",
                          [&](const Outcome& outcome, const Outcome& baseline, const std::string& context) {
                              expectUsable(outcome, baseline, context);
                          });
}

// A run with --preview: each allocation and each write failing in turn ends with one message and
// no picture; when the picture's own step fails, the message names it and the font is complete.
TEST_F(FailureInjection, EveryAllocationAndWriteOfAPreview) {
    const std::string png = dir.path("out.png"), line = "--preview " + png + " " + dir.path("cell.bdf");
    const Outcome baseline = run(bdfProgram, line, 0);
    ASSERT_TRUE(baseline.exitStatus == 0 && fileExists(png));
    const long writes = baseline.calls[static_cast<int>(Call::Write)];
    for (long n = 1; n <= baseline.allocations + writes; ++n) {
        std::remove(png.c_str());
        const Outcome outcome = n <= baseline.allocations ? run(bdfProgram, line, n)
                                                          : run(bdfProgram, line, 0, Call::Write, n - baseline.allocations);
        const std::string context = "failure " + std::to_string(n);
        EXPECT_EQ(outcome.messages.size(), outcome.exitStatus == 0 ? 0u : 1u) << context;
        EXPECT_EQ(fileExists(png), outcome.exitStatus == 0) << context;
        // The picture's own failures name it and keep the font, whole.
        const bool ofPicture = outcome.exitStatus != 0 && outcome.messages.at(0).find(png) != std::string::npos;
        EXPECT_TRUE(outcome.exitStatus == 0 || outcome.outputExists == ofPicture) << context;
        EXPECT_TRUE(!ofPicture || outcome.output == baseline.output) << context;
    }
    std::printf("preview: %ld allocations and %ld writes failed in turn\n", baseline.allocations, writes);
}

TEST_F(FailureInjection, OpenAndCreate) {
    std::string input = dir.path("cell.bdf");
    everyCall(bdfProgram, input, Call::OpenRead, "can't open bdf source file " + input, false, "input open");
    everyCall(bdfProgram, input, Call::Create, "Can't create file " + dir.path("out.fon"), false, "output create");
}
}  // namespace
