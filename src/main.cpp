// framesplice: joins the whole frames of raw video files into one file.
#include "file_open.h"
#include "framesplice.h"

#include <csignal>
#include <cstdio>

namespace {

void printUsage() {
    printf("Concatenates two or more .yuv files given\n");
    printf("Parameter 1: output filename with .yuv extension\n");
    printf("Parameters 2 through n: names of files to combine\n");
}

// Leaves the output with the whole frames written so far.
int abortRun(FILE *pOutFile, unsigned char *pFrameBuffer) {
    releaseFrameBuffer(pFrameBuffer);
    // The run is already failing and has said why.
    fclose(pOutFile);
    return 2;
}

} // namespace

int main(int argc, char *argv[]) {
    // Past a file-size limit a write then fails and is reported like any
    // other, instead of the signal killing the run in the middle of a frame.
    signal(SIGXFSZ, SIG_IGN);

    printf("Tolvane Framesplice (10-29-2014)\n");
    if (argc < 3) {
        printUsage();
        return 1;
    }

    const char *outFile = argv[1];
    char *const *inFiles = argv + 2;
    const int inputCount = argc - 2;
    // Cutting the output would destroy an input that is that same file.
    const char *outputAsInput = findInputThatIsOutput(outFile, inFiles, inputCount);
    if (outputAsInput != nullptr) {
        printf("Input file \"%s\" not found, aborting\n", outputAsInput);
        return 2;
    }
    FILE *pOutFile = openOutput(outFile);
    if (pOutFile == nullptr) {
        printf("Output file \"%s\" cannot be opened for writing\n", outFile);
        return 2;
    }
    unsigned char *pFrameBuffer = acquireFrameBuffer();
    if (pFrameBuffer == nullptr) {
        printf("Not enough memory for the frame buffer, aborting\n");
        fclose(pOutFile);
        return 2;
    }

    int32_t frameCount = 0;
    for (int i = 0; i < inputCount; ++i) {
        const char *inFile = inFiles[i];
        FILE *pInFile = openInput(inFile, pOutFile);
        if (pInFile == nullptr) {
            printf("Input file \"%s\" not found, aborting\n", inFile);
            return abortRun(pOutFile, pFrameBuffer);
        }
        CopyResult result = copyWholeFrames(pInFile, pOutFile, pFrameBuffer, frameCount);
        fclose(pInFile);
        if (result == CopyResult::readFailed) {
            printf("Input file \"%s\" cannot be read, aborting\n", inFile);
            return abortRun(pOutFile, pFrameBuffer);
        }
        if (result == CopyResult::writeFailed) {
            printf("Output file \"%s\" cannot be written, aborting\n", outFile);
            cutOutputToWholeFrames(pOutFile, frameCount);
            return abortRun(pOutFile, pFrameBuffer);
        }
    }

    releaseFrameBuffer(pFrameBuffer);
    if (fclose(pOutFile) != 0) {
        printf("Output file \"%s\" cannot be written, aborting\n", outFile);
        return 2;
    }
    printf("Done writing %i frames.\n", frameCount);
    return 0;
}
