#include "output_cut.h"

#include "frame_geometry.h"

#include <sys/stat.h>
#include <unistd.h>

bool cutOutputToWholeFrames(int outFd) {
    struct stat info;
    if (fstat(outFd, &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
        return true;
    const off_t frameLength = static_cast<off_t>(frameSize);
    const off_t wholeLength = info.st_size / frameLength * frameLength;
    return wholeLength == info.st_size || ftruncate(outFd, wholeLength) == 0;
}
