#include "clips.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string stampedFrame(int clip, int index, size_t frameSize) {
    std::string frame(frameSize, '\0');
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<char>((clip * 67 + index * 13 + i) % 251);
    std::string stamp = "clip " + std::to_string(clip) + " frame " + std::to_string(index) + ";";
    frame.replace(0, stamp.size(), stamp);
    frame.replace(frame.size() - stamp.size(), stamp.size(), stamp);
    return frame;
}

std::string clipBytes(int clip, int frames, size_t tailBytes, size_t frameSize) {
    std::string bytes;
    for (int i = 0; i < frames; ++i)
        bytes += stampedFrame(clip, i, frameSize);
    bytes += stampedFrame(clip, frames, frameSize).substr(0, tailBytes);
    return bytes;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string firstDifference(const std::string &actual, const std::string &expected,
                            size_t frameSize) {
    if (actual == expected)
        return "";
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    std::ostringstream text;
    text << "length " << actual.size() << " (" << actual.size() / frameSize << " frames + "
         << actual.size() % frameSize << " bytes), expected " << expected.size() << " ("
         << expected.size() / frameSize << " frames + " << expected.size() % frameSize
         << " bytes); first difference in frame " << at / frameSize << " at byte "
         << at % frameSize;
    return text.str();
}

TempDir::TempDir(const std::string &parent) {
    std::filesystem::path base =
        parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent);
    std::string pattern = (base / "framesplice-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    root = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string TempDir::path(const std::string &name) const {
    return root + "/" + name;
}
