// Camera raw files through LibRaw: Canon CR2 handed on as JPEG data like every other older type, the rest of the
// raw family straight to reduced pixels.
#pragma once

#include "picture/PixelReduction.h"

#include <QString>
#include <cstdint>
#include <vector>

// Develops the raw file (camera white balance, no rotation, 8 bits per channel) and compresses the result
// with EncodeJpeg. Refuses files whose raw or developed buffers would exceed kMaxDecodeBytes, checked
// before unpacking. `shown`, when given, receives the turn the file states. Throws PictureError.
std::vector<uint8_t> RawToJpeg(const QString& path, Orientation* shown = nullptr);

// The raw family other than CR2: the embedded preview when it is at least as large as the reduced picture
// the scale asks for (a JPEG or 8-bit bitmap preview), otherwise the developed image as for RawToJpeg, at
// half size where the scale allows. Width and Height are the developed image's, unrotated; Shown is the
// turn the file states. Throws
// PictureError.
ReducedPicture RawToReduced(const QString& path, const ScaleChoice& scale);
