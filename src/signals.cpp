#include "signals.h"

#include "output_cut.h"

#include <atomic>
#include <csignal>

namespace {

const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> outputToCut{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read inside a signal handler");

// Everything happens here rather than in the main flow, so that no read,
// write or copy starts after the signal: the process ends in this handler.
void stopRun(int signalNumber) {
    int outFd = outputToCut.load();
    // Nothing more can be done or said about a cut that fails here.
    if (outFd >= 0)
        (void)cutOutputToWholeFrames(outFd);
    // Ends the process by the same signal, so that a shell or caller sees
    // how it ended; the signal is blocked until the handler returns.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

bool isIgnored(int signalNumber) {
    struct sigaction current;
    return sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

void stopOnSignals() {
    signal(SIGPIPE, SIG_IGN);

    struct sigaction action = {};
    action.sa_handler = stopRun;
    // No SA_RESTART: and one stop at a time, whichever signal comes first.
    sigemptyset(&action.sa_mask);
    for (int signalNumber : stopSignals)
        sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : stopSignals) {
        if (!isIgnored(signalNumber))
            sigaction(signalNumber, &action, nullptr);
    }
}

void cutOutputOnSignal(int outFd) {
    outputToCut.store(outFd);
}
