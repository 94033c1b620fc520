// Times framesplice against `cat` joining the same inputs, run after run in
// alternating order, and reports the ratios and framesplice's peak memory.
// Where ffmpeg is installed, its exact rawvideo concat of the big inputs is
// timed too, as a second peer. Inputs go in INPUT_DIRECTORY, outputs in
// OUTPUT_DIRECTORY (the same by default), so that one run can measure a join
// from one file system to another.
// Usage: framesplice_bench [--quick] [--tool PATH] [INPUT_DIRECTORY [OUTPUT_DIRECTORY]]
#include "framesplice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Settings {
    std::string inputParent = "/var/tmp";
    std::string outputParent; // empty: the input directory
    std::string tool = FRAMESPLICE_PATH;
    int pairs = 7;
    int frameDivisor = 1; // --quick makes every input this many times smaller
};

struct Scenario {
    std::string name;
    std::vector<std::string> inputs;
    long long wholeFrames;
    bool cold;
};

struct Sample {
    double seconds;
    long peakKiB;
};

// The inputs live in a directory of their own, removed with them at the end.
struct WorkDir {
    explicit WorkDir(const std::string &parent) {
        std::string pattern = parent + "/framesplice-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a directory in " + parent);
        root = pattern;
    }
    ~WorkDir() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;
    std::string root;
};

// Frames of noise, so that no file system can share or compress them.
void writeInput(const std::string &path, long long frames, size_t tailBytes, uint64_t seed) {
    std::vector<uint64_t> frame((frameSize + 7) / 8);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (long long i = 0; i <= frames; ++i) {
        for (uint64_t &word : frame) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        size_t length = i < frames ? frameSize : tailBytes;
        if (write(fd, frame.data(), length) != static_cast<ssize_t>(length)) {
            close(fd);
            throw std::runtime_error("cannot write " + path);
        }
    }
    if (close(fd) != 0)
        throw std::runtime_error("cannot write " + path);
}

void dropPageCache() {
    sync();
    std::ofstream control("/proc/sys/vm/drop_caches");
    control << "3\n";
    if (!control.flush())
        throw std::runtime_error("cannot drop the page cache");
}

bool canDropPageCache() {
    return geteuid() == 0 && access("/proc/sys/vm/drop_caches", W_OK) == 0;
}

// Runs a command under /usr/bin/time, which reports the command's own peak
// memory, not this process's, with its standard output sent to stdoutPath.
Sample timeCommand(std::vector<std::string> command, const std::string &stdoutPath,
                   const std::string &memoryReport) {
    command.insert(command.begin(), {"/usr/bin/time", "-f", "%M", "-o", memoryReport});
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, 1) < 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("a timed run failed: " + command[5]);
    long peakKiB = 0;
    std::ifstream(memoryReport) >> peakKiB;
    return {elapsed.count(), peakKiB};
}

struct Contender {
    std::string name;
    std::vector<std::string> command;
    std::string output;       // the file the run writes, removed before each run
    std::string stdoutTarget; // where its standard output goes
};

// ffmpeg's own exact join: it reads each input as raw frames of the same
// geometry, drops a partial frame at the end of each, and writes the frames
// unchanged, neither dropped nor repeated for timing.
std::vector<std::string> ffmpegConcat(const std::vector<std::string> &inputs,
                                      const std::string &output) {
    const std::string size = std::to_string(frameWidth) + "x" + std::to_string(frameHeight);
    std::vector<std::string> command = {"/usr/bin/ffmpeg", "-v", "fatal", "-y"};
    std::string filter;
    for (size_t i = 0; i < inputs.size(); ++i) {
        command.insert(command.end(), {"-f", "rawvideo", "-video_size", size, "-pixel_format",
                                       defaultPixelFormat, "-i", inputs[i]});
        filter += "[" + std::to_string(i) + ":v]";
    }
    filter += "concat=n=" + std::to_string(inputs.size()) + ":v=1:a=0";
    command.insert(command.end(), {"-filter_complex", filter, "-fps_mode", "passthrough", "-f",
                                   "rawvideo", "-pix_fmt", defaultPixelFormat, output});
    return command;
}

bool hasFfmpeg() {
    return access("/usr/bin/ffmpeg", X_OK) == 0;
}

