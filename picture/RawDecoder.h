// Canon CR2 raw files through LibRaw, handed on as JPEG data like every other non-JPEG picture.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Develops the raw file (camera white balance, no rotation, 8 bits per channel) and compresses the result
// with EncodeJpeg. Refuses files whose raw or developed buffers would exceed kMaxDecodeBytes, checked
// before unpacking. Throws PictureError.
std::vector<uint8_t> RawToJpeg(const QString& path);
