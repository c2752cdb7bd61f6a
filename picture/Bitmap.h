// Our own pixel holder for the work bitmap and previews: 24-bit BGR rows or 8-bit grey rows, row 0 at the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class PixelFormat : uint8_t { Bgr24, Grey8 };

struct TBitmap {
    int Width = 0;
    int Height = 0;
    PixelFormat Format = PixelFormat::Bgr24;
    std::vector<uint8_t> Pixels;  // Height rows of Width * BytesPerPixel() bytes, no padding

    int BytesPerPixel() const { return Format == PixelFormat::Bgr24 ? 3 : 1; }
    uint8_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * Width * BytesPerPixel(); }
    const uint8_t* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * Width * BytesPerPixel(); }
    // Sets size and format; content becomes zero.
    void Reset(int width, int height, PixelFormat format) {
        Width = width;
        Height = height;
        Format = format;
        Pixels.assign(static_cast<size_t>(width) * height * BytesPerPixel(), 0);
    }
};
