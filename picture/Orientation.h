// The camera's orientation of a picture: how its stored pixels are turned to be shown, and the turn itself.
#pragma once

#include "picture/Bitmap.h"

#include <cstddef>
#include <cstdint>

class QImageReader;

// Numbered as EXIF and TIFF number them, so a tag's value converts directly.
enum class Orientation : uint8_t {
    Upright = 1,
    Mirrored = 2,       // left and right exchanged
    HalfTurn = 3,
    Flipped = 4,        // top and bottom exchanged
    Transposed = 5,     // mirrored, then a quarter turn anticlockwise
    Clockwise = 6,      // a quarter turn clockwise
    Transversed = 7,    // mirrored, then a quarter turn clockwise
    Anticlockwise = 8,  // a quarter turn anticlockwise
};

// The orientation of a tag value; Upright for anything outside 1..8.
Orientation OrientationFromTag(int value);

// LibRaw's flip value (0, 3, 5 or 6; other values read as upright).
Orientation OrientationFromRawFlip(int flip);

// HEIF's transforms as AVIF files state them: `anticlockwiseQuarters` (0..3, irot's angle) applied first,
// then the mirror (`mirror` -1 for none, 0 top and bottom exchanged, 1 left and right, imir's mode). Values
// outside those ranges count as no turn and no mirror.
Orientation OrientationFromHeifTransforms(int anticlockwiseQuarters, int mirror);

// The orientation tag of the first directory of an EXIF block (a TIFF header, of either byte order, and its
// directories; a leading "Exif\0\0" is allowed), as WebP's EXIF chunk holds it. Upright without a tag, or
// when the block is cut, points outside itself or states a value outside 1..8.
Orientation ExifOrientation(const uint8_t* data, size_t size);

// True when the shown picture's width is the stored height.
constexpr bool SwapsSides(Orientation o) { return static_cast<int>(o) >= 5; }

// What Qt's reader says of the picture it is about to read (its JPEG and TIFF readers read the tag).
Orientation ReaderOrientation(QImageReader& reader);

// The orientation EXIF data in a JPEG file states (Upright without one, or with one that cannot be read).
// Reads only the markers before the picture data.
Orientation JpegOrientation(const uint8_t* data, size_t size);

// The bitmap as it is shown: sides exchanged for the quarter turns.
TBitmap Oriented(const TBitmap& stored, Orientation o);
