// Turns a picture file into the 128 x 128 work bitmap (and previews): the older types through the JPEG decoder
// at a scale chosen from the picture's size, the newer ones through their own libraries at the same reduction.
#pragma once

#include "picture/Bitmap.h"
#include "picture/PictureError.h"
#include "picture/PictureTypes.h"

#include <QString>
#include <cstdint>

struct LoadResult {
    int32_t Height = 0;    // full-size height from the JPEG header
    int32_t Width = 0;     // full-size width
    int ScaleDenom = 1;    // 1, 4 or 8: the decoding scale used before the stretch
    int DecodedWidth = 0;  // the size decoded at that scale, before the stretch to 128 x 128
    int DecodedHeight = 0;
};

// The decoding scale for a picture of the given full size: 8 when both sides exceed max(minimum, 1000),
// else 4 when both exceed max(minimum, 500), else 1. All comparisons strict.
int ChooseWorkScale(int32_t height, int32_t width, int32_t minPicWidth, int32_t minPicHeight);

// The source row (or column) that target row `target` of the 128-pixel work side takes from a source side
// of `sourceSize` pixels: nearest neighbour, sampling at the centre of the target pixel.
constexpr int StretchSource(int target, int sourceSize)
{
    return static_cast<int>((int64_t{2} * target + 1) * sourceSize / (2 * kWorkSize));
}

// Decodes the file, stretches it onto `work` (which ends as 128 x 128 Bgr24) and returns the full size.
// minPicWidth/minPicHeight take part in the choice of the decoding scale. With `followOrientation` the
// picture is turned as its EXIF (JPEG, TIFF, camera raw, WebP), AVIF or JPEG XL header says, and the sizes
// returned are those of the turned picture; HEIF pictures are always turned as their file says. Throws PictureError.
LoadResult LoadWorkPicture(const QString& path, TBitmap& work, int32_t minPicWidth, int32_t minPicHeight,
                           bool followOrientation = false);

// Decodes the file through the same decoder choice and JPEG conversion at 1/scaleDenom (1, 2, 4 or 8),
// returning the decoded bitmap (Bgr24) for display, turned as LoadWorkPicture turns it. Throws PictureError.
TBitmap LoadPreviewPicture(const QString& path, int scaleDenom, bool followOrientation = false);
