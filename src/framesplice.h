// The whole-frame copy, and the one buffer that frames pass through.
#pragma once

#include "frame_geometry.h"

#include <cstdint>
#include <cstdio>

enum class CopyResult { copied, readFailed, writeFailed };

// The one buffer every frame of a run passes through; null when memory is short.
unsigned char *acquireFrameBuffer();
void releaseFrameBuffer(unsigned char *pFrameBuffer);

// Appends the whole frames of pInFile to pOutFile, adding them to frameCount
// and printing progress; a trailing partial frame is dropped. On a failure it
// returns at once: frameCount then counts only frames written completely.
CopyResult copyWholeFrames(FILE *pInFile, FILE *pOutFile, unsigned char *pFrameBuffer,
                           int64_t &frameCount);
