// Keeping a damaged output to whole frames.
#pragma once

// Cuts a regular output back to its last whole frame, so that a failed write
// or an interruption does not leave part of a frame at its end. The output
// holds frames from its start, so everything below the cut is whole frames.
// False when the cut fails. Safe to call from a signal handler.
bool cutOutputToWholeFrames(int outFd);
