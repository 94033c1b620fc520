// Runs observed while they are still going.
#include "clips.h"
#include "tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const int patienceMs = 20000;

off_t fileSize(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// Progress must reach a reader during the join, not when it ends.
TEST(Progress, IsShownWhileTheJoinRuns) {
    TempDir dir;
    int feed[2];
    ASSERT_EQ(pipe2(feed, O_CLOEXEC), 0);
    RunOptions options{dir.root};
    options.stdinFd = feed[0];
    RunningTool tool = startTool({"out.yuv", "/dev/stdin"}, options);
    close(feed[0]);

    ASSERT_TRUE(writeAll(feed[1], clipBytes(1, 10)));
    std::string shown = readOutputUntil(tool, "frame 10    \r", patienceMs);
    EXPECT_EQ(shown, banner + "frame 10    \r");
    EXPECT_TRUE(isStillRunning(tool));

    ASSERT_TRUE(writeAll(feed[1], clipBytes(1, 12).substr(10 * testFrameSize)));
    close(feed[1]);
    RunResult run = finishTool(tool, shown);
    EXPECT_EQ(run.out, banner + "frame 10    \rDone writing 12 frames.\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 12)), "");
}

// A second run must neither write into nor cut an output that a first run
// is still writing.
TEST(ConcurrentRuns, SecondRunOnTheSameOutputIsRefused) {
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 2));
    writeFile(dir.path("b.yuv"), clipBytes(2, 3));
    ASSERT_EQ(mkfifo(dir.path("later.yuv").c_str(), 0600), 0);
    // The first run copies a.yuv, then waits for a writer on the FIFO.
    RunningTool first = startTool({"out.yuv", "a.yuv", "later.yuv"}, {dir.root});
    const off_t twoFrames = static_cast<off_t>(2 * testFrameSize);
    for (int waited = 0; fileSize(dir.path("out.yuv")) != twoFrames && waited < patienceMs;
         waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(fileSize(dir.path("out.yuv")), twoFrames);

    RunResult second = runTool({"out.yuv", "b.yuv"}, {dir.root});
    EXPECT_EQ(second.out, banner + "Output file \"out.yuv\" cannot be opened for writing\n");
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 2)), "");

    int fifo = open(dir.path("later.yuv").c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    ASSERT_TRUE(writeAll(fifo, clipBytes(3, 1)));
    close(fifo);
    RunResult firstResult = finishTool(first);
    EXPECT_EQ(firstResult.out, banner + "Done writing 3 frames.\n");
    EXPECT_EQ(firstResult.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 2) + clipBytes(3, 1)),
              "");
}

} // namespace
