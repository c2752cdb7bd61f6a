// WebP, HEIF, AVIF and JPEG XL through their Debian libraries, decoded straight to reduced pixels: these types
// skip the JPEG conversion that the older types pass through.
#pragma once

#include "picture/PixelReduction.h"

#include <cstddef>
#include <cstdint>

// Each decodes the first (or primary) picture of the file held in memory. The full size is read from the
// header and refused when its pixels would exceed kMaxDecodeBytes, before any pixel buffer exists.
// Damaged, cut or foreign data throws PictureError. WebP (its EXIF chunk), AVIF (its irot and imir boxes) and
// JPEG XL (its header) state their turn in `Shown` and leave the pixels as stored.
ReducedPicture DecodeWebp(const uint8_t* data, size_t size, const ScaleChoice& scale);
// The primary image with its rotation, mirroring and cropping applied, as viewers show it.
ReducedPicture DecodeHeif(const uint8_t* data, size_t size, const ScaleChoice& scale);
ReducedPicture DecodeAvif(const uint8_t* data, size_t size, const ScaleChoice& scale);
ReducedPicture DecodeJxl(const uint8_t* data, size_t size, const ScaleChoice& scale);
