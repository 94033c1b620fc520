// Failures and unsafe requests: what the run reports and what it leaves in
// the output.
#include "clips.h"
#include "tool_runner.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::string notFound(const std::string &name) {
    return "Input file \"" + name + "\" not found, aborting\n";
}

// --- An input that is the output file itself -------------------------------

enum class Alias { sameName, hardLink, symLink };

struct OutputAsInputCase {
    const char *title;
    std::string inputName;
    Alias alias;
};

void PrintTo(const OutputAsInputCase &c, std::ostream *os) {
    *os << c.title;
}

class ExistingOutputAsInput : public testing::TestWithParam<OutputAsInputCase> {};

// The output must not be cut when that would destroy an input.
TEST_P(ExistingOutputAsInput, StopsBeforeTheOutputIsTouched) {
    const OutputAsInputCase &c = GetParam();
    TempDir dir;
    const std::string precious = clipBytes(7, 3, 11);
    writeFile(dir.path("out.yuv"), precious);
    writeFile(dir.path("a.yuv"), clipBytes(1, 2));
    if (c.alias == Alias::hardLink) {
        ASSERT_EQ(link(dir.path("out.yuv").c_str(), dir.path(c.inputName).c_str()), 0);
    }
    if (c.alias == Alias::symLink) {
        ASSERT_EQ(symlink("out.yuv", dir.path(c.inputName).c_str()), 0);
    }

    RunResult run = runTool({"out.yuv", "a.yuv", c.inputName}, {dir.root});

    EXPECT_EQ(run.out, banner + notFound(c.inputName));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), precious), "");
}

INSTANTIATE_TEST_SUITE_P(Aliases, ExistingOutputAsInput,
                         testing::Values(OutputAsInputCase{"SameName", "out.yuv", Alias::sameName},
                                         OutputAsInputCase{"DotSlash", "./out.yuv",
                                                           Alias::sameName},
                                         OutputAsInputCase{"HardLink", "link.yuv", Alias::hardLink},
                                         OutputAsInputCase{"SymLink", "sym.yuv", Alias::symLink}),
                         [](const testing::TestParamInfo<OutputAsInputCase> &info) {
                             return std::string(info.param.title);
                         });

// An output created by this run is refused as an input at its turn, and is
// never read back into itself.
TEST(NewOutputAsInput, IsRefusedAtItsTurnKeepingEarlierFrames) {
    for (const char *inputName : {"out.yuv", "dangling.yuv"}) {
        SCOPED_TRACE(inputName);
        TempDir dir;
        writeFile(dir.path("a.yuv"), clipBytes(1, 3));
        writeFile(dir.path("b.yuv"), clipBytes(2, 3));
        ASSERT_EQ(symlink("out.yuv", dir.path("dangling.yuv").c_str()), 0);

        RunResult run = runTool({"out.yuv", "a.yuv", inputName, "b.yuv"}, {dir.root});

        EXPECT_EQ(run.out, banner + notFound(inputName));
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 3)), "");
    }
}

TEST(DeviceOutput, IsNotComparedWithTheInputs) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 2));

    RunResult run = runTool({"/dev/null", "a.yuv", "/dev/null"}, {dir.root});

    EXPECT_EQ(run.out, banner + "Done writing 2 frames.\n");
    EXPECT_EQ(run.status, 0);
}

// --- Names the system refuses ---------------------------------------------

TEST(LongNames, AreReportedWholeWithTheUsualMessage) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 1));
    const std::string longName(5000, 'n');

    RunResult asOutput = runTool({longName, "a.yuv"}, {dir.root});
    EXPECT_EQ(asOutput.out,
              banner + "Output file \"" + longName + "\" cannot be opened for writing\n");
    EXPECT_EQ(asOutput.status, 2);

    RunResult asInput = runTool({"out.yuv", "a.yuv", longName}, {dir.root});
    EXPECT_EQ(asInput.out, banner + notFound(longName));
    EXPECT_EQ(asInput.status, 2);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 1)), "");
}

