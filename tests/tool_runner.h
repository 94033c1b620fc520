// Runs the built tool as a child process and collects what it shows.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The first line of every run.
inline const std::string banner = "Tolvane Framesplice (10-29-2014)\n";

struct RunOptions {
    RunOptions(std::string dir = ".") : workDir(std::move(dir)) {}
    std::string workDir;
    long fileSizeLimit = -1; // RLIMIT_FSIZE in bytes, -1 for none
    long dataLimit = -1;     // RLIMIT_DATA in bytes, -1 for none
    int stdinFd = -1;        // the child's standard input; -1 for /dev/null
    int stdoutFd = -1;       // the child's standard output; -1 for a pipe to the test
    // When set, standard output (and with stderrToo standard error) is this
    // file in workDir, opened as a shell's ">" or, with append, ">>" would.
    std::string stdoutFile;
    bool append = false;
    bool stderrToo = false;
    std::vector<int> closedFds; // closed in the child just before exec
};

struct RunResult {
    int status = -1; // exit status, or -1 when the child did not exit normally
    int signal = 0;  // the signal that ended the child, or 0
    std::string out;
    std::string err;
};

// A run still going: its standard output can be read while it works. A test
// that closes outFd early sets it to -1.
struct RunningTool {
    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
};

RunningTool startTool(const std::vector<std::string> &args, const RunOptions &options = {});
// Reads from the run's standard output until it holds `wanted` or the
// timeout passes; returns all it read.
std::string readOutputUntil(RunningTool &run, const std::string &wanted, int timeoutMs);
bool isStillRunning(const RunningTool &run);
RunResult finishTool(RunningTool &run, std::string outSoFar = "");
RunResult runTool(const std::vector<std::string> &args, const RunOptions &options = {});

// Writes all of `bytes` to a pipe or file; false if a write fails.
bool writeAll(int fd, const std::string &bytes);
