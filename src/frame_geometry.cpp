#include "frame_geometry.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

int frameWidth = 0;
int frameHeight = 0;
size_t frameSize = 0;

GeometryResult chooseFrameGeometry(const char *sizeText, const char *pixelFormat) {
    // The library's own diagnostics would add lines to standard error; the
    // caller reports every refusal itself.
    av_log_set_level(AV_LOG_QUIET);

    int width = 0;
    int height = 0;
    if (av_parse_video_size(&width, &height, sizeText) < 0)
        return GeometryResult::badSize;
    if (av_image_check_size(static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                            nullptr) < 0)
        return GeometryResult::tooLarge;

    enum AVPixelFormat format = av_get_pix_fmt(pixelFormat);
    if (format == AV_PIX_FMT_NONE)
        return GeometryResult::unknownFormat;
    // Hardware formats are handles to memory on a device, with no bytes of
    // their own to store in a file.
    if (av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_HWACCEL)
        return GeometryResult::noFrameLayout;
    int bytes = av_image_get_buffer_size(format, width, height, 1);
    if (bytes <= 0)
        return GeometryResult::tooLarge;

    frameWidth = width;
    frameHeight = height;
    frameSize = static_cast<size_t>(bytes);
    return GeometryResult::chosen;
}
