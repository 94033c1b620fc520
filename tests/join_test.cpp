// End-to-end joins: console text, exit status and output bytes, case by case.
#include "clips.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string usage = "Concatenates two or more .yuv files given\n"
                          "Parameter 1: output filename with .yuv extension\n"
                          "Parameters 2 through n: names of files to combine\n";
const size_t almostFrame = testFrameSize - 1;

struct Clip {
    std::string name;
    int id;
    int frames;
    size_t tailBytes;
};

struct Frames {
    int clip;
    int count;
};

struct JoinCase {
    const char *title;
    std::vector<Clip> clips;
    std::vector<std::string> args;
    std::string text; // what follows the banner
    int status;
    std::vector<Frames> output; // the whole frames expected in out.yuv, in order
    bool outputExists = true;
    bool outputExistedBefore = false;
};

void PrintTo(const JoinCase &c, std::ostream *os) {
    *os << c.title;
}

std::string expectedOutput(const JoinCase &c) {
    if (!c.outputExists)
        return "<missing>";
    std::string bytes;
    for (const Frames &part : c.output)
        bytes += clipBytes(part.clip, part.count);
    return bytes;
}

class JoinTest : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinTest, PrintsExitsAndWritesAsExpected) {
    const JoinCase &c = GetParam();
    TempDir dir;
    for (const Clip &clip : c.clips)
        writeFile(dir.path(clip.name), clipBytes(clip.id, clip.frames, clip.tailBytes));
    if (c.outputExistedBefore)
        writeFile(dir.path("out.yuv"), clipBytes(9, 2, 5));

    RunResult run = runTool(c.args, {dir.root});

    EXPECT_EQ(run.out, banner + c.text);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), expectedOutput(c)), "");
}

const JoinCase joinCases[] = {
    {"FramesOfSeveralInputsAddUp",
     {{"a.yuv", 1, 4, 0}, {"b.yuv", 2, 0, 0}, {"c.yuv", 3, 7, 0}},
     {"out.yuv", "a.yuv", "b.yuv", "c.yuv"},
     "frame 10    \rDone writing 11 frames.\n",
     0,
     {{1, 4}, {3, 7}}},
    {"TenFramesShowTenTwice",
     {{"a.yuv", 1, 10, 0}},
     {"out.yuv", "a.yuv"},
     "frame 10    \rframe 10    \rDone writing 10 frames.\n",
     0,
     {{1, 10}}},
    {"TwentyFiveFramesShowEachTenOnce",
     {{"a.yuv", 1, 25, 0}},
     {"out.yuv", "a.yuv"},
     "frame 10    \rframe 20    \rDone writing 25 frames.\n",
     0,
     {{1, 25}}},
    {"EmptyInputShowsZero",
     {{"a.yuv", 1, 0, 0}},
     {"out.yuv", "a.yuv"},
     "frame 0    \rDone writing 0 frames.\n",
     0,
     {}},
    {"InputOneByteShortOfAFrameWritesNothing",
     {{"a.yuv", 1, 0, almostFrame}},
     {"out.yuv", "a.yuv"},
     "frame 0    \rDone writing 0 frames.\n",
     0,
     {}},
    {"PartialTailsAreDroppedFromEveryInput",
     {{"a.yuv", 1, 2, 100}, {"b.yuv", 2, 3, almostFrame}, {"c.yuv", 3, 5, 1}},
     {"out.yuv", "a.yuv", "b.yuv", "c.yuv"},
     "frame 10    \rframe 10    \rDone writing 10 frames.\n",
     0,
     {{1, 2}, {2, 3}, {3, 5}}},
    // Between regular files the kernel moves frames in steps counted from
    // each input's start; here they end between progress lines.
    {"KernelStepsEndingBetweenProgressLines",
     {{"a.yuv", 1, 5, 9}, {"b.yuv", 2, 100, 0}},
     {"out.yuv", "a.yuv", "b.yuv"},
     "frame 10    \rframe 20    \rframe 30    \rframe 40    \rframe 50    \rframe 60    \r"
     "frame 70    \rframe 80    \rframe 90    \rframe 100    \rDone writing 105 frames.\n",
     0,
     {{1, 5}, {2, 100}}},
    {"SameInputTwiceIsJoinedTwice",
     {{"a.yuv", 1, 3, 0}, {"b.yuv", 2, 2, 0}},
     {"out.yuv", "a.yuv", "b.yuv", "a.yuv"},
     "Done writing 8 frames.\n",
     0,
     {{1, 3}, {2, 2}, {1, 3}}},
    {"NamesNeedNoExtension",
     {{"clip one", 1, 2, 7}},
     {"out.yuv", "clip one"},
     "Done writing 2 frames.\n",
     0,
     {{1, 2}}},
    {"MissingSecondOfThreeStopsTheRun",
     {{"a.yuv", 1, 3, 0}, {"c.yuv", 3, 2, 0}},
     {"out.yuv", "a.yuv", "missing.yuv", "c.yuv"},
     "Input file \"missing.yuv\" not found, aborting\n",
     2,
     {{1, 3}}},
    {"MissingFirstInputLeavesExistingOutputEmpty",
     {{"a.yuv", 1, 3, 0}},
     {"out.yuv", "missing.yuv", "a.yuv"},
     "Input file \"missing.yuv\" not found, aborting\n",
     2,
     {},
     true,
     true},
    {"DirectoryAsInputCannotBeOpened",
     {{"a.yuv", 1, 3, 0}},
     {"out.yuv", "a.yuv", "/", "a.yuv"},
     "Input file \"/\" not found, aborting\n",
     2,
     {{1, 3}}},
    {"NameIsNeverAFormat",
     {},
     {"out.yuv", "%s%n%d.yuv"},
     "Input file \"%s%n%d.yuv\" not found, aborting\n",
     2,
     {}},
    {"NoArgumentsShowUsage", {}, {}, usage, 1, {}, false},
    {"OutputAloneShowsUsageAndCreatesNothing", {}, {"out.yuv"}, usage, 1, {}, false},
    {"OutputInMissingDirectory",
     {{"a.yuv", 1, 3, 0}},
     {"nowhere/out.yuv", "a.yuv"},
     "Output file \"nowhere/out.yuv\" cannot be opened for writing\n",
     2,
     {},
     false},
    {"OutputThatIsADirectory",
     {{"a.yuv", 1, 3, 0}},
     {".", "a.yuv"},
     "Output file \".\" cannot be opened for writing\n",
     2,
     {},
     false},
};