Sample runOnce(const Contender &who, const Scenario &scenario, const std::string &memoryReport) {
    fs::remove(who.output);
    if (scenario.cold)
        dropPageCache();
    else
        sync();
    return timeCommand(who.command, who.stdoutTarget, memoryReport);
}

void checkJoin(const std::string &output, long long wholeFrames) {
    if (fs::file_size(output) != static_cast<uintmax_t>(wholeFrames) * frameSize)
        throw std::runtime_error("framesplice wrote the wrong number of bytes to " + output);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double fastest(const std::vector<double> &values) {
    return *std::min_element(values.begin(), values.end());
}

struct Timings {
    std::vector<double> seconds;
    long peakKiB = 0;
};

void printRow(const Scenario &scenario, const std::string &who, const Timings &run,
              const Timings &cat) {
    std::vector<double> ratios;
    for (size_t i = 0; i < run.seconds.size(); ++i)
        ratios.push_back(run.seconds[i] / cat.seconds[i]);
    printf("%-8s %-12s %8.3f %8.3f %8.3f %8.3f %9.3f %9.3f %8.1f %8.1f\n", scenario.name.c_str(),
           who.c_str(), median(run.seconds), fastest(run.seconds), median(cat.seconds),
           fastest(cat.seconds), median(ratios), fastest(run.seconds) / fastest(cat.seconds),
           run.peakKiB / 1024.0, cat.peakKiB / 1024.0);
    fflush(stdout);
}

// Each pair runs cat and every other contender once, in an order that
// rotates from pair to pair, so that neither gains from going first.
void runScenario(const Scenario &scenario, const Settings &settings, const WorkDir &inputDir,
                 const WorkDir &outputDir, bool withFfmpeg) {
    const std::string joined = outputDir.root + "/joined.yuv";
    const std::string catted = outputDir.root + "/catted.yuv";
    const std::string peer = outputDir.root + "/ffmpeg.yuv";
    const std::string memoryReport = inputDir.root + "/peak-memory";
    std::vector<std::string> toolCommand = {settings.tool, joined};
    toolCommand.insert(toolCommand.end(), scenario.inputs.begin(), scenario.inputs.end());
    std::vector<std::string> catCommand = {"/bin/cat"};
    catCommand.insert(catCommand.end(), scenario.inputs.begin(), scenario.inputs.end());
    std::vector<Contender> contenders = {{"cat", catCommand, catted, catted},
                                         {"framesplice", toolCommand, joined, "/dev/null"}};
    if (withFfmpeg)
        contenders.push_back({"ffmpeg", ffmpegConcat(scenario.inputs, peer), peer, "/dev/null"});

    std::vector<Timings> timings(contenders.size());
    for (int pair = -1; pair < settings.pairs; ++pair) { // pair -1 warms up
        for (size_t turn = 0; turn < contenders.size(); ++turn) {
            size_t who = (turn + static_cast<size_t>(pair + 1)) % contenders.size();
            Sample sample = runOnce(contenders[who], scenario, memoryReport);
            if (pair < 0)
                continue;
            timings[who].seconds.push_back(sample.seconds);
            timings[who].peakKiB = std::max(timings[who].peakKiB, sample.peakKiB);
        }
        checkJoin(joined, scenario.wholeFrames);
        if (withFfmpeg)
            checkJoin(peer, scenario.wholeFrames);
    }
    for (const Contender &who : contenders)
        fs::remove(who.output);
    for (size_t who = 1; who < contenders.size(); ++who)
        printRow(scenario, contenders[who].name, timings[who], timings[0]);
}

// Peak memory of one join, to show that it does not grow with the input.
void reportPeakMemory(const std::string &label, const Scenario &scenario, const Settings &settings,
                      const WorkDir &dir) {
    const std::string joined = dir.root + "/joined.yuv";
    std::vector<std::string> command = {settings.tool, joined};
    command.insert(command.end(), scenario.inputs.begin(), scenario.inputs.end());
    fs::remove(joined);
    Sample run = timeCommand(command, "/dev/null", dir.root + "/peak-memory");
    checkJoin(joined, scenario.wholeFrames);
    fs::remove(joined);
    printf("peak memory of a %s join (%.2f GB): %.1f MiB (frame %.1f MiB)\n", label.c_str(),
           static_cast<double>(scenario.wholeFrames * frameSize) / 1e9, run.peakKiB / 1024.0,
           frameSize / 1048576.0);
}

Settings parseArguments(int argc, char *argv[]) {
    Settings settings;
    bool inputGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            settings.pairs = 1;
            settings.frameDivisor = 10;
        } else if (std::strcmp(argv[i], "--tool") == 0 && i + 1 < argc) {
            settings.tool = argv[++i];
        } else if (argv[i][0] == '-' || !settings.outputParent.empty()) {
            throw std::runtime_error("usage: framesplice_bench [--quick] [--tool PATH]"
                                     " [INPUT_DIRECTORY [OUTPUT_DIRECTORY]]");
        } else if (!inputGiven) {
            settings.inputParent = argv[i];
            inputGiven = true;
        } else {
            settings.outputParent = argv[i];
        }
    }
    return settings;
}

