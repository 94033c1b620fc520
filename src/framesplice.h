// Frame geometry and the whole-frame copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifndef FRAMESPLICE_WIDTH
#define FRAMESPLICE_WIDTH 1920
#endif
#ifndef FRAMESPLICE_HEIGHT
#define FRAMESPLICE_HEIGHT 1080
#endif

// Pixels per line and lines per frame, fixed when the tool is built.
constexpr int32_t frameWidth = FRAMESPLICE_WIDTH;
constexpr int32_t frameHeight = FRAMESPLICE_HEIGHT;

static_assert(frameWidth > 0 && frameHeight > 0, "frame width and height must be positive");
static_assert(int64_t{frameWidth} * frameHeight * 3 <= INT32_MAX,
              "frame width x height x 3 must fit in a signed 32-bit integer");

// One 8-bit YUV 4:2:0 picture: a full-size luma plane and two chroma planes
// of half width and half height.
constexpr size_t frameSize = static_cast<size_t>(frameWidth * frameHeight * 3 / 2);

enum class CopyResult { copied, readFailed, writeFailed };

// The one buffer every frame of a run passes through; null when memory is short.
unsigned char *acquireFrameBuffer();
void releaseFrameBuffer(unsigned char *pFrameBuffer);

// Appends the whole frames of pInFile to pOutFile, adding them to frameCount
// and printing progress; a trailing partial frame is dropped. On a failure it
// returns at once: frameCount then counts only frames written completely.
CopyResult copyWholeFrames(FILE *pInFile, FILE *pOutFile, unsigned char *pFrameBuffer,
                           int32_t &frameCount);