INSTANTIATE_TEST_SUITE_P(Joins, JoinTest, testing::ValuesIn(joinCases),
                         [](const testing::TestParamInfo<JoinCase> &info) {
                             return std::string(info.param.title);
                         });

} // namespace

namespace {

// The kernel refuses to copy between two file systems; the join must come
// out the same through the frame buffer.
TEST(FileSystems, InputsOnTmpfsJoinIntoAnotherFileSystem) {
    struct stat shm, tmp;
    TempDir dir;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.root.c_str(), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    TempDir inputs("/dev/shm");
    writeFile(inputs.path("a.yuv"), clipBytes(1, 5, 9));
    writeFile(inputs.path("b.yuv"), clipBytes(2, 17, almostFrame));

    RunResult run = runTool({"out.yuv", inputs.path("a.yuv"), inputs.path("b.yuv")}, {dir.root});

    EXPECT_EQ(run.out, banner + "frame 10    \rframe 20    \rDone writing 22 frames.\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), clipBytes(1, 5) + clipBytes(2, 17)),
              "");
}

// Sizes and offsets past 4 GiB must not wrap; a sparse input costs no disk.
TEST(LargeInput, PastFourGiBIsCountedWhole) {
    TempDir dir;
    const off_t size = (off_t{1} << 32) + static_cast<off_t>(2 * testFrameSize) + 5;
    writeFile(dir.path("big.yuv"), "");
    ASSERT_EQ(truncate(dir.path("big.yuv").c_str(), size), 0);
    const std::string summary =
        "Done writing " + std::to_string(size / static_cast<off_t>(testFrameSize)) + " frames.\n";

    RunResult run = runTool({"/dev/null", "big.yuv"}, {dir.root});

    EXPECT_EQ(run.status, 0);
    ASSERT_GE(run.out.size(), summary.size());
    EXPECT_EQ(run.out.substr(run.out.size() - summary.size()), summary);
}

} // namespace
