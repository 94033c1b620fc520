// Test clips whose frames are stamped with their clip and index, so that a
// frame out of order, repeated, missing or cut short shows in the output.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t testFrameSize = size_t{TEST_FRAME_WIDTH} * TEST_FRAME_HEIGHT * 3 / 2;

std::string stampedFrame(int clip, int index, size_t frameSize = testFrameSize);
// `frames` whole frames of clip `clip`, then `tailBytes` bytes of a frame cut short.
std::string clipBytes(int clip, int frames, size_t tailBytes = 0, size_t frameSize = testFrameSize);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);

// "" when equal; else where the first difference lies, in frames, so that a
// failure names the frame instead of dumping megabytes.
std::string firstDifference(const std::string &actual, const std::string &expected,
                            size_t frameSize = testFrameSize);

// A fresh directory (in the system's temporary directory unless a parent is
// given), removed with all it holds when this goes out of scope.
struct TempDir {
    explicit TempDir(const std::string &parent = "");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const;
    std::string root;
};
