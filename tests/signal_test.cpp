// SIGINT, SIGTERM and SIGHUP stop a run at once, leave whole frames, and end
// the process by the same signal; the output can be taken again at once.
#include "clips.h"
#include "tool_runner.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

const int patienceMs = 20000;

off_t fileSize(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// True when the process sits in a read call, as /proc shows it.
bool isBlockedInRead(pid_t pid) {
    std::string syscall = readFile("/proc/" + std::to_string(pid) + "/syscall");
    return syscall.rfind(std::to_string(SYS_read) + " ", 0) == 0;
}

template <typename Condition> bool waitFor(Condition condition) {
    for (int waited = 0; waited < patienceMs; ++waited) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// The output is free again: a new run takes it and writes it from the start.
void expectOutputCanBeTakenAgain(const TempDir &dir) {
    writeFile(dir.path("next.yuv"), clipBytes(7, 3));
    RunResult next = runTool({"out.yuv", "next.yuv"}, {dir.root});
    EXPECT_EQ(next.out, banner + "Done writing 3 frames.\n");
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(7, 3)), "");
}

class StopSignalTest : public testing::TestWithParam<int> {};

// The run has written three frames and waits in a read for the rest of the
// fourth, half of which has arrived.
TEST_P(StopSignalTest, WhileWaitingInsideAFrameOnAFifo) {
    const int signalNumber = GetParam();
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 2));
    ASSERT_EQ(mkfifo(dir.path("later.yuv").c_str(), 0600), 0);
    RunningTool tool = startTool({"out.yuv", "a.yuv", "later.yuv"}, {dir.root});
    int fifo = open(dir.path("later.yuv").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fifo, 0);
    ASSERT_TRUE(writeAll(fifo, clipBytes(2, 1, testFrameSize / 2)));
    const off_t threeFrames = static_cast<off_t>(3 * testFrameSize);
    ASSERT_TRUE(waitFor(
        [&] { return fileSize(dir.path("out.yuv")) == threeFrames && isBlockedInRead(tool.pid); }));

    ASSERT_EQ(kill(tool.pid, signalNumber), 0);
    RunResult run = finishTool(tool);
    close(fifo);

    EXPECT_EQ(run.signal, signalNumber) << "status " << run.status;
    EXPECT_EQ(run.out, banner);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 2) + clipBytes(2, 1)),
              "");
    expectOutputCanBeTakenAgain(dir);
}

// A sparse input of thousands of frames keeps the kernel copying for
// seconds; the signal comes as soon as the output holds more than a frame,
// which is inside the copy of the first step.
TEST_P(StopSignalTest, InTheMiddleOfAnInKernelCopy) {
    const int signalNumber = GetParam();
    TempDir dir;
    const off_t inputLength = static_cast<off_t>(4000 * testFrameSize);
    writeFile(dir.path("sparse.yuv"), "");
    ASSERT_EQ(truncate(dir.path("sparse.yuv").c_str(), inputLength), 0);

    RunningTool tool = startTool({"out.yuv", "sparse.yuv"}, {dir.root});
    const off_t oneFrame = static_cast<off_t>(testFrameSize);
    bool growing = waitFor([&] { return fileSize(dir.path("out.yuv")) > oneFrame; });
    const bool runningAtSignal = isStillRunning(tool);
    kill(tool.pid, signalNumber);
    RunResult run = finishTool(tool);

    ASSERT_TRUE(growing);
    ASSERT_TRUE(runningAtSignal) << "the join ended before the signal; use a larger input";
    EXPECT_EQ(run.signal, signalNumber) << "status " << run.status;
    EXPECT_EQ(run.out, banner);
    const off_t length = fileSize(dir.path("out.yuv"));
    EXPECT_GE(length, oneFrame);
    EXPECT_LT(length, inputLength);
    EXPECT_EQ(length % oneFrame, 0)
        << length / oneFrame << " frames and " << length % oneFrame << " bytes";
    expectOutputCanBeTakenAgain(dir);
}

INSTANTIATE_TEST_SUITE_P(Stops, StopSignalTest, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const testing::TestParamInfo<int> &info) {
                             return std::string(sigabbrev_np(info.param));
                         });

} // namespace
