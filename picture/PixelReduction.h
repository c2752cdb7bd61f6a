// Shrinks decoded pixels of any common layout to a Bgr24 bitmap at 1/scale, composing transparency over black.
#pragma once

#include "picture/Bitmap.h"
#include "picture/Orientation.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// A decoded picture: its full size, and its pixels reduced to about 1/ScaleDenom of it (Bgr24, transparency
// composed over black).
struct ReducedPicture {
    int32_t Width = 0;
    int32_t Height = 0;
    int ScaleDenom = 1;
    TBitmap Pixels;
    Orientation Shown = Orientation::Upright;  // what the file says of its turn; the pixels are as stored
};

// The reduction (1, 2, 4 or 8) wanted for a picture of the given full size.
using ScaleChoice = std::function<int(int32_t width, int32_t height)>;

enum class SourceLayout : uint8_t {
    Bgr24,
    Rgb24,
    Rgba32,               // straight alpha
    Rgba32Premultiplied,  // colour already multiplied by alpha
    Bgra32Premultiplied,
    Grey8,
};

// The side that 1/scale of `side` gives, rounded up as libjpeg's scaled output is.
constexpr int ReducedSide(int side, int scale) { return (side + scale - 1) / scale; }

// Each target pixel is the rounded mean of its scale x scale block (smaller at the right and bottom edges),
// which is what a JPEG decoded at 1/scale gives from its DC terms. Straight alpha is composed over black
// first, as premultiplied pixels already are. scale 1 only converts the layout.
TBitmap ReducePixels(const uint8_t* pixels, int width, int height, std::ptrdiff_t stride, SourceLayout layout,
                     int scale);

// The bitmap's size when the picture is reduced: both sides, each with ReducedSide.
int64_t ReducedBytes(int width, int height, int scale);
