// Test pictures made on the fly: natural-looking content, JPEG files of every colour model written with
// libjpeg, other formats through QImageWriter, and hand-built GIF bytes (Qt cannot write GIF).
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

// ---------------------------------------------------------------------------------------------------------
// Content

// A deterministic picture with smooth gradients, a few soft blobs and fine grain, so that its wavelet
// signature is full (250 coefficients) and close variants stay close.
inline QImage MakeNaturalPicture(int width, int height, uint32_t seed)
{
    uint32_t state = seed * 2654435761u + 12345u;
    auto next = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    auto unit = [&next]() { return static_cast<double>(next() % 100000) / 100000.0; };

    struct Blob { double x, y, radius, r, g, b; };
    std::vector<Blob> blobs;
    for (int i = 0; i < 6; ++i)
        blobs.push_back({unit(), unit(), 0.08 + 0.25 * unit(), 255 * unit(), 255 * unit(), 255 * unit()});
    const double baseR = 40 + 120 * unit(), baseG = 40 + 120 * unit(), baseB = 40 + 120 * unit();
    const double angle = 6.2831853 * unit();

    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = (height > 1) ? double(y) / (height - 1) : 0.0;
        for (int x = 0; x < width; ++x) {
            const double u = (width > 1) ? double(x) / (width - 1) : 0.0;
            const double ramp = 60.0 * (std::cos(angle) * u + std::sin(angle) * v);
            double r = baseR + ramp, g = baseG + ramp * 0.7, b = baseB - ramp * 0.5;
            for (const Blob& blob : blobs) {
                const double dx = u - blob.x, dy = v - blob.y;
                const double w = std::exp(-(dx * dx + dy * dy) / (blob.radius * blob.radius));
                r += (blob.r - r) * w;
                g += (blob.g - g) * w;
                b += (blob.b - b) * w;
            }
            const double grain = static_cast<int>(next() % 9) - 4;
            auto clamp = [](double c) { return c < 0 ? 0 : (c > 255 ? 255 : static_cast<int>(c)); };
            line[x] = qRgb(clamp(r + grain), clamp(g + grain), clamp(b + grain));
        }
    }
    return image;
}

inline QImage MakeUniformPicture(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// ---------------------------------------------------------------------------------------------------------
// Files

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// Writes through Qt's own writer; `format` is a Qt format name ("png", "bmp", "tiff").
inline void WriteImage(const QString& path, const QImage& image, const char* format)
{
    QImageWriter writer(path, format);
    if (!writer.write(image))
        throw std::runtime_error("QImageWriter failed: " + writer.errorString().toStdString());
}

inline QByteArray EncodeImage(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        throw std::runtime_error("QImageWriter failed: " + writer.errorString().toStdString());
    return bytes;
}

// ---------------------------------------------------------------------------------------------------------
// JPEG through libjpeg

enum class JpegModel { Rgb, Grey, Cmyk, Ycck };

struct JpegOptions {
    int Quality = 90;
    JpegModel Model = JpegModel::Rgb;
    bool Progressive = false;
};

namespace detail {
struct FixtureJpegError {
    jpeg_error_mgr Manager;
    jmp_buf Jump;
};
inline void FixtureJpegErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<FixtureJpegError*>(cinfo->err)->Jump, 1);
}
inline void FixtureJpegSilence(j_common_ptr) {}

// Grey: the red channel; Rgb: as is; Cmyk/Ycck: Adobe's inverted CMYK made from RGB with K = 255, so a
// reader computing R = C * K / 255 gets the colour back.
inline void FillJpegRow(const QImage& image, int y, JpegModel model, std::vector<JSAMPLE>& row)
{
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        const QRgb p = line[x];
        switch (model) {
        case JpegModel::Grey: row[x] = static_cast<JSAMPLE>(qGray(p)); break;
        case JpegModel::Rgb:
            row[3 * x] = static_cast<JSAMPLE>(qRed(p));
            row[3 * x + 1] = static_cast<JSAMPLE>(qGreen(p));
            row[3 * x + 2] = static_cast<JSAMPLE>(qBlue(p));
            break;
        case JpegModel::Cmyk:
        case JpegModel::Ycck:
            row[4 * x] = static_cast<JSAMPLE>(qRed(p));
            row[4 * x + 1] = static_cast<JSAMPLE>(qGreen(p));
            row[4 * x + 2] = static_cast<JSAMPLE>(qBlue(p));
            row[4 * x + 3] = 255;
            break;
        }
    }
}
}  // namespace detail