void runBenchmark(const Settings &settings) {
    if (chooseFrameGeometry(defaultFrameSize, defaultPixelFormat) != GeometryResult::chosen)
        throw std::runtime_error("the default frame geometry cannot be used");
    if (access("/usr/bin/time", X_OK) != 0)
        throw std::runtime_error("needs /usr/bin/time (Debian package 'time') to measure memory");
    WorkDir dir(settings.inputParent);
    WorkDir outputDir(settings.outputParent.empty() ? settings.inputParent : settings.outputParent);
    const int d = settings.frameDivisor;
    printf("inputs in %s, outputs in %s; %d timed pairs after one warm-up pair;"
           " times in seconds\n",
           dir.root.c_str(), outputDir.root.c_str(), settings.pairs);

    Scenario big{"big", {}, 0, false};
    const long long bigFrames[] = {100 / d, 150 / d, 80 / d};
    const size_t bigTails[] = {1000, frameSize / 2, 7};
    for (int i = 0; i < 3; ++i) {
        big.inputs.push_back(dir.root + "/big" + std::to_string(i) + ".yuv");
        writeInput(big.inputs.back(), bigFrames[i], bigTails[i], i + 1);
        big.wholeFrames += bigFrames[i];
    }
    // Whole frames only, in counts that keep every input on a block boundary
    // of the output, so that a file system can share blocks instead of
    // copying them.
    Scenario aligned{"aligned", {}, 0, false};
    const long long alignedFrames[] = {96, 160, 64};
    for (int i = 0; i < 3; ++i) {
        const long long frames = std::max(8LL, alignedFrames[i] / d / 8 * 8);
        aligned.inputs.push_back(dir.root + "/aligned" + std::to_string(i) + ".yuv");
        writeInput(aligned.inputs.back(), frames, 0, 10 + i);
        aligned.wholeFrames += frames;
    }
    Scenario many{"many", {}, 300 / d, false};
    for (int i = 0; i < 300 / d; ++i) {
        many.inputs.push_back(dir.root + "/one" + std::to_string(i) + ".yuv");
        writeInput(many.inputs.back(), 1, 0, 100 + i);
    }

    printf("%-8s %-12s %8s %8s %8s %8s %9s %9s %8s %8s\n", "", "", "med", "min", "cat med",
           "cat min", "ratio med", "ratio min", "MiB", "cat MiB");
    runScenario(big, settings, dir, outputDir, hasFfmpeg());
    runScenario(aligned, settings, dir, outputDir, false);
    runScenario(many, settings, dir, outputDir, false);
    if (settings.frameDivisor == 1 && canDropPageCache()) {
        Scenario cold = big;
        cold.name = "cold";
        cold.cold = true;
        runScenario(cold, settings, dir, outputDir, false);
    } else {
        printf("cold     skipped: %s\n", settings.frameDivisor == 1
                                             ? "dropping the page cache needs root"
                                             : "not in a quick run");
    }
    if (!hasFfmpeg())
        printf("ffmpeg   skipped: /usr/bin/ffmpeg is not installed\n");

    reportPeakMemory("1x", big, settings, outputDir);
    Scenario threeTimes = big;
    for (int i = 0; i < 2; ++i)
        threeTimes.inputs.insert(threeTimes.inputs.end(), big.inputs.begin(), big.inputs.end());
    threeTimes.wholeFrames *= 3;
    reportPeakMemory("3x", threeTimes, settings, outputDir);
}

} // namespace

int main(int argc, char *argv[]) {
    try {
        runBenchmark(parseArguments(argc, argv));
    } catch (const std::exception &e) {
        fprintf(stderr, "framesplice_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
