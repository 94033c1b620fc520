// The command line: long options first, then the output and input names.
#pragma once

#include "frame_geometry.h"

enum class OptionError { none, unknown, missingValue };

struct CommandLine {
    const char *sizeText = defaultFrameSize;
    const char *pixelFormat = defaultPixelFormat;
    bool help = false;
    bool version = false;
    OptionError error = OptionError::none;
    const char *badOption = nullptr; // the argument an error is about
    int firstName = 1;               // index of the output name in argv
};

// Options stand only before the output name, and "--" ends them. Every
// argument from the first that does not start with "--" is a file name, so
// "-" and names that start with one dash keep meaning files.
CommandLine parseCommandLine(int argc, char *argv[]);
