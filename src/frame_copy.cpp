#include "framesplice.h"

#include "console.h"
#include "output_cut.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <numeric>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Frames moved by one step of the in-kernel copy, counted from the start of
// each input: about 256 MiB, since each call into the kernel costs a share
// of the copy (ten frames a call measured 5% slower than cat, a hundred as
// fast), and a whole number of the output's blocks. File systems that share
// blocks between files (XFS, btrfs) do so only for block-aligned ranges; a
// step that ended inside a block would make every later step a byte copy.
off_t kernelStepFrames(blksize_t outBlockSize) {
    const off_t frameLength = static_cast<off_t>(frameSize);
    const off_t budgetFrames = std::max<off_t>(1, (off_t{256} << 20) / frameLength);
    const off_t block = outBlockSize > 0 ? outBlockSize : 4096;
    const off_t alignedFrames = block / std::gcd(frameLength, block);
    if (alignedFrames > 4 * budgetFrames)
        return budgetFrames;
    return std::max<off_t>(1, budgetFrames / alignedFrames) * alignedFrames;
}

void printProgress(int64_t frameCount) {
    if (frameCount % 10 != 0)
        return;
    say("frame %" PRId64 "    \r", frameCount);
}

// sendfile copies inside the kernel between any two files, from page cache
// to page cache, where copy_file_range refuses two file systems (EXDEV). It
// writes at the output's file offset, so that is set first.
ssize_t sendBetweenFileSystems(int inFd, off_t &inPos, int outFd, off_t &outPos, size_t length) {
    if (lseek(outFd, outPos, SEEK_SET) != outPos)
        return -1;
    ssize_t n = sendfile(outFd, inFd, &inPos, length);
    if (n > 0)
        outPos += n;
    return n;
}

// Moves `length` bytes from inPos to outPos inside the kernel; returns how
// many it moved before the input ended, a call failed or a signal came.
// copy_file_range goes first, as on XFS and btrfs it shares the blocks.
off_t copyInKernel(int inFd, off_t inPos, int outFd, off_t outPos, off_t length) {
    off_t moved = 0;
    bool acrossFileSystems = false;
    while (moved < length) {
        const size_t rest = static_cast<size_t>(length - moved);
        ssize_t n = acrossFileSystems ? sendBetweenFileSystems(inFd, inPos, outFd, outPos, rest)
                                      : copy_file_range(inFd, &inPos, outFd, &outPos, rest, 0);
        if (n < 0 && errno == EXDEV && !acrossFileSystems) {
            acrossFileSystems = true;
            continue;
        }
        if (n <= 0)
            break;
        moved += n;
    }
    return moved;
}

// Between regular files the whole frames are moved by the kernel, without a
// pass through the frame buffer. This stops at the first frame it cannot move
// whole, for whatever reason, and leaves both streams just after the last
// whole frame, so that the buffered copy finishes the input: it reads the
// tail, picks up anything the input gained, and meets and reports any real
// failure.
CopyResult copyFramesInKernel(FILE *pInFile, FILE *pOutFile, int64_t &frameCount) {
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
    const off_t stepFrames = kernelStepFrames(outInfo.st_blksize);
    bool moving = true;
    while (moving && inInfo.st_size - inPos >= frameLength) {
        off_t framesLeft = (inInfo.st_size - inPos) / frameLength;
        off_t step = std::min<off_t>(framesLeft, stepFrames);
        off_t moved = copyInKernel(inFd, inPos, outFd, outPos, step * frameLength);
        off_t wholeFrames = moved / frameLength;
        inPos += wholeFrames * frameLength;
        outPos += wholeFrames * frameLength;
        // Counted frame by frame, as the buffered copy counts them.
        for (off_t frame = 0; frame < wholeFrames; ++frame) {
            ++frameCount;
            printProgress(frameCount);
        }
        moving = wholeFrames == step;
    }
    // A frame moved in part must not stay behind the whole ones.
    if (!moving && !cutOutputToWholeFrames(outFd))
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
                           int64_t &frameCount) {
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
