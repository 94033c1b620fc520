// Where console text goes when standard descriptors are closed, redirected
// onto the output, or lead to a reader that goes away: never into the
// output, and never at the cost of the join.
#include "clips.h"
#include "tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::string consoleText = banner + "frame 10    \rDone writing 12 frames.\n";
const std::string joined = clipBytes(1, 5) + clipBytes(2, 7);

struct SurroundingCase {
    const char *title;
    std::vector<std::string> args;
    RunOptions options;
    std::string out; // what the test reads from the pipe on standard output
    std::string err;
    std::string outputName = "out.yuv";
};

void PrintTo(const SurroundingCase &c, std::ostream *os) {
    *os << c.title;
}

RunOptions closing(std::vector<int> fds) {
    RunOptions options;
    options.closedFds = std::move(fds);
    return options;
}

RunOptions stdoutTo(const std::string &file, bool append, bool stderrToo = false) {
    RunOptions options;
    options.stdoutFile = file;
    options.append = append;
    options.stderrToo = stderrToo;
    return options;
}

class SurroundingTest : public testing::TestWithParam<SurroundingCase> {};

TEST_P(SurroundingTest, OutputHoldsFramesOnly) {
    const SurroundingCase &c = GetParam();
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 5, 77));
    writeFile(dir.path("b.yuv"), clipBytes(2, 7, testFrameSize - 1));
    writeFile(dir.path("out.yuv"), "old bytes");
    ASSERT_EQ(link(dir.path("out.yuv").c_str(), dir.path("link.yuv").c_str()), 0);
    RunOptions options = c.options;
    options.workDir = dir.root;

    RunResult run = runTool(c.args, options);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(firstDifference(run.out, c.out), "");
    EXPECT_EQ(run.err, c.err);
    if (c.outputName != "") {
        EXPECT_EQ(firstDifference(readFile(dir.path(c.outputName)), joined), "");
    }
}

const std::vector<std::string> join = {"out.yuv", "a.yuv", "b.yuv"};

INSTANTIATE_TEST_SUITE_P(
    Console, SurroundingTest,
    testing::Values(
        SurroundingCase{"StandardOutputClosed", join, closing({1}), "", ""},
        SurroundingCase{"AllStandardDescriptorsClosed", join, closing({0, 1, 2}), "", ""},
        SurroundingCase{"StandardInputAndErrorClosed", join, closing({0, 2}), consoleText, ""},
        SurroundingCase{"StandardOutputIsTheOutput", join, stdoutTo("out.yuv", false), "",
                        consoleText},
        SurroundingCase{"StandardOutputAppendsToAHardLink", join, stdoutTo("link.yuv", true), "",
                        consoleText},
        SurroundingCase{"BothConsoleStreamsAreTheOutput", join, stdoutTo("out.yuv", false, true),
                        "", ""},
        SurroundingCase{
            "OutputNamedDevStdout", {"/dev/stdout", "a.yuv", "b.yuv"}, {}, joined, consoleText, ""},
        SurroundingCase{"OutputNamedByDescriptor",
                        {"/proc/self/fd/1", "a.yuv", "b.yuv"},
                        {},
                        joined,
                        consoleText,
                        ""}),
    [](const testing::TestParamInfo<SurroundingCase> &info) {
        return std::string(info.param.title);
    });

TEST(Console, FileThatIsNotTheOutputTakesTheConsoleText) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 5, 77));
    writeFile(dir.path("b.yuv"), clipBytes(2, 7));
    RunOptions options = stdoutTo("console.txt", false);
    options.workDir = dir.root;

    RunResult run = runTool(join, options);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(dir.path("console.txt")), consoleText);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), joined), "");
}

// A console that cannot be written is not a failed join.
TEST(Console, FullDeviceIsNotAFailure) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 5, 77));
    writeFile(dir.path("b.yuv"), clipBytes(2, 7));
    RunOptions options{dir.root};
    options.stdoutFd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(options.stdoutFd, 0);

    RunResult run = runTool(join, options);
    close(options.stdoutFd);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), joined), "");
}

// The console reader closes after the banner while the input is still
// arriving, so that the first progress line meets a closed pipe.
TEST(Console, ReaderThatGoesAwayLeavesTheJoinRunning) {
    TempDir dir;
    int feed[2];
    ASSERT_EQ(pipe2(feed, O_CLOEXEC), 0);
    RunOptions options{dir.root};
    options.stdinFd = feed[0];
    RunningTool tool = startTool({"out.yuv", "/dev/stdin"}, options);
    close(feed[0]);
    ASSERT_EQ(readOutputUntil(tool, banner, 20000), banner);
    close(tool.outFd);
    tool.outFd = -1;

    ASSERT_TRUE(writeAll(feed[1], clipBytes(3, 12, 5)));
    close(feed[1]);
    RunResult run = finishTool(tool);

    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(3, 12)), "");
}

// An output that is a pipe whose reader has gone still fails the join.
TEST(Console, OutputPipeWithoutReaderIsAWriteFailure) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 2));
    RunningTool tool = startTool({"/dev/stdout", "a.yuv"}, {dir.root});
    close(tool.outFd);
    tool.outFd = -1;

    RunResult run = finishTool(tool);

    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, banner + "Output file \"/dev/stdout\" cannot be written, aborting\n");
}

} // namespace
