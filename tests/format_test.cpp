// Frame sizes and pixel formats chosen on the command line, the option
// errors, and agreement with ffmpeg on where frames begin and end.
#include "clips.h"
#include "tool_runner.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct FormatCase {
    const char *title;
    std::vector<std::string> options;
    size_t frameSize; // as ffmpeg's rawvideo reads and writes it
};

void PrintTo(const FormatCase &c, std::ostream *os) {
    *os << c.title;
}

class FormatTest : public testing::TestWithParam<FormatCase> {};

// Tails one byte short of a frame and one byte long show any frame size
// that is off, even by one byte.
TEST_P(FormatTest, JoinsWholeFramesOfThatSize) {
    const FormatCase &c = GetParam();
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 2, c.frameSize - 1, c.frameSize));
    writeFile(dir.path("b.yuv"), clipBytes(2, 1, 1, c.frameSize));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"out.yuv", "a.yuv", "b.yuv"});

    RunResult run = runTool(args, {dir.root});

    EXPECT_EQ(run.out, banner + "Done writing 3 frames.\n");
    EXPECT_EQ(run.status, 0);
    std::string expected = clipBytes(1, 2, 0, c.frameSize) + clipBytes(2, 1, 0, c.frameSize);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), expected, c.frameSize), "");
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndFormats, FormatTest,
    testing::Values(
        // Odd sizes round the chroma planes up: 175x143 + 2 x 88x72.
        FormatCase{"OddSizeYuv420p", {"--size=175x143"}, 37697},
        FormatCase{
            "Uhd10BitYuv422", {"--size", "3840x2160", "--pixel-format", "yuv422p10le"}, 33177600},
        FormatCase{"Nv12", {"--size=1280x720", "--pixel-format=nv12"}, 1382400},
        FormatCase{"Uyvy422", {"--pixel-format=uyvy422", "--size=720x576"}, 829440},
        FormatCase{"Gray", {"--size=416x240", "--pixel-format=gray"}, 99840},
        FormatCase{"Rgb24", {"--size=352x288", "--pixel-format=rgb24"}, 304128},
        FormatCase{"SizeName", {"--size=cif"}, 152064},
        FormatCase{
            "SizeNameWith10BitYuv420", {"--size=hd720", "--pixel-format=yuv420p10le"}, 2764800},
        FormatCase{
            "LastOptionCounts", {"--size=cif", "--size=416x240", "--pixel-format=gray"}, 99840}),
    [](const testing::TestParamInfo<FormatCase> &info) { return std::string(info.param.title); });

struct RefusalCase {
    const char *title;
    std::vector<std::string> args;
    std::string line;
};

void PrintTo(const RefusalCase &c, std::ostream *os) {
    *os << c.title;
}

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, StopsBeforeAnyFileIsTouched) {
    const RefusalCase &c = GetParam();
    TempDir dir;
    writeFile(dir.path("a.yuv"), clipBytes(1, 1));

    RunResult run = runTool(c.args, {dir.root});

    EXPECT_EQ(run.out, banner + c.line);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readFile(dir.path("out.yuv")), "<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    Options, RefusalTest,
    testing::Values(
        RefusalCase{"UnknownOption",
                    {"--colour", "out.yuv", "a.yuv"},
                    "Option \"--colour\" is not known\n"},
        RefusalCase{"OptionNameOnlyBegins",
                    {"--sizes=cif", "out.yuv", "a.yuv"},
                    "Option \"--sizes=cif\" is not known\n"},
        RefusalCase{
            "EmptyValue", {"--size=", "out.yuv", "a.yuv"}, "Option \"--size=\" needs a value\n"},
        RefusalCase{"NoValueLeft", {"--pixel-format"}, "Option \"--pixel-format\" needs a value\n"},
        RefusalCase{"SizeNotWxH",
                    {"--size=wide", "out.yuv", "a.yuv"},
                    "Frame size \"wide\" is not WIDTHxHEIGHT or a known size name\n"},
        RefusalCase{"ZeroWidth",
                    {"--size=0x1080", "out.yuv", "a.yuv"},
                    "Frame size \"0x1080\" is not WIDTHxHEIGHT or a known size name\n"},
        RefusalCase{"NegativeHeight",
                    {"--size=1920x-4", "out.yuv", "a.yuv"},
                    "Frame size \"1920x-4\" is not WIDTHxHEIGHT or a known size name\n"},
        RefusalCase{"TooLarge",
                    {"--size=40000x40000", "out.yuv", "a.yuv"},
                    "Frame size \"40000x40000\" is too large\n"},
        RefusalCase{"UnknownFormat",
                    {"--pixel-format=yuv421p", "out.yuv", "a.yuv"},
                    "Pixel format \"yuv421p\" is not known\n"},
        RefusalCase{"HardwareFormat",
                    {"--pixel-format=vaapi", "out.yuv", "a.yuv"},
                    "Pixel format \"vaapi\" has no frame layout in memory\n"},
        RefusalCase{"BadSizeEvenWithoutNames",
                    {"--size=wide"},
                    "Frame size \"wide\" is not WIDTHxHEIGHT or a known size name\n"}),
    [](const testing::TestParamInfo<RefusalCase> &info) { return std::string(info.param.title); });