// Compresses `image` (any format; converted to RGB32 first) with libjpeg.
inline QByteArray EncodeJpeg(const QImage& source, const JpegOptions& options = {})
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int components = options.Model == JpegModel::Grey ? 1 : (options.Model == JpegModel::Rgb ? 3 : 4);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width()) * components);

    jpeg_compress_struct cinfo{};
    detail::FixtureJpegError error{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    cinfo.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = detail::FixtureJpegErrorExit;
    error.Manager.output_message = detail::FixtureJpegSilence;
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw std::runtime_error("libjpeg failed to write the test picture");
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = components;
    cinfo.in_color_space = options.Model == JpegModel::Grey ? JCS_GRAYSCALE
                           : options.Model == JpegModel::Rgb ? JCS_RGB
                                                             : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (options.Model == JpegModel::Ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    if (options.Model == JpegModel::Cmyk || options.Model == JpegModel::Ycck)
        cinfo.write_Adobe_marker = TRUE;  // readers recognise inverted CMYK by this marker
    jpeg_set_quality(&cinfo, options.Quality, TRUE);
    if (options.Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        detail::FillJpegRow(image, static_cast<int>(cinfo.next_scanline), options.Model, row);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

inline void WriteJpeg(const QString& path, const QImage& image, int quality = 90)
{
    JpegOptions options;
    options.Quality = quality;
    WriteBytes(path, EncodeJpeg(image, options));
}

inline void WriteJpeg(const QString& path, const QImage& image, const JpegOptions& options)
{
    WriteBytes(path, EncodeJpeg(image, options));
}

// Offset of the first byte after the marker `code` (0xC0 for SOF0, 0xDA for SOS, ...), or -1.
inline qsizetype FindJpegMarker(const QByteArray& jpeg, uint8_t code)
{
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i)
        if (static_cast<uint8_t>(jpeg[i]) == 0xFF && static_cast<uint8_t>(jpeg[i + 1]) == code)
            return i + 2;
    return -1;
}

// Rewrites the frame header's height and width, leaving the data as it is.
inline QByteArray WithJpegFrameSize(QByteArray jpeg, int width, int height)
{
    qsizetype sof = FindJpegMarker(jpeg, 0xC0);
    if (sof < 0)
        sof = FindJpegMarker(jpeg, 0xC2);
    if (sof < 0)
        throw std::runtime_error("no frame header");
    // Segment: length (2), precision (1), height (2), width (2).
    jpeg[sof + 3] = static_cast<char>(height >> 8);
    jpeg[sof + 4] = static_cast<char>(height & 0xFF);
    jpeg[sof + 5] = static_cast<char>(width >> 8);
    jpeg[sof + 6] = static_cast<char>(width & 0xFF);
    return jpeg;
}

// ---------------------------------------------------------------------------------------------------------
// PNG header surgery

inline uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Rewrites a PNG's IHDR width and height and fixes the chunk's checksum, so only the size is a lie.
inline QByteArray WithPngSize(QByteArray png, uint32_t width, uint32_t height)
{
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), 5 more bytes, CRC (4).
    auto put32 = [&png](qsizetype at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    };
    put32(16, width);
    put32(20, height);
    put32(29, Crc32(reinterpret_cast<const uint8_t*>(png.constData()) + 12, 17));
    return png;
}

// ---------------------------------------------------------------------------------------------------------
// GIF by hand

struct GifFrame {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Indices;  // row-major palette indices
    int TransparentIndex = -1;     // -1: none
};

namespace detail {
// LZW with 8-bit roots and a clear code every 200 codes, so the code width stays at 9 bits.
inline QByteArray GifLzw(const std::vector<uint8_t>& indices)
{
    std::vector<uint8_t> packed;
    uint32_t bits = 0;
    int bitCount = 0;
    auto put = [&](uint32_t code) {
        bits |= code << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            packed.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    const uint32_t clear = 256, end = 257;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 200 == 0)
            put(clear);
        put(indices[i]);
    }
    put(end);
    if (bitCount > 0)
        packed.push_back(static_cast<uint8_t>(bits & 0xFF));

    QByteArray out;
    out.append(char(8));  // minimum code size
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        out.append(static_cast<char>(n));
        out.append(reinterpret_cast<const char*>(packed.data() + at), static_cast<qsizetype>(n));
    }
    out.append(char(0));
    return out;
}
inline void Append16(QByteArray& out, int v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}
}  // namespace detail

