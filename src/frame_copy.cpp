#include "framesplice.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void printProgress(int32_t frameCount) {
    if (frameCount % 10 != 0)
        return;
    printf("frame %d    \r", frameCount);
    // Shown as it happens, also when standard output is not a terminal.
    fflush(stdout);
}

// Moves one frame from inPos to outPos inside the kernel. False when the
// frame could not be moved whole; bytes it moved in part may then lie past
// outPos.
bool copyFrameInKernel(int inFd, off_t inPos, int outFd, off_t outPos) {
    size_t left = frameSize;
    while (left > 0) {
        ssize_t moved = copy_file_range(inFd, &inPos, outFd, &outPos, left, 0);
        if (moved <= 0)
            return false;
        left -= static_cast<size_t>(moved);
    }
    return true;
}

// Between regular files the whole frames are moved by the kernel, without a
// pass through the frame buffer. This stops at the first frame it cannot move
// whole, for whatever reason, and leaves both streams just after the last
// frame it moved, so that the buffered copy finishes the input: it reads the
// tail, picks up anything the input gained, and meets and reports any real
// failure.
CopyResult copyFramesInKernel(FILE *pInFile, FILE *pOutFile, int32_t &frameCount) {
    int inFd = fileno(pInFile);
    int outFd = fileno(pOutFile);
    struct stat inInfo, outInfo;
    if (fstat(inFd, &inInfo) != 0 || fstat(outFd, &outInfo) != 0)
        return CopyResult::copied;
    if (!S_ISREG(inInfo.st_mode) || !S_ISREG(outInfo.st_mode))
        return CopyResult::copied;
    off_t inPos = ftello(pInFile);
    off_t outPos = ftello(pOutFile);
    if (inPos < 0 || outPos < 0)
        return CopyResult::copied;

    const off_t frameLength = static_cast<off_t>(frameSize);
    bool moving = true;
    while (moving && inInfo.st_size - inPos >= frameLength) {
        moving = copyFrameInKernel(inFd, inPos, outFd, outPos);
        if (moving) {
            inPos += frameLength;
            outPos += frameLength;
            ++frameCount;
            printProgress(frameCount);
        }
    }
    // A frame moved in part must not stay behind the whole ones.
    if (!moving && ftruncate(outFd, outPos) != 0)
        return CopyResult::writeFailed;
    if (fseeko(pInFile, inPos, SEEK_SET) != 0)
        return CopyResult::readFailed;
    if (fseeko(pOutFile, outPos, SEEK_SET) != 0)
        return CopyResult::writeFailed;
    return CopyResult::copied;
}

} // namespace

unsigned char *acquireFrameBuffer() {
    // Page-aligned, so that the kernel copies whole pages in and out of it.
    const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void *pFrameBuffer = nullptr;
    if (posix_memalign(&pFrameBuffer, pageSize, frameSize) != 0)
        return nullptr;
    return static_cast<unsigned char *>(pFrameBuffer);
}

void releaseFrameBuffer(unsigned char *pFrameBuffer) {
    free(pFrameBuffer);
}

CopyResult copyWholeFrames(FILE *pInFile, FILE *pOutFile, unsigned char *pFrameBuffer,
                           int32_t &frameCount) {
    CopyResult kernelResult = copyFramesInKernel(pInFile, pOutFile, frameCount);
    if (kernelResult != CopyResult::copied)
        return kernelResult;

    while (!feof(pInFile)) {
        size_t bytesRead = fread(pFrameBuffer, 1, frameSize, pInFile);
        if (ferror(pInFile))
            return CopyResult::readFailed;
        if (bytesRead == frameSize) {
            if (fwrite(pFrameBuffer, 1, frameSize, pOutFile) != frameSize)
                return CopyResult::writeFailed;
            ++frameCount;
        }
        printProgress(frameCount);
    }
    return CopyResult::copied;
}
