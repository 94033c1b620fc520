#include "console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FILE *console = stdout; // null: say nothing

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

// Only files and pipes: a device such as /dev/null may stand on both sides
// without the console text reaching anything that is kept.
bool isDescriptorOf(int fd, const struct stat &file) {
    struct stat info;
    if (fstat(fd, &info) != 0)
        return false;
    return info.st_dev == file.st_dev && info.st_ino == file.st_ino &&
           (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
}

} // namespace

bool fillClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (isOpen(fd))
            continue;
        // The lowest free descriptor is taken, and that is this one.
        int filler = open("/dev/null", O_RDWR);
        if (filler != fd) {
            if (filler >= 0)
                close(filler);
            return false;
        }
    }
    return true;
}

void keepConsoleOffOutput(const char *outFile) {
    struct stat output;
    if (stat(outFile, &output) != 0 || !isDescriptorOf(STDOUT_FILENO, output))
        return;
    console = isDescriptorOf(STDERR_FILENO, output) ? nullptr : stderr;
}

void say(const char *format, ...) {
    if (console == nullptr)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(console, format, args);
    va_end(args);
    fflush(console);
}