// A GIF89a with a 256-entry global palette (unused entries black) and one image per frame.
inline QByteArray MakeGif(const std::vector<QRgb>& palette, const std::vector<GifFrame>& frames, int backgroundIndex = 0)
{
    QByteArray out("GIF89a");
    detail::Append16(out, frames.at(0).Width);
    detail::Append16(out, frames.at(0).Height);
    out.append(static_cast<char>(0xF7));  // global palette of 256 entries, 8 bits per channel
    out.append(static_cast<char>(backgroundIndex));
    out.append(char(0));
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < static_cast<int>(palette.size()) ? palette[i] : qRgb(0, 0, 0);
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    for (const GifFrame& frame : frames) {
        out.append("\x21\xF9\x04", 3);  // graphic control extension
        out.append(static_cast<char>(frame.TransparentIndex >= 0 ? 0x01 : 0x00));
        detail::Append16(out, 10);  // delay
        out.append(static_cast<char>(frame.TransparentIndex >= 0 ? frame.TransparentIndex : 0));
        out.append(char(0));
        out.append(char(0x2C));
        detail::Append16(out, 0);
        detail::Append16(out, 0);
        detail::Append16(out, frame.Width);
        detail::Append16(out, frame.Height);
        out.append(char(0));
        out.append(detail::GifLzw(frame.Indices));
    }
    out.append(char(0x3B));
    return out;
}

// ---------------------------------------------------------------------------------------------------------
// Raw by hand

// A minimal uncompressed linear DNG (16 bits per channel, RGB): LibRaw reads it whatever the file is
// called, so it stands in for a camera raw file. `orientation` is the TIFF orientation tag (1: as stored).
inline QByteArray MakeLinearDng(const QImage& source, int orientation = 1)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const uint32_t width = static_cast<uint32_t>(image.width()), height = static_cast<uint32_t>(image.height());
    auto shorts = [](std::initializer_list<int> values) {
        QByteArray b;
        for (int v : values) {
            b.append(static_cast<char>(v & 0xFF));
            b.append(static_cast<char>((v >> 8) & 0xFF));
        }
        return b;
    };
    auto longWord = [](uint32_t v) {
        QByteArray b;
        for (int i = 0; i < 4; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return b;
    };
    auto text = [](const char* t) { return QByteArray(t, static_cast<qsizetype>(std::strlen(t)) + 1); };

    QByteArray pixels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const QRgb p = image.pixel(static_cast<int>(x), static_cast<int>(y));
            pixels.append(shorts({qRed(p) * 257, qGreen(p) * 257, qBlue(p) * 257}));
        }

    struct Tag {
        uint16_t Id, Type;
        uint32_t Count;
        QByteArray Data;
    };
    constexpr uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kStripOffsets = 0x111;
    const std::vector<Tag> tags = {
        {0x00FE, kLong, 1, longWord(0)},                 // full-resolution image
        {0x0100, kLong, 1, longWord(width)},
        {0x0101, kLong, 1, longWord(height)},
        {0x0102, kShort, 3, shorts({16, 16, 16})},
        {0x0103, kShort, 1, shorts({1})},                // uncompressed
        {0x0106, kShort, 1, shorts({34892})},            // linear raw
        {0x010F, kAscii, 8, text("Voralin")},
        {0x0110, kAscii, 5, text("Test")},
        {kStripOffsets, kLong, 1, {}},
        {0x0112, kShort, 1, shorts({orientation})},
        {0x0115, kShort, 1, shorts({3})},
        {0x0116, kLong, 1, longWord(height)},
        {0x0117, kLong, 1, longWord(static_cast<uint32_t>(pixels.size()))},
        {0xC612, kByte, 4, QByteArray("\x01\x04\x00\x00", 4)},  // DNG version 1.4
        {0xC614, kAscii, 13, text("Voralin Test")},
    };
    const uint32_t ifdOffset = 8;
    const uint32_t extraOffset = ifdOffset + 2 + 12 * static_cast<uint32_t>(tags.size()) + 4;
    QByteArray extra;
    std::vector<uint32_t> valueOffsets(tags.size(), 0);
    for (size_t i = 0; i < tags.size(); ++i)
        if (tags[i].Data.size() > 4) {
            valueOffsets[i] = extraOffset + static_cast<uint32_t>(extra.size());
            extra.append(tags[i].Data);
            if (extra.size() % 2)
                extra.append('\0');
        }
    const uint32_t pixelOffset = extraOffset + static_cast<uint32_t>(extra.size());

    QByteArray out("II\x2A\x00", 4);
    out.append(longWord(ifdOffset));
    out.append(shorts({static_cast<int>(tags.size())}));
    for (size_t i = 0; i < tags.size(); ++i) {
        const Tag& tag = tags[i];
        out.append(shorts({tag.Id, tag.Type}));
        out.append(longWord(tag.Count));
        QByteArray value = tag.Id == kStripOffsets ? longWord(pixelOffset)
                           : tag.Data.size() > 4   ? longWord(valueOffsets[i])
                                                   : tag.Data;
        while (value.size() < 4)
            value.append('\0');
        out.append(value);
    }
    out.append(longWord(0));
    out.append(extra);
    out.append(pixels);
    return out;
}

}  // namespace fixtures
