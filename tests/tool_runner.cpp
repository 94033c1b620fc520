#include "tool_runner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void setLimit(int resource, long bytes) {
    if (bytes < 0)
        return;
    struct rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (setrlimit(resource, &limit) != 0)
        _exit(126);
}

[[noreturn]] void execTool(const std::vector<std::string> &args, const RunOptions &options,
                           int outFd, int errFd) {
    if (chdir(options.workDir.c_str()) != 0)
        _exit(126);
    int inFd = options.stdinFd >= 0 ? options.stdinFd : open("/dev/null", O_RDONLY);
    if (options.stdoutFd >= 0)
        outFd = options.stdoutFd;
    if (!options.stdoutFile.empty()) {
        int flags = O_WRONLY | O_CREAT | (options.append ? O_APPEND : O_TRUNC);
        outFd = open(options.stdoutFile.c_str(), flags, 0666);
        if (options.stderrToo)
            errFd = outFd;
    }
    if (outFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
        _exit(126);
    for (int fd : options.closedFds)
        close(fd);
    // Left at their defaults, as a shell leaves them: the tool itself must
    // keep a write past the file-size limit or to a closed pipe from killing
    // it, and must itself handle the signals that stop it.
    for (int signalNumber : {SIGXFSZ, SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        signal(signalNumber, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setLimit(RLIMIT_FSIZE, options.fileSizeLimit);
    setLimit(RLIMIT_DATA, options.dataLimit);
    std::vector<char *> argv;
    std::string tool = FRAMESPLICE_PATH;
    argv.push_back(tool.data());
    std::string sizeOption = TEST_SIZE_OPTION;
    if (!sizeOption.empty())
        argv.push_back(sizeOption.data());
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
}

void readAll(int fd, std::string &into) {
    char chunk[65536];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            into.append(chunk, static_cast<size_t>(got));
}

} // namespace

RunningTool startTool(const std::vector<std::string> &args, const RunOptions &options) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        execTool(args, options, outPipe[1], errPipe[1]);
    close(outPipe[1]);
    close(errPipe[1]);
    return RunningTool{pid, outPipe[0], errPipe[0]};
}

std::string readOutputUntil(RunningTool &run, const std::string &wanted, int timeoutMs) {
    std::string out;
    const int stepMs = 50;
    for (int waited = 0; waited < timeoutMs && out.find(wanted) == std::string::npos;) {
        struct pollfd ready = {run.outFd, POLLIN, 0};
        int n = poll(&ready, 1, stepMs);
        if (n == 0) {
            waited += stepMs;
            continue;
        }
        char chunk[4096];
        ssize_t got = read(run.outFd, chunk, sizeof chunk);
        if (got <= 0)
            break;
        out.append(chunk, static_cast<size_t>(got));
    }
    return out;
}

bool isStillRunning(const RunningTool &run) {
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(run.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

RunResult finishTool(RunningTool &run, std::string outSoFar) {
    RunResult result;
    result.out = std::move(outSoFar);
    if (run.outFd >= 0) {
        readAll(run.outFd, result.out);
        close(run.outFd);
    }
    readAll(run.errFd, result.err);
    close(run.errFd);
    int wstatus = 0;
    while (waitpid(run.pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
    return result;
}

RunResult runTool(const std::vector<std::string> &args, const RunOptions &options) {
    RunningTool run = startTool(args, options);
    return finishTool(run);
}

bool writeAll(int fd, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
