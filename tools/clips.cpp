// Writes a sample clip for framesplice: headerless YUV 4:2:0 frames showing
// colour bars in an order set by the clip number, a grey stripe that moves
// one step to the right on every frame, and the clip and frame number in
// large figures ("2:07" is frame 7 of clip 2), so that a joined file shows
// its order and where each clip begins.
// Usage: framesplice_clips [--size=WxH] OUTPUT FRAMES CLIP [TAIL_BYTES]
#include "framesplice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Yuv {
    unsigned char y, u, v;
};

// The eight classic bars in BT.601 video range.
const Yuv bars[8] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                     {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};
const int stripeSteps = 64; // the stripe crosses the picture in this many frames

// 5x7 glyphs for the figures and the colon, one row per byte, high bit left.
const unsigned char glyphRows[11][7] = {
    {0x70, 0x88, 0x98, 0xa8, 0xc8, 0x88, 0x70}, {0x20, 0x60, 0x20, 0x20, 0x20, 0x20, 0x70},
    {0x70, 0x88, 0x08, 0x10, 0x20, 0x40, 0xf8}, {0xf8, 0x10, 0x20, 0x10, 0x08, 0x88, 0x70},
    {0x10, 0x30, 0x50, 0x90, 0xf8, 0x10, 0x10}, {0xf8, 0x80, 0xf0, 0x08, 0x08, 0x88, 0x70},
    {0x30, 0x40, 0x80, 0xf0, 0x88, 0x88, 0x70}, {0xf8, 0x08, 0x10, 0x20, 0x40, 0x40, 0x40},
    {0x70, 0x88, 0x88, 0x70, 0x88, 0x88, 0x70}, {0x70, 0x88, 0x88, 0x78, 0x08, 0x10, 0x60},
    {0x00, 0x60, 0x60, 0x00, 0x60, 0x60, 0x00}};
const int glyphWidth = 5, glyphHeight = 7;

// Clip c shows the bars rotated by three places per clip, so that each clip
// of a join is told apart at a glance.
Yuv colourAt(int x, int frame, int clip) {
    int stripeWidth = frameWidth / stripeSteps > 0 ? frameWidth / stripeSteps : 1;
    int stripeX = (frame % stripeSteps) * stripeWidth;
    int bar = static_cast<int>(int64_t{x} * 8 / frameWidth);
    Yuv colour = bars[(bar + 3 * clip) % 8];
    // Grey of the opposite lightness stands out on every bar.
    if (x >= stripeX && x < stripeX + stripeWidth)
        return {static_cast<unsigned char>(251 - colour.y), 128, 128};
    return colour;
}

// White figures on a black box in the top left corner, a sixth of the
// picture high, with neutral chroma under the box.
void drawLabel(std::vector<unsigned char> &frame, const std::string &label) {
    const int scale = std::max(1, frameHeight / 6 / (glyphHeight + 2));
    const int cellWidth = (glyphWidth + 1) * scale;
    const int boxWidth =
        std::min<int>(frameWidth, (static_cast<int>(label.size()) * cellWidth) + scale);
    const int boxHeight = std::min(frameHeight, (glyphHeight + 2) * scale);
    for (int row = 0; row < boxHeight; ++row) {
        for (int x = 0; x < boxWidth; ++x) {
            int glyphRow = row / scale - 1;
            int cell = (x - scale) / cellWidth;
            int glyphColumn = (x - scale) % cellWidth / scale;
            bool lit = x >= scale && glyphRow >= 0 && glyphRow < glyphHeight &&
                       glyphColumn < glyphWidth && cell < static_cast<int>(label.size());
            if (lit) {
                int glyph = label[cell] == ':' ? 10 : label[cell] - '0';
                lit = (glyphRows[glyph][glyphRow] << glyphColumn & 0x80) != 0;
            }
            frame[size_t(row) * frameWidth + x] = lit ? 235 : 16;
        }
    }
    const size_t lumaSize = size_t(frameWidth) * frameHeight;
    const int chromaWidth = (frameWidth + 1) / 2;
    const size_t chromaSize = size_t(chromaWidth) * ((frameHeight + 1) / 2);
    for (int row = 0; row < (boxHeight + 1) / 2; ++row) {
        for (int cx = 0; cx < (boxWidth + 1) / 2; ++cx) {
            frame[lumaSize + size_t(row) * chromaWidth + cx] = 128;
            frame[lumaSize + chromaSize + size_t(row) * chromaWidth + cx] = 128;
        }
    }
}

