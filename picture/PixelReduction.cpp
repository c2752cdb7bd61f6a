// Box reduction and layout conversion of decoded pixels.
#include "picture/PixelReduction.h"

#include <algorithm>
#include <vector>

namespace {

struct LayoutInfo {
    int bytes;     // per pixel
    int r, g, b;   // byte offsets of the colours
    int alpha;     // byte offset of a straight alpha, or -1
};

LayoutInfo Info(SourceLayout layout) {
    switch (layout) {
    case SourceLayout::Bgr24: return {3, 2, 1, 0, -1};
    case SourceLayout::Rgb24: return {3, 0, 1, 2, -1};
    case SourceLayout::Rgba32: return {4, 0, 1, 2, 3};
    case SourceLayout::Rgba32Premultiplied: return {4, 0, 1, 2, -1};
    case SourceLayout::Bgra32Premultiplied: return {4, 2, 1, 0, -1};
    case SourceLayout::Grey8: return {1, 0, 0, 0, -1};
    }
    return {3, 2, 1, 0, -1};
}

// c * a / 255 rounded to nearest, without a division.
inline uint32_t OverBlack(uint32_t c, uint32_t a) {
    const uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

}  // namespace

int64_t ReducedBytes(int width, int height, int scale) {
    return int64_t{ReducedSide(width, scale)} * ReducedSide(height, scale) * 3;
}

TBitmap ReducePixels(const uint8_t* pixels, int width, int height, std::ptrdiff_t stride, SourceLayout layout,
                     int scale) {
    const LayoutInfo in = Info(layout);
    TBitmap out;
    const int outWidth = ReducedSide(width, scale);
    const int outHeight = ReducedSide(height, scale);
    out.Reset(outWidth, outHeight, PixelFormat::Bgr24);

    // Sums of one band of `scale` source rows, per target column and colour.
    std::vector<uint32_t> sums(static_cast<size_t>(outWidth) * 3);
    for (int band = 0; band < outHeight; ++band) {
        std::fill(sums.begin(), sums.end(), 0);
        const int firstRow = band * scale;
        const int rows = std::min(scale, height - firstRow);
        for (int y = firstRow; y < firstRow + rows; ++y) {
            const uint8_t* p = pixels + static_cast<std::ptrdiff_t>(y) * stride;
            for (int x = 0; x < width; ++x, p += in.bytes) {
                uint32_t* s = &sums[static_cast<size_t>(x / scale) * 3];
                if (in.alpha < 0) {
                    s[0] += p[in.b];
                    s[1] += p[in.g];
                    s[2] += p[in.r];
                } else {
                    const uint32_t a = p[in.alpha];
                    s[0] += OverBlack(p[in.b], a);
                    s[1] += OverBlack(p[in.g], a);
                    s[2] += OverBlack(p[in.r], a);
                }
            }
        }
        uint8_t* o = out.Row(band);
        for (int x = 0; x < outWidth; ++x) {
            const uint32_t n = static_cast<uint32_t>(rows) * static_cast<uint32_t>(std::min(scale, width - x * scale));
            for (int c = 0; c < 3; ++c)
                o[3 * x + c] = static_cast<uint8_t>((sums[3 * static_cast<size_t>(x) + c] + n / 2) / n);
        }
    }
    return out;
}
