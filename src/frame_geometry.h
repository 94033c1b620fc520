// What a frame is: its picture size, pixel format and length in bytes, chosen
// once at the start of a run.
#pragma once

#include <cstddef>

#ifndef FRAMESPLICE_WIDTH
#define FRAMESPLICE_WIDTH 1920
#endif
#ifndef FRAMESPLICE_HEIGHT
#define FRAMESPLICE_HEIGHT 1080
#endif
#define FRAMESPLICE_TEXT_(x) #x
#define FRAMESPLICE_TEXT(x) FRAMESPLICE_TEXT_(x)

// The size used when none is asked for, as the tool's own build sets it.
constexpr const char *defaultFrameSize =
    FRAMESPLICE_TEXT(FRAMESPLICE_WIDTH) "x" FRAMESPLICE_TEXT(FRAMESPLICE_HEIGHT);
constexpr const char *defaultPixelFormat = "yuv420p";

// Pixels per line, lines per frame, and bytes per frame as ffmpeg's raw video
// stores them: planes back to back, no padding, chroma planes of odd sizes
// rounded up.
extern int frameWidth;
extern int frameHeight;
extern size_t frameSize;

enum class GeometryResult { chosen, badSize, tooLarge, unknownFormat, noFrameLayout };

// Sets the frame geometry from a size (WIDTHxHEIGHT or a size name such as
// hd1080) and a pixel format name such as yuv420p, as ffmpeg reads them. On
// failure the geometry is left unset.
GeometryResult chooseFrameGeometry(const char *sizeText, const char *pixelFormat);
