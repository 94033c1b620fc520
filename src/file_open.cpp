#include "file_open.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Only a regular output can be read back through an input; devices and
// pipes such as /dev/null may well be named on both sides.
bool isOutputFile(const struct stat &inInfo, FILE *pOutFile) {
    struct stat outInfo;
    if (fstat(fileno(pOutFile), &outInfo) != 0)
        return false;
    return S_ISREG(outInfo.st_mode) && isSameFile(inInfo, outInfo);
}

// Takes the output for this run, then cuts it. A second run on the same
// output is refused before it can cut what this one writes. A file system
// without locks is used unlocked rather than refused.
bool claimOutput(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
        return true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    // An empty file is left uncut: on ext4 a cut makes the final close write
    // back the whole output.
    return info.st_size == 0 || ftruncate(fd, 0) == 0;
}

FILE *streamFromDescriptor(int fd, const char *mode) {
    FILE *stream = fdopen(fd, mode);
    if (stream == nullptr) {
        close(fd);
        return nullptr;
    }
    // Frames move whole; a stream buffer would only split each one in two
    // system calls and hide a failed write until the stream is closed.
    setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

} // namespace

const char *findInputThatIsOutput(const char *outFile, char *const inFiles[], int inputCount) {
    struct stat outInfo;
    if (stat(outFile, &outInfo) != 0 || !S_ISREG(outInfo.st_mode))
        return nullptr;
    for (int i = 0; i < inputCount; ++i) {
        struct stat inInfo;
        if (stat(inFiles[i], &inInfo) == 0 && isSameFile(inInfo, outInfo))
            return inFiles[i];
    }
    return nullptr;
}

FILE *openOutput(const char *outFile) {
    // Not cut on opening: another run may hold this file.
    int fd = open(outFile, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    if (!claimOutput(fd)) {
        close(fd);
        return nullptr;
    }
    return streamFromDescriptor(fd, "wb");
}

FILE *openInput(const char *inFile, FILE *pOutFile) {
    int fd = open(inFile, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || isOutputFile(info, pOutFile)) {
        close(fd);
        return nullptr;
    }
    // Read once from start to end: a larger read-ahead pays off on disk.
    (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return streamFromDescriptor(fd, "rb");
}