TEST(Options, HelpShowsUsageAndEveryOption) {
    TempDir dir;
    RunResult run = runTool({"--help", "out.yuv", "a.yuv"}, {dir.root});

    EXPECT_EQ(run.out, banner +
                           "Concatenates two or more .yuv files given\n"
                           "Parameter 1: output filename with .yuv extension\n"
                           "Parameters 2 through n: names of files to combine\n"
                           "  --size=WxH           frame size in pixels, or a name such as cif, "
                           "hd720, hd1080 or 4k (default " +
                           std::to_string(TEST_FRAME_WIDTH) + "x" +
                           std::to_string(TEST_FRAME_HEIGHT) +
                           ")\n"
                           "  --pixel-format=NAME  pixel format as ffmpeg names it, such as "
                           "yuv420p, yuv422p10le, nv12, uyvy422, gray or rgb24 (default yuv420p)\n"
                           "  --help               show this help\n"
                           "  --version            show the version\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(dir.path("out.yuv")), "<missing>");
}

TEST(Options, VersionShowsTheProjectVersion) {
    RunResult run = runTool({"--version"});
    EXPECT_EQ(run.out, banner + "framesplice " FRAMESPLICE_VERSION "\n");
    EXPECT_EQ(run.status, 0);
}

// After "--", and from the output name on, every argument is a file name.
TEST(Options, NamesThatLookLikeOptionsAreFiles) {
    TempDir dir;
    writeFile(dir.path("--size=cif"), clipBytes(1, 2));
    writeFile(dir.path("-"), clipBytes(2, 1));

    RunResult run = runTool({"--", "--joined", "--size=cif", "-"}, {dir.root});

    EXPECT_EQ(run.out, banner + "Done writing 3 frames.\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("--joined")), clipBytes(1, 2) + clipBytes(2, 1)),
              "");

    RunResult dash = runTool({"-", "--size=cif"}, {dir.root});
    EXPECT_EQ(dash.out, banner + "Done writing 2 frames.\n");
    EXPECT_EQ(dash.status, 0);
    EXPECT_EQ(firstDifference(readFile(dir.path("-")), clipBytes(1, 2)), "");
}

// ffmpeg writes the frames and joins them with its own concat filter; both
// drop the partial frame at the end of the first file.
struct PeerCase {
    const char *title;
    const char *size;
    const char *pixelFormat;
};

void PrintTo(const PeerCase &c, std::ostream *os) {
    *os << c.title;
}

class FfmpegPeerTest : public testing::TestWithParam<PeerCase> {};

bool hasFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

int runShell(const TempDir &dir, const std::string &command) {
    return std::system(("cd '" + dir.root + "' && " + command).c_str());
}

TEST_P(FfmpegPeerTest, JoinEqualsFfmpegsConcat) {
    if (!hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const PeerCase &c = GetParam();
    TempDir dir;
    const std::string size = c.size, format = c.pixelFormat;
    const std::string raw = " -f rawvideo -video_size " + size + " -pixel_format " + format;
    const std::string source = "ffmpeg -v error -f lavfi -i ";
    const std::string output = " -pix_fmt " + format + " -f rawvideo ";
    ASSERT_EQ(
        runShell(dir, source + "testsrc=size=" + size + ":rate=25 -frames:v 7" + output + "a.yuv"),
        0);
    ASSERT_EQ(runShell(dir, "head -c 1000 /dev/urandom >> a.yuv"), 0);
    ASSERT_EQ(runShell(dir, source + "smptebars=size=" + size + ":rate=25 -frames:v 5" + output +
                                "b.yuv"),
              0);
    // ffmpeg complains about the partial frame it drops.
    ASSERT_EQ(runShell(dir, "ffmpeg -v fatal" + raw + " -i a.yuv" + raw +
                                " -i b.yuv -filter_complex '[0:v][1:v]concat=n=2:v=1:a=0'"
                                " -fps_mode passthrough" +
                                output + "peer.yuv"),
              0);

    RunResult run = runTool(
        {"--size=" + size, "--pixel-format=" + format, "out.yuv", "a.yuv", "b.yuv"}, {dir.root});

    EXPECT_EQ(run.out, banner + "frame 10    \rDone writing 12 frames.\n");
    EXPECT_EQ(run.status, 0);
    std::string peer = readFile(dir.path("peer.yuv"));
    ASSERT_GT(peer.size(), 0u);
    EXPECT_EQ(firstDifference(readFile(dir.path("out.yuv")), peer, peer.size() / 12), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, FfmpegPeerTest,
                         testing::Values(PeerCase{"OddSizeYuv420p", "175x143", "yuv420p"},
                                         PeerCase{"Yuv422p10le", "640x360", "yuv422p10le"},
                                         PeerCase{"Nv12OddSize", "321x241", "nv12"},
                                         PeerCase{"Uyvy422", "720x576", "uyvy422"}),
                         [](const testing::TestParamInfo<PeerCase> &info) {
                             return std::string(info.param.title);
                         });

} // namespace
