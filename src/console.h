// Where the tool's own text goes: standard output, unless that is the output
// file itself.
#pragma once

// Opens /dev/null onto any of descriptors 0, 1 and 2 that is closed, so that
// no file the run opens later takes one of them and receives console text.
// False when that cannot be done.
bool fillClosedStandardDescriptors();

// Sends console text to standard error when standard output is the output
// file (a regular file or a pipe, under any name), and nowhere when standard
// error is that file too, so that the output holds frames only.
void keepConsoleOffOutput(const char *outFile);

// Prints one piece of console text and shows it at once. A console that
// cannot be written (a reader gone, a full device) does not stop the join.
void say(const char *format, ...) __attribute__((format(printf, 1, 2)));
