// framesplice: joins the whole frames of raw video files into one file.
#include "console.h"
#include "file_open.h"
#include "framesplice.h"
#include "options.h"
#include "output_cut.h"
#include "signals.h"

#include <cinttypes>
#include <csignal>
#include <cstdio>

namespace {

void printUsage() {
    say("Concatenates two or more .yuv files given\n");
    say("Parameter 1: output filename with .yuv extension\n");
    say("Parameters 2 through n: names of files to combine\n");
}

void printHelp() {
    printUsage();
    say("  --size=WxH           frame size in pixels, or a name such as cif, hd720, hd1080 or 4k"
        " (default %s)\n",
        defaultFrameSize);
    say("  --pixel-format=NAME  pixel format as ffmpeg names it, such as yuv420p, yuv422p10le,"
        " nv12, uyvy422, gray or rgb24 (default %s)\n",
        defaultPixelFormat);
    say("  --help               show this help\n");
    say("  --version            show the version\n");
}

// True when an option could not be taken, which is then reported.
bool reportOptionError(const CommandLine &line) {
    switch (line.error) {
    case OptionError::unknown:
        say("Option \"%s\" is not known\n", line.badOption);
        return true;
    case OptionError::missingValue:
        say("Option \"%s\" needs a value\n", line.badOption);
        return true;
    case OptionError::none:
        break;
    }
    return false;
}

// True when the frame geometry could be set from the options.
bool chooseGeometry(const CommandLine &line) {
    switch (chooseFrameGeometry(line.sizeText, line.pixelFormat)) {
    case GeometryResult::chosen:
        return true;
    case GeometryResult::badSize:
        say("Frame size \"%s\" is not WIDTHxHEIGHT or a known size name\n", line.sizeText);
        break;
    case GeometryResult::tooLarge:
        say("Frame size \"%s\" is too large\n", line.sizeText);
        break;
    case GeometryResult::unknownFormat:
        say("Pixel format \"%s\" is not known\n", line.pixelFormat);
        break;
    case GeometryResult::noFrameLayout:
        say("Pixel format \"%s\" has no frame layout in memory\n", line.pixelFormat);
        break;
    }
    return false;
}

// A closed descriptor may be reused, and must no longer be cut on a signal.
int closeOutput(FILE *pOutFile) {
    cutOutputOnSignal(-1);
    return fclose(pOutFile);
}

// Leaves the output with the whole frames written so far.
int abortRun(FILE *pOutFile, unsigned char *pFrameBuffer) {
    releaseFrameBuffer(pFrameBuffer);
    // The run is already failing and has said why.
    (void)closeOutput(pOutFile);
    return 2;
}

} // namespace

int main(int argc, char *argv[]) {
    if (!fillClosedStandardDescriptors())
        return 2;
    stopOnSignals();
    // Past a file-size limit a write then fails and is reported like any
    // other, instead of the signal killing the run in the middle of a frame.
    signal(SIGXFSZ, SIG_IGN);

    const CommandLine line = parseCommandLine(argc, argv);
    if (line.firstName < argc)
        keepConsoleOffOutput(argv[line.firstName]);
    say("Tolvane Framesplice (10-29-2014)\n");
    if (line.help) {
        printHelp();
        return 0;
    }
    if (line.version) {
        say("framesplice %s\n", FRAMESPLICE_VERSION);
        return 0;
    }
    if (reportOptionError(line) || !chooseGeometry(line))
        return 1;
    if (argc - line.firstName < 2) {
        printUsage();
        return 1;
    }

    const char *outFile = argv[line.firstName];
    char *const *inFiles = argv + line.firstName + 1;
    const int inputCount = argc - line.firstName - 1;
    // Cutting the output would destroy an input that is that same file.
    const char *outputAsInput = findInputThatIsOutput(outFile, inFiles, inputCount);
    if (outputAsInput != nullptr) {
        say("Input file \"%s\" not found, aborting\n", outputAsInput);
        return 2;
    }
    FILE *pOutFile = openOutput(outFile);
    if (pOutFile == nullptr) {
        say("Output file \"%s\" cannot be opened for writing\n", outFile);
        return 2;
    }
    cutOutputOnSignal(fileno(pOutFile));
    unsigned char *pFrameBuffer = acquireFrameBuffer();
    if (pFrameBuffer == nullptr) {
        say("Not enough memory for the frame buffer, aborting\n");
        return abortRun(pOutFile, pFrameBuffer);
    }

    int64_t frameCount = 0;
    for (int i = 0; i < inputCount; ++i) {
        const char *inFile = inFiles[i];
        FILE *pInFile = openInput(inFile, pOutFile);
        if (pInFile == nullptr) {
            say("Input file \"%s\" not found, aborting\n", inFile);
            return abortRun(pOutFile, pFrameBuffer);
        }
        CopyResult result = copyWholeFrames(pInFile, pOutFile, pFrameBuffer, frameCount);
        fclose(pInFile);
        if (result == CopyResult::readFailed) {
            say("Input file \"%s\" cannot be read, aborting\n", inFile);
            return abortRun(pOutFile, pFrameBuffer);
        }
        if (result == CopyResult::writeFailed) {
            say("Output file \"%s\" cannot be written, aborting\n", outFile);
            (void)cutOutputToWholeFrames(fileno(pOutFile));
            return abortRun(pOutFile, pFrameBuffer);
        }
    }

    releaseFrameBuffer(pFrameBuffer);
    if (closeOutput(pOutFile) != 0) {
        say("Output file \"%s\" cannot be written, aborting\n", outFile);
        return 2;
    }
    say("Done writing %" PRId64 " frames.\n", frameCount);
    return 0;
}