// --- Failed reads and writes ----------------------------------------------

// Reading /proc/self/mem at offset 0 fails with EIO.
TEST(ReadFailure, StopsTheRunWithoutAProgressLine) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 10));
    writeFile(dir.path("b.yuv"), clipBytes(2, 1));

    RunResult run = runTool({"out.yuv", "a.yuv", "/proc/self/mem", "b.yuv"}, {dir.root});

    EXPECT_EQ(run.out, banner + "frame 10    \rframe 10    \r" +
                           "Input file \"/proc/self/mem\" cannot be read, aborting\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 10)), "");
}

struct WriteFailureCase {
    const char *title;
    std::string output;
    bool inputThroughPipe;
    long fileSizeLimit;
    std::string textBeforeFailure;
    int framesKept;
};

void PrintTo(const WriteFailureCase &c, std::ostream *os) {
    *os << c.title;
}

class WriteFailure : public testing::TestWithParam<WriteFailureCase> {};

TEST_P(WriteFailure, IsReportedAndLeavesOnlyWholeFrames) {
    const WriteFailureCase &c = GetParam();
    signal(SIGPIPE, SIG_IGN); // the tool stops reading the pipe when it fails
    TempDir dir;
    const std::string input = clipBytes(1, 20);
    writeFile(dir.path("a.yuv"), input);
    int feed[2];
    ASSERT_EQ(pipe2(feed, O_CLOEXEC), 0);
    RunOptions options{dir.root};
    options.fileSizeLimit = c.fileSizeLimit;
    options.stdinFd = feed[0];

    RunningTool tool = startTool({c.output, c.inputThroughPipe ? "/dev/stdin" : "a.yuv"}, options);
    close(feed[0]);
    if (c.inputThroughPipe)
        (void)writeAll(feed[1], input); // cut short when the run stops reading
    close(feed[1]);
    RunResult run = finishTool(tool);

    EXPECT_EQ(run.out, banner + c.textBeforeFailure + "Output file \"" + c.output +
                           "\" cannot be written, aborting\n");
    EXPECT_EQ(run.status, 2);
    if (c.framesKept >= 0) {
        EXPECT_EQ(firstDifference(readFile(dir.path(c.output)), clipBytes(1, c.framesKept)), "");
    }
}

// The limit falls in the middle of the thirteenth frame.
const long limitInFrame13 = static_cast<long>(testFrameSize * 12 + testFrameSize / 2);

INSTANTIATE_TEST_SUITE_P(
    Sources, WriteFailure,
    testing::Values(WriteFailureCase{"FullDevice", "/dev/full", false, -1, "", -1},
                    WriteFailureCase{"FullDeviceFromPipe", "/dev/full", true, -1, "", -1},
                    WriteFailureCase{"FileSizeLimit", "out.yuv", false, limitInFrame13,
                                     "frame 10    \r", 12},
                    WriteFailureCase{"FileSizeLimitFromPipe", "out.yuv", true, limitInFrame13,
                                     "frame 10    \r", 12}),
    [](const testing::TestParamInfo<WriteFailureCase> &info) {
        return std::string(info.param.title);
    });

// --- Memory -----------------------------------------------------------------

TEST(FrameBuffer, ShortOfMemoryIsReported) {
#if FRAMESPLICE_SANITIZED
    GTEST_SKIP() << "sanitizers reserve more memory than the limit allows";
#endif
    // An 8K frame (49,766,400 bytes) cannot fit under a 16 MiB data limit,
    // while the tool itself starts well inside it.
    TempDir dir;
    writeFile(dir.path("a.yuv"), "");
    RunOptions options{dir.root};
    options.dataLimit = 16L << 20;

    RunResult run = runTool({"--size=7680x4320", "out.yuv", "a.yuv"}, options);

    EXPECT_EQ(run.out, banner + "Not enough memory for the frame buffer, aborting\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(readFile(dir.path("out.yuv")), "");
}

} // namespace
