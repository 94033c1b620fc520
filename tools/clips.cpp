// Writes a sample clip for framesplice: headerless YUV 4:2:0 frames of the
// tool's build geometry showing colour bars, in an order set by the scheme,
// with a grey stripe that moves one step to the right on every frame.
// Usage: framesplice_clips OUTPUT FRAMES SCHEME [TAIL_BYTES]
#include "framesplice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Yuv {
    unsigned char y, u, v;
};

// The eight classic bars in BT.601 video range.
const Yuv bars[8] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                     {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};
const int stripeSteps = 64; // the stripe crosses the picture in this many frames

// Scheme s shows the bars rotated by three places per scheme, so that each
// clip of a join is told apart at a glance.
Yuv colourAt(int x, int frame, int scheme) {
    int stripeWidth = frameWidth / stripeSteps > 0 ? frameWidth / stripeSteps : 1;
    int stripeX = (frame % stripeSteps) * stripeWidth;
    int bar = static_cast<int>(int64_t{x} * 8 / frameWidth);
    Yuv colour = bars[(bar + 3 * scheme) % 8];
    // Grey of the opposite lightness stands out on every bar.
    if (x >= stripeX && x < stripeX + stripeWidth)
        return {static_cast<unsigned char>(251 - colour.y), 128, 128};
    return colour;
}

void drawFrame(std::vector<unsigned char> &frame, int index, int scheme) {
    const size_t lumaSize = size_t(frameWidth) * frameHeight;
    const int chromaWidth = frameWidth / 2;
    const int chromaHeight = frameHeight / 2;
    const size_t chromaSize = size_t(chromaWidth) * chromaHeight;
    std::fill(frame.begin(), frame.end(), 128);
    for (int x = 0; x < frameWidth; ++x) {
        unsigned char y = colourAt(x, index, scheme).y;
        for (int row = 0; row < frameHeight; ++row)
            frame[size_t(row) * frameWidth + x] = y;
    }
    for (int cx = 0; cx < chromaWidth; ++cx) {
        Yuv colour = colourAt(cx * 2, index, scheme);
        for (int row = 0; row < chromaHeight; ++row) {
            frame[lumaSize + size_t(row) * chromaWidth + cx] = colour.u;
            frame[lumaSize + chromaSize + size_t(row) * chromaWidth + cx] = colour.v;
        }
    }
}

bool parseCount(const char *text, long max, long &value) {
    char *end = nullptr;
    errno = 0;
    value = strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= max;
}

int usage() {
    fprintf(stderr,
            "usage: framesplice_clips OUTPUT FRAMES SCHEME [TAIL_BYTES]\n"
            "  writes FRAMES frames of %dx%d colour bars (SCHEME 0-7 picks the order),\n"
            "  then TAIL_BYTES bytes of one more frame, cut short\n",
            frameWidth, frameHeight);
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    if (chooseFrameGeometry(defaultFrameSize, defaultPixelFormat) != GeometryResult::chosen)
        return 1;
    long frames = 0, scheme = 0, tailBytes = 0;
    if (argc < 4 || argc > 5 || !parseCount(argv[2], 1000000, frames) ||
        !parseCount(argv[3], 7, scheme) ||
        (argc == 5 && !parseCount(argv[4], static_cast<long>(frameSize) - 1, tailBytes)))
        return usage();

    FILE *out = fopen(argv[1], "wb");
    if (out == nullptr) {
        perror(argv[1]);
        return 1;
    }
    std::vector<unsigned char> frame(frameSize);
    bool written = true;
    for (long i = 0; written && i <= frames; ++i) {
        drawFrame(frame, static_cast<int>(i), static_cast<int>(scheme));
        size_t length = i < frames ? frameSize : static_cast<size_t>(tailBytes);
        written = fwrite(frame.data(), 1, length, out) == length;
    }
    if (fclose(out) != 0 || !written) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
