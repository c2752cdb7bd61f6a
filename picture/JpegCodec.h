// The only door to libjpeg: baseline compression of a bitmap and scaled decompression to BGR rows.
// libjpeg's types stay inside JpegCodec.cpp; its errors come out as PictureError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// How the caller's pixels lie in memory. Argb32 is one native 32-bit word 0xAARRGGBB per pixel (QImage's
// ARGB32 and RGB32 formats); its alpha is ignored, so premultiplied pixels come out composed over black.
enum class PixelLayout : uint8_t { Rgb24, Bgr24, Argb32, Grey8 };

// Compresses the pixels as a colour JPEG (JCS_RGB, 3 components) with libjpeg's default parameters and
// quality 90 with baseline tables. Throws PictureError, for instance when a side exceeds libjpeg's 65500.
std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                                PixelLayout layout);

enum class JpegColourModel : uint8_t { Colour, Grey, Cmyk };

struct JpegHeader {
    int Width = 0;
    int Height = 0;
    JpegColourModel Model = JpegColourModel::Colour;
};

// Decodes one JPEG held in memory: ReadHeader, then Start at a scale, then one ReadBgrRow per output row.
// Every step throws PictureError on damaged data; libjpeg's warnings (such as data cut off inside the
// scan) are not errors, and the missing part decodes as libjpeg fills it.
class JpegDecoder {
public:
    // `data` must outlive the decoder.
    JpegDecoder(const uint8_t* data, std::size_t size);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Full-size dimensions and colour model. Refuses component counts other than 1, 3 and 4, and files
    // whose whole-image coefficient buffer (progressive or multi-scan) would exceed kMaxDecodeBytes.
    JpegHeader ReadHeader();
    // Begins decompression at 1/scaleDenom (1, 2, 4 or 8) with the fast integer inverse DCT.
    void Start(int scaleDenom);
    int OutputWidth() const;
    int OutputHeight() const;
    // Decodes the next row into `bgr` (OutputWidth() * 3 bytes, blue first).
    void ReadBgrRow(uint8_t* bgr);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