void drawFrame(std::vector<unsigned char> &frame, int index, int clip) {
    const size_t lumaSize = size_t(frameWidth) * frameHeight;
    // Odd sizes round the chroma planes up, as ffmpeg lays them out.
    const int chromaWidth = (frameWidth + 1) / 2;
    const int chromaHeight = (frameHeight + 1) / 2;
    const size_t chromaSize = size_t(chromaWidth) * chromaHeight;
    std::fill(frame.begin(), frame.end(), 128);
    for (int x = 0; x < frameWidth; ++x) {
        unsigned char y = colourAt(x, index, clip).y;
        for (int row = 0; row < frameHeight; ++row)
            frame[size_t(row) * frameWidth + x] = y;
    }
    for (int cx = 0; cx < chromaWidth; ++cx) {
        Yuv colour = colourAt(cx * 2, index, clip);
        for (int row = 0; row < chromaHeight; ++row) {
            frame[lumaSize + size_t(row) * chromaWidth + cx] = colour.u;
            frame[lumaSize + chromaSize + size_t(row) * chromaWidth + cx] = colour.v;
        }
    }
    const std::string frameNumber = std::to_string(index);
    drawLabel(frame, std::to_string(clip) + ":" + (index < 10 ? "0" : "") + frameNumber);
}

bool parseCount(const char *text, long max, long &value) {
    char *end = nullptr;
    errno = 0;
    value = strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= max;
}

int usage() {
    fprintf(stderr,
            "usage: framesplice_clips [--size=WxH] OUTPUT FRAMES CLIP [TAIL_BYTES]\n"
            "  writes FRAMES yuv420p frames of colour bars (default %s), each showing\n"
            "  CLIP:FRAME in large figures (CLIP 0-99 also picks the bar order), then\n"
            "  TAIL_BYTES bytes of one more frame, cut short\n",
            defaultFrameSize);
    return 1;
}

// "--size=WxH" or "--size WxH" before the other arguments; null if absent.
const char *takeSizeOption(int &argc, char **&argv) {
    if (argc > 1 && std::strncmp(argv[1], "--size=", 7) == 0) {
        const char *size = argv[1] + 7;
        --argc;
        ++argv;
        return size;
    }
    if (argc > 2 && std::strcmp(argv[1], "--size") == 0) {
        const char *size = argv[2];
        argc -= 2;
        argv += 2;
        return size;
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[]) {
    const char *size = takeSizeOption(argc, argv);
    if (chooseFrameGeometry(size != nullptr ? size : defaultFrameSize, defaultPixelFormat) !=
        GeometryResult::chosen) {
        fprintf(stderr, "framesplice_clips: frame size \"%s\" cannot be used\n",
                size != nullptr ? size : defaultFrameSize);
        return 1;
    }
    long frames = 0, clip = 0, tailBytes = 0;
    if (argc < 4 || argc > 5 || !parseCount(argv[2], 1000000, frames) ||
        !parseCount(argv[3], 99, clip) ||
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
        drawFrame(frame, static_cast<int>(i), static_cast<int>(clip));
        size_t length = i < frames ? frameSize : static_cast<size_t>(tailBytes);
        written = fwrite(frame.data(), 1, length, out) == length;
    }
    if (fclose(out) != 0 || !written) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
